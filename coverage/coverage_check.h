// The coverage check: nothing the user drew is lost, nothing new is drawn.
//
// Given a drawing before and after a clean-up run, every stretch drawn before
// (lines, arcs and elliptical arcs as true curves, vertex lists with their
// arc vertices, 3D vertex lists and faces seen from above) must lie within the
// point tolerance of what is drawn after, and every stretch drawn after within
// the point tolerance of what was drawn before. Exempt, because a pass is
// meant to remove them: objects no larger than the size tolerance when the
// degenerate pass ran, and points (they draw no stretch). Vertex clean-up's
// and vertex reduction's moves stay within the tolerance, so they need no
// rule of their own.
//
// Independent of the passes: it reads plain host records and measures
// distances, so a fault shared by every way of running a pass still shows.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "hostapp/objects.h"

namespace coverage {

struct Rules {
  double pointTolerance = 0;  // world units
  double sizeTolerance = 0;   // world units
  // The passes that ran, by option flag 0..8: they decide what is exempt.
  std::array<bool, 9> passes{};
};

// One stretch drawn on one side and not within reach on the other.
struct Stretch {
  size_t object = 0;        // index into the list it was drawn in
  double fromX = 0, fromY = 0, toX = 0, toY = 0;  // its ends
  double length = 0;
};

struct Report {
  std::vector<Stretch> missing;  // drawn before, not after: lost
  std::vector<Stretch> added;    // drawn after, not before
  double missingLength = 0, addedLength = 0;
  size_t objectsChecked = 0;     // objects before that draw something checked
  size_t objectsExempt = 0;      // removed or skipped by rule (small, points, non-finite)
  bool Passed() const { return missing.empty() && added.empty(); }
};

// `before` and `after` are the drawing's objects (those in the plug-in's
// marker class already left out of `after`).
Report CheckCoverage(const std::vector<hostapp::Object>& before,
                     const std::vector<hostapp::Object>& after, const Rules& rules);

// "12.5 long from (0, 0) to (12.5, 0)": the stretch's size and place.
std::string Describe(const Stretch& s);

}  // namespace coverage
