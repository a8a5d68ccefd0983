// A growing array whose elements never move: chunk k holds kFirst * 2^k
// elements, so a large array takes a few large blocks (see large_blocks.h)
// and a small one stays small, and growing never needs the old and a new
// copy of the whole array at once.
#pragma once

#include <bit>
#include <cstddef>
#include <new>
#include <utility>
#include <vector>

#include "hostapp/large_blocks.h"

namespace hostapp {

template <class T>
class ChunkedArray {
 public:
  explicit ChunkedArray(size_t n = 0) {
    while (size_ < n) push_back(T{});
  }
  ~ChunkedArray() {
    for (size_t i = 0; i < size_; ++i) (*this)[i].~T();
    for (size_t k = 0; k < chunks_.size(); ++k) FreeLarge(chunks_[k], ChunkSize(k) * sizeof(T));
  }
  ChunkedArray(const ChunkedArray&) = delete;
  ChunkedArray& operator=(const ChunkedArray&) = delete;

  size_t size() const { return size_; }
  T& operator[](size_t i) { return At(i); }
  const T& operator[](size_t i) const { return const_cast<ChunkedArray*>(this)->At(i); }

  void push_back(T&& v) {
    if (size_ == Capacity()) chunks_.push_back(static_cast<T*>(AllocateLarge(ChunkSize(chunks_.size()) * sizeof(T))));
    new (&At(size_)) T(std::move(v));
    ++size_;
  }

 private:
  static constexpr size_t kFirst = 64;
  static size_t ChunkSize(size_t k) { return kFirst << k; }
  size_t Capacity() const { return kFirst * ((size_t{1} << chunks_.size()) - 1); }
  T& At(size_t i) {
    const size_t k = size_t(std::bit_width(i / kFirst + 1)) - 1;
    return chunks_[k][i - kFirst * ((size_t{1} << k) - 1)];
  }

  std::vector<T*> chunks_;
  size_t size_ = 0;
};

}  // namespace hostapp
