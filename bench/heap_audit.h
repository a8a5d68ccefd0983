// Heap accounting of the benchmark process: operator new and delete are
// replaced here, so the bytes live on the heap (and their peak) are known,
// and allocations made from inside the loaded plug-in can be counted.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bench {

size_t HeapLiveBytes();
size_t HeapPeakBytes();
// Starts a new peak from the bytes live now.
void ResetHeapPeak();

// True when a loaded library's calls of operator new land in this binary's
// replacement (so that a count of zero means something).
bool PluginUsesCountingNew(void* pluginLibrary);

// Counts, while on, every allocation with a frame of the plug-in's code on
// its call stack. pluginLibrary: a dlopen handle of the loaded plug-in.
void WatchPluginAllocations(void* pluginLibrary, bool on);
uint64_t PluginAllocations();

}  // namespace bench
