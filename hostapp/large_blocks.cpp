#include "hostapp/large_blocks.h"

#include <sys/mman.h>

#include <cstdint>

namespace hostapp {
namespace {

constexpr size_t kHugePage = size_t{2} << 20;

size_t Mapped(size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

}  // namespace

void* AllocateLarge(size_t bytes) {
  if (bytes < kHugePage) return ::operator new(bytes);
  // Mapped with a huge page of slack, then trimmed to start on a huge-page
  // boundary: only aligned ranges can be backed by huge pages.
  const size_t size = Mapped(bytes);
  void* raw = ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
  if (aligned > start) ::munmap(raw, aligned - start);
  const uintptr_t end = start + size + kHugePage;
  if (end > aligned + size) ::munmap(reinterpret_cast<void*>(aligned + size), end - aligned - size);
  void* p = reinterpret_cast<void*>(aligned);
  ::madvise(p, size, MADV_HUGEPAGE);  // advice only: without it, small pages
  return p;
}

void FreeLarge(void* p, size_t bytes) {
  if (!p) return;
  if (bytes < kHugePage) return ::operator delete(p);
  ::munmap(p, Mapped(bytes));
}

}  // namespace hostapp
