// The host's layout-dialog engine: records the dialog the plug-in builds and
// runs it from a script.
//
// State belongs to the current Host: when a different Host becomes current
// (or a new one starts afresh where an old one stood) the engine forgets the
// dialogs and scripts it held.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cleanup/host_abi.h"

namespace hostapp {

// The host routine for a dialog selector, or nullptr when it is not one.
void* DialogRoutine(int32_t selector);

enum class DialogItemKind { Body, AcceptButton, CancelButton, CheckBox, StaticText, EditReal };

struct DialogItem {
  int32_t id = 0;
  DialogItemKind kind = DialogItemKind::Body;
  std::string label;                // button, check box or static text
  std::optional<std::string> help;  // SetItemHelpText
  int16_t width = 0;                // static text and fields
  int32_t editKind = 0;             // fields
  double initial = 0;               // fields: the value they were created with
  std::string fieldText;            // fields: what the user sees and GetEditReal parses
  bool enabled = true;
  bool checked = false;
};

enum class PlaceHow { First, Below, Right };

struct Placement {
  PlaceHow how = PlaceHow::First;
  int32_t reference = 0;  // unused for First
  int32_t placed = 0;
  int16_t dx = 0, dy = 0;
};

struct DialogRecord {
  DialogId id = 0;
  std::string title;
  HostBool flag = 0;
  std::vector<DialogItem> items;  // item 0 (the dialog body) and buttons 1, 2 come first
  std::vector<Placement> placements;
  int verifyCalls = 0;
  int runs = 0;
  bool running = false;
  std::optional<int32_t> closedBy;  // result of the last run
  bool acceptRefused = false;       // the script closed with a disabled accept
  std::vector<std::string> ignoredEvents;  // script events the user could not make

  const DialogItem* Find(int32_t item) const;
  DialogItem* Find(int32_t item);
};

// One thing the user does while the dialog is open.
struct DialogEvent {
  enum class Kind { Click, Text } kind = Kind::Click;
  int32_t item = 0;
  bool checked = false;  // Click: the box's new state
  std::string text;      // Text: the field's new text, valid or not
};
DialogEvent Click(int32_t item, bool checked);
DialogEvent TypeText(int32_t item, std::string text);

// One run of a dialog: the set-up event, then `events`, then the item that
// closes it. Closing with accept while item 1 is disabled closes with cancel
// (the user could not press it) and marks the record.
struct DialogScript {
  std::vector<DialogEvent> events;
  int32_t closeWith = kDialogItemAccept;
};

// Scripts are used one per RunLayoutDialog, in the order queued. Without a
// script a run sends the set-up event and closes with accept.
void QueueDialogScript(DialogScript script);
size_t PendingDialogScripts();

// nullopt: VerifyLayout checks the placements; otherwise it answers this.
void SetVerifyLayoutAnswer(std::optional<bool> answer);

// Dialogs built for the current host, oldest first (id = index + 1).
const std::vector<DialogRecord>& Dialogs();
const DialogRecord* LastDialog();

// Forgets everything, as for a new host.
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
