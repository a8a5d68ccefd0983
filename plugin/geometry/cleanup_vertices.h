// Tidies one vertex-list object: closes it when its ends meet, drops
// collinear corners, and replaces a two-vertex result by a line.
#pragma once

#include "cleanup/host_abi.h"

void CleanUpVertices(CallbackPtr cbp, ObjectHandle object);
