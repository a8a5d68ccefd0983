// A straight stretch that would replace a run of corners, and how to tell,
// cheaply, that every corner of the run lies near it. Vertex reduction grows
// its windows with these; vertex clean-up checks the corners it has already
// dropped against the stretch that replaces them.
#pragma once

#include "base/world_types.h"

// The line from a window's anchor to its end, worked out once per window.
struct WindowLine {
  WorldPt a, b;
  WorldPt e;      // unit direction; the zero vector when a and b coincide
  double length;  // 0 when a and b coincide
};

WindowLine LineThrough(WorldPt a, WorldPt b);

// Squared distance from p to the line through a and b; with a and b
// coinciding, the squared distance from p to a. Beyond either end it is the
// distance to that end: a corner far out along the line (where the outline
// turns back) is not near the straight run that would replace it, and
// dropping it would erase the stretch drawn out and back. NaN when any
// coordinate is NaN: callers must treat that as "not near".
double SquaredDistanceToLine(WorldPt p, const WindowLine& line);

// A cone of directions from a window's anchor that certifies, without
// measuring each inner corner again, that every inner corner passes
// SquaredDistanceToLine against the line to a new end. Each inner corner p at
// distance r > tolC from the anchor allows the directions within
// asin(tolC / r) of its own (less a margin), so a line in all of them passes
// within tolC of every such corner; a corner within tolC of the anchor passes
// whatever the direction; and an end farther from the anchor than every inner
// corner keeps each of them between the ends, where the distance is the one
// to the line. tolC lies below the tolerance by more than the rounding of the
// arithmetic at the largest coordinate, so a certified window passes the
// corner-by-corner measure too. A window the cone cannot certify must be
// measured corner by corner; NaN, infinite or huge coordinates, and a
// tolerance that is no positive finite width, never certify.
class WindowCone {
 public:
  // `largest`: the largest coordinate magnitude among the corners in play.
  WindowCone(WorldPt anchor, double tolSquared, double largest);

  // The window grew: p is its newest inner corner.
  void Add(WorldPt p);
  // Whether every inner corner added so far lies within tolerance of the
  // line from the anchor to b.
  bool Certifies(WorldPt b) const;

 private:
  WorldPt a_;
  double largest_;
  double tolC_ = 0;
  bool valid_ = false;
  bool directed_ = false;  // some inner corner lies beyond tolC
  double reference_ = 0, low_ = 0, high_ = 0;
  double farthest_ = 0;
};
