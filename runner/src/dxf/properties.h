// Common properties of an entity (layer, colour, linetype, lineweight, true
// colour, invisibility): read from its tags, carried by a host object's class
// and attributes, and written back as edits of the entity's tags.
#pragma once

#include <cstddef>
#include <string>

#include "dxf/drawing.h"
#include "dxf/record.h"
#include "dxf/splice.h"

namespace drawclean {

// What one entity record says besides its geometry.
struct DxfEntityHead {
  DxfProperties props;
  std::string_view handle;     // group 5
  bool subclassMarkers = false;  // has a 100 tag
  bool paperSpace = false;     // 67 not 0
};
// Reads the head from the record; a malformed number fails `r`.
DxfEntityHead ReadEntityHead(const DxfRecord& r);

// The class and linetype index of a record's properties, made where missing.
void ResolveProperties(DxfEntityRecord& rec, DxfDrawing& d, hostapp::Host& host);
// The record's properties into the object: the layer as its class, the rest
// in its attributes; `index` is the record's place in the drawing.
void ApplyProperties(const DxfEntityRecord& rec, size_t index, hostapp::Object& o);

// The properties an object carries now; what it cannot say comes from the
// entity whose properties it inherited.
DxfProperties PropertiesOf(const DxfDrawing& d, const hostapp::Host& host, const std::string& marker,
                           const hostapp::Object& o);

// Edits that give an entity with properties `was` the properties `now`.
void PropertyEdits(const DxfProperties& now, const DxfProperties& was, TagEdits& edits);

}  // namespace drawclean
