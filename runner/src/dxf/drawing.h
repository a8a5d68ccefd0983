// A DXF drawing as the runner holds it: the file's tags, and for each entity
// of the ENTITIES section the host object made from it.
//
// Entities the host models become host objects; everything else (other
// sections, tables, blocks, entities in paper space or of kinds the host does
// not model) stays as tags and is written back byte for byte. Attributes::group
// of every mapped object holds the index (+1) of the entity whose common
// properties it carries, so an object a pass creates in place of another
// inherits its layer, colour, linetype and lineweight.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dxf/blocks.h"
#include "dxf/handles.h"
#include "dxf/structure.h"
#include "dxf/tags.h"
#include "dxf/version.h"
#include "hostapp/arc_vertices.h"
#include "hostapp/host.h"
#include "hostapp/large_blocks.h"

namespace drawclean {

// Why an entity of the ENTITIES section became no host object.
enum class PassReason : uint8_t {
  kNone,            // mapped
  kKind,            // a kind the host does not model (TEXT, HATCH, ...)
  kPaperSpace,
  kOffPlane,        // extrusion other than +Z
  kPolygonMesh,
  kPolyfaceMesh,
  kFitted,          // curve- or spline-fitted polyline
  kRotatedEllipse,  // major axis off both axes
  kMalformed,       // no vertices, axis ratio out of range
  kTooManyVertices,
  // --splines: a SPLINE the runner cannot draw, left as it is
  kSplineFewPoints,   // fewer control points than its degree + 1
  kSplineKnots,       // knots not ascending, the wrong number, or no span
  kSplineWeights,     // a weight not above 0, or not one per control point
  kSplineNotFinite,   // a value that is no finite number
  kSplineTooFine,     // more vertices than a polyline holds within the tolerance
};

// Common properties of one entity, as read from its tags.
struct DxfProperties {
  std::string layer = "0";         // 8
  std::string linetype;            // 6, "" when absent (BYLAYER)
  int16_t colour = 256;            // 62, 256 = BYLAYER
  int16_t lineweight = -1;         // 370, -1 = BYLAYER
  int32_t trueColour = -1;         // 420, -1 when absent
  bool invisible = false;          // 60
};

struct DxfEntityRecord {
  DxfEntity span;              // tag range in the file
  std::string_view kind;       // entity name (LINE, ARC, ...), a view into the file
  DxfProperties props;
  ObjectHandle handle = 0;     // the host object made from it; 0 = passed through
  ClassId cls = 0;             // its layer's class, and its linetype's index, as it went into the host
  uint16_t linetype = 0;
  int ellipseQuarter = 0;      // ELLIPSE: major axis direction in quarter turns
  PassReason passReason = PassReason::kNone;  // why it passed through (handle 0)
  std::string_view entityHandle;  // group 5, "" when absent
};

// How a drawing is read: SPLINEs become polylines only when asked for, within
// this distance of the curve.
struct DxfReadOptions {
  std::optional<double> splineDeviation;
};

struct DxfDrawing {
  DxfFile file;
  DxfReadOptions options;
  // A user block read as a drawing of its own: where its entities lie in the
  // whole file, which `file` views.
  std::optional<DxfBlock> block;
  std::optional<DxfSection> entities;
  std::vector<DxfEntityRecord, hostapp::LargeAllocator<DxfEntityRecord>> records;
  std::vector<std::string> linetypes{""};  // index kept in attribute record bytes 2-3
  DxfVersion version;
  // New entities carry handles and subclass markers: when the file's own
  // entities do, and always from R13 on, where readers require them.
  bool usesHandles = false;
  bool subclassMarkers = false;
  DxfHandles handles;
};

// Reads the text into the drawing and adds its mapped entities to the host
// in file order. False with a one-line reason on malformed input.
bool LoadDxf(std::string text, hostapp::Host& host, DxfDrawing& drawing, std::string* error,
             const DxfReadOptions& options = {});
// The same over bytes that `owner` keeps.
bool LoadDxf(std::shared_ptr<const void> owner, std::string_view text, hostapp::Host& host, DxfDrawing& drawing,
             std::string* error, const DxfReadOptions& options = {});
// A user block of `whole` as a drawing of its own in `host`, read with the
// whole drawing's options; its new entities take handles after the whole's.
bool LoadDxfBlock(const DxfDrawing& whole, const DxfBlock& block, hostapp::Host& host, DxfDrawing& part,
                  std::string* error);

struct DxfWriteStats {
  size_t unchanged = 0, changed = 0, created = 0, removed = 0, skipped = 0;
  // A new entity needed a handle and none above the largest in use was free:
  // the text must not be written.
  bool outOfHandles = false;
};

// A user block's drawing as its own host now holds it, for SaveDxf to write
// in place of the block's entities.
struct DxfBlockWrite {
  DxfDrawing* part = nullptr;
  const hostapp::Host* host = nullptr;
  std::string markerClass;
  DxfWriteStats stats;  // filled by SaveDxf
};

// The drawing as the host now holds it: unchanged entities byte for byte,
// changed ones with their new geometry, new ones with fresh handles; each of
// `blocks` the same way inside its block. `markerClass` names the plug-in's
// marker class, which never reaches the file.
std::string SaveDxf(DxfDrawing& drawing, const hostapp::Host& host, const std::string& markerClass,
                    DxfWriteStats* stats = nullptr, std::vector<DxfBlockWrite>* blocks = nullptr);

// Bulges to arc vertices and back: the host's own conversion.
using hostapp::BulgeVertex;
using hostapp::BulgesFromVertices;
using hostapp::VerticesFromBulges;

}  // namespace drawclean
