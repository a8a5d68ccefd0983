// The length still drawn twice: what a cutter would cut twice, or a plotter
// draw twice, within the point tolerance.
//
// The objects are walked in drawing order, each as straight pieces (curves as
// chords, as the coverage check makes them). A point of a piece is drawn
// twice when something drawn earlier lies within the tolerance of it, and
// the drawing does not simply run on from there: near a place where two paths
// touch (a corner, a T, a crossing, one piece continuing another) points are
// close to each other only because the paths meet, so within twice the
// tolerance of such a contact the closeness counts only where the two run on
// together; and within one object, a point close to the part just drawn
// counts only once the path has gone farther than the tolerance away from it
// and come back. So two copies of a line give its length, three copies twice
// it, a square or a circle nothing, a path that turns back along itself about
// the length it retraces.
//
// Independent of the passes, like the coverage check: it reads plain host
// records.
#pragma once

#include <cstddef>
#include <vector>

#include "coverage/coverage_check.h"
#include "hostapp/objects.h"

namespace coverage {

struct Doubled {
  // Stretches drawn twice, in drawing order; `object` indexes the list given.
  std::vector<Stretch> stretches;
  // The same as straight pieces (a curve's stretch as its chords), to draw.
  std::vector<Stretch> marks;
  double length = 0;
  size_t objectsMeasured = 0;  // objects that draw something, all measurable
  size_t objectsSkipped = 0;   // objects with values past measuring (NaN, inf, huge)
  // False when measuring stopped early: the drawing is so dense within the
  // tolerance (a tolerance as large as the drawing), or its curves need so
  // many chords (a tolerance far below their radii), that the measure would
  // cost more than the run. The length is then a lower bound.
  bool complete = true;
};

Doubled MeasureDoubled(const std::vector<const hostapp::Object*>& objects, double pointTolerance);
Doubled MeasureDoubled(const std::vector<hostapp::Object>& objects, double pointTolerance);

// "12.5 in 3 stretches": the summary the reports give.
std::string DescribeDoubled(const Doubled& d);

}  // namespace coverage
