#include "dialog/options_dialog.h"

// Stand-in until the dialog is built: accepts the options as they stand.
HostBool RunOptionsDialog(CallbackPtr, uint8_t*) { return 1; }

void OptionsDialogHandler(DialogId, int32_t*, int32_t*, void*) {}
