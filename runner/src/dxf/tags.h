// DXF as group-code/value pairs. The file is read once and tokenised in
// place: every tag is a view into the text, so anything the runner does not
// touch can be written back byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostapp/large_blocks.h"

namespace drawclean {

struct DxfTag {
  std::string_view value;  // the value line without its line ending
  int32_t code = 0;
  uint32_t lead = 0;       // bytes from the code line's start to the value
};

struct DxfFile {
  std::shared_ptr<const void> text;  // owns the bytes `source` views
  std::string_view source;           // the file as read
  std::vector<DxfTag, hostapp::LargeAllocator<DxfTag>> tags;  // up to and including 0/EOF
  size_t tailBegin = 0;     // bytes after 0/EOF, kept verbatim
  std::string eol = "\n";   // line ending of the file, for new tags
  bool paddedCodes = false;  // codes right-aligned to three columns ("  0")

  // Raw bytes of tag i: its code line and value line. Tags lie end to end.
  size_t Begin(size_t i) const {
    return size_t(tags[i].value.data() - source.data()) - tags[i].lead;
  }
  size_t End(size_t i) const { return i + 1 < tags.size() ? Begin(i + 1) : tailBegin; }
  // The 1-based line of tag i's code.
  size_t LineOf(size_t i) const;
};

// Parses ASCII DXF. On failure returns nothing and a one-line reason
// (binary DXF, a missing value line, a non-numeric group code, no EOF).
std::optional<DxfFile> ParseDxf(std::string text, std::string* error);
// The same over bytes that `owner` keeps.
std::optional<DxfFile> ParseDxf(std::shared_ptr<const void> owner, std::string_view text, std::string* error);

// A value without the blanks around it.
std::string_view Trimmed(std::string_view v);

// The value of a tag as a number; nothing when it is not one.
std::optional<double> TagDouble(const DxfTag& tag);
std::optional<long long> TagInt(const DxfTag& tag);

}  // namespace drawclean
