// Comparisons of coordinates within tolerance: every equality test of the
// passes rests on these.
#pragma once

#include "base/world_types.h"
#include "runtime/debug_report.h"

// Relative tolerance of exact geometric equality (and the magnitude below
// which CoordsEqual compares absolutely instead).
inline constexpr double kCoordEpsilon = 1e-13;
// Largest legal magnitude of a rectangle edge.
inline constexpr double kMaxLegalWorldCoord = 1e100;
// Largest vertical deviation that ArePointsCollinear accepts.
inline constexpr double kCollinearityLimit = 1e-5;

// |a - b| <= tolerance, absolutely when |a| < 1e-13 or |b| <= 1e-13 (the
// asymmetry is deliberate and relied on), relatively otherwise. NaN never equals.
bool CoordsEqual(double a, double b, double tolerance = kCoordEpsilon);

bool operator==(const WorldPt& p, const WorldPt& q);   // y then x, p first
bool operator!=(const WorldPt& p, const WorldPt& q);
bool operator==(const WorldPt3D& p, const WorldPt3D& q);
bool operator!=(const WorldPt3D& p, const WorldPt3D& q);
WorldPt operator-(const WorldPt& p, const WorldPt& q);  // (p.x - q.x, p.y - q.y)
WorldPt operator+(const WorldPt& p, const WorldPt& q);
WorldPt operator*(const WorldPt& p, double s);

// Each axis of q - p within gPointTolerance / 100, limits included.
bool PointsWithinTolerance(const WorldPt& p, const WorldPt& q);
// c on the line through a and b: c equals a or b, all x equal, or b within
// kCollinearityLimit vertically of the line from a through c.
bool ArePointsCollinear(const WorldPt& a, const WorldPt& b, const WorldPt& c);
// p within the box spanned by a and b, borders included, exact comparisons.
bool PointInBox(const WorldPt& p, const WorldPt& a, const WorldPt& b);

// The one countdown both consistency checks of Set share.
extern DebugReportCountdown gWorldRectSetReports;

// Stores the edges; a partially empty or illegal rectangle is reported as a
// consistency failure (debug builds) and, when partially empty, reset to empty.
void Set(WorldRect& r, double left, double top, double right, double bottom);
bool IsEmpty(const WorldRect& r);
bool operator==(const WorldRect& r, const WorldRect& s);
bool operator!=(const WorldRect& r, const WorldRect& s);
// A cheap first filter: true for overlapping or touching rectangles (and some
// that are a little apart); false whenever either is empty.
bool BoundsNear(const WorldRect& r, const WorldRect& s);

double Minimum(double a, double b);  // a when a < b, else b (ties and NaN give b)
double Maximum(double a, double b);  // a when a > b, else b
