#include "failure.h"

#include <cstdio>
#include <exception>
#include <new>

namespace drawclean {

std::string Grouped(size_t n) {
  std::string digits = std::to_string(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string FailureText(const char* what, const RunStage& stage, bool outOfMemory) {
  std::string s = outOfMemory ? "out of memory" : std::string("internal error (") + what + ")";
  s += std::string(" while ") + stage.doing;
  if (stage.entitiesRead > 0) s += ", after reading " + Grouped(stage.entitiesRead) + " entities";
  return s;
}

int RunGuarded(const std::function<int()>& body, const RunStage& stage) {
  // By the time a handler runs, the drawing and the host held by body are
  // gone; still, nothing in a handler may throw again, so the text of the
  // exception is copied without the heap and the line built afterwards.
  bool outOfMemory = false;
  char what[160] = "unknown exception";
  try {
    return body();
  } catch (const std::bad_alloc&) {
    outOfMemory = true;
  } catch (const std::exception& e) {
    std::snprintf(what, sizeof what, "%s", e.what());
  } catch (...) {
  }
  try {
    std::fprintf(stderr, "drawclean: %s; no output written\n", FailureText(what, stage, outOfMemory).c_str());
  } catch (...) {
    std::fputs("drawclean: out of memory; no output written\n", stderr);
  }
  return 2;
}

}  // namespace drawclean
