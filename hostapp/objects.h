// The drawing objects the host models, as plain records. The host answers
// every routine from these; the runner maps drawing files onto them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
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

// The four points of a type-15 object, kept apart from the record since no
// other object has them: a drawing of a million lines would otherwise carry
// 96 unused bytes in each. Reads of an object without them see four zero
// points; a write gives the object its own four.
class FourPoints3D {
 public:
  FourPoints3D() = default;
  FourPoints3D(const FourPoints3D& other) : points_(other.points_ ? std::make_unique<Four>(*other.points_) : nullptr) {}
  FourPoints3D(FourPoints3D&&) noexcept = default;
  FourPoints3D& operator=(const FourPoints3D& other) {
    if (this != &other) points_ = other.points_ ? std::make_unique<Four>(*other.points_) : nullptr;
    return *this;
  }
  FourPoints3D& operator=(FourPoints3D&&) noexcept = default;

  const HostWorldPt3D& operator[](size_t i) const { return Read()[i]; }
  HostWorldPt3D& operator[](size_t i) { return Own()[i]; }
  const HostWorldPt3D* begin() const { return Read().data(); }
  const HostWorldPt3D* end() const { return Read().data() + 4; }
  HostWorldPt3D* begin() { return Own().data(); }
  HostWorldPt3D* end() { return Own().data() + 4; }

 private:
  using Four = std::array<HostWorldPt3D, 4>;
  const Four& Read() const {
    static const Four kNone{};
    return points_ ? *points_ : kNone;
  }
  Four& Own() {
    if (!points_) points_ = std::make_unique<Four>();
    return *points_;
  }
  std::unique_ptr<Four> points_;
};

// The vertices of a type-25 object, held apart for the same reason: a list
// with the member functions the host and its front ends use of a vector.
class Vertices3D {
 public:
  using List = std::vector<HostWorldPt3D>;
  Vertices3D() = default;
  Vertices3D(const Vertices3D& other) : list_(other.list_ ? std::make_unique<List>(*other.list_) : nullptr) {}
  Vertices3D(Vertices3D&&) noexcept = default;
  Vertices3D& operator=(const Vertices3D& other) {
    if (this != &other) list_ = other.list_ ? std::make_unique<List>(*other.list_) : nullptr;
    return *this;
  }
  Vertices3D& operator=(Vertices3D&&) noexcept = default;
  Vertices3D& operator=(List list) {
    Own() = std::move(list);
    return *this;
  }

  size_t size() const { return list_ ? list_->size() : 0; }
  bool empty() const { return size() == 0; }
  const HostWorldPt3D& operator[](size_t i) const { return (*list_)[i]; }
  const HostWorldPt3D& front() const { return (*list_).front(); }
  const HostWorldPt3D& back() const { return (*list_).back(); }
  HostWorldPt3D& operator[](size_t i) { return Own()[i]; }
  List::const_iterator begin() const { return Read().begin(); }
  List::const_iterator end() const { return Read().end(); }
  List::iterator begin() { return Own().begin(); }
  List::iterator end() { return Own().end(); }
  void push_back(const HostWorldPt3D& p) { Own().push_back(p); }
  List::iterator erase(List::const_iterator at) { return Own().erase(at); }
  void clear() { list_.reset(); }

 private:
  const List& Read() const {
    static const List kNone;
    return list_ ? *list_ : kNone;
  }
  List& Own() {
    if (!list_) list_ = std::make_unique<List>();
    return *list_;
  }
  std::unique_ptr<List> list_;
};

struct Object {
  int16_t type = 0;
  bool closed = false;  // types 5, 21, 25 (here, where it fills a gap)
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
  FourPoints3D points3d;
  // types 5 and 21: vertex list; type 25: 3D vertex list
  std::vector<Vertex> vertices;
  Vertices3D vertices3d;
  // types 3, 4, 10 and every code without geometry of its own: given bounds
  HostWorldRect bounds{};
};

}  // namespace hostapp
