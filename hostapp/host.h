// The project's own host: an in-memory drawing application that loads the
// real libcleanup.so and answers every routine of the host interface, checking
// each call against the host contract.
//
// Routines are plain C-callable functions reached through Dispatch, so one
// Host is "current" at a time: the most recently constructed or activated one.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "cleanup/host_abi.h"
#include "hostapp/dialog_records.h"
#include "hostapp/large_blocks.h"
#include "hostapp/objects.h"

namespace hostapp {

// The dispatcher: the routine for a selector, or nullptr.
void* Dispatch(int32_t selector);

class Host {
 public:
  Host();   // becomes current
  ~Host();  // tears the plug-in's settings down if it still holds them
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // Makes this host the one the routines answer for.
  void Activate();

  // ---- drawing ----
  // Appended at the end of the object order; handles from 1, never reused.
  ObjectHandle Add(const Object& o);
  bool Alive(ObjectHandle h) const { return h != 0 && h < slots_.size() && slots_[h].alive; }
  // Dead objects keep their last state and can still be read.
  const Object& Get(ObjectHandle h) const;
  Object& Edit(ObjectHandle h);
  std::vector<ObjectHandle> Objects() const;  // live objects in order
  // f(handle, object) for each live object in order, with no list built: a
  // pass boundary of a large drawing then reads each object once.
  template <class F>
  void ForEachLive(F&& f) const {
    for (ObjectHandle h = head_; h != 0; h = slots_[h].next) f(h, slots_[h].obj);
  }
  size_t ObjectCount() const;
  // Computed from geometry (given bounds for 3, 4, 10 and other codes);
  // the empty rectangle when there is nothing to bound.
  HostWorldRect BoundsOf(ObjectHandle h) const;
  void Remove(ObjectHandle h);  // deletes like DeleteObject, without a log entry

  // ---- classes ----
  // Objects start in class 0; named classes get ids from 1, the same id for
  // an existing name. A deleted name gets a fresh id when it is added again.
  ClassId ClassNamed(const std::string& name);
  std::optional<ClassId> FindClass(const std::string& name) const;
  std::string ClassName(ClassId id) const;
  bool ClassExists(ClassId id) const;
  // `base`, or `base` with " 2", " 3", ... added: the first that no live
  // class of this host has, letter case ignored (drawing formats such as DXF
  // take layer names without regard to case).
  std::string UnusedClassName(const std::string& base) const;

  // ---- behaviour ----
  // Where an object created inside a traversal goes: just before the visited
  // object, right after it (after whatever stands in its place), or at the
  // end of the drawing. Outside a traversal new objects are appended.
  enum class NewObjectPlace : uint8_t { kBeforeVisited, kAfterVisited, kAtEnd };
  struct Settings {
    bool confirm = true;          // ConfirmCommand's answer
    double worldScale = 1.0;      // ConvertToWorldLength multiplies by it
    bool convertInPlace = true;   // false: conversions give a new handle in the old one's place
    bool createLineFails = false, createPolylineFails = false, convertToPolylineFails = false,
         convertToType5Fails = false, addClassFails = false, allocateFails = false;
    uint8_t trueValue = 1;        // every boolean the host answers true is this byte
    uint8_t newBlockFill = 0xA5;  // AllocateHandle fills new blocks with it
    // Keep the call log in memory, for tests that read it back. A real
    // drawing makes millions of calls: front ends leave this off and, when
    // asked, stream the log to a file instead (StreamCallsTo).
    bool logCalls = true;
    int16_t newPolylineType = kVertexListType;  // type code of CreatePolyline's objects
    NewObjectPlace newObjects = NewObjectPlace::kBeforeVisited;
  } settings;
  void SetMissing(int32_t selector, bool missing = true);
  void SetHook(int32_t selector, std::function<void()> hook);

  // ---- plug-in ----
  bool LoadPlugin(const std::string& path, std::string* error);
  bool PluginLoaded() const { return main_ != nullptr; }
  int32_t SendAction(int32_t action, int32_t message = 0);
  int32_t CallMain(int32_t action, int32_t message, MemHandle* userData, CallbackPtr cbp);
  MemHandle userData = nullptr;  // the host's variable that keeps the settings handle
  CallbackPtr Cbp();             // address of the location holding Dispatch
  uint8_t* SettingsBlock();      // *userData's block or nullptr
  size_t BlockSize(MemHandle h) const;  // 0 for an unknown handle

  // ---- logs ----
  struct CallRecord {
    int32_t selector;
    std::string routine;
    std::string args;
  };
  const std::vector<CallRecord>& Calls() const { return calls_; }
  // Writes every call as one "Routine(args)" line to out, as it happens,
  // instead of keeping it; nullptr stops. The host does not own out.
  void StreamCallsTo(std::FILE* out) { callStream_ = out; }
  void ClearCalls() {
    calls_.clear();
    callNames_.clear();
  }
  // Routine names in order; a reference, so two calls name the same vector.
  const std::vector<std::string>& CallNames() const { return callNames_; }
  // "Routine(args)" of every logged call, in order.
  std::vector<std::string> CallTexts() const;
  uint64_t CallCount() const { return callCount_; }
  const std::vector<std::string>& Violations() const { return violations_; }
  void ClearViolations() { violations_.clear(); }
  size_t LiveBlocks() const;
  bool UpdatesOn() const { return updatesOn_; }
  int16_t CommandMode() const { return commandMode_; }
  HostWorldPt hostPoint{};  // what GetHostPoint answers; SetHostPoint stores here

  // ---- for the dialog engine ----
  void LogCall(int32_t selector, const char* routine, std::string args);
  void ReportViolation(std::string what);
  uint8_t True() const { return settings.trueValue; }
  DialogEngineState& DialogState() { return dialogState_; }
  const DialogEngineState& DialogState() const { return dialogState_; }

  // Counting and hooks of one routine call; inline so the routines stay cheap.
  void Enter(int32_t selector) {
    ++callCount_;
    // Tested here, so a call of a routine without a hook costs no call.
    if (hasHooks_ && selector >= 0 && selector < kSelectorRange && hooks_[selector]) RunHook(selector);
  }
  bool Logging() const { return settings.logCalls || callStream_ != nullptr; }
  bool Missing(int32_t selector) const { return missing_[selector & (kSelectorRange - 1)] != 0; }

  // Slots of the kSelectorRange selectors the dispatcher knows.
  static constexpr int32_t kSelectorRange = 1024;

 private:
  friend struct Routines;

  struct Slot {
    Object obj;
    bool alive = false;
    ObjectHandle prev = 0, next = 0;  // a dead slot keeps next for traversals
    ObjectHandle replacedBy = 0;      // the handle that took its place, if any
    uint64_t serial = 0;              // creation order; replacements inherit it
  };
  struct Block {
    char* ptr = nullptr;  // the handle points here
    std::unique_ptr<char[]> data;
    size_t size = 0;
    bool live = false;
  };

  void RunHook(int32_t selector);
  ObjectHandle NewSlot(const Object& o, uint64_t serial);
  void LinkBefore(ObjectHandle h, ObjectHandle before);  // 0: at the end
  void Unlink(ObjectHandle h);
  void Kill(ObjectHandle h);
  ObjectHandle LiveFrom(ObjectHandle h) const;  // first live object at or after h
  ObjectHandle Replace(ObjectHandle old);      // new handle in old's place
  ObjectHandle InsertNew(const Object& o);     // where settings.newObjects says

  // Slots in pages of kPageSlots, indexed by handle. Pages grow without
  // moving what they hold: a vector's doubling would briefly need the old and
  // the new copy of the whole drawing (100,000 lines peaked near 70 MiB
  // instead of ~40). A deque would do the same, but it allocates a slot as
  // large as ours on its own, with the allocator's header and a map entry.
  // The object slots, in pages that never move (a handle's slot stays put
  // while the host grows). Page p holds kFirstPage << p slots: a small
  // drawing stays small, and a large one gets pages big enough for the huge
  // pages that save it tens of thousands of page faults.
  class SlotStore {
   public:
    explicit SlotStore(size_t n) {
      for (size_t i = 0; i < n; ++i) push_back(Slot());
    }
    ~SlotStore() {
      for (size_t i = 0; i < size_; ++i) (*this)[i].~Slot();
      for (size_t p = 0; p < pages_.size(); ++p) FreeLarge(pages_[p], PageSlots(p) * sizeof(Slot));
    }
    SlotStore(const SlotStore&) = delete;
    SlotStore& operator=(const SlotStore&) = delete;
    size_t size() const { return size_; }
    Slot& operator[](size_t i) {
      const size_t p = PageOf(i);
      return pages_[p][i - FirstOf(p)];
    }
    const Slot& operator[](size_t i) const {
      const size_t p = PageOf(i);
      return pages_[p][i - FirstOf(p)];
    }
    void push_back(Slot&& s) {
      const size_t p = PageOf(size_);
      if (p == pages_.size()) pages_.push_back(static_cast<Slot*>(AllocateLarge(PageSlots(p) * sizeof(Slot))));
      new (&pages_[p][size_ - FirstOf(p)]) Slot(std::move(s));
      ++size_;
    }

   private:
    static constexpr size_t kFirstPage = 1024;
    static size_t PageSlots(size_t p) { return kFirstPage << p; }
    static size_t FirstOf(size_t p) { return kFirstPage * ((size_t{1} << p) - 1); }
    static size_t PageOf(size_t i) { return size_t(std::bit_width(i / kFirstPage + 1)) - 1; }
    std::vector<Slot*> pages_;
    size_t size_ = 0;
  };
  SlotStore slots_;
  ObjectHandle head_ = 0, tail_ = 0;
  size_t liveCount_ = 0;
  uint64_t nextSerial_ = 1;
  std::vector<ObjectHandle> visiting_;  // visited object of each running traversal

  std::unordered_map<std::string, ClassId> classIds_;
  std::vector<std::string> classNames_;  // index = id; "" when deleted
  std::vector<uint8_t> classLive_;

  std::unordered_map<MemHandle, std::unique_ptr<Block>> blocks_;
  size_t liveBlocks_ = 0;

  std::vector<uint8_t> missing_;
  std::vector<std::function<void()>> hooks_;
  bool hasHooks_ = false;

  std::vector<CallRecord> calls_;
  std::vector<std::string> callNames_;
  std::FILE* callStream_ = nullptr;
  uint64_t callCount_ = 0;
  std::vector<std::string> violations_;
  bool updatesOn_ = true;
  int16_t commandMode_ = -1;

  DialogEngineState dialogState_;

  void* library_ = nullptr;
  PluginMainFn main_ = nullptr;
  HostDispatcher dispatcher_ = &Dispatch;
};

namespace detail {
extern Host* gCurrentHost;
}
inline Host* CurrentHost() { return detail::gCurrentHost; }

// Text of the host's string lists (11000, 11001, 11003); nullptr when unknown.
const char* ResourceText(int16_t listId, int16_t index);

// The name the host gives the plug-in's marker class (list 11003, index 11),
// process-wide; kDefaultMarkerClassName until set.
inline constexpr const char* kDefaultMarkerClassName = "Clean-up marker";
void SetMarkerClassName(const std::string& name);

}  // namespace hostapp
