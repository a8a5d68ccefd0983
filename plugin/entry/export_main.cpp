// The library's one exported symbol. "main" is special to C++, so the symbol
// gets its name from an assembler label; dlsym(handle, "main") finds it.
#include "entry/entry.h"

extern "C" __attribute__((visibility("default"))) int32_t ExportedMain(
    int32_t action, int32_t message, MemHandle* userData, CallbackPtr cbp) __asm__("main");

extern "C" int32_t ExportedMain(int32_t action, int32_t message, MemHandle* userData,
                                CallbackPtr cbp) {
  return CleanupEntry(action, message, userData, cbp);
}

// The prototype the host interface fixes for this symbol.
static_assert(sizeof(PluginMainFn) == sizeof(&ExportedMain));
