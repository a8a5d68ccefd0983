#include "dxf/text_value.h"

#include <cctype>
#include <string_view>

namespace drawclean {
namespace {

void AppendUtf8(unsigned cp, std::string& out) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6)), out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12)), out += char(0x80 | ((cp >> 6) & 0x3F)), out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x110000) {
    out += char(0xF0 | (cp >> 18)), out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F)), out += char(0x80 | (cp & 0x3F));
  }
}

// Length of the valid UTF-8 sequence at s[i], 0 when there is none.
size_t Utf8Length(std::string_view s, size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  return n;
}

}  // namespace

std::vector<std::string> PlainTextLines(const std::string& value, bool mtext) {
  std::vector<std::string> lines(1);
  std::string_view s = value;
  for (size_t i = 0; i < s.size();) {
    std::string& out = lines.back();
    const char c = s[i];
    if (c == '%' && i + 2 < s.size() && s[i + 1] == '%') {
      const char k = char(std::tolower(static_cast<unsigned char>(s[i + 2])));
      if (k == 'c' || k == 'd' || k == 'p' || k == '%') {
        out += k == 'c' ? "\u2300" : k == 'd' ? "\u00b0" : k == 'p' ? "\u00b1" : "%";
        i += 3;
        continue;
      }
      if (k == 'u' || k == 'o' || k == 'k') {  // underline, overline, strike-through toggles
        i += 3;
        continue;
      }
    }
    if (c == '\\' && i + 1 < s.size()) {
      const char k = s[i + 1];
      if (k == 'U' && i + 2 < s.size() && s[i + 2] == '+') {
        unsigned cp = 0;
        size_t j = i + 3, digits = 0;
        for (; j < s.size() && digits < 4 && std::isxdigit(static_cast<unsigned char>(s[j])); ++j, ++digits)
          cp = cp * 16 + unsigned(std::isdigit(static_cast<unsigned char>(s[j])) ? s[j] - '0'
                                                                                  : std::tolower(s[j]) - 'a' + 10);
        if (digits == 4) {
          if (cp >= 0x20) AppendUtf8(cp, out);
          i = j;
          continue;
        }
      }
      if (mtext) {
        if (k == 'P') {
          lines.emplace_back();
          i += 2;
          continue;
        }
        if (k == '~') {
          out += ' ';
          i += 2;
          continue;
        }
        if (k == '\\' || k == '{' || k == '}') {
          out += k;
          i += 2;
          continue;
        }
        if (std::string_view("LlOoKkNX").find(k) != std::string_view::npos) {  // toggles without a value
          i += 2;
          continue;
        }
        if (std::string_view("ACcFfHQTWpS").find(k) != std::string_view::npos) {  // codes ending at ';'
          const size_t end = s.find(';', i);
          if (k == 'S' && end != std::string_view::npos) {  // stacked: a/b
            for (char x : s.substr(i + 2, end - i - 2)) out += x == '^' || x == '#' ? '/' : x;
          }
          i = end == std::string_view::npos ? s.size() : end + 1;
          continue;
        }
      }
    }
    if (mtext && (c == '{' || c == '}')) {
      ++i;
      continue;
    }
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      ++i;
      continue;
    }
    const size_t n = Utf8Length(s, i);
    if (n == 0) {
      AppendUtf8(u, out);  // a code-page byte: shown as Latin-1
      ++i;
    } else {
      out.append(s.substr(i, n));
      i += n;
    }
  }
  return lines;
}

}  // namespace drawclean
