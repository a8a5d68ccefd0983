#include "entry/entry.h"

#include <cstring>

#include "base/run_globals.h"
#include "base/settings.h"
#include "dialog/options_dialog.h"
#include "driver/pass_driver.h"
#include "host/host_calls.h"

namespace {

constexpr int16_t kConfirmListId = 11000;
constexpr int16_t kConfirmIndex = 14;

// The settings block behind the host's userData variable, or null when the
// host holds no handle (or a handle to no block).
uint8_t* SettingsBlock(MemHandle* userData) {
  if (userData == nullptr || *userData == nullptr || **userData == nullptr) return nullptr;
  return reinterpret_cast<uint8_t*>(**userData);
}

int32_t CreateSettings(MemHandle* userData) {
  MemHandle handle = AllocateHandle(gCBP, kSettingsSize);
  if (userData == nullptr) {
    // Nowhere to keep it: give the block straight back rather than leak it.
    if (handle != nullptr) FreeHandle(gCBP, handle);
    return 0;
  }
  *userData = handle;
  if (uint8_t* record = SettingsBlock(userData)) FillDefaultSettings(record);
  return 0;
}

int32_t FreeSettings(MemHandle* userData) {
  if (userData != nullptr && *userData != nullptr) FreeHandle(gCBP, *userData);
  return 0;
}

int32_t RunCommand(MemHandle* userData) {
  if (!ConfirmCommand(gCBP, kConfirmListId, kConfirmIndex, 0)) return kRunStopped;
  // Without a settings record there is nothing to edit and no options to run.
  uint8_t* record = SettingsBlock(userData);
  if (record == nullptr) return kRunStopped;
  if (!RunOptionsDialog(gCBP, record)) return kRunStopped;

  SetCommandMode(gCBP, 0);
  // The block is read through its handle again: the dialog ran host code.
  record = SettingsBlock(userData);
  if (record == nullptr) return kRunStopped;
  CommandOptions options;
  std::memcpy(options.bytes, record, sizeof options.bytes);
  ConvertToWorldLength(gCBP, Tolerance1(options), &gPointTolerance);
  ConvertToWorldLength(gCBP, Tolerance2(options), &gSizeTolerance);
  gExtraOptions = ReadExtraOptions(record);

  const bool passesRan = RunPasses(gCBP, options);

  WorldPt hostPoint(0.0, 0.0);  // defined even when the host cannot fill it
  GetHostPoint(gCBP, &hostPoint);
  SetHostPoint(gCBP, &hostPoint);
  return passesRan ? 0 : kRunStopped;
}

}  // namespace

int32_t CleanupEntry(int32_t action, int32_t message, MemHandle* userData, CallbackPtr cbp) {
  CallbackPtr kept = gCBP;
  gCBP = cbp;
  // Actions 5 and 6 leave this call's cbp in place, as the host expects.
  if (action == 5 || action == 6) return 0;

  int32_t result = 0;
  switch (action) {
    case kActionCreateSettings: result = CreateSettings(userData); break;
    case kActionFreeSettings: result = FreeSettings(userData); break;
    case kActionRunCommand: result = RunCommand(userData); break;
    default: break;
  }
  gCBP = kept;
  return result;
}
