// Sizes at which passes change from the written, host-call-for-call way to
// their way for large drawings; both ways give the same drawing. Each plug-in
// library links its own values (thresholds.cpp).
#pragma once

#include <cstdint>

// A walk for candidates longer than this makes the pass build its index.
extern const int32_t gCandidateIndexThreshold;
// Vertex reduction reads objects with more vertices than this into memory once.
extern const int32_t gVertexBufferThreshold;
