// The tags of one record (an entity up to its first sub-record, a vertex, a
// hatch edge), read by group code. Everything that reads DXF values reads
// them through here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dxf/tags.h"

namespace drawclean {

struct DxfRecord {
  const DxfFile& f;
  size_t first, last;       // the record's 0-tag (or leading tag) and one past its end
  // Where a malformed value is reported. A lenient record (the picture, which
  // is never a reason to fail) reads it as the fallback and says nothing.
  std::string* error = nullptr;
  bool lenient = false;
  mutable bool failed = false;

  const DxfTag& At(size_t i) const { return f.tags[i]; }
  // The first tag of `code` after the leading one (or from `from`).
  std::optional<size_t> Find(int code, size_t from = SIZE_MAX) const {
    for (size_t i = from == SIZE_MAX ? first + 1 : from; i < last; ++i)
      if (f.tags[i].code == code) return i;
    return std::nullopt;
  }
  double Num(int code, double fallback = 0.0) const {
    const auto i = Find(code);
    return i ? NumAt(*i, fallback) : fallback;
  }
  // A finite number, else the fallback (and, strictly, a failure).
  double NumAt(size_t i, double fallback = 0.0) const;
  long long Int(int code, long long fallback = 0) const {
    const auto i = Find(code);
    return i ? IntAt(*i, fallback) : fallback;
  }
  long long IntAt(size_t i, long long fallback = 0) const;
  std::string_view View(int code, std::string_view fallback = {}) const {
    const auto i = Find(code);
    return i ? Trimmed(f.tags[*i].value) : fallback;
  }
  std::string Str(int code, std::string_view fallback = {}) const { return std::string(View(code, fallback)); }
  // Records the first failure: "line N: KIND: what".
  void Fail(size_t tag, const std::string& what) const;
  // Extrusion +Z, the only one the host's flat objects have.
  bool FlatExtrusion() const { return Num(210, 0.0) == 0.0 && Num(220, 0.0) == 0.0 && Num(230, 1.0) == 1.0; }
};

}  // namespace drawclean
