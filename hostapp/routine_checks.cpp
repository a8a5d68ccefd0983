#include "hostapp/routine_checks.h"

#include <charconv>

namespace hostapp {

void Violation(Host* h, const char* routine, const std::string& what) {
  if (h != nullptr) h->ReportViolation(std::string(routine) + ": " + what);
}

const char* TextEnd(const char* text) {
  if (text == nullptr) return nullptr;
  for (size_t i = 0; i < kHostTextBufferSize; ++i)
    if (text[i] == '\0') return text + i;
  return nullptr;
}

std::string NumberText(double v) {
  char buffer[32];  // the shortest form of any double fits
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
  return ec == std::errc() ? std::string(buffer, end) : std::string("?");
}

}  // namespace hostapp
