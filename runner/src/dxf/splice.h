// Writing DXF back: tags in the file's own style, and the file with some tag
// ranges replaced, every other byte the source's own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dxf/tags.h"

namespace drawclean {

// One pair in the file's own style.
std::string FormatTag(const DxfFile& file, int code, std::string_view value);
// Shortest text that reads back as the same double, always with a '.' or exponent.
std::string FormatDouble(double v);

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

// New values for some group codes of one record, and codes to remove.
struct TagEdits {
  std::vector<std::pair<int, std::string>> set;
  std::vector<int> drop;
  void Num(int code, double v) { set.emplace_back(code, FormatDouble(v)); }
  void Int(int code, long long v) { set.emplace_back(code, std::to_string(v)); }
};

// Tags [first, last) with the first occurrence of each code in `set` given
// its new value, codes in `drop` removed, and codes not present added: common
// properties after the layer, geometry before any extended data.
std::string Rewrite(const DxfFile& file, size_t first, size_t last, const TagEdits& edits);

}  // namespace drawclean
