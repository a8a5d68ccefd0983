// The clean-up passes: one traversal callback each, run by the pass driver
// in this order when their option flag is on.
#pragma once

#include "cleanup/host_abi.h"

void FlattenType25Object(ObjectHandle object, CallbackPtr cbp);       // flag 0
void RemoveDegenerateObject(ObjectHandle object, CallbackPtr cbp);    // flag 1
void RemoveType17Object(ObjectHandle object, CallbackPtr cbp);        // flag 2
void RemoveDuplicateObject(ObjectHandle object, CallbackPtr cbp);     // flag 3
void MergeOverlappingSegments(ObjectHandle object, CallbackPtr cbp);  // flag 4
void CleanUpVertexObject(ObjectHandle object, CallbackPtr cbp);       // flag 5
void JoinConnectedSegments(ObjectHandle object, CallbackPtr cbp);     // flag 6 (7: arcs too)
void ReduceVertices(ObjectHandle object, CallbackPtr cbp);            // flag 8
