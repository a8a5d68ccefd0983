// The command's entry point, behind the exported symbol.
#pragma once

#include <cstdint>

#include "cleanup/host_abi.h"

// Action codes the host sends.
inline constexpr int32_t kActionCreateSettings = 1;
inline constexpr int32_t kActionFreeSettings = 2;
inline constexpr int32_t kActionRunCommand = 3;

// Result of a run that stopped before the passes.
inline constexpr int32_t kRunStopped = 1;

int32_t CleanupEntry(int32_t action, int32_t message, MemHandle* userData, CallbackPtr cbp);
