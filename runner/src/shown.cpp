#include "shown.h"

#include <algorithm>
#include <cstdio>

namespace drawclean {

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

}  // namespace drawclean
