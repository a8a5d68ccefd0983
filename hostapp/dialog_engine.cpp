#include "hostapp/dialog_engine.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <deque>
#include <utility>

#include "hostapp/host.h"
#include "hostapp/routine_checks.h"

namespace hostapp {

namespace {

// ---- logging and contract checks ----

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

template <typename... Parts>
std::string Args(const Parts&... parts) {
  std::string out;
  auto add = [&out](const std::string& p) {
    if (!out.empty()) out += ", ";
    out += p;
  };
  (add(parts), ...);
  return out;
}

std::string Int(int64_t v) { return std::to_string(v); }

// Counts the call, runs its hook and logs it: the current host, or nullptr
// when there is none.
Host* Enter(int32_t selector, const char* routine, const std::string& args) {
  Host* h = EnterRoutine(selector);
  if (h != nullptr && h->Logging()) h->LogCall(selector, routine, args);
  return h;
}

// The host's own copy of a text the plug-in hands in: the buffer is reused at
// once, and may hold at most 255 bytes before its terminator.
std::string CopyText(Host* h, const char* text, const char* routine) {
  if (!NotNull(h, routine, text, "text")) return {};
  const char* end = TextEnd(text);
  if (end == nullptr) {
    Violation(h, routine, "text not terminated within 256 bytes");
    return std::string(text, kHostTextBufferSize - 1);
  }
  return std::string(text, end);
}

// Texts for the log: read only as far as a terminator within the buffer.
std::string LogText(const char* text) {
  if (text == nullptr) return "null";
  const char* end = TextEnd(text);
  return Quote(end != nullptr ? std::string(text, end) : std::string(text, kHostTextBufferSize - 1));
}

DialogRecord* FindDialog(Host* h, DialogId d, const char* routine) {
  std::vector<DialogRecord>& dialogs = h->DialogState().dialogs;
  if (d >= 1 && static_cast<size_t>(d) <= dialogs.size()) return &dialogs[d - 1];
  Violation(h, routine, "unknown dialog " + Int(d));
  return nullptr;
}

// A host without one of its item-creation routines never made some of the
// items the plug-in goes on to label and place; the plug-in cannot tell (the
// routines answer nothing), so that gap is the host's own: such items are
// quietly unknown, and the layout that names them does not verify.
bool HostLacksItemCreation(const Host* h) {
  return h->Missing(kSelCreateCheckBox) || h->Missing(kSelCreateStaticText) ||
         h->Missing(kSelCreateEditReal);
}

DialogItem* FindItem(Host* h, DialogRecord& dialog, int32_t item, const char* routine) {
  DialogItem* it = dialog.Find(item);
  if (it == nullptr && !HostLacksItemCreation(h))
    Violation(h, routine, "unknown item " + Int(item) + " of dialog " + Int(dialog.id));
  return it;
}

DialogItem MakeItem(int32_t id, DialogItemKind kind, std::string label = {}) {
  DialogItem it;
  it.id = id;
  it.kind = kind;
  it.label = std::move(label);
  return it;
}

void AddItem(Host* h, DialogRecord& dialog, DialogItem item, const char* routine) {
  if (dialog.Find(item.id) != nullptr) {
    Violation(h, routine, "item " + Int(item.id) + " already exists");
    return;
  }
  dialog.items.push_back(std::move(item));
}

// ---- layout ----

bool Placed(const DialogRecord& d, int32_t item) {
  return std::any_of(d.placements.begin(), d.placements.end(),
                     [item](const Placement& p) { return p.placed == item; });
}

// Buttons and the body are placed by the host itself.
bool NeedsPlacing(const DialogItem& item) {
  return item.kind == DialogItemKind::CheckBox || item.kind == DialogItemKind::StaticText ||
         item.kind == DialogItemKind::EditReal;
}

// A sound layout: one first item, every reference placed before it is used,
// each item placed once, every item of the plug-in placed.
bool LayoutIsSound(const DialogRecord& d) {
  std::vector<int32_t> seen;
  for (size_t i = 0; i < d.placements.size(); ++i) {
    const Placement& p = d.placements[i];
    if ((p.how == PlaceHow::First) != (i == 0)) return false;
    if (d.Find(p.placed) == nullptr || !NeedsPlacing(*d.Find(p.placed))) return false;
    if (std::find(seen.begin(), seen.end(), p.placed) != seen.end()) return false;
    if (p.how != PlaceHow::First &&
        std::find(seen.begin(), seen.end(), p.reference) == seen.end())
      return false;
    seen.push_back(p.placed);
  }
  return std::all_of(d.items.begin(), d.items.end(), [&seen](const DialogItem& it) {
    return !NeedsPlacing(it) || std::find(seen.begin(), seen.end(), it.id) != seen.end();
  });
}

HostBool Place(Host* h, PlaceHow how, DialogId d, int32_t reference, int32_t placed, int16_t dx,
               int16_t dy, const char* routine) {
  DialogRecord* dialog = FindDialog(h, d, routine);
  if (dialog == nullptr) return 0;
  if (how != PlaceHow::First && FindItem(h, *dialog, reference, routine) == nullptr) return 0;
  if (FindItem(h, *dialog, placed, routine) == nullptr) return 0;
  const bool fresh = !Placed(*dialog, placed);
  const bool referenceReady = how == PlaceHow::First || Placed(*dialog, reference);
  dialog->placements.push_back(Placement{how, reference, placed, dx, dy});
  return Answer(h, fresh && referenceReady);
}

// ---- the routines ----

DialogId CreateLayoutDialogRoutine(const char* title, HostBool flag, const char* acceptLabel,
                                   const char* cancelLabel) {
  Host* h = Enter(kSelCreateLayoutDialog, "CreateLayoutDialog",
                  Args(LogText(title), Int(flag), LogText(acceptLabel), LogText(cancelLabel)));
  if (h == nullptr) return 0;
  std::vector<DialogRecord>& dialogs = h->DialogState().dialogs;
  DialogRecord d;
  d.id = static_cast<DialogId>(dialogs.size() + 1);
  d.title = CopyText(h, title, "CreateLayoutDialog");
  d.flag = flag;
  d.items.push_back(MakeItem(0, DialogItemKind::Body));
  d.items.push_back(MakeItem(kDialogItemAccept, DialogItemKind::AcceptButton,
                             CopyText(h, acceptLabel, "CreateLayoutDialog")));
  d.items.push_back(MakeItem(kDialogItemCancel, DialogItemKind::CancelButton,
                             CopyText(h, cancelLabel, "CreateLayoutDialog")));
  dialogs.push_back(std::move(d));
  return dialogs.back().id;
}

void CreateCheckBoxRoutine(DialogId d, int32_t item, const char* label) {
  Host* h = Enter(kSelCreateCheckBox, "CreateCheckBox", Args(Int(d), Int(item), LogText(label)));
  if (h == nullptr) return;
  if (DialogRecord* dialog = FindDialog(h, d, "CreateCheckBox"))
    AddItem(h, *dialog,
            MakeItem(item, DialogItemKind::CheckBox, CopyText(h, label, "CreateCheckBox")),
            "CreateCheckBox");
}

void CreateStaticTextRoutine(DialogId d, int32_t item, const char* text, int16_t width) {
  Host* h = Enter(kSelCreateStaticText, "CreateStaticText",
                  Args(Int(d), Int(item), LogText(text), Int(width)));
  if (h == nullptr) return;
  if (DialogRecord* dialog = FindDialog(h, d, "CreateStaticText")) {
    DialogItem it =
        MakeItem(item, DialogItemKind::StaticText, CopyText(h, text, "CreateStaticText"));
    it.width = width;
    AddItem(h, *dialog, std::move(it), "CreateStaticText");
  }
}

void CreateEditRealRoutine(DialogId d, int32_t item, int32_t kind, double initial,
                           int16_t width) {
  Host* h = Enter(kSelCreateEditReal, "CreateEditReal",
                  Args(Int(d), Int(item), Int(kind), NumberText(initial), Int(width)));
  if (h == nullptr) return;
  if (DialogRecord* dialog = FindDialog(h, d, "CreateEditReal")) {
    // A field starts out showing the text of its initial value.
    DialogItem it = MakeItem(item, DialogItemKind::EditReal);
    it.width = width;
    it.editKind = kind;
    it.initial = initial;
    it.fieldText = FieldTextOf(initial);
    AddItem(h, *dialog, std::move(it), "CreateEditReal");
  }
}

void SetItemHelpTextRoutine(DialogId d, int32_t item, const char* text) {
  Host* h = Enter(kSelSetItemHelpText, "SetItemHelpText", Args(Int(d), Int(item), LogText(text)));
  if (h == nullptr) return;
  DialogRecord* dialog = FindDialog(h, d, "SetItemHelpText");
  if (dialog == nullptr) return;
  if (DialogItem* it = FindItem(h, *dialog, item, "SetItemHelpText"))
    it->help = CopyText(h, text, "SetItemHelpText");
}

HostBool SetFirstLayoutItemRoutine(DialogId d, int32_t item) {
  Host* h = Enter(kSelSetFirstLayoutItem, "SetFirstLayoutItem", Args(Int(d), Int(item)));
  if (h == nullptr) return 0;
  DialogRecord* dialog = FindDialog(h, d, "SetFirstLayoutItem");
  if (dialog != nullptr && !dialog->placements.empty()) {
    Violation(h, "SetFirstLayoutItem", "the layout of dialog " + Int(d) + " has already started");
    dialog->placements.push_back(Placement{PlaceHow::First, 0, item, 0, 0});
    return 0;
  }
  return Place(h, PlaceHow::First, d, 0, item, 0, 0, "SetFirstLayoutItem");
}

HostBool PlaceItemBelowRoutine(DialogId d, int32_t reference, int32_t placed, int16_t dx,
                               int16_t dy) {
  Host* h = Enter(kSelPlaceItemBelow, "PlaceItemBelow",
                  Args(Int(d), Int(reference), Int(placed), Int(dx), Int(dy)));
  if (h == nullptr) return 0;
  return Place(h, PlaceHow::Below, d, reference, placed, dx, dy, "PlaceItemBelow");
}

HostBool PlaceItemRightRoutine(DialogId d, int32_t reference, int32_t placed, int16_t dx,
                               int16_t dy) {
  Host* h = Enter(kSelPlaceItemRight, "PlaceItemRight",
                  Args(Int(d), Int(reference), Int(placed), Int(dx), Int(dy)));
  if (h == nullptr) return 0;
  return Place(h, PlaceHow::Right, d, reference, placed, dx, dy, "PlaceItemRight");
}

HostBool VerifyLayoutRoutine(DialogId d) {
  Host* h = Enter(kSelVerifyLayout, "VerifyLayout", Args(Int(d)));
  if (h == nullptr) return 0;
  DialogRecord* dialog = FindDialog(h, d, "VerifyLayout");
  if (dialog == nullptr) return 0;
  ++dialog->verifyCalls;
  return Answer(h, h->DialogState().verifyAnswer.value_or(LayoutIsSound(*dialog)));
}

void SetBooleanItemRoutine(DialogId d, int32_t item, HostBool value) {
  Host* h = Enter(kSelSetBooleanItem, "SetBooleanItem", Args(Int(d), Int(item), Int(value)));
  if (h == nullptr) return;
  DialogRecord* dialog = FindDialog(h, d, "SetBooleanItem");
  if (dialog == nullptr) return;
  DialogItem* it = FindItem(h, *dialog, item, "SetBooleanItem");
  if (it == nullptr) return;
  if (it->kind != DialogItemKind::CheckBox) {
    Violation(h, "SetBooleanItem", "item " + Int(item) + " is not a check box");
    return;
  }
  it->checked = value != 0;
}

void EnableItemRoutine(DialogId d, int32_t item, HostBool enabled) {
  Host* h = Enter(kSelEnableItem, "EnableItem", Args(Int(d), Int(item), Int(enabled)));
  if (h == nullptr) return;
  DialogRecord* dialog = FindDialog(h, d, "EnableItem");
  if (dialog == nullptr) return;
  if (DialogItem* it = FindItem(h, *dialog, item, "EnableItem")) it->enabled = enabled != 0;
}

HostBool GetEditRealRoutine(DialogId d, int32_t item, int16_t kind, double* out) {
  Host* h = Enter(kSelGetEditReal, "GetEditReal", Args(Int(d), Int(item), Int(kind)));
  if (h == nullptr) return 0;
  DialogRecord* dialog = FindDialog(h, d, "GetEditReal");
  if (dialog == nullptr) return 0;
  const DialogItem* it = FindItem(h, *dialog, item, "GetEditReal");
  if (it == nullptr) return 0;
  if (it->kind != DialogItemKind::EditReal) {
    Violation(h, "GetEditReal", "item " + Int(item) + " is not a real-number field");
    return 0;
  }
  if (kind != it->editKind)
    Violation(h, "GetEditReal", "kind " + Int(kind) + " for a field of kind " + Int(it->editKind));
  if (!NotNull(h, "GetEditReal", out, "value address")) return 0;
  const std::optional<double> value = ParseFieldText(it->fieldText);
  if (!value) return 0;
  *out = *value;
  return Answer(h, true);
}

// Hands one event to the plug-in's handler; the value lives in host memory
// for the length of the call, as a real dialog's would.
void SendEvent(Host* h, DialogEventHandler handler, DialogId d, int32_t item, int32_t value,
               void* userData) {
  int32_t itemHit = item;
  int32_t data = value;
  handler(d, &itemHit, &data, userData);
  if (itemHit != item) h->ReportViolation("dialog event handler wrote itemHit");
}

// Applies one scripted event as the user would make it, or records why the
// user could not. The dialog is looked up afresh: the handler may have
// created dialogs meanwhile.
void PlayEvent(Host* h, DialogId d, const DialogEvent& e, DialogEventHandler handler,
               void* userData) {
  DialogRecord& dialog = h->DialogState().dialogs[d - 1];
  DialogItem* it = dialog.Find(e.item);
  const bool click = e.kind == DialogEvent::Kind::Click;
  const std::string what = (click ? "click " : "text ") + Int(e.item);
  if (it == nullptr) {
    dialog.ignoredEvents.push_back(what + ": no such item");
    return;
  }
  if (!it->enabled) {
    dialog.ignoredEvents.push_back(what + ": item disabled");
    return;
  }
  if (click != (it->kind == DialogItemKind::CheckBox) ||
      (!click && it->kind != DialogItemKind::EditReal)) {
    dialog.ignoredEvents.push_back(what + ": wrong kind of item");
    return;
  }
  if (click) it->checked = e.checked;
  else it->fieldText = e.text;
  SendEvent(h, handler, d, e.item, click ? (e.checked ? 1 : 0) : 0, userData);
}

int32_t RunLayoutDialogRoutine(DialogId d, DialogEventHandler handler, void* userData) {
  Host* h = Enter(kSelRunLayoutDialog, "RunLayoutDialog", Args(Int(d)));
  if (h == nullptr) return 0;
  DialogRecord* dialog = FindDialog(h, d, "RunLayoutDialog");
  if (dialog == nullptr) return 0;
  if (handler == nullptr) {
    Violation(h, "RunLayoutDialog", "no event handler");
    return 0;
  }
  if (dialog->running) {
    Violation(h, "RunLayoutDialog", "dialog " + Int(d) + " is already running");
    return 0;
  }
  DialogScript script;
  std::deque<DialogScript>& scripts = h->DialogState().scripts;
  if (!scripts.empty()) {
    script = std::move(scripts.front());
    scripts.pop_front();
  }
  dialog->running = true;
  ++dialog->runs;

  SendEvent(h, handler, d, kDialogSetupEvent, 0, userData);
  for (const DialogEvent& e : script.events) PlayEvent(h, d, e, handler, userData);

  DialogRecord& done = h->DialogState().dialogs[d - 1];
  int32_t closedBy = script.closeWith;
  const DialogItem* accept = done.Find(kDialogItemAccept);
  if (closedBy == kDialogItemAccept && accept != nullptr && !accept->enabled) {
    done.acceptRefused = true;
    closedBy = kDialogItemCancel;
  }
  done.running = false;
  done.closedBy = closedBy;
  return closedBy;
}

}  // namespace

// ---- records and scripts ----

DialogEvent Click(int32_t item, bool checked) {
  DialogEvent e;
  e.kind = DialogEvent::Kind::Click;
  e.item = item;
  e.checked = checked;
  return e;
}

DialogEvent TypeText(int32_t item, std::string text) {
  DialogEvent e;
  e.kind = DialogEvent::Kind::Text;
  e.item = item;
  e.text = std::move(text);
  return e;
}

// Each host keeps its own dialogs and scripts; with no host current there
// are none, and a script has nothing to run on.
void QueueDialogScript(DialogScript script) {
  if (Host* h = CurrentHost()) h->DialogState().scripts.push_back(std::move(script));
}

size_t PendingDialogScripts() {
  const Host* h = CurrentHost();
  return h != nullptr ? h->DialogState().scripts.size() : 0;
}

void SetVerifyLayoutAnswer(std::optional<bool> answer) {
  if (Host* h = CurrentHost()) h->DialogState().verifyAnswer = answer;
}

const std::vector<DialogRecord>& Dialogs() {
  static const std::vector<DialogRecord> kNone;
  const Host* h = CurrentHost();
  return h != nullptr ? h->DialogState().dialogs : kNone;
}

const DialogRecord* LastDialog() {
  const std::vector<DialogRecord>& dialogs = Dialogs();
  return dialogs.empty() ? nullptr : &dialogs.back();
}

void ResetDialogEngine() {
  if (Host* h = CurrentHost()) h->DialogState() = DialogEngineState{};
}

std::optional<double> ParseFieldText(const std::string& text) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (first < last && blank(*first)) ++first;
  while (last > first && blank(last[-1])) --last;
  if (first < last && *first == '+') ++first;  // from_chars takes no plus sign
  double value = 0;
  const auto [end, ec] = std::from_chars(first, last, value);
  if (first == last || ec != std::errc() || end != last || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::string FieldTextOf(double value) {
  // Plain decimals read best in a field; very small or large values would
  // need a long run of zeros, so they fall back to the exponent form.
  constexpr size_t kMaxFixedLength = 16;
  char buffer[400];  // the longest fixed form of any double fits
  const auto fixed = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  if (fixed.ec == std::errc() && static_cast<size_t>(fixed.ptr - buffer) <= kMaxFixedLength)
    return std::string(buffer, fixed.ptr);
  const auto shortest = std::to_chars(buffer, buffer + sizeof buffer, value);
  return shortest.ec == std::errc() ? std::string(buffer, shortest.ptr) : std::string();
}

// ---- rendering ----

namespace {

constexpr int kBaseIndent = 2;   // every row sits inside the dialog's frame
constexpr int kItemGap = 2;      // between items of one row

struct Row {
  int indent = 0;
  std::vector<std::pair<int32_t, int>> items;  // item, extra gap before it
};

std::string ItemText(const DialogItem& it) {
  std::string s;
  switch (it.kind) {
    case DialogItemKind::CheckBox: s = (it.checked ? "[x] " : "[ ] ") + it.label; break;
    case DialogItemKind::StaticText: s = it.label; break;
    case DialogItemKind::EditReal: s = "[" + it.fieldText + "]"; break;
    case DialogItemKind::AcceptButton:
    case DialogItemKind::CancelButton: s = "<" + it.label + ">"; break;
    case DialogItemKind::Body: break;
  }
  if (!it.enabled) s += " (disabled)";
  return s;
}

std::vector<Row> LayOut(const DialogRecord& d) {
  std::vector<Row> rows;
  auto rowOf = [&rows](int32_t item) -> int {
    for (size_t r = 0; r < rows.size(); ++r)
      for (const auto& [id, gap] : rows[r].items)
        if (id == item) return static_cast<int>(r);
    return -1;
  };
  for (const Placement& p : d.placements) {
    if (d.Find(p.placed) == nullptr || rowOf(p.placed) >= 0) continue;
    if (p.how == PlaceHow::First) {
      if (rows.empty()) rows.push_back(Row{0, {{p.placed, 0}}});
      continue;
    }
    const int r = rowOf(p.reference);
    if (r < 0) continue;
    if (p.how == PlaceHow::Right) {
      auto& items = rows[r].items;
      auto at = std::find_if(items.begin(), items.end(),
                             [&p](const auto& e) { return e.first == p.reference; });
      items.insert(at + 1, {p.placed, std::max(0, int{p.dx})});
    } else {
      rows.insert(rows.begin() + r + 1, Row{rows[r].indent + p.dx, {{p.placed, 0}}});
    }
  }
  // Items the layout never reached still show, each on a row of its own.
  for (const DialogItem& it : d.items)
    if (NeedsPlacing(it) && rowOf(it.id) < 0) rows.push_back(Row{0, {{it.id, 0}}});
  return rows;
}

}  // namespace

std::string RenderDialog(const DialogRecord& d) {
  std::string out = "== " + d.title + " ==\n";
  for (const Row& row : LayOut(d)) {
    std::string line(static_cast<size_t>(kBaseIndent + std::max(0, row.indent)), ' ');
    bool first = true;
    for (const auto& [id, gap] : row.items) {
      if (!first) line.append(static_cast<size_t>(kItemGap + gap), ' ');
      line += ItemText(*d.Find(id));
      first = false;
    }
    out += line + "\n";
  }
  std::string buttons(kBaseIndent, ' ');
  for (int32_t id : {kDialogItemAccept, kDialogItemCancel}) {
    if (const DialogItem* it = d.Find(id)) {
      if (id != kDialogItemAccept) buttons.append(kItemGap, ' ');
      buttons += ItemText(*it);
    }
  }
  return out + buttons + "\n";
}

void* DialogRoutine(int32_t selector) {
  switch (selector) {
    case kSelCreateLayoutDialog: return reinterpret_cast<void*>(&CreateLayoutDialogRoutine);
    case kSelCreateCheckBox: return reinterpret_cast<void*>(&CreateCheckBoxRoutine);
    case kSelCreateStaticText: return reinterpret_cast<void*>(&CreateStaticTextRoutine);
    case kSelCreateEditReal: return reinterpret_cast<void*>(&CreateEditRealRoutine);
    case kSelSetItemHelpText: return reinterpret_cast<void*>(&SetItemHelpTextRoutine);
    case kSelSetFirstLayoutItem: return reinterpret_cast<void*>(&SetFirstLayoutItemRoutine);
    case kSelPlaceItemBelow: return reinterpret_cast<void*>(&PlaceItemBelowRoutine);
    case kSelPlaceItemRight: return reinterpret_cast<void*>(&PlaceItemRightRoutine);
    case kSelVerifyLayout: return reinterpret_cast<void*>(&VerifyLayoutRoutine);
    case kSelRunLayoutDialog: return reinterpret_cast<void*>(&RunLayoutDialogRoutine);
    case kSelSetBooleanItem: return reinterpret_cast<void*>(&SetBooleanItemRoutine);
    case kSelEnableItem: return reinterpret_cast<void*>(&EnableItemRoutine);
    case kSelGetEditReal: return reinterpret_cast<void*>(&GetEditRealRoutine);
    default: return nullptr;
  }
}

}  // namespace hostapp
