#include "dxf_tags.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace drawclean {
namespace {

constexpr std::string_view kBinarySentinel = "AutoCAD Binary DXF";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Reads one line starting at pos; returns false at the end of the text.
bool NextLine(const std::string& text, size_t& pos, std::string_view& line) {
  if (pos >= text.size()) return false;
  size_t nl = text.find('\n', pos);
  size_t stop = nl == std::string::npos ? text.size() : nl;
  line = std::string_view(text).substr(pos, stop - pos);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  pos = nl == std::string::npos ? text.size() : nl + 1;
  return true;
}

}  // namespace

std::string_view DxfValue::View() const {
  // The text holds no NUL (ParseDxf refuses one), and a std::string ends in one.
  const char* line = Line();
  std::string_view v(line, std::strcspn(line, "\n"));
  if (!v.empty() && v.back() == '\r') v.remove_suffix(1);
  return v;
}

DxfFile::DxfFile(const DxfFile& other)
    : source(other.source), tags(other.tags), tailBegin(other.tailBegin), eol(other.eol),
      paddedCodes(other.paddedCodes) {
  ValuesFrom(other.source.data());
}

DxfFile::DxfFile(DxfFile&& other) noexcept {
  *this = std::move(other);
}

DxfFile& DxfFile::operator=(const DxfFile& other) {
  if (this != &other) *this = DxfFile(other);
  return *this;
}

DxfFile& DxfFile::operator=(DxfFile&& other) noexcept {
  if (this == &other) return *this;
  // A short text moves by copy, into this file's own buffer.
  const char* oldText = other.source.data();
  source = std::move(other.source);
  tags = std::move(other.tags);
  tailBegin = other.tailBegin;
  eol = std::move(other.eol);
  paddedCodes = other.paddedCodes;
  ValuesFrom(oldText);
  other.source.clear();
  other.tags.clear();
  return *this;
}

void DxfFile::ValuesFrom(const char* oldText) {
  if (oldText == source.data()) return;
  for (DxfTag& t : tags) t.value = t.value.Moved(oldText, source.data());
}

std::string Shown(std::string_view s, size_t limit) {
  std::string out;
  size_t n = std::min(s.size(), limit);
  // Never cut a UTF-8 sequence in two.
  while (n > 0 && n < s.size() && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (c == '\\') out += "\\\\";
    else if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else {
      out += char(c);
    }
  }
  if (s.size() > limit) out += "... (" + std::to_string(s.size()) + " characters)";
  return out;
}

std::optional<DxfFile> ParseDxf(std::string text, std::string* error) {
  auto fail = [&](std::string why) -> std::optional<DxfFile> {
    if (error) *error = std::move(why);
    return std::nullopt;
  };
  if (std::string_view(text).substr(0, kBinarySentinel.size()) == kBinarySentinel)
    return fail("binary DXF is not supported; save the drawing as ASCII DXF");
  if (text.find('\0') != std::string::npos) return fail("not a text file (contains NUL bytes)");

  if (text.size() >= UINT32_MAX) return fail("files of 4 GiB or more are not supported");

  DxfFile file;
  // The tags read their values where they stand in the file's own text.
  file.source = std::move(text);
  const std::string& source = file.source;
  size_t pos = std::string_view(source).substr(0, 3) == kUtf8Bom ? 3 : 0;
  if (source.find_first_not_of(" \t\r\n", pos) == std::string::npos) return fail("empty file");
  // Two lines a tag: room for all of them at once, rather than copying a
  // large drawing's tags over and over as the list doubles.
  file.tags.reserve(static_cast<size_t>(std::count(source.begin(), source.end(), '\n')) / 2 + 1);
  size_t lineNo = 0;
  bool styleKnown = false;
  int padded = 0, plain = 0;  // code lines with and without leading blanks
  bool sawEof = false;
  while (pos < source.size()) {
    DxfTag tag;
    tag.begin = static_cast<uint32_t>(pos);
    std::string_view codeLine, valueLine;
    if (!NextLine(source, pos, codeLine)) break;
    ++lineNo;
    std::string_view code = Trim(codeLine);
    if (code.empty() && pos >= source.size()) break;  // trailing blank line
    int value = 0;
    auto [p, ec] = std::from_chars(code.data(), code.data() + code.size(), value);
    if (code.empty() || ec != std::errc() || p != code.data() + code.size())
      return fail("line " + std::to_string(lineNo) + ": group code expected, found '" + Shown(code) + "'");
    tag.code = value;
    if (!NextLine(source, pos, valueLine))
      return fail("line " + std::to_string(lineNo) + ": file ends after group code " +
                  std::to_string(value) + " (truncated?)");
    ++lineNo;
    tag.value = DxfValue(valueLine.data());
    tag.end = static_cast<uint32_t>(pos);
    (codeLine.front() == ' ' ? padded : plain) += 1;
    if (!styleKnown) {
      styleKnown = true;
      size_t nl = source.find('\n');
      file.eol = nl != std::string::npos && nl > 0 && source[nl - 1] == '\r' ? "\r\n" : "\n";
    }
    file.tags.push_back(tag);
    if (file.tags.back().code == 0 && Trim(file.tags.back().value) == "EOF") {
      sawEof = true;
      break;
    }
  }
  if (!sawEof) return fail("no EOF marker: the file is truncated or not DXF");
  file.paddedCodes = padded > plain;
  file.tailBegin = pos;
  return file;
}

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

std::optional<double> TagDouble(const DxfTag& tag) {
  std::string_view s = Trim(tag.value);
  if (s.empty()) return std::nullopt;
  // A plain decimal number, read whole and in range, is the value strtod
  // gives too (both round correctly), at a fraction of the cost; anything
  // else (a sign '+', hexadecimal, infinities and NaNs, a value out of
  // range) is left to strtod.
  double quick = 0;
  const auto [at, ec] = std::from_chars(s.data(), s.data() + s.size(), quick);
  if (ec == std::errc() && at == s.data() + s.size() && std::isfinite(quick)) return quick;
  // strtod wants the text to end after the number: a copy, on the stack
  // when it is as short as numbers are.
  char buf[64];
  std::string longText;
  const char* z = buf;
  if (s.size() < sizeof buf) {
    std::memcpy(buf, s.data(), s.size());
    buf[s.size()] = '\0';
  } else {
    longText.assign(s);
    z = longText.c_str();
  }
  char* endp = nullptr;
  double v = std::strtod(z, &endp);
  if (endp != z + s.size()) return std::nullopt;
  return v;
}

std::optional<long long> TagInt(const DxfTag& tag) {
  std::string_view s = Trim(tag.value);
  long long v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
  return v;
}

std::string_view RawTags(const DxfFile& file, size_t first, size_t last) {
  if (first >= last) return {};
  return std::string_view(file.source).substr(file.tags[first].begin,
                                              file.tags[last - 1].end - file.tags[first].begin);
}

std::string WriteDxf(const DxfFile& file, std::vector<DxfSplice> splices) {
  std::stable_sort(splices.begin(), splices.end(),
                   [](const DxfSplice& a, const DxfSplice& b) { return a.first < b.first; });
  std::string out;
  out.reserve(file.source.size() + 1024);
  size_t headEnd = file.tags.empty() ? file.tailBegin : file.tags.front().begin;
  out.append(file.source, 0, headEnd);
  size_t at = 0;
  for (const DxfSplice& s : splices) {
    if (s.first < at) continue;  // overlapping splice: the earlier one wins
    out += RawTags(file, at, s.first);
    out += s.text;
    at = std::max(s.last, s.first);
  }
  out += RawTags(file, at, file.tags.size());
  out.append(file.source, file.tailBegin, std::string::npos);
  return out;
}

std::vector<DxfSection> FindSections(const DxfFile& file) {
  std::vector<DxfSection> sections;
  const auto& t = file.tags;
  for (size_t i = 0; i + 1 < t.size(); ++i) {
    if (t[i].code != 0 || Trim(t[i].value) != "SECTION" || t[i + 1].code != 2) continue;
    DxfSection s;
    s.name = std::string(Trim(t[i + 1].value));
    s.first = i;
    s.body = i + 2;
    size_t j = s.body;
    while (j < t.size() && !(t[j].code == 0 && (Trim(t[j].value) == "ENDSEC" ||
                                                Trim(t[j].value) == "EOF")))
      ++j;
    s.end = j;
    sections.push_back(s);
    i = j;
  }
  return sections;
}

std::vector<DxfEntity> SplitEntities(const DxfFile& file, size_t body, size_t end) {
  std::vector<DxfEntity> entities;
  const auto& t = file.tags;
  size_t i = body;
  while (i < end && t[i].code != 0) ++i;  // stray tags before the first entity stay raw
  while (i < end) {
    DxfEntity e;
    e.first = static_cast<uint32_t>(i);
    bool polyline = Trim(t[i].value) == "POLYLINE";
    ++i;
    while (i < end) {
      if (t[i].code == 0) {
        std::string_view name = Trim(t[i].value);
        if (!polyline) break;
        if (name == "SEQEND") {
          ++i;
          while (i < end && t[i].code != 0) ++i;
          break;
        }
        if (name != "VERTEX") break;
      }
      ++i;
    }
    e.last = static_cast<uint32_t>(i);
    entities.push_back(e);
  }
  return entities;
}

}  // namespace drawclean
