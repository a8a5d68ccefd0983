// When the passes change to their ways for large drawings. Compiled into
// each plug-in library on its own, so test builds can force either way.
#include "index/thresholds.h"

#ifndef CLEANUP_CANDIDATE_INDEX_THRESHOLD
// Below this many objects a forward walk costs less than building the
// index: at 1,000 objects a whole all-passes run takes milliseconds either way.
#define CLEANUP_CANDIDATE_INDEX_THRESHOLD 1000
#endif
#ifndef CLEANUP_VERTEX_BUFFER_THRESHOLD
// Objects with more vertices than this have their vertices read once into
// memory by vertex reduction instead of read again for every window.
#define CLEANUP_VERTEX_BUFFER_THRESHOLD 64
#endif

extern const int32_t gCandidateIndexThreshold = CLEANUP_CANDIDATE_INDEX_THRESHOLD;
extern const int32_t gVertexBufferThreshold = CLEANUP_VERTEX_BUFFER_THRESHOLD;
