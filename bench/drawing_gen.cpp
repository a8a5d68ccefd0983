#include "drawing_gen.h"

#include "hostapp/builders.h"

namespace bench {

namespace {

using hostapp::Arc;
using hostapp::Line;
using hostapp::Object;
using hostapp::Point17;
using hostapp::Poly3D;
using hostapp::Polyline;

// Cells sit on a grid far enough apart that no two cells share a point, so
// the comparing passes walk the whole drawing but pair only within a cell.
constexpr double kCellPitch = 200.0;
constexpr size_t kCellsPerRow = 100;

// One cell at offset (x, y), in drawing order.
void AppendCell(double x, double y, std::vector<Object>& out) {
  // Lines with a duplicate and a collinear overlap.
  out.push_back(Line(x, y, x + 10, y));
  out.push_back(Line(x, y, x + 10, y));
  out.push_back(Line(x + 8, y, x + 20, y));
  // A rectangle drawn as four separate lines meeting end to end.
  out.push_back(Line(x + 30, y, x + 40, y));
  out.push_back(Line(x + 40, y, x + 40, y + 10));
  out.push_back(Line(x + 40, y + 10, x + 30, y + 10));
  out.push_back(Line(x + 30, y + 10, x + 30, y));
  // Polylines: collinear corners, ends that meet, a nearly straight run.
  out.push_back(Polyline({{x, y + 20}, {x + 5, y + 20}, {x + 10, y + 20}, {x + 10, y + 30},
                          {x + 10, y + 35}}));
  out.push_back(Polyline({{x + 20, y + 20}, {x + 30, y + 20}, {x + 30, y + 30}, {x + 20, y + 20}}));
  out.push_back(Polyline({{x + 40, y + 20}, {x + 45, y + 20.00001}, {x + 50, y + 20},
                          {x + 55, y + 25}},
                         false, 21));
  // Two overlapping arcs of one circle, and an arc on its own.
  out.push_back(Arc(x + 60, y + 60, 5, 0, 90));
  out.push_back(Arc(x + 60, y + 60, 5, 60, 90));
  out.push_back(Arc(x + 80, y + 10, 3, 0, 180));
  // Three-dimensional vertex objects, open and closed.
  out.push_back(Poly3D({{x, y + 50, 0}, {x + 10, y + 50, 5}, {x + 10, y + 60, 5}}));
  out.push_back(Poly3D({{x + 20, y + 50, 1}, {x + 30, y + 50, 1}, {x + 30, y + 60, 2}}, true));
  // Tiny objects: a degenerate line, a point, a polyline of one spot.
  out.push_back(Line(x + 70, y + 70, x + 70.00001, y + 70));
  out.push_back(Point17(x + 75, y + 75));
  out.push_back(Polyline({{x + 90, y + 90}, {x + 90.00001, y + 90}, {x + 90, y + 90.00001}}));
  // Two lines that meet at a corner.
  out.push_back(Line(x, y + 90, x + 30, y + 90));
  out.push_back(Line(x + 30, y + 90, x + 30, y + 95));
}

}  // namespace

std::vector<Object> MixedDrawing(size_t n) {
  std::vector<Object> out;
  out.reserve(n + kCellSize);
  for (size_t cell = 0; out.size() < n; ++cell) {
    const double x = static_cast<double>(cell % kCellsPerRow) * kCellPitch;
    const double y = static_cast<double>(cell / kCellsPerRow) * kCellPitch;
    AppendCell(x, y, out);
  }
  out.resize(n);
  return out;
}

}  // namespace bench
