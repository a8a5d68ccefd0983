// Memory for the large arrays of a large drawing: the host's objects, and a
// front end's tags and records. Blocks of 2 MiB and more come straight from
// the kernel, which is asked to back them with huge pages where it can: a
// drawing of a quarter of a million entities otherwise touches tens of
// thousands of small pages, each first touch a page fault.
#pragma once

#include <cstddef>
#include <new>

namespace hostapp {

void* AllocateLarge(size_t bytes);
void FreeLarge(void* p, size_t bytes);

// A standard allocator over AllocateLarge, for vectors that are sized once.
template <class T>
struct LargeAllocator {
  using value_type = T;
  LargeAllocator() = default;
  template <class U>
  LargeAllocator(const LargeAllocator<U>&) {}
  T* allocate(size_t n) { return static_cast<T*>(AllocateLarge(n * sizeof(T))); }
  void deallocate(T* p, size_t n) { FreeLarge(p, n * sizeof(T)); }
  template <class U>
  bool operator==(const LargeAllocator<U>&) const { return true; }
};

}  // namespace hostapp
