// Compact builders of drawing objects for tests, benchmarks and the runner.
// Points are written (x, y) here; the records store them y first.
#pragma once

#include <initializer_list>
#include <vector>

#include "hostapp/objects.h"

namespace hostapp {

inline HostWorldPt Pt(double x, double y) { return HostWorldPt{y, x}; }
inline HostWorldPt3D Pt3(double x, double y, double z) { return HostWorldPt3D{x, y, z}; }

struct XY {
  double x, y;
};
struct XYZ {
  double x, y, z;
};
// One vertex of a vertex list: (x, y), and optionally its type and radius.
struct V {
  double x, y;
  int32_t type = kPlainCorner;
  double radius = 0;
};

inline Object Line(double x1, double y1, double x2, double y2) {
  Object o;
  o.type = kLineType;
  o.first = Pt(x1, y1);
  o.second = Pt(x2, y2);
  return o;
}

inline Object EllipticArc(double cx, double cy, double rh, double rv, double startDeg,
                          double sweepDeg) {
  Object o;
  o.type = kArcType;
  o.center = Pt(cx, cy);
  o.hRadius = rh;
  o.vRadius = rv;
  o.startDeg = startDeg;
  o.sweepDeg = sweepDeg;
  return o;
}

inline Object Arc(double cx, double cy, double r, double startDeg, double sweepDeg) {
  return EllipticArc(cx, cy, r, r, startDeg, sweepDeg);
}

inline Object Polyline(std::initializer_list<V> vertices, bool closed = false,
                       int16_t type = kVertexListType) {
  Object o;
  o.type = type;
  o.closed = closed;
  for (const V& v : vertices) o.vertices.push_back(Vertex{Pt(v.x, v.y), v.type, v.radius});
  return o;
}

inline Object Polyline(const std::vector<V>& vertices, bool closed = false,
                       int16_t type = kVertexListType) {
  Object o;
  o.type = type;
  o.closed = closed;
  for (const V& v : vertices) o.vertices.push_back(Vertex{Pt(v.x, v.y), v.type, v.radius});
  return o;
}

inline Object Poly3D(std::initializer_list<XYZ> vertices, bool closed = false) {
  Object o;
  o.type = kVertexList3DType;
  o.closed = closed;
  for (const XYZ& v : vertices) o.vertices3d.push_back(Pt3(v.x, v.y, v.z));
  return o;
}

inline Object Point17(double x, double y) {
  Object o;
  o.type = kPointType;
  o.point = Pt(x, y);
  return o;
}

inline Object Point9(double x, double y, double z) {
  Object o;
  o.type = kPoint3DType;
  o.point3d = Pt3(x, y, z);
  return o;
}

inline Object Face15(XYZ a, XYZ b, XYZ c, XYZ d, int32_t longC = 0) {
  Object o;
  o.type = kFourPoints3DType;
  o.points3d[0] = Pt3(a.x, a.y, a.z);
  o.points3d[1] = Pt3(b.x, b.y, b.z);
  o.points3d[2] = Pt3(c.x, c.y, c.z);
  o.points3d[3] = Pt3(d.x, d.y, d.z);
  o.attr.longC = longC;
  return o;
}

// A bounds-only object (types 3, 4, 10 and any code without geometry).
inline Object Box(int16_t type, double left, double top, double right, double bottom) {
  Object o;
  o.type = type;
  o.bounds = HostWorldRect{top, left, bottom, right};
  return o;
}

// Type 10: given bounds and the 32-bit value read by GetObjectLongAttrB.
inline Object Box10(double left, double top, double right, double bottom, int32_t longB) {
  Object o = Box(10, left, top, right, bottom);
  o.attr.longB = longB;
  return o;
}

// Small modifiers, chainable on a copy: InClass(Line(...), id).
inline Object InClass(Object o, ClassId cls) {
  o.cls = cls;
  return o;
}
inline Object WithAttr(Object o, const Attributes& a) {
  o.attr = a;
  return o;
}

}  // namespace hostapp
