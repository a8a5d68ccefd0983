// The host's layout-dialog engine: records the dialog the plug-in builds and
// runs it from a script.
#pragma once

#include <cstdint>

namespace hostapp {

// The host routine for a dialog selector, or nullptr when it is not one.
void* DialogRoutine(int32_t selector);

}  // namespace hostapp
