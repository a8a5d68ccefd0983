// Where things are in a DXF file: its sections, the entities of a section,
// and the record of an entity before its sub-records.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "dxf/tags.h"

namespace drawclean {

struct DxfSection {
  std::string name;
  size_t first = 0;  // the 0/SECTION tag
  size_t body = 0;   // first tag after 2/name
  size_t end = 0;    // the 0/ENDSEC tag (or the EOF tag when missing)
};
std::vector<DxfSection> FindSections(const DxfFile& file);

// One entity: its 0-tag and everything up to the next 0-tag; a POLYLINE also
// takes its VERTEX records and the SEQEND, so it moves as one piece.
struct DxfEntity {
  size_t first = 0;
  size_t last = 0;  // one past the end
};
std::vector<DxfEntity> SplitEntities(const DxfFile& file, size_t body, size_t end);

// The end of the record that starts at tag `first`: the next 0-tag before
// `last`, else `last`.
size_t RecordEnd(const DxfFile& file, size_t first, size_t last);

}  // namespace drawclean
