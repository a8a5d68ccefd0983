// Runs the enabled clean-up passes, then the final sweep of the marker class.
#pragma once

#include "base/settings.h"
#include "cleanup/host_abi.h"

// False when the passes could not run because the host gave no marker class.
bool RunPasses(CallbackPtr cbp, CommandOptions options);

// Deletes an object that this run moved into the marker class; any other
// object in that class stays, and the class is then not deleted.
void FinalSweepCallback(ObjectHandle object, CallbackPtr cbp);
