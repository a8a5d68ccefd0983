// The entity kinds the host models. Each kind's file says how an entity of
// that kind reads into a host object, which host objects it is written for in
// which DXF versions, and how it is written: in place of the entity it was
// (keeping its other tags) or as a new entity.
#pragma once

#include <string>
#include <string_view>

#include "dxf/drawing.h"
#include "dxf/record.h"
#include "dxf/splice.h"

namespace drawclean {

// Everything a kind needs to write: the drawing, the file's style and its
// handles, and the properties of host objects.
struct EntityWriter {
  DxfDrawing& d;
  const hostapp::Host& host;
  const std::string& marker;

  std::string Tag(int code, std::string_view v) const { return FormatTag(d.file, code, v); }
  std::string Tag(int code, double v) const { return Tag(code, FormatDouble(v)); }
  std::string TagI(int code, long long v) const { return Tag(code, std::to_string(v)); }
  std::string Marker(std::string_view subclass) const {
    return d.subclassMarkers ? Tag(100, subclass) : std::string();
  }
  std::string NewHandle() { return d.handles.Next(); }
  DxfProperties PropertiesOf(const hostapp::Object& o) const;
};

// A new entity's common part: who it is, whose properties it carries.
struct NewEntity {
  const DxfEntityRecord* origin = nullptr;  // the entity it replaces, lending its handle
  DxfProperties props;
  std::string owner;   // group 330 of the entity it inherits from, "" when none
  std::string handle;  // the origin's, else given on the first Head
};

// 0/name, handle, owner, AcDbEntity and the properties the version allows.
std::string EntityHead(EntityWriter& w, std::string_view name, const NewEntity& e, std::string& handle,
                       std::string_view owner);

struct EntityKind {
  std::string_view name;
  // Fills `o` from the entity; false when the host does not model this one
  // (rec.passReason says why) or a value is malformed (r.failed).
  bool (*read)(DxfEntityRecord& rec, const DxfRecord& r, hostapp::Object& o);
  // Whether an object is written as this kind, given the entity it came
  // from (or null) and the file's version.
  bool (*writes)(const hostapp::Object& o, const DxfEntityRecord* origin, const DxfVersion& v);
  // The changed entity, its other tags kept; `edits` holds the property edits.
  std::string (*changed)(EntityWriter& w, const DxfEntityRecord& rec, const hostapp::Object& o, TagEdits edits);
  // A new entity of this kind.
  std::string (*fresh)(EntityWriter& w, const hostapp::Object& o, NewEntity& e);
  // Whether the entity can be rewritten in place for this object (else it is
  // written anew under its handle); null: always.
  bool (*keeps)(const DxfEntityRecord& rec, const DxfFile& f, const hostapp::Object& o) = nullptr;
};

// The kind of this name; null when the host does not model it.
const EntityKind* KindNamed(std::string_view name);
// The kind an object is written as; null when it has no DXF form.
const EntityKind* KindFor(const hostapp::Object& o, const DxfEntityRecord* origin, const DxfVersion& v);

// How a host arc is written: an arc of no sweep as the line of its chord
// (it would read back as a full turn), what reads back as a full turn as a
// circle, unequal radii (or an ellipse before) as an ellipse; kNone when its
// angles are not finite.
enum class ArcForm { kNone, kLine, kCircle, kArc, kEllipse };
ArcForm ArcFormOf(const hostapp::Object& o, const DxfEntityRecord* origin);

// The host object record k of the drawing stands for, exactly as it went
// into the host: read again from the file, so the drawing keeps no copy.
// False when it stands for none.
bool ObjectOf(const DxfDrawing& d, size_t k, hostapp::Object& o);

// A SPLINE, read only when the drawing asks for splines: its curve as a flat
// polyline within `deviation` of it. Never written as such: a changed one is
// written as the polyline it became.
bool ReadSpline(DxfEntityRecord& rec, const DxfRecord& r, double deviation, hostapp::Object& o);

// Each kind, defined in its own file.
extern const EntityKind kLineKind, kCircleKind, kArcKind, kEllipseKind, kPointKind, kFaceKind,
    kLwPolylineKind, kPolylineKind;

}  // namespace drawclean
