#include "dialog_engine.h"

namespace hostapp {

// Placeholder until the engine is built: no dialog routines.
void* DialogRoutine(int32_t) { return nullptr; }

}  // namespace hostapp
