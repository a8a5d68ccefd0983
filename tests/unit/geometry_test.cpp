// Coordinate comparisons, rectangles, ArcInfo and the consistency reports of Set.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/run_globals.h"
#include "cleanup/host_abi.h"
#include "geometry/arc_info.h"
#include "geometry/coords.h"
#include "runtime/debug_report.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Captures reports so the tests see them instead of standard error, and
// leaves the countdown full and the hook removed afterwards.
struct ReportCapture {
  struct Report {
    std::string title, detail;
  };
  static inline std::vector<Report> reports;
  static void Hook(const char* title, const char* detail) { reports.push_back({title, detail}); }

  ReportCapture() {
    reports.clear();
    gWorldRectSetReports.remaining = kDebugReportLimit;
    SetDebugReportHook(&Hook);
  }
  ~ReportCapture() {
    SetDebugReportHook(nullptr);
    gWorldRectSetReports.remaining = kDebugReportLimit;
  }
};

WorldRect Rect(double left, double top, double right, double bottom) {
  WorldRect r;
  r.left = left;
  r.top = top;
  r.right = right;
  r.bottom = bottom;
  return r;
}

struct CoordsCase {
  double a, b, tolerance;
  bool equal;
};

TEST(CoordsEqual, AbsoluteRelativeAndAsymmetricSwitch) {
  const CoordsCase cases[] = {
      {1e-14, 0, kCoordEpsilon, true},            // absolute
      {1.0, 1.0 + 1e-12, kCoordEpsilon, false},   // relative, too far
      {1e6, 1e6 + 1e-8, kCoordEpsilon, true},     // relative: 1e-8 <= 1e-13 * 1e6
      {2e-13, 1e-13, kCoordEpsilon, true},        // b at the inclusive bound: absolute
      {1e-13, 2e-13, kCoordEpsilon, false},       // a at the strict bound: relative
      {-5.0, -5.0, kCoordEpsilon, true},
      {0.5, 0.6, 0.25, true},                     // relative: 0.1 <= 0.25 * 0.6
      {0.5, 0.7, 0.25, false},                    // 0.2 > 0.25 * 0.7
      {0.0, 0.3, 0.25, false},
      {kNaN, kNaN, kCoordEpsilon, false},
      {kNaN, 0.0, 1e300, false},
      {0.0, kNaN, 1e300, false},
  };
  for (const CoordsCase& c : cases) {
    EXPECT_EQ(CoordsEqual(c.a, c.b, c.tolerance), c.equal) << c.a << " vs " << c.b;
  }
}

TEST(WorldPtOps, EqualityArithmeticAndLayout) {
  const WorldPt p(3, 4);
  EXPECT_EQ(p.x, 3);
  EXPECT_EQ(p.y, 4);
  EXPECT_TRUE(p == WorldPt(3, 4));
  EXPECT_TRUE(p != WorldPt(3, 4.001));
  // Equality takes the left point's value first: the asymmetric switch shows.
  EXPECT_TRUE(WorldPt(0, 2e-13) == WorldPt(0, 1e-13));
  EXPECT_FALSE(WorldPt(0, 1e-13) == WorldPt(0, 2e-13));
  const WorldPt d = WorldPt(5, 7) - WorldPt(1, 2);
  EXPECT_EQ(d.x, 4);
  EXPECT_EQ(d.y, 5);
  const WorldPt s = WorldPt(1, 2) + WorldPt(10, 20);
  EXPECT_EQ(s.x, 11);
  EXPECT_EQ(s.y, 22);
  const WorldPt k = WorldPt(1, -2) * 3.0;
  EXPECT_EQ(k.x, 3);
  EXPECT_EQ(k.y, -6);
  EXPECT_TRUE(WorldPt3D(1, 2, 3) == WorldPt3D(1, 2, 3));
  EXPECT_TRUE(WorldPt3D(1, 2, 3) != WorldPt3D(1, 2, 3.5));
}

TEST(PointsWithinTolerance, HundredthOfThePointToleranceLimitsIncluded) {
  const double kept = gPointTolerance;
  gPointTolerance = 100.0;  // limit 1.0 per axis
  EXPECT_TRUE(PointsWithinTolerance(WorldPt(0, 0), WorldPt(1, -1)));
  EXPECT_FALSE(PointsWithinTolerance(WorldPt(0, 0), WorldPt(1.5, 0)));
  EXPECT_FALSE(PointsWithinTolerance(WorldPt(0, 0), WorldPt(0, -1.5)));
  EXPECT_FALSE(PointsWithinTolerance(WorldPt(0, 0), WorldPt(kNaN, 0)));
  gPointTolerance = kept;
}

struct CollinearCase {
  WorldPt a, b, c;
  bool collinear;
};

TEST(ArePointsCollinear, Table) {
  const CollinearCase cases[] = {
      {{0, 0}, {0, 5}, {0, 10}, true},           // vertical line
      {{0, 0}, {5, 0}, {10, 1e-6}, true},        // b within 1e-5 of line a..c
      {{0, 0}, {5, 1e-4}, {10, 0}, false},
      {{0, 0}, {5, 5}, {10, 10}, true},
      {{0, 0}, {3, 7}, {0, 0}, true},            // c equals a
      {{1, 1}, {3, 7}, {3, 7}, true},            // c equals b
      {{0, 0}, {5, 5}, {0, 10}, false},          // c above a, b beside: infinite slope
      {{0, 0}, {5, 1e-5}, {10, 0}, false},       // the limit is strict
  };
  for (const CollinearCase& c : cases) {
    EXPECT_EQ(ArePointsCollinear(c.a, c.b, c.c), c.collinear)
        << "(" << c.a.x << "," << c.a.y << ") (" << c.b.x << "," << c.b.y << ") (" << c.c.x
        << "," << c.c.y << ")";
  }
}

TEST(PointInBox, EitherCornerOrderBordersIncluded) {
  struct Case {
    WorldPt p, a, b;
    bool inside;
  };
  const Case cases[] = {
      {{0, 0}, {0, 0}, {4, 4}, true},      // p equals a
      {{2, 2}, {4, 4}, {0, 0}, true},      // corners reversed
      {{4, 1}, {0, 0}, {4, 4}, true},      // on the border
      {{5, 1}, {0, 0}, {4, 4}, false},
      {{2, 1}, {0, 1}, {4, 1}, true},      // flat box: y must match exactly
      {{2, 1 + 1e-15}, {0, 1}, {4, 1}, false},
      {{kNaN, 1}, {0, 0}, {4, 4}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(PointInBox(c.p, c.a, c.b), c.inside) << c.p.x << "," << c.p.y;
}

TEST(WorldRectOps, EmptyAndEquality) {
  const WorldRect empty;
  EXPECT_TRUE(IsEmpty(empty));
  EXPECT_TRUE(empty == WorldRect());
  const WorldRect unit = Rect(0, 1, 1, 0);
  EXPECT_FALSE(IsEmpty(unit));
  EXPECT_TRUE(empty != unit);
  EXPECT_TRUE(unit != empty);
  EXPECT_TRUE(unit == Rect(0, 1, 1, 0));
  EXPECT_TRUE(unit != Rect(0, 1, 1.5, 0));
  // Two differently empty rectangles are equal: emptiness is all that counts.
  EXPECT_TRUE(Rect(5, 0, 1, 0) == empty);
  EXPECT_TRUE(IsEmpty(Rect(0, 0, 1, 2)));  // top below bottom
}

TEST(WorldRectSet, StoresLegalAndResetsPartiallyEmpty) {
  ReportCapture capture;
  struct Case {
    double left, top, right, bottom;
    bool expectEmpty;
  };
  const Case cases[] = {
      {0, 2, 3, -1, false},
      {1, 1, 1, 1, false},             // a point is a rectangle
      {5, 1, 0, 0, true},              // left > right
      {0, 0, 1, 1, true},              // bottom > top
      {kNaN, 1, 1, 0, true},           // NaN edge
      {0, 1, 1, kNaN, true},
      {DBL_MAX, -DBL_MAX, -DBL_MAX, DBL_MAX, true},  // exactly the empty rectangle
  };
  for (const Case& c : cases) {
    WorldRect r = Rect(9, 9, 9, 9);
    Set(r, c.left, c.top, c.right, c.bottom);
    EXPECT_EQ(IsEmpty(r), c.expectEmpty) << c.left << " " << c.top << " " << c.right << " "
                                         << c.bottom;
    if (c.expectEmpty) {
      EXPECT_EQ(r.top, -DBL_MAX);
      EXPECT_EQ(r.left, DBL_MAX);
      EXPECT_EQ(r.bottom, DBL_MAX);
      EXPECT_EQ(r.right, -DBL_MAX);
    } else {
      EXPECT_EQ(r.left, c.left);
      EXPECT_EQ(r.top, c.top);
      EXPECT_EQ(r.right, c.right);
      EXPECT_EQ(r.bottom, c.bottom);
    }
  }
  // An illegal but ordered rectangle keeps its values.
  WorldRect huge;
  Set(huge, -1e101, 1, 1, 0);
  EXPECT_EQ(huge.left, -1e101);
}

TEST(BoundsNear, Table) {
  struct Case {
    WorldRect r, s;
    bool near;
  };
  const Case cases[] = {
      {Rect(0, 1, 1, 0), Rect(1, 1, 2, 0), true},     // touching unit squares
      {Rect(0, 1, 1, 0), Rect(3, 1, 4, 0), false},    // right edges 3 apart
      {Rect(0, 1, 1, 0), Rect(2, 1, 3, 0), true},     // apart by less than the widths
      {Rect(0, 1, 1, 0), Rect(0, 4, 1, 3), false},    // apart vertically
      {Rect(0, 1, 1, 0), WorldRect(), false},         // empty is near nothing
      {WorldRect(), WorldRect(), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BoundsNear(c.r, c.s), c.near);
    EXPECT_EQ(BoundsNear(c.s, c.r), c.near);
  }
}

TEST(MinimumMaximum, TiesAndNaNGiveTheSecond) {
  EXPECT_EQ(Minimum(1, 2), 1);
  EXPECT_EQ(Minimum(2, 1), 1);
  EXPECT_EQ(Maximum(1, 2), 2);
  EXPECT_EQ(Maximum(2, 1), 2);
  // -0.0 and 0.0 tie: the sign tells which one came back.
  EXPECT_TRUE(std::signbit(Minimum(0.0, -0.0)));
  EXPECT_FALSE(std::signbit(Maximum(-0.0, 0.0)));
  EXPECT_TRUE(std::isnan(Minimum(1, kNaN)));
  EXPECT_EQ(Minimum(kNaN, 1), 1);
  EXPECT_TRUE(std::isnan(Maximum(1, kNaN)));
  EXPECT_EQ(Maximum(kNaN, 1), 1);
  EXPECT_EQ(Maximum(-kInf, kInf), kInf);
}

TEST(ArcPoints, StartAndEndFromCentreRadiiAndAngles) {
  ArcInfo arc{};
  arc.center = WorldPt(10, 20);
  arc.hRadius = 2;  // multiplies the cosine
  arc.vRadius = 3;  // multiplies the sine
  arc.startAngle = 90;
  arc.sweepAngle = 90;
  const WorldPt s = StartPoint(arc);
  EXPECT_NEAR(s.x, 10, 1e-12);
  EXPECT_NEAR(s.y, 23, 1e-12);
  const WorldPt e = EndPoint(arc);
  EXPECT_NEAR(e.x, 8, 1e-12);
  EXPECT_NEAR(e.y, 20, 1e-12);
}

// A one-arc host: answers the arc routines and records what was written.
struct FakeArc {
  static inline double start, sweep, hRadius, vRadius;
  static inline WorldPt center{0, 0};
  static inline int boundsReads, angleWrites;
  static inline double writtenStart, writtenSweep;

  static HostBool Bounds(ObjectHandle, HostWorldRect* out) {
    ++boundsReads;
    *out = HostWorldRect{center.y + vRadius, center.x - hRadius, center.y - vRadius,
                         center.x + hRadius};
    return 1;
  }
  static void Geometry(ObjectHandle, double* s, double* w, HostWorldPt* c, double* h, double* v) {
    *s = start;
    *w = sweep;
    *c = center;
    *h = hRadius;
    *v = vRadius;
  }
  static void SetAnglesRoutine(ObjectHandle, double s, double w) {
    ++angleWrites;
    writtenStart = start = s;
    writtenSweep = sweep = w;
  }
  static void* Dispatch(int32_t selector) {
    switch (selector) {
      case kSelGetObjectBounds: return reinterpret_cast<void*>(&Bounds);
      case kSelGetArcGeometry: return reinterpret_cast<void*>(&Geometry);
      case kSelSetArcAngles: return reinterpret_cast<void*>(&SetAnglesRoutine);
      default: return nullptr;
    }
  }
  static inline HostDispatcher dispatcher = &Dispatch;

  FakeArc(WorldPt c, double h, double v, double s, double w) {
    center = c;
    hRadius = h;
    vRadius = v;
    start = s;
    sweep = w;
    boundsReads = angleWrites = 0;
  }
  CallbackPtr Cbp() { return &dispatcher; }
};

TEST(MakeArcInfo, NegativeSweepIsRewrittenInTheDrawing) {
  FakeArc host(WorldPt(1, 2), 3, 4, 30, -90);
  const ArcInfo arc = MakeArcInfo(host.Cbp(), 7);
  EXPECT_EQ(arc.object, 7u);
  EXPECT_EQ(arc.startAngle, -60);
  EXPECT_EQ(arc.sweepAngle, 90);
  EXPECT_EQ(FakeArc::angleWrites, 1);
  EXPECT_EQ(FakeArc::writtenStart, -60);
  EXPECT_EQ(FakeArc::writtenSweep, 90);
  EXPECT_EQ(FakeArc::boundsReads, 2);  // once when built, once after the rewrite
  EXPECT_TRUE(arc.bounds == Rect(-2, 6, 4, -2));
  EXPECT_TRUE(arc.hostBounds == Rect(-2, 6, 4, -2));
  EXPECT_EQ(arc.cbp, host.Cbp());
}

TEST(MakeArcInfo, PositiveSweepWritesNothing) {
  FakeArc host(WorldPt(0, 0), 1, 1, 10, 45);
  const ArcInfo arc = MakeArcInfo(host.Cbp(), 3);
  EXPECT_EQ(arc.startAngle, 10);
  EXPECT_EQ(arc.sweepAngle, 45);
  EXPECT_EQ(FakeArc::angleWrites, 0);
  EXPECT_EQ(FakeArc::boundsReads, 1);
}

TEST(MakeArcInfo, NegativeRadiusGivesEmptyBounds) {
  ReportCapture capture;
  FakeArc host(WorldPt(0, 0), -1, 1, 0, 90);
  const ArcInfo arc = MakeArcInfo(host.Cbp(), 3);
  EXPECT_TRUE(IsEmpty(arc.bounds));
#ifdef CLEANUP_DEBUG_REPORTS
  EXPECT_EQ(ReportCapture::reports.size(), 1u);
#endif
}

TEST(MakeArcInfo, HostWithoutArcRoutinesLeavesDefinedValues) {
  HostDispatcher none = [](int32_t) -> void* { return nullptr; };
  const ArcInfo arc = MakeArcInfo(&none, 5);
  EXPECT_EQ(arc.startAngle, 0);
  EXPECT_EQ(arc.sweepAngle, 0);
  EXPECT_TRUE(IsEmpty(arc.hostBounds));
  EXPECT_EQ(arc.hRadius, 0);
}

TEST(SetAngles, HandleZeroDoesNothing) {
  FakeArc host(WorldPt(0, 0), 1, 1, 10, 45);
  ArcInfo arc{};
  arc.cbp = host.Cbp();
  arc.startAngle = 1;
  SetAngles(arc, 20, 30);
  EXPECT_EQ(arc.startAngle, 1);
  EXPECT_EQ(FakeArc::angleWrites, 0);
}

#ifdef CLEANUP_DEBUG_REPORTS
TEST(SetReports, TextsAndFormats) {
  ReportCapture capture;
  WorldRect r;
  Set(r, 1, 0, 0, 1);
  Set(r, -1e101, 1, 1, 0);
  ASSERT_EQ(ReportCapture::reports.size(), 2u);
  const auto& partial = ReportCapture::reports[0];
  EXPECT_EQ(partial.title,
            "DEBUGSTOP ASSERT(Invalid partially empty WorldRect specified. Check for "
            "uninitialized values.) failed!");
  EXPECT_EQ(partial.detail.rfind("coords.cpp(", 0), 0u) << partial.detail;
  EXPECT_NE(partial.detail.find("):\n  Invalid partially empty WorldRect specified."),
            std::string::npos);
  const auto& illegal = ReportCapture::reports[1];
  EXPECT_EQ(illegal.title,
            "DEBUGSTOP ASSERT(((left >= -kMaxLegalWorldCoord) && (bottom >= "
            "-kMaxLegalWorldCoord) && (top <= kMaxLegalWorldCoord) && (right <= "
            "kMaxLegalWorldCoord))) failed!");
}

TEST(SetReports, ThreeInAllSharedByBothChecksResetRegardless) {
  ReportCapture capture;
  WorldRect r;
  Set(r, 1e101, 1e102, 1e102, 1e101);  // illegal
  Set(r, 1, 0, 0, 1);                  // partially empty
  Set(r, kNaN, 0, 0, 0);               // partially empty
  EXPECT_EQ(ReportCapture::reports.size(), 3u);
  // The countdown is spent: both checks are silent now, and the reset still happens.
  r = Rect(0, 1, 1, 0);
  Set(r, 5, 1, 0, 0);
  EXPECT_TRUE(IsEmpty(r));
  EXPECT_EQ(r.left, DBL_MAX);
  Set(r, -1e200, 1, 1, 0);
  EXPECT_EQ(r.left, -1e200);
  EXPECT_EQ(ReportCapture::reports.size(), 3u);
}

TEST(SetReports, LegalAndExactlyEmptyAreSilent) {
  ReportCapture capture;
  WorldRect r;
  Set(r, 0, 1, 1, 0);
  Set(r, DBL_MAX, -DBL_MAX, -DBL_MAX, DBL_MAX);
  Set(r, -1e100, 1e100, 1e100, -1e100);  // the limits themselves are legal
  EXPECT_TRUE(ReportCapture::reports.empty());
}
#endif

}  // namespace
