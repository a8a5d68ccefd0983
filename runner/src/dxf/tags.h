// DXF as group-code/value pairs. The file is read once and tokenised in
// place: every tag is a view into the text, so anything the runner does not
// touch can be written back byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "hostapp/large_blocks.h"

namespace drawclean {

// A value line without its line ending: a view into the file's text, packed
// with the group code into 16 bytes, since a large drawing has millions.
#pragma pack(push, 4)
class DxfValue {
 public:
  DxfValue() = default;
  DxfValue(std::string_view v) : data_(v.data()), size_(uint32_t(v.size())) {}
  DxfValue(const char* s) : DxfValue(std::string_view(s)) {}
  operator std::string_view() const { return {data_, size_}; }
  const char* data() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  friend bool operator==(const DxfValue& a, std::string_view b) { return std::string_view(a) == b; }
  friend bool operator==(const DxfValue& a, const char* b) { return std::string_view(a) == b; }
  friend bool operator!=(const DxfValue& a, std::string_view b) { return std::string_view(a) != b; }
  friend bool operator!=(const DxfValue& a, const char* b) { return std::string_view(a) != b; }
  friend std::ostream& operator<<(std::ostream& out, const DxfValue& v) { return out << std::string_view(v); }

 private:
  const char* data_ = "";
  uint32_t size_ = 0;
};
#pragma pack(pop)

struct DxfTag {
  DxfValue value;
  int32_t code = 0;
};
static_assert(sizeof(DxfTag) == 16, "a large drawing holds millions of tags");

struct DxfFile {
  std::shared_ptr<const void> text;  // owns the bytes `source` views
  std::string_view source;           // the file as read
  std::vector<DxfTag, hostapp::LargeAllocator<DxfTag>> tags;  // up to and including 0/EOF
  size_t headEnd = 0;       // where the first tag starts (after a byte order mark)
  size_t tailBegin = 0;     // bytes after 0/EOF, kept verbatim
  std::string eol = "\n";   // line ending of the file, for new tags
  bool paddedCodes = false;  // codes right-aligned to three columns ("  0")

  // Raw bytes of tag i: its code line and value line. Tags lie end to end.
  size_t Begin(size_t i) const { return i == 0 ? headEnd : End(i - 1); }
  size_t End(size_t i) const {
    size_t e = size_t(tags[i].value.data() - source.data()) + tags[i].value.size();
    if (e < source.size() && source[e] == '\r') ++e;  // the one CR the value line lost
    if (e < source.size() && source[e] == '\n') ++e;
    return e;
  }
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
