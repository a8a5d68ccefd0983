#include "geometry/arc_info.h"

#include <cmath>
#include <numbers>

#include "geometry/coords.h"
#include "host/host_calls.h"

namespace {

// Host angles are degrees; the trigonometry wants radians.
constexpr double kDegreesToRadians = std::numbers::pi / 180.0;

WorldPt PointAtAngle(const ArcInfo& arc, double degrees) {
  const double theta = degrees * kDegreesToRadians;
  return WorldPt(arc.center.x + arc.hRadius * std::cos(theta),
                 arc.center.y + arc.vRadius * std::sin(theta));
}

}  // namespace

ArcInfo MakeArcInfo(CallbackPtr cbp, ObjectHandle object) {
  // Every field starts defined: a host without these routines leaves them alone.
  ArcInfo arc{};
  arc.bounds = WorldRect();
  arc.hostBounds = WorldRect();
  arc.center = WorldPt(0.0, 0.0);
  GetObjectBounds(cbp, object, &arc.hostBounds);
  arc.object = object;
  GetArcGeometry(cbp, object, &arc.startAngle, &arc.sweepAngle, &arc.center, &arc.hRadius,
                 &arc.vRadius);
  Set(arc.bounds, arc.center.x - arc.hRadius, arc.center.y + arc.vRadius,
      arc.center.x + arc.hRadius, arc.center.y - arc.vRadius);
  arc.cbp = cbp;
  if (arc.sweepAngle < 0) SetAngles(arc, arc.startAngle + arc.sweepAngle, -arc.sweepAngle);
  return arc;
}

WorldPt StartPoint(const ArcInfo& arc) { return PointAtAngle(arc, arc.startAngle); }

WorldPt EndPoint(const ArcInfo& arc) { return PointAtAngle(arc, arc.startAngle + arc.sweepAngle); }

void SetAngles(ArcInfo& arc, double start, double sweep) {
  if (arc.object == 0) return;
  SetArcAngles(arc.cbp, arc.object, start, sweep);
  arc.startAngle = start;
  arc.sweepAngle = sweep;
  GetObjectBounds(arc.cbp, arc.object, &arc.hostBounds);
}
