#include "dxf/splice.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace drawclean {

std::string FormatDouble(double v) {
  char buf[64];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
  std::string s(buf, p);
  if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
  return s;
}

std::string FormatTag(const DxfFile& file, int code, std::string_view value) {
  std::string c = std::to_string(code);
  if (file.paddedCodes && c.size() < 3) c.insert(0, 3 - c.size(), ' ');
  std::string out;
  out.reserve(c.size() + value.size() + 2 * file.eol.size());
  out += c;
  out += file.eol;
  out += value;
  out += file.eol;
  return out;
}

std::string_view RawTags(const DxfFile& file, size_t first, size_t last) {
  if (first >= last) return {};
  const size_t begin = file.Begin(first);
  return file.source.substr(begin, file.End(last - 1) - begin);
}

std::string WriteDxf(const DxfFile& file, std::vector<DxfSplice> splices) {
  std::stable_sort(splices.begin(), splices.end(),
                   [](const DxfSplice& a, const DxfSplice& b) { return a.first < b.first; });
  std::string out;
  out.reserve(file.source.size() + 1024);
  out.append(file.source.substr(0, file.tags.empty() ? file.tailBegin : file.headEnd));
  size_t at = 0;
  for (const DxfSplice& s : splices) {
    if (s.first < at) continue;  // overlapping splice: the earlier one wins
    out += RawTags(file, at, s.first);
    out += s.text;
    at = std::max(s.last, s.first);
  }
  out += RawTags(file, at, file.tags.size());
  out.append(file.source.substr(file.tailBegin));
  return out;
}

namespace {
bool IsPropertyCode(int c) { return c == 8 || c == 6 || c == 62 || c == 370 || c == 420 || c == 60; }
}  // namespace

std::string Rewrite(const DxfFile& file, size_t first, size_t last, const TagEdits& edits) {
  const auto& t = file.tags;
  const auto& set = edits.set;
  std::vector<bool> done(set.size(), false);
  std::vector<size_t> at(set.size(), SIZE_MAX);
  for (size_t k = 0; k < set.size(); ++k)
    for (size_t i = first + 1; i < last; ++i)
      if (t[i].code == set[k].first) {
        at[k] = i;
        break;
      }
  size_t layerTag = SIZE_MAX, xdata = last;
  for (size_t i = first + 1; i < last; ++i) {
    if (t[i].code == 8 && layerTag == SIZE_MAX) layerTag = i;
    if (t[i].code >= 1000 && xdata == last) xdata = i;
  }
  auto addMissing = [&](bool properties, std::string& out) {
    for (size_t k = 0; k < set.size(); ++k)
      if (at[k] == SIZE_MAX && !done[k] && IsPropertyCode(set[k].first) == properties) {
        out += FormatTag(file, set[k].first, set[k].second);
        done[k] = true;
      }
  };
  std::string out;
  for (size_t i = first; i < last; ++i) {
    if (i == xdata) addMissing(false, out);
    if (std::find(edits.drop.begin(), edits.drop.end(), t[i].code) != edits.drop.end()) continue;
    bool replaced = false;
    for (size_t k = 0; k < set.size(); ++k)
      if (at[k] == i) {
        out += FormatTag(file, t[i].code, set[k].second);
        replaced = true;
      }
    if (!replaced) out += RawTags(file, i, i + 1);
    if (i == layerTag) addMissing(true, out);
  }
  if (xdata == last) addMissing(false, out);
  addMissing(true, out);
  return out;
}

}  // namespace drawclean
