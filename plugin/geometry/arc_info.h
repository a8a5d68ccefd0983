// An arc object read through the host, for one comparison inside a pass.
#pragma once

#include "base/world_types.h"
#include "cleanup/host_abi.h"

struct ArcInfo {
  ObjectHandle object;
  WorldRect bounds;      // from centre and radii
  double startAngle;     // degrees
  double sweepAngle;     // degrees, never negative once built
  WorldRect hostBounds;  // as the host reports them
  WorldPt center;
  double hRadius;        // multiplies the cosine
  double vRadius;        // multiplies the sine
  CallbackPtr cbp;
};

// Reads the arc; an arc with a negative sweep is rewritten in the drawing as
// the same arc with a positive sweep.
ArcInfo MakeArcInfo(CallbackPtr cbp, ObjectHandle object);
WorldPt StartPoint(const ArcInfo& arc);
WorldPt EndPoint(const ArcInfo& arc);
// Writes the angles to the host object and the record; nothing for handle 0.
void SetAngles(ArcInfo& arc, double start, double sweep);
