#include "dxf/record.h"

#include <cmath>

#include "shown.h"

namespace drawclean {

double DxfRecord::NumAt(size_t i, double fallback) const {
  const auto v = TagDouble(f.tags[i]);
  if (v && std::isfinite(*v)) return *v;
  Fail(i, "group " + std::to_string(f.tags[i].code) + " value '" + Shown(Trimmed(f.tags[i].value)) +
              "' is not a finite number");
  return fallback;
}

long long DxfRecord::IntAt(size_t i, long long fallback) const {
  const auto v = TagInt(f.tags[i]);
  if (v) return *v;
  Fail(i, "group " + std::to_string(f.tags[i].code) + " value '" + Shown(Trimmed(f.tags[i].value)) +
              "' is not an integer");
  return fallback;
}

void DxfRecord::Fail(size_t tag, const std::string& what) const {
  if (lenient || failed) return;
  failed = true;
  if (error)
    *error = "line " + std::to_string(f.LineOf(tag) + 1) + ": " + Shown(Trimmed(f.tags[first].value)) + ": " + what;
}

}  // namespace drawclean
