// How far the geometry an object stands for may lie from the object itself.
//
// What the user drew stands for itself: 0. When matching within the point
// tolerance removes an object because another lies within d of it, the
// survivor now also stands for the removed one, d away (and for whatever
// that one stood for, further still). Matching within the tolerance spends
// only what is left of it, and so does vertex reduction, so a chain of
// near matches can never carry a stretch of the drawing further than the
// tolerance from where the user drew it.
//
// Kept only while near matching is on; otherwise nothing is ever noted and
// every object carries 0.
#pragma once

#include "cleanup/host_abi.h"

void BeginRunDeviation();
void EndRunDeviation();

double CarriedDeviation(ObjectHandle object);
// `to` now also stands for what `from` stood for, `distance` away from it.
void CarryDeviation(ObjectHandle from, ObjectHandle to, double distance);
// The host layer reports objects that take another's place.
void NoteDeviationConverted(ObjectHandle from, ObjectHandle to);

// How far from `object` a near match may still lie: the point tolerance less
// what the object carries and a margin for the moves of the passes after it
// (the join's hundredth, clean-up's collinearity limit). 0 with near matching
// off, or once the ledger could not be kept (then only exact matches go).
double NearBudget(ObjectHandle object);
