// The host's layout-dialog engine: records the dialog the plug-in builds and
// runs it from a script.
//
// Each Host keeps its own dialogs, scripts and VerifyLayout answer; the
// functions below work on the current host's, and a new host starts with none.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cleanup/host_abi.h"
#include "hostapp/dialog_records.h"

namespace hostapp {

// The host routine for a dialog selector, or nullptr when it is not one.
void* DialogRoutine(int32_t selector);

// The user's events: a check box clicked to a state, a field's text typed.
DialogEvent Click(int32_t item, bool checked);
DialogEvent TypeText(int32_t item, std::string text);

// Scripts are used one per RunLayoutDialog, in the order queued. Without a
// script a run sends the set-up event and closes with accept.
void QueueDialogScript(DialogScript script);
size_t PendingDialogScripts();

// nullopt: VerifyLayout checks the placements; otherwise it answers this.
void SetVerifyLayoutAnswer(std::optional<bool> answer);

// Dialogs built for the current host, oldest first (id = index + 1).
const std::vector<DialogRecord>& Dialogs();
const DialogRecord* LastDialog();

// Forgets the current host's dialogs and scripts, as for a new host.
void ResetDialogEngine();

// The dialog as the user sees it: title, items row by row in layout order
// with their indentation, check states, field texts, disabled items marked,
// then the buttons.
std::string RenderDialog(const DialogRecord& dialog);

// A field's text as a value: the whole text (surrounding blanks aside) must
// be one finite number.
std::optional<double> ParseFieldText(const std::string& text);
// The text a field shows for a value: the shortest that reads back exactly.
std::string FieldTextOf(double value);

}  // namespace hostapp
