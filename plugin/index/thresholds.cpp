// When the passes change to their ways for large drawings. Compiled into
// each plug-in library on its own, so test builds can force either way.
#include "index/thresholds.h"

#ifndef CLEANUP_CANDIDATE_INDEX_THRESHOLD
// Where the forward walk stops paying: on generated floor plans with every
// pass on, the walk was faster at 250 objects (3 ms against 19 ms with the
// index's set-up) and slower from 500 on (40 ms against 24 ms; at 1,000,
// 139 against 54 ms).
#define CLEANUP_CANDIDATE_INDEX_THRESHOLD 500
#endif
#ifndef CLEANUP_VERTEX_BUFFER_THRESHOLD
// Objects with more vertices than this have their vertices read once into
// memory by vertex reduction instead of read again for every window.
#define CLEANUP_VERTEX_BUFFER_THRESHOLD 64
#endif

extern const int32_t gCandidateIndexThreshold = CLEANUP_CANDIDATE_INDEX_THRESHOLD;
extern const int32_t gVertexBufferThreshold = CLEANUP_VERTEX_BUFFER_THRESHOLD;
