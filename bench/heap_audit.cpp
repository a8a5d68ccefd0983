#include "heap_audit.h"

#include <dlfcn.h>
#include <execinfo.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace bench {

namespace {

std::atomic<size_t> gLive{0};
std::atomic<size_t> gPeak{0};
std::atomic<uint64_t> gPluginAllocs{0};
std::atomic<bool> gWatching{false};
const void* gPluginBase = nullptr;
const void* gStdlibBase = nullptr;
thread_local bool tInAudit = false;

// Deep enough to climb out of the standard library's own layers.
constexpr int kAuditFrames = 16;

const void* BaseOf(const void* address) {
  Dl_info info;
  return dladdr(address, &info) != 0 ? info.dli_fbase : nullptr;
}

// Whose code asked for the memory: the caller of operator new, or, when that
// is the standard library, the first caller outside it. The host's routines
// allocate when the plug-in creates objects; those are the host's, not the
// plug-in's.
bool CalledFromPlugin(const void* caller) {
  const void* base = BaseOf(caller);
  if (base == gPluginBase) return true;
  if (base != gStdlibBase) return false;
  void* frames[kAuditFrames];
  const int n = backtrace(frames, kAuditFrames);
  bool seen = false;
  for (int i = 0; i < n; ++i) {
    if (!seen) {
      seen = frames[i] == caller;
      continue;
    }
    const void* b = BaseOf(frames[i]);
    if (b != gStdlibBase) return b == gPluginBase;
  }
  return false;
}

void Account(void* p, const void* caller) {
  const size_t size = malloc_usable_size(p);
  const size_t live = gLive.fetch_add(size, std::memory_order_relaxed) + size;
  size_t peak = gPeak.load(std::memory_order_relaxed);
  while (live > peak && !gPeak.compare_exchange_weak(peak, live, std::memory_order_relaxed)) {
  }
  if (gWatching.load(std::memory_order_relaxed) && !tInAudit) {
    tInAudit = true;
    if (CalledFromPlugin(caller)) gPluginAllocs.fetch_add(1, std::memory_order_relaxed);
    tInAudit = false;
  }
}

void* Allocate(size_t size, const void* caller) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  Account(p, caller);
  return p;
}

void* AllocateAligned(size_t size, std::align_val_t align, const void* caller) {
  const size_t a = static_cast<size_t>(align);
  void* p = std::aligned_alloc(a, ((size == 0 ? 1 : size) + a - 1) / a * a);
  if (p == nullptr) throw std::bad_alloc();
  Account(p, caller);
  return p;
}

void Release(void* p) {
  if (p == nullptr) return;
  gLive.fetch_sub(malloc_usable_size(p), std::memory_order_relaxed);
  std::free(p);
}

}  // namespace

size_t HeapLiveBytes() { return gLive.load(); }
size_t HeapPeakBytes() { return gPeak.load(); }
void ResetHeapPeak() { gPeak.store(gLive.load()); }

bool PluginUsesCountingNew(void* pluginLibrary) {
  // A loaded library binds operator new through the global scope, which
  // begins with this binary: that lookup must find the replacement.
  (void)pluginLibrary;
  using NewFn = void* (*)(size_t);
  void* bound = dlsym(RTLD_DEFAULT, "_Znwm");
  return bound == reinterpret_cast<void*>(static_cast<NewFn>(&::operator new));
}

void WatchPluginAllocations(void* pluginLibrary, bool on) {
  if (on) {
    void* entry = dlsym(pluginLibrary, "main");
    Dl_info info;
    gPluginBase = (entry != nullptr && dladdr(entry, &info) != 0) ? info.dli_fbase : nullptr;
    void* stdlib = dlopen("libstdc++.so.6", RTLD_NOW | RTLD_NOLOAD);
    void* terminate = stdlib != nullptr ? dlsym(stdlib, "_ZSt9terminatev") : nullptr;
    gStdlibBase = terminate != nullptr ? BaseOf(terminate) : nullptr;
    void* warm[2];
    backtrace(warm, 2);  // loads the unwinder before counting starts
    gPluginAllocs.store(0);
  }
  gWatching.store(on && gPluginBase != nullptr);
}

uint64_t PluginAllocations() { return gPluginAllocs.load(); }

}  // namespace bench

// ---- the replaced allocation functions ----

#define CALLER __builtin_return_address(0)
void* operator new(size_t size) { return bench::Allocate(size, CALLER); }
void* operator new[](size_t size) { return bench::Allocate(size, CALLER); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return bench::Allocate(size, CALLER);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  try {
    return bench::Allocate(size, CALLER);
  } catch (...) {
    return nullptr;
  }
}
void* operator new(size_t size, std::align_val_t a) {
  return bench::AllocateAligned(size, a, CALLER);
}
void* operator new[](size_t size, std::align_val_t a) {
  return bench::AllocateAligned(size, a, CALLER);
}
#undef CALLER
void operator delete(void* p) noexcept { bench::Release(p); }
void operator delete[](void* p) noexcept { bench::Release(p); }
void operator delete(void* p, size_t) noexcept { bench::Release(p); }
void operator delete[](void* p, size_t) noexcept { bench::Release(p); }
void operator delete(void* p, std::align_val_t) noexcept { bench::Release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { bench::Release(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { bench::Release(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { bench::Release(p); }
