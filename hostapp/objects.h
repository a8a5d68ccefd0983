// The drawing objects the host models, as plain records. The host answers
// every routine from these; the runner maps drawing files onto them.
#pragma once

#include <cstdint>
#include <vector>

#include "cleanup/host_abi.h"

namespace hostapp {

struct Vertex {
  HostWorldPt p{};    // y first, as everywhere in the host interface
  int32_t type = kPlainCorner;  // or kArcVertex (tangent point); others opaque
  double radius = 0;
};

struct Attributes {
  int16_t wordA = 0;        // selectors 3 / 11
  int16_t wordB = 0;        // selectors 2 / 10
  int32_t longAttr = 0;     // selectors 1 / 9
  uint8_t record[4] = {};   // selectors 62 / 63
  uint8_t flags[6] = {};    // A..F (420..425 / 426..431), the byte as answered
  int32_t longB = 0;        // selector 493 (type 10)
  int32_t longC = 0;        // selector 127 (type 15)
  int64_t group = 0;        // host-internal group: moved only by CopyObjectAttributes
};

struct Object {
  int16_t type = 0;
  ClassId cls = 0;
  Attributes attr;
  // type 2: line
  HostWorldPt first{}, second{};
  // type 6: arc (degrees; hRadius multiplies the cosine, vRadius the sine)
  double startDeg = 0, sweepDeg = 0;
  HostWorldPt center{};
  double hRadius = 0, vRadius = 0;
  // type 17: 2D point; type 9: 3D point; type 15: four 3D points
  HostWorldPt point{};
  HostWorldPt3D point3d{};
  HostWorldPt3D points3d[4]{};
  // types 5 and 21: vertex list; type 25: 3D vertex list
  std::vector<Vertex> vertices;
  std::vector<HostWorldPt3D> vertices3d;
  bool closed = false;
  // types 3, 4, 10 and every code without geometry of its own: given bounds
  HostWorldRect bounds{};
};

}  // namespace hostapp
