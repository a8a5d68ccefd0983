#include "dxf/structure.h"

namespace drawclean {

std::vector<DxfSection> FindSections(const DxfFile& file) {
  std::vector<DxfSection> sections;
  const auto& t = file.tags;
  for (size_t i = 0; i + 1 < t.size(); ++i) {
    if (t[i].code != 0 || Trimmed(t[i].value) != "SECTION" || t[i + 1].code != 2) continue;
    DxfSection s;
    s.name = std::string(Trimmed(t[i + 1].value));
    s.first = i;
    s.body = i + 2;
    size_t j = s.body;
    while (j < t.size() && !(t[j].code == 0 && (Trimmed(t[j].value) == "ENDSEC" ||
                                                Trimmed(t[j].value) == "EOF")))
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
    e.first = i;
    const bool polyline = Trimmed(t[i].value) == "POLYLINE";
    ++i;
    while (i < end) {
      if (t[i].code == 0) {
        const std::string_view name = Trimmed(t[i].value);
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
    e.last = i;
    entities.push_back(e);
  }
  return entities;
}

size_t RecordEnd(const DxfFile& file, size_t first, size_t last) {
  for (size_t i = first + 1; i < last; ++i)
    if (file.tags[i].code == 0) return i;
  return last;
}

}  // namespace drawclean
