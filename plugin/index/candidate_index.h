// Where the comparing passes (duplicates, merging, joining) look for the
// partners of a visited object.
//
// Written, each of them walks forward with NextObject from the visited
// object and tests every later object: n visits of n objects. On a small
// drawing that walk is kept, call for call. Once one walk of a pass runs past
// gCandidateIndexThreshold objects, the pass builds an index instead: one walk
// from the visited object to the end, keying every object by place as the
// pass says (IndexKeyFn). From then on a search returns, in host order, only
// the objects whose key meets one of the search boxes, and the pass applies
// exactly its own tests to each. The index is only a filter: a key must cover
// every object that could pass the pass's tests, and an object whose key is
// not a finite box is returned by every search.
//
// The index follows the drawing through the host layer, which tells it of
// every object the plug-in creates, changes, converts or deletes. A new
// object is placed where the host put it, by asking the host for its
// successor. Classes (the marker class included) are part of no key: the
// passes test them on every candidate themselves.
#pragma once

#include <cstdint>

#include "base/world_types.h"
#include "cleanup/host_abi.h"

// An axis-aligned box; usable when finite with min <= max on every axis.
// The third axis is one a pass may key by besides place (the merge pass keys
// a line's direction there); a pass that keys by place alone leaves it 0.
struct IndexBox {
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  double minZ = 0, maxZ = 0;
};

// Keys one object for the running pass. False: the object is never a
// partner in this pass, whatever its place (a type the pass never compares).
using IndexKeyFn = bool (*)(CallbackPtr cbp, ObjectHandle object, IndexBox* box);

// ---- for the pass driver ----

// Each pass starts with the written walk and no index.
void BeginPassCandidates();
// Releases the index of the pass that just ended.
void EndPassCandidates();

// ---- for the passes ----

// Starts one search for partners of `visited`, which the pass keys with `key`;
// only objects whose key meets one of the `boxCount` boxes (at most 2) are
// returned once the index is in use. A box that is not usable makes the
// search a plain walk.
void StartCandidateSearch(CallbackPtr cbp, ObjectHandle visited, IndexKeyFn key, const IndexBox* boxes,
                          int boxCount);

// The first candidate at or after `from` (which the pass got from NextObject,
// as the walk does), then the one after `current`: NextObject on a small
// drawing, the next filtered object in host order once indexed. `current` may
// be an object the pass converted in place of the last one returned.
ObjectHandle FirstCandidate(CallbackPtr cbp, ObjectHandle from);
ObjectHandle NextCandidate(CallbackPtr cbp, ObjectHandle current);

// The host's rectangle as a box (an empty rectangle gives an unusable box).
IndexBox BoxOf(const WorldRect& r);
// The smallest box holding the first `count` points (x and y only).
IndexBox BoxOf(const WorldPt* points, int count);
IndexBox BoxOf(const WorldPt3D* points, int count);
// A box around p, `margin` wide on every side.
IndexBox BoxAround(const WorldPt& p, double margin);
// Grows a box by `margin` on every side in x and y; the third axis stays.
IndexBox Grown(const IndexBox& box, double margin);
// A margin that covers the rounding of coordinates as large as the box's.
double RoundingMargin(const IndexBox& box);
