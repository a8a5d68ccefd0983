// Placeholder until this pass is built: leaves every object alone.
#include "passes/passes.h"

void RemoveDegenerateObject(ObjectHandle, CallbackPtr) {}
