// DXF at the level of group-code/value pairs. The reader keeps the exact
// bytes of every pair, so anything the runner does not touch can be written
// back byte for byte; the writer splices new text in place of tag ranges.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace drawclean {

struct DxfTag {
  int code = 0;
  std::string value;     // the value line without its line ending
  size_t begin = 0;      // raw bytes of the code line and the value line
  size_t end = 0;
};

struct DxfFile {
  std::string source;    // the file as read
  std::vector<DxfTag> tags;  // up to and including 0/EOF
  size_t tailBegin = 0;  // bytes after 0/EOF, kept verbatim
  std::string eol = "\n";  // line ending of the file, for new tags
  bool paddedCodes = false;  // codes right-aligned to three columns ("  0")
};

// How much of a value from the input an error message quotes.
inline constexpr size_t kShownLimit = 60;
// `s` fit for a one-line message: control characters and DEL escaped (\n,
// \t, \x1b, ...), cut after `limit` characters with the full length said.
std::string Shown(std::string_view s, size_t limit = kShownLimit);

// Parses ASCII DXF. On failure returns nothing and a one-line reason
// (binary DXF, a missing value line, a non-numeric group code, no EOF).
std::optional<DxfFile> ParseDxf(std::string text, std::string* error);

// One pair in the file's own style.
std::string FormatTag(const DxfFile& file, int code, std::string_view value);
// Shortest text that reads back as the same double, always with a '.' or exponent.
std::string FormatDouble(double v);
// The value of a tag as a number; nothing when it is not one.
std::optional<double> TagDouble(const DxfTag& tag);
std::optional<long long> TagInt(const DxfTag& tag);

// Raw bytes of tags [first, last).
std::string_view RawTags(const DxfFile& file, size_t first, size_t last);

// A replacement of the tags [first, last) by text (empty text deletes them).
struct DxfSplice {
  size_t first = 0;
  size_t last = 0;
  std::string text;
};

// The file with the splices applied (sorted by first, not overlapping); every
// byte outside them is the source's own.
std::string WriteDxf(const DxfFile& file, std::vector<DxfSplice> splices);

// Positions of interest: sections by name and the entities of one section.
struct DxfSection {
  std::string name;
  size_t first = 0;  // the 0/SECTION tag
  size_t body = 0;   // first tag after 2/name
  size_t end = 0;    // the 0/ENDSEC tag (or the EOF tag when missing)
};
std::vector<DxfSection> FindSections(const DxfFile& file);

// One entity: its 0-tag and everything up to the next 0-tag; a POLYLINE also
// takes its VERTEX records and the SEQEND, so it moves as one piece.
struct DxfEntity {
  size_t first = 0;
  size_t last = 0;  // one past the end
};
std::vector<DxfEntity> SplitEntities(const DxfFile& file, size_t body, size_t end);

}  // namespace drawclean
