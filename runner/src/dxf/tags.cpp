#include "dxf/tags.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <fast_float/fast_float.h>

#include "shown.h"

namespace drawclean {
namespace {

constexpr std::string_view kBinarySentinel = "AutoCAD Binary DXF";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool Blank(char c) { return c == ' ' || c == '\t'; }

// The line at `pos` without its line ending (nor one '\r'); `pos` moves past
// it. Nothing at the end of the text.
bool NextLine(std::string_view text, size_t& pos, std::string_view& line) {
  if (pos >= text.size()) return false;
  const char* at = text.data() + pos;
  const void* nl = std::memchr(at, '\n', text.size() - pos);
  const size_t stop = nl ? size_t(static_cast<const char*>(nl) - text.data()) : text.size();
  line = std::string_view(at, stop - pos);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  pos = nl ? stop + 1 : text.size();
  return true;
}

// A group code: digits with an optional '-', as std::from_chars reads an int.
bool ParseCode(std::string_view s, int32_t& code) {
  if (!s.empty() && s.size() <= 9 && s[0] >= '0' && s[0] <= '9') {
    int32_t v = 0;
    for (char c : s) {
      if (c < '0' || c > '9') return false;
      v = v * 10 + (c - '0');
    }
    code = v;
    return true;
  }
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), code);
  return !s.empty() && ec == std::errc() && p == s.data() + s.size();
}

}  // namespace

std::string_view Trimmed(std::string_view v) {
  while (!v.empty() && Blank(v.front())) v.remove_prefix(1);
  while (!v.empty() && (Blank(v.back()) || v.back() == '\r')) v.remove_suffix(1);
  return v;
}

size_t DxfFile::LineOf(size_t i) const {
  const size_t at = Begin(i);
  return 1 + size_t(std::count(source.begin(), source.begin() + long(at), '\n'));
}

std::optional<DxfFile> ParseDxf(std::string owned, std::string* error) {
  auto text = std::make_shared<const std::string>(std::move(owned));
  const std::string_view view = *text;
  return ParseDxf(std::move(text), view, error);
}

std::optional<DxfFile> ParseDxf(std::shared_ptr<const void> owner, std::string_view text, std::string* error) {
  auto fail = [&](std::string why) -> std::optional<DxfFile> {
    if (error) *error = std::move(why);
    return std::nullopt;
  };
  DxfFile file;
  file.text = std::move(owner);
  file.source = text;
  if (text.substr(0, kBinarySentinel.size()) == kBinarySentinel)
    return fail("binary DXF is not supported; save the drawing as ASCII DXF");
  if (std::memchr(text.data(), '\0', text.size())) return fail("not a text file (contains NUL bytes)");

  size_t pos = text.substr(0, 3) == kUtf8Bom ? 3 : 0;
  file.headEnd = pos;
  if (text.find_first_not_of(" \t\r\n", pos) == std::string_view::npos) return fail("empty file");
  // Two lines a tag: room for all of them at once.
  file.tags.reserve(size_t(std::count(text.begin(), text.end(), '\n')) / 2 + 1);
  const size_t firstNl = text.find('\n');
  file.eol = firstNl != std::string_view::npos && firstNl > 0 && text[firstNl - 1] == '\r' ? "\r\n" : "\n";
  size_t lineNo = 0;
  size_t padded = 0, plain = 0;  // code lines with and without leading blanks
  bool sawEof = false;
  while (pos < text.size()) {
    std::string_view codeLine, valueLine;
    if (!NextLine(text, pos, codeLine)) break;
    ++lineNo;
    const std::string_view code = Trimmed(codeLine);
    if (code.empty() && pos >= text.size()) break;  // trailing blank line
    DxfTag tag;
    if (!ParseCode(code, tag.code))
      return fail("line " + std::to_string(lineNo) + ": group code expected, found '" + Shown(code) + "'");
    if (!NextLine(text, pos, valueLine))
      return fail("line " + std::to_string(lineNo) + ": file ends after group code " +
                  std::to_string(tag.code) + " (truncated?)");
    ++lineNo;
    if (valueLine.size() > UINT32_MAX)
      return fail("line " + std::to_string(lineNo) + ": a value of " + std::to_string(valueLine.size()) + " bytes");
    tag.value = valueLine;
    (codeLine.front() == ' ' ? padded : plain) += 1;
    file.tags.push_back(tag);
    if (tag.code == 0 && Trimmed(tag.value) == "EOF") {
      sawEof = true;
      break;
    }
  }
  if (!sawEof) return fail("no EOF marker: the file is truncated or not DXF");
  file.paddedCodes = padded > plain;
  file.tailBegin = pos;
  return file;
}

std::optional<double> TagDouble(const DxfTag& tag) {
  const std::string_view s = Trimmed(tag.value);
  if (s.empty()) return std::nullopt;
  // A number read whole and finite is the value strtod gives too (both round
  // correctly), at a fraction of the cost; anything else (a sign '+',
  // hexadecimal, infinities and NaNs, a value out of range) is left to
  // strtod, which has the last word on what is a number.
  double quick = 0;
  const char* end = s.data() + s.size();
  const auto [at, ec] = fast_float::from_chars(s.data(), end, quick);
  if (ec == std::errc() && at == end && std::isfinite(quick)) return quick;
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
  char* stop = nullptr;
  const double v = std::strtod(z, &stop);
  if (stop != z + s.size()) return std::nullopt;
  return v;
}

std::optional<long long> TagInt(const DxfTag& tag) {
  const std::string_view s = Trimmed(tag.value);
  long long v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
  return v;
}

}  // namespace drawclean
