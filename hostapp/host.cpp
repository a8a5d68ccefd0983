#include "hostapp/host.h"

#include <dlfcn.h>

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "hostapp/geometry.h"

namespace hostapp {

namespace detail {
Host* gCurrentHost = nullptr;
}  // namespace detail

namespace {
Host*& gCurrent = detail::gCurrentHost;
// Live hosts in order of construction: when the current one goes, the newest
// remaining one takes over, so the current host never dangles.
std::vector<Host*> gHosts;
}  // namespace

Host::Host()
    : slots_(1),
      classNames_(1),
      classLive_(1, 1),
      missing_(kSelectorRange, 0),
      hooks_(kSelectorRange) {
  gHosts.push_back(this);
  gCurrent = this;
}

Host::~Host() {
  // A plug-in still holding its settings block gets its tear-down, as a host
  // unloading the command would send it.
  auto it = blocks_.find(userData);
  if (main_ != nullptr && it != blocks_.end() && it->second->live) {
    Activate();
    SendAction(kActionTearDown);
  }
  gHosts.erase(std::find(gHosts.begin(), gHosts.end(), this));
  if (gCurrent == this) gCurrent = gHosts.empty() ? nullptr : gHosts.back();
}

void Host::Activate() { gCurrent = this; }

// ---- drawing ----

ObjectHandle Host::NewSlot(const Object& o, uint64_t serial) {
  Slot s;
  s.obj = o;
  s.alive = true;
  s.serial = serial;
  slots_.push_back(std::move(s));
  ++liveCount_;
  return static_cast<ObjectHandle>(slots_.size() - 1);
}

void Host::LinkBefore(ObjectHandle h, ObjectHandle before) {
  Slot& s = slots_[h];
  if (before == 0) {
    s.prev = tail_;
    s.next = 0;
    if (tail_ != 0) slots_[tail_].next = h; else head_ = h;
    tail_ = h;
    return;
  }
  Slot& b = slots_[before];
  s.prev = b.prev;
  s.next = before;
  if (b.prev != 0) slots_[b.prev].next = h; else head_ = h;
  b.prev = h;
}

void Host::Unlink(ObjectHandle h) {
  Slot& s = slots_[h];
  if (s.prev != 0) slots_[s.prev].next = s.next; else head_ = s.next;
  if (s.next != 0) slots_[s.next].prev = s.prev; else tail_ = s.prev;
  s.prev = 0;  // next stays: a traversal standing here continues from it
}

void Host::Kill(ObjectHandle h) {
  Unlink(h);
  slots_[h].alive = false;
  --liveCount_;
}

ObjectHandle Host::LiveFrom(ObjectHandle h) const {
  while (h != 0 && !slots_[h].alive) h = slots_[h].replacedBy != 0 ? slots_[h].replacedBy : slots_[h].next;
  return h;
}

ObjectHandle Host::Replace(ObjectHandle old) {
  ObjectHandle h = NewSlot(slots_[old].obj, slots_[old].serial);
  LinkBefore(h, old);
  Kill(old);
  slots_[old].replacedBy = h;
  return h;
}

ObjectHandle Host::InsertNew(const Object& o) {
  ObjectHandle h = NewSlot(o, nextSerial_++);
  // Before the visited object, neither the traversal nor a walk onward from
  // the visited object meets the new one; after it or at the end, a walk
  // does (the traversal never visits objects it did not start with).
  ObjectHandle before = 0;  // 0: at the end
  if (!visiting_.empty() && settings.newObjects != NewObjectPlace::kAtEnd) {
    // The visited object or what took its place; a deleted one's place is
    // just before its first live successor.
    ObjectHandle v = visiting_.back();
    while (!slots_[v].alive && slots_[v].replacedBy != 0) v = slots_[v].replacedBy;
    const bool after = settings.newObjects == NewObjectPlace::kAfterVisited;
    before = (after && slots_[v].alive) ? slots_[v].next : LiveFrom(v);
  }
  LinkBefore(h, before);
  return h;
}

ObjectHandle Host::Add(const Object& o) {
  ObjectHandle h = NewSlot(o, nextSerial_++);
  LinkBefore(h, 0);
  return h;
}


const Object& Host::Get(ObjectHandle h) const {
  static const Object kNone{};
  return (h != 0 && h < slots_.size()) ? slots_[h].obj : kNone;
}

Object& Host::Edit(ObjectHandle h) {
  static Object scratch{};
  if (h == 0 || h >= slots_.size()) {
    scratch = Object{};
    return scratch;
  }
  return slots_[h].obj;
}

std::vector<ObjectHandle> Host::Objects() const {
  std::vector<ObjectHandle> out;
  out.reserve(liveCount_);
  for (ObjectHandle h = head_; h != 0; h = slots_[h].next) out.push_back(h);
  return out;
}

size_t Host::ObjectCount() const { return liveCount_; }

void Host::Remove(ObjectHandle h) {
  if (Alive(h)) Kill(h);
}

HostWorldRect Host::BoundsOf(ObjectHandle h) const {
  HostWorldRect r;
  ComputeBounds(Get(h), &r);
  return r;
}

// ---- classes ----

ClassId Host::ClassNamed(const std::string& name) {
  auto it = classIds_.find(name);
  if (it != classIds_.end()) return it->second;
  ClassId id = static_cast<ClassId>(classNames_.size());
  classNames_.push_back(name);
  classLive_.push_back(1);
  classIds_.emplace(name, id);
  return id;
}

std::optional<ClassId> Host::FindClass(const std::string& name) const {
  auto it = classIds_.find(name);
  if (it == classIds_.end()) return std::nullopt;
  return it->second;
}

std::string Host::ClassName(ClassId id) const {
  if (id <= 0 || static_cast<size_t>(id) >= classNames_.size()) return std::string();
  return classNames_[id];
}

std::string Host::UnusedClassName(const std::string& base) const {
  auto folded = [](std::string s) {
    for (char& c : s)
      if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
  };
  std::unordered_set<std::string> taken;
  for (size_t id = 1; id < classNames_.size(); ++id)
    if (classLive_[id]) taken.insert(folded(classNames_[id]));
  std::string name = base;
  for (unsigned n = 2; taken.count(folded(name)) != 0; ++n) name = base + " " + std::to_string(n);
  return name;
}

bool Host::ClassExists(ClassId id) const {
  return id >= 0 && static_cast<size_t>(id) < classLive_.size() && classLive_[id] != 0;
}

// ---- behaviour ----

void Host::SetMissing(int32_t selector, bool missing) {
  if (selector < 0 || selector >= kSelectorRange) return;
  missing_[selector] = missing ? 1 : 0;
}

void Host::SetHook(int32_t selector, std::function<void()> hook) {
  if (selector < 0 || selector >= kSelectorRange) return;
  hooks_[selector] = std::move(hook);
  hasHooks_ = std::any_of(hooks_.begin(), hooks_.end(), [](const auto& f) { return bool(f); });
}

void Host::RunHook(int32_t selector) {
  if (selector < 0 || selector >= kSelectorRange || !hooks_[selector]) return;
  // A copy, so a hook may replace itself while it runs; taken only for a
  // selector that has one, as every call of every routine comes through here.
  std::function<void()> hook = hooks_[selector];
  hook();
}

// ---- plug-in ----

bool Host::LoadPlugin(const std::string& path, std::string* error) {
  void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) {
    if (error != nullptr) *error = dlerror();
    return false;
  }
  void* sym = dlsym(lib, "main");
  if (sym == nullptr) {
    if (error != nullptr) *error = "no symbol main in " + path;
    return false;
  }
  library_ = lib;
  main_ = reinterpret_cast<PluginMainFn>(sym);
  return true;
}

int32_t Host::CallMain(int32_t action, int32_t message, MemHandle* data, CallbackPtr cbp) {
  if (main_ == nullptr) {
    ReportViolation("main called without a loaded plug-in");
    return 0;
  }
  Activate();
  return main_(action, message, data, cbp);
}

int32_t Host::SendAction(int32_t action, int32_t message) {
  return CallMain(action, message, &userData, Cbp());
}

CallbackPtr Host::Cbp() { return &dispatcher_; }

uint8_t* Host::SettingsBlock() {
  if (userData == nullptr) return nullptr;
  return reinterpret_cast<uint8_t*>(*userData);
}

size_t Host::BlockSize(MemHandle h) const {
  auto it = blocks_.find(h);
  return (it == blocks_.end() || !it->second->live) ? 0 : it->second->size;
}

size_t Host::LiveBlocks() const { return liveBlocks_; }

// ---- logs ----

std::vector<std::string> Host::CallTexts() const {
  std::vector<std::string> out;
  out.reserve(calls_.size());
  for (const CallRecord& c : calls_) out.push_back(c.routine + "(" + c.args + ")");
  return out;
}

void Host::LogCall(int32_t selector, const char* routine, std::string args) {
  if (callStream_ != nullptr) {
    std::fprintf(callStream_, "%s(%s)\n", routine, args.c_str());
    return;
  }
  if (!settings.logCalls) return;
  calls_.push_back(CallRecord{selector, routine, std::move(args)});
  callNames_.emplace_back(routine);
}

void Host::ReportViolation(std::string what) { violations_.push_back(std::move(what)); }

}  // namespace hostapp
