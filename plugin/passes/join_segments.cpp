// Joins lines, open vertex-list objects and (with option flag 7) arcs that
// meet end to end and carry the same attributes into one polyline.
//
// Each visited object that qualifies is a seed. The chain grows in both
// directions: startSide collects everything attached at the seed's start
// (outward), endSide holds the seed and everything attached at its end. Each
// walk starts at the seed's successor and attaches at most one piece; the
// seed and every piece go into the marker class, and the two sides are
// merged into one polyline that takes the seed's attributes.
#include <cmath>
#include <cstdint>
#include <numbers>

#include "attributes/attributes.h"
#include "base/object_types.h"
#include "base/run_deviation.h"
#include "base/run_globals.h"
#include "base/world_types.h"
#include "geometry/arc_info.h"
#include "geometry/cleanup_vertices.h"
#include "geometry/coords.h"
#include "host/host_calls.h"
#include "index/candidate_index.h"
#include "passes/passes.h"

namespace {

constexpr double kCornerRadius = 0.0;
// The far end of an attached arc carries this radius; the host reads it, we don't.
constexpr double kArcFarEndRadius = 1.0;
// Beyond this sweep one arc vertex no longer stands for the arc well enough
// (the tangent point runs off towards infinity as the sweep nears 180°).
constexpr double kMaxArcVertexSweep = 140.0;
constexpr double kDegreesToRadians = std::numbers::pi / 180.0;
// Vertex counts and indices are 16-bit signed: the joined object can hold no
// more. Both sides are merged whole before the clean-up, so their sum counts.
constexpr int kMaxVertexCount = 32767;

// Working state of one visit; overwritten by each seed.
WorldPt chainStart(0.0, 0.0);
WorldPt chainEnd(0.0, 0.0);
ObjectHandle startSide = 0;
ObjectHandle endSide = 0;
// Where the walks of this visit start: the seed's successor, or the object
// that a conversion put in its place.
ObjectHandle firstCandidate = 0;
// The object this visit started from.
ObjectHandle seedObject = 0;
// False once an attached piece did not land in the marker class (a host
// without the class routines): the same pieces would then be found again
// and again, so the join loop stops.
bool marksHold = true;

void Mark(CallbackPtr cbp, ObjectHandle object) { SetObjectClass(cbp, object, gMarkerClass); }

void MarkPiece(CallbackPtr cbp, ObjectHandle piece) {
  // The chain stands for the piece from now on, whichever side it joined.
  CarryDeviation(piece, startSide, 0);
  CarryDeviation(piece, endSide, 0);
  Mark(cbp, piece);
  if (GetObjectClass(cbp, piece) != gMarkerClass) marksHold = false;
}

// A refused conversion answers 0 and leaves the arc as it was, long
// attribute included.
ObjectHandle ConvertArc(CallbackPtr cbp, ObjectHandle arc) {
  // The host draws an elliptical arc as chords, within a share of the
  // coordinates that no rule here knows: with near matching or rounds on,
  // such a polyline is taken to have spent the whole tolerance already.
  bool chords = false;
  if (gExtraOptions.repeat || gExtraOptions.nearMatch) {
    double s = 0, w = 0, rh = 0, rv = 0;
    WorldPt c(0.0, 0.0);
    GetArcGeometry(cbp, arc, &s, &w, &c, &rh, &rv);
    chords = rh != rv;
  }
  const int32_t longAttr = GetObjectLongAttr(cbp, arc);
  SetObjectLongAttr(cbp, arc, 0);
  const ObjectHandle converted = ConvertToPolyline(cbp, arc, 0);
  if (converted == 0) SetObjectLongAttr(cbp, arc, longAttr);
  if (converted != 0 && chords) CarryDeviation(converted, converted, gPointTolerance);
  return converted;
}

// Copies vertex `index` of `from` to the end of `to`, type and radius kept.
// An end of the open piece is drawn as a corner whatever its type; in the
// chain it may have neighbours on both sides, where an arc vertex would round
// it off, so there it is copied as the plain corner it was drawn as.
void CopyVertex(CallbackPtr cbp, ObjectHandle from, int index, ObjectHandle to, bool pieceEnd = false) {
  WorldPt p(0.0, 0.0);
  int32_t type = kPlainCorner;
  double radius = kCornerRadius;
  GetVertex(cbp, from, static_cast<int16_t>(index), &p, &type, &radius);
  if (pieceEnd && DrawsArc(type, radius)) {
    type = kPlainCorner;
    radius = kCornerRadius;
  }
  AddVertex(cbp, to, &p, type, radius, 0);
}

void AddCorner(CallbackPtr cbp, ObjectHandle side, const WorldPt& p) {
  AddVertex(cbp, side, &p, kPlainCorner, kCornerRadius, 0);
}

// NaN radii count as different; a NaN sweep with equal radii stays an arc vertex.
bool ArcNeedsConversion(const ArcInfo& arc) {
  return !(arc.hRadius == arc.vRadius) || arc.sweepAngle > kMaxArcVertexSweep;
}

// Where the tangents at the arc's two ends meet.
WorldPt TangentPoint(const ArcInfo& arc) {
  const double r = arc.hRadius;
  const double m = (arc.sweepAngle / 2.0 + arc.startAngle) * kDegreesToRadians;
  const double h = (arc.sweepAngle * kDegreesToRadians) / 2.0;
  return WorldPt(arc.center.x + std::cos(m) * r / std::cos(h),
                 arc.center.y + std::sin(m) * r / std::cos(h));
}

bool TouchesChain(const WorldPt& s, const WorldPt& e) {
  return PointsWithinTolerance(s, chainStart) || PointsWithinTolerance(e, chainStart) ||
         PointsWithinTolerance(s, chainEnd) || PointsWithinTolerance(e, chainEnd);
}

// Strictly inside: a point on the border, or any NaN, is outside.
bool StrictlyInside(const WorldPt& p, const WorldRect& r) {
  return p.x < r.right && p.x > r.left && p.y < r.top && p.y > r.bottom;
}

HostBool ReadEnds(CallbackPtr cbp, ObjectHandle object, WorldPt& start, WorldPt& end, int16_t& type) {
  type = GetObjectType(cbp, object);
  switch (type) {
    case kLineType:
      GetLineEnds(cbp, object, &start, &end);
      return 1;
    case kVertexListType:
    case kCurvedVertexListType: {
      if (IsPolyClosed(cbp, object)) return 0;
      // Asked first so that an object without vertices is refused before
      // any vertex outside 1..n is read.
      const int16_t n = GetVertexCount(cbp, object);
      if (n < 1) return 0;
      int32_t vertexType = kPlainCorner;
      double radius = kCornerRadius;
      GetVertex(cbp, object, 1, &start, &vertexType, &radius);
      GetVertex(cbp, object, n, &end, &vertexType, &radius);
      return 1;
    }
    case kArcType: {
      if (!gFlag7Enabled) return 0;
      const ArcInfo arc = MakeArcInfo(cbp, object);
      start = StartPoint(arc);
      end = EndPoint(arc);
      return 1;
    }
    default:
      return 0;
  }
}

HostBool ReadSegmentEnds(CallbackPtr cbp, ObjectHandle object, WorldPt& start, WorldPt& end,
                         int16_t& type) {
  if (!ReadEnds(cbp, object, start, end, type)) return 0;
  // A piece with an end that cannot be measured joins nothing: chained to
  // sound pieces it would make them part of an object no one can draw.
  return std::isfinite(start.x) && std::isfinite(start.y) && std::isfinite(end.x) && std::isfinite(end.y);
}

// The class test and the bounds screen come before any type-specific read,
// so objects far from both chain ends cost two host reads.
HostBool ReadCandidateEnds(CallbackPtr cbp, ObjectHandle object, WorldPt& start, WorldPt& end,
                           int16_t& type) {
  // Our own working objects are never pieces, wherever the host put them.
  if (object == startSide || object == endSide) return 0;
  if (GetObjectClass(cbp, object) == gMarkerClass) return 0;
  WorldRect r;
  GetObjectBounds(cbp, object, &r);
  r.top += gPointTolerance;
  r.right += gPointTolerance;
  r.bottom -= gPointTolerance;
  r.left -= gPointTolerance;
  if (!StrictlyInside(chainStart, r) && !StrictlyInside(chainEnd, r)) return 0;
  return ReadSegmentEnds(cbp, object, start, end, type);
}

// Pieces are keyed by their bounds: the screen above passes only objects
// whose bounds, grown by the point tolerance, hold a chain end.
bool JoinKey(CallbackPtr cbp, ObjectHandle object, IndexBox* box) {
  const int16_t type = GetObjectType(cbp, object);
  if (type != kLineType && type != kArcType && !IsFlatVertexList(type)) return false;
  WorldRect r;
  GetObjectBounds(cbp, object, &r);
  *box = BoxOf(r);
  return true;
}

// Searches from `first` for pieces near either chain end.
ObjectHandle FirstPieceCandidate(CallbackPtr cbp, ObjectHandle first) {
  IndexBox ends[2] = {BoxAround(chainStart, gPointTolerance), BoxAround(chainEnd, gPointTolerance)};
  for (IndexBox& b : ends) b = Grown(b, RoundingMargin(b));
  StartCandidateSearch(cbp, seedObject, JoinKey, ends, 2);
  return FirstCandidate(cbp, first);
}

HostBool HasPartner(CallbackPtr cbp, ObjectHandle first) {
  for (ObjectHandle n = FirstPieceCandidate(cbp, first); n != 0; n = NextCandidate(cbp, n)) {
    WorldPt s(0.0, 0.0), e(0.0, 0.0);
    int16_t type = 0;
    if (ReadCandidateEnds(cbp, n, s, e, type) && MatchesRememberedAttributes(cbp, n) &&
        TouchesChain(s, e))
      return 1;
  }
  return 0;
}

// True when `added` more vertices keep the merged sides within 16 bits.
bool SidesHaveRoomFor(CallbackPtr cbp, int added) {
  return int{GetVertexCount(cbp, startSide)} + GetVertexCount(cbp, endSide) + added <=
         kMaxVertexCount;
}

// Adds piece `object` to `side` from its near end outward and marks it.
// Whether the vertex next to the piece's near end draws an arc. With two
// vertices that neighbour is the far end, drawn as a corner.
bool NextToArc(CallbackPtr cbp, ObjectHandle object, bool reversed) {
  const int n = GetVertexCount(cbp, object);
  if (n < 3) return false;
  WorldPt p(0.0, 0.0);
  int32_t type = kPlainCorner;
  double radius = kCornerRadius;
  GetVertex(cbp, object, static_cast<int16_t>(reversed ? n - 1 : 2), &p, &type, &radius);
  return DrawsArc(type, radius);
}

// False for a type that cannot be attached, or a piece too long for the
// chain (nothing is changed then).
bool AttachPiece(CallbackPtr cbp, ObjectHandle object, int16_t type, bool reversed,
                 ObjectHandle side, const WorldPt& farEnd, const WorldPt& nearEnd,
                 const WorldPt& sideEnd) {
  // The piece's near end gives way to the side's end, which may lie a little
  // off it. Next to an arc vertex that would turn the arc's leg, and a short
  // leg turned by a little swings the arc far: the near end then stays too.
  const bool keepNearEnd = IsFlatVertexList(type) && !(nearEnd == sideEnd) && NextToArc(cbp, object, reversed);
  const int added = type == kLineType ? 1
                    : type == kArcType ? 2
                    : IsFlatVertexList(type) ? GetVertexCount(cbp, object) - 1 + (keepNearEnd ? 1 : 0)
                                                              : 0;
  if (!SidesHaveRoomFor(cbp, added)) return false;
  switch (type) {
    case kLineType:
      AddCorner(cbp, side, farEnd);
      MarkPiece(cbp, object);
      return true;
    case kVertexListType:
    case kCurvedVertexListType: {
      // The near end is never added: the side already ends there.
      const int n = GetVertexCount(cbp, object);
      if (keepNearEnd) AddCorner(cbp, side, nearEnd);
      if (reversed) {
        for (int i = n - 1; i >= 1; --i) CopyVertex(cbp, object, i, side, i == 1);
      } else {
        for (int i = 2; i <= n; ++i) CopyVertex(cbp, object, i, side, i == n);
      }
      MarkPiece(cbp, object);
      return true;
    }
    case kArcType: {
      const ArcInfo arc = MakeArcInfo(cbp, object);
      MarkPiece(cbp, object);
      const WorldPt t = TangentPoint(arc);
      AddVertex(cbp, side, &t, kArcVertex, arc.hRadius, 0);
      AddVertex(cbp, side, &farEnd, kPlainCorner, kArcFarEndRadius, 0);
      return true;
    }
    default:
      return false;
  }
}

HostBool ExtendChain(CallbackPtr cbp, ObjectHandle first) {
  for (ObjectHandle n = FirstPieceCandidate(cbp, first); n != 0; n = NextCandidate(cbp, n)) {
    WorldPt s(0.0, 0.0), e(0.0, 0.0);
    int16_t type = 0;
    if (!ReadCandidateEnds(cbp, n, s, e, type) || !MatchesRememberedAttributes(cbp, n)) continue;

    if (type == kArcType && TouchesChain(s, e)) {
      const ArcInfo arc = MakeArcInfo(cbp, n);
      if (ArcNeedsConversion(arc)) {
        PrepareObject(cbp, n);
        const ObjectHandle converted = ConvertArc(cbp, n);
        // A refused conversion leaves the arc out of this chain; attaching
        // it unconverted and unmarked would let the join loop run forever.
        if (converted == 0) continue;
        if (n == firstCandidate) firstCandidate = converted;
        n = converted;
        SetPolyClosed(cbp, n, 0);
        int16_t ignored = 0;
        ReadSegmentEnds(cbp, n, s, e, ignored);
        type = GetObjectType(cbp, n);
      }
    }

    if (PointsWithinTolerance(s, chainEnd)) {
      if (!AttachPiece(cbp, n, type, false, endSide, e, s, chainEnd)) continue;
      chainEnd = e;
    } else if (PointsWithinTolerance(e, chainEnd)) {
      if (!AttachPiece(cbp, n, type, true, endSide, s, e, chainEnd)) continue;
      chainEnd = s;
    } else if (PointsWithinTolerance(s, chainStart)) {
      if (!AttachPiece(cbp, n, type, false, startSide, e, s, chainStart)) continue;
      chainStart = e;
    } else if (PointsWithinTolerance(e, chainStart)) {
      if (!AttachPiece(cbp, n, type, true, startSide, s, e, chainStart)) continue;
      chainStart = s;
    } else {
      continue;
    }
    return 1;
  }
  return 0;
}

void ReverseVertices(CallbackPtr cbp, ObjectHandle object) {
  const int n = GetVertexCount(cbp, object);
  if (n <= 1) return;
  for (int i = 1; i <= n / 2; ++i) {
    const int j = n + 1 - i;
    WorldPt p(0.0, 0.0), q(0.0, 0.0);
    int32_t tp = kPlainCorner, tq = kPlainCorner;
    double rp = kCornerRadius, rq = kCornerRadius;
    GetVertex(cbp, object, static_cast<int16_t>(i), &p, &tp, &rp);
    GetVertex(cbp, object, static_cast<int16_t>(j), &q, &tq, &rq);
    SetVertex(cbp, object, static_cast<int16_t>(i), &q, tq, rq, 1);
    SetVertex(cbp, object, static_cast<int16_t>(j), &p, tp, rp, 1);
  }
}

// Appends `from` to the reversed `into`, drops `from` and tidies the result.
void AppendSide(CallbackPtr cbp, ObjectHandle into, ObjectHandle from, int16_t fromCount) {
  ReverseVertices(cbp, into);
  for (int i = 1; i <= fromCount; ++i) CopyVertex(cbp, from, i, into);
  DeleteObject(cbp, from, 0);
  SetPolyClosed(cbp, into, 0);
  CleanUpVertices(cbp, into);
}

// The longer side survives (endSide on a tie), so fewer vertices are copied.
void MergeChainSides(CallbackPtr cbp) {
  const int16_t startCount = GetVertexCount(cbp, startSide);
  const int16_t endCount = GetVertexCount(cbp, endSide);
  if (startCount < endCount) {
    AppendSide(cbp, startSide, endSide, endCount);  // runs chainStart .. chainEnd
  } else {
    AppendSide(cbp, endSide, startSide, startCount);  // runs chainEnd .. chainStart
  }
}

// Ends a visit that cannot be completed: the working objects go, nothing is marked.
void DiscardSides(CallbackPtr cbp) {
  if (startSide != 0) DeleteObject(cbp, startSide, 0);
  if (endSide != 0) DeleteObject(cbp, endSide, 0);
  startSide = 0;
  endSide = 0;
}

void TakeSeedAttributes(CallbackPtr cbp, ObjectHandle seed) {
  CopyAttributes(cbp, seed, startSide);
  CopyAttributes(cbp, seed, endSide);
  SetObjectLongAttr(cbp, startSide, 0);
  SetObjectLongAttr(cbp, endSide, 0);
  SetPolyClosed(cbp, startSide, 0);
  SetPolyClosed(cbp, endSide, 0);
  CopyObjectAttributes(cbp, startSide, seed);
  CopyObjectAttributes(cbp, endSide, seed);
}

// Puts the seed into both sides: its start into startSide, itself into endSide.
void SeedSides(CallbackPtr cbp, ObjectHandle seed, int16_t type) {
  switch (type) {
    case kLineType:
      AddCorner(cbp, startSide, chainStart);
      AddCorner(cbp, endSide, chainEnd);
      Mark(cbp, seed);
      break;
    case kVertexListType:
    case kCurvedVertexListType: {
      // Counted first: a converted seed is not known to have any vertex.
      const int n = GetVertexCount(cbp, seed);
      if (n >= 1) CopyVertex(cbp, seed, 1, startSide, true);
      for (int i = 1; i <= n; ++i) CopyVertex(cbp, seed, i, endSide, i == 1 || i == n);
      Mark(cbp, seed);
      break;
    }
    case kArcType: {
      const ArcInfo arc = MakeArcInfo(cbp, seed);
      Mark(cbp, seed);
      const WorldPt t = TangentPoint(arc);
      AddCorner(cbp, startSide, chainStart);
      AddCorner(cbp, endSide, chainStart);
      AddVertex(cbp, endSide, &t, kArcVertex, arc.hRadius, 0);
      AddCorner(cbp, endSide, chainEnd);
      break;
    }
    default:
      break;
  }
}

}  // namespace

void JoinConnectedSegments(ObjectHandle object, CallbackPtr cbp) {
  startSide = 0;
  endSide = 0;
  if (object == 0) return;
  firstCandidate = NextObject(cbp, object);
  seedObject = object;
  if (GetObjectClass(cbp, object) == gMarkerClass) return;

  int16_t type = 0;
  if (!ReadSegmentEnds(cbp, object, chainStart, chainEnd, type)) return;
  RememberAttributes(cbp, object);
  if (!HasPartner(cbp, firstCandidate)) return;

  startSide = CreatePolyline(cbp);
  if (startSide == 0) return;
  endSide = CreatePolyline(cbp);
  if (endSide == 0) {
    DiscardSides(cbp);
    return;
  }
  TakeSeedAttributes(cbp, object);

  ObjectHandle seed = object;
  if (type == kArcType && ArcNeedsConversion(MakeArcInfo(cbp, seed))) {
    seed = ConvertArc(cbp, seed);
    if (seed == 0) {
      DiscardSides(cbp);
      return;
    }
    seedObject = seed;  // a new handle stands in the old one's place
    type = kCurvedVertexListType;  // chainStart and chainEnd keep the arc's end points
  }
  // The sides start with the seed's vertices plus its start: a seed with no
  // room for that is left as it is.
  if (IsFlatVertexList(type) &&
      GetVertexCount(cbp, seed) + 1 > kMaxVertexCount) {
    DiscardSides(cbp);
    return;
  }
  SeedSides(cbp, seed, type);

  // Stops when a walk attaches nothing or the chain has closed on itself;
  // the closure test comes after the walk so an open seed whose ends
  // already meet can still grow.
  marksHold = true;
  bool keepGoing = true;
  while (keepGoing) {
    keepGoing = ExtendChain(cbp, firstCandidate) && marksHold;
    if (PointsWithinTolerance(chainStart, chainEnd)) keepGoing = false;
  }

  MergeChainSides(cbp);
}
