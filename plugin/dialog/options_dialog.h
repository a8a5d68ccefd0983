// The options dialog shown before each run.
#pragma once

#include <cstdint>

#include "cleanup/host_abi.h"

// Shows the dialog on the 26 option bytes at `options`. True when the user
// accepted: all 26 bytes then hold the edited values. False when the dialog
// was not shown or not accepted: `options` is unchanged.
HostBool RunOptionsDialog(CallbackPtr cbp, uint8_t* options);

// The dialog's event handler; userData is the address of the private copy.
void OptionsDialogHandler(DialogId dialog, int32_t* itemHit, int32_t* data, void* userData);
