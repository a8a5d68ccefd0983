// Process-wide values of one run. Each run sets them before any pass reads
// them; they keep their last values afterwards. None of this is reentrant.
#pragma once

#include <cstdint>

#include "base/settings.h"
#include "cleanup/host_abi.h"

extern double gPointTolerance;   // tolerance 1 in world units
extern double gSizeTolerance;    // tolerance 2 in world units
extern ClassId gMarkerClass;     // objects in this class go in the final sweep
extern uint8_t gFlag5Enabled;    // the vertex clean-up pass runs this run
extern uint8_t gFlag7Enabled;    // arcs take part in joining
extern ExtraOptions gExtraOptions; // options beyond the nine flags, all off by default
