// DXF at the level of group-code/value pairs. The reader keeps the exact
// bytes of every pair, so anything the runner does not touch can be written
// back byte for byte; the writer splices new text in place of tag ranges.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace drawclean {

// A value line of the file, read where it stands in the file's text: up to
// its line ending (a '\r' before the '\n' is not part of it), or to the end
// of the text. One pointer, so a drawing of millions of tags keeps no copy of
// their text; the DxfFile that holds the text moves its tags' values along.
class DxfValue {
 public:
  DxfValue() = default;
  explicit DxfValue(const char* line)
      : low_(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(line))),
        high_(static_cast<uint32_t>(uint64_t{reinterpret_cast<uintptr_t>(line)} >> 32)) {}
  std::string_view View() const;
  operator std::string_view() const { return View(); }
  size_t size() const { return View().size(); }
  bool empty() const { return View().empty(); }
  friend bool operator==(const DxfValue& a, std::string_view b) { return a.View() == b; }
  friend bool operator==(const DxfValue& a, const char* b) { return a.View() == b; }
  friend bool operator!=(const DxfValue& a, std::string_view b) { return a.View() != b; }
  friend bool operator!=(const DxfValue& a, const char* b) { return a.View() != b; }
  friend std::ostream& operator<<(std::ostream& out, const DxfValue& v) { return out << v.View(); }
  // The same line in a copy of the text that starts at `to` instead of `from`.
  DxfValue Moved(const char* from, const char* to) const {
    return Line() == kNone ? *this : DxfValue(to + (Line() - from));
  }

 private:
  static constexpr const char* kNone = "";
  // The pointer in two 32-bit halves, so a tag packs into 20 bytes, not 24.
  const char* Line() const {
    return reinterpret_cast<const char*>(static_cast<uintptr_t>((uint64_t{high_} << 32) | low_));
  }
  uint32_t low_ = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(kNone));
  uint32_t high_ = static_cast<uint32_t>(uint64_t{reinterpret_cast<uintptr_t>(kNone)} >> 32);
};

// Offsets are 32-bit: ParseDxf refuses a text of 4 GiB or more.
struct DxfTag {
  int code = 0;
  uint32_t begin = 0;    // raw bytes of the code line and the value line
  uint32_t end = 0;
  DxfValue value;        // the value line without its line ending
};
static_assert(sizeof(DxfTag) == 20, "a drawing holds millions of tags");

struct DxfFile {
  DxfFile() = default;
  // Copies and moves keep every tag's value in their own text.
  DxfFile(const DxfFile& other);
  DxfFile(DxfFile&& other) noexcept;
  DxfFile& operator=(const DxfFile& other);
  DxfFile& operator=(DxfFile&& other) noexcept;

  std::string source;    // the file as read
  std::vector<DxfTag> tags;  // up to and including 0/EOF
  size_t tailBegin = 0;  // bytes after 0/EOF, kept verbatim
  std::string eol = "\n";  // line ending of the file, for new tags
  bool paddedCodes = false;  // codes right-aligned to three columns ("  0")

 private:
  void ValuesFrom(const char* oldText);
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
// Tag numbers, 32-bit as the text's offsets are.
struct DxfEntity {
  uint32_t first = 0;
  uint32_t last = 0;  // one past the end
};
std::vector<DxfEntity> SplitEntities(const DxfFile& file, size_t body, size_t end);

}  // namespace drawclean
