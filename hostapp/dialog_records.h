// The records of the host's dialog engine: the dialogs the plug-in builds,
// the user's scripted events, and what the engine keeps for each Host.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cleanup/host_abi.h"

namespace hostapp {

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

  const DialogItem* Find(int32_t item) const {
    for (const DialogItem& it : items)
      if (it.id == item) return &it;
    return nullptr;
  }
  DialogItem* Find(int32_t item) {
    return const_cast<DialogItem*>(std::as_const(*this).Find(item));
  }
};

// One thing the user does while the dialog is open.
struct DialogEvent {
  enum class Kind { Click, Text } kind = Kind::Click;
  int32_t item = 0;
  bool checked = false;  // Click: the box's new state
  std::string text;      // Text: the field's new text, valid or not
};

// One run of a dialog: the set-up event, then `events`, then the item that
// closes it. Closing with accept while item 1 is disabled closes with cancel
// (the user could not press it) and marks the record.
struct DialogScript {
  std::vector<DialogEvent> events;
  int32_t closeWith = kDialogItemAccept;
};

// What the engine keeps for one host.
struct DialogEngineState {
  std::vector<DialogRecord> dialogs;  // oldest first, id = index + 1
  std::deque<DialogScript> scripts;   // for the next runs, in order
  std::optional<bool> verifyAnswer;   // see SetVerifyLayoutAnswer
};

}  // namespace hostapp
