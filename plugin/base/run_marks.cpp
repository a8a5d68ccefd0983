#include "base/run_marks.h"

#include <cstdlib>

#include "base/run_globals.h"

namespace {

// Kept at most half full, so probe runs stay short.
constexpr size_t kMaxLoadDivisor = 2;

HandleSet gRunMarks;
bool gNoting = false;

}  // namespace

HandleSet::HandleSet() : inline_{}, slots_(inline_), capacity_(kInlineSlots) {}

HandleSet::~HandleSet() { Clear(); }

size_t HandleSet::Home(ObjectHandle h) const {
  // Fibonacci hashing: consecutive handles spread over the table.
  return static_cast<size_t>((uint64_t{h} * 0x9E3779B97F4A7C15ull) >> 32) & (capacity_ - 1);
}

bool HandleSet::Contains(ObjectHandle h) const {
  if (h == 0) return false;
  for (size_t i = Home(h);; i = (i + 1) & (capacity_ - 1)) {
    if (slots_[i] == h) return true;
    if (slots_[i] == 0) return false;
  }
}

void HandleSet::Insert(ObjectHandle h) {
  if (h == 0 || Contains(h)) return;
  if ((count_ + 1) * kMaxLoadDivisor > capacity_ && !Grow()) {
    overflowed_ = true;
    return;
  }
  size_t i = Home(h);
  while (slots_[i] != 0) i = (i + 1) & (capacity_ - 1);
  slots_[i] = h;
  ++count_;
}

void HandleSet::Erase(ObjectHandle h) {
  if (h == 0) return;
  size_t i = Home(h);
  while (slots_[i] != h) {
    if (slots_[i] == 0) return;
    i = (i + 1) & (capacity_ - 1);
  }
  // Backward shift: pull later members of the probe run into the gap, so no
  // lookup ever stops early at it.
  for (size_t j = (i + 1) & (capacity_ - 1); slots_[j] != 0; j = (j + 1) & (capacity_ - 1)) {
    const size_t home = Home(slots_[j]);
    const bool homeInGap = i <= j ? (home <= i || home > j) : (home <= i && home > j);
    if (homeInGap) {
      slots_[i] = slots_[j];
      i = j;
    }
  }
  slots_[i] = 0;
  --count_;
}

bool HandleSet::Grow() {
  const size_t capacity = capacity_ * 2;
  // calloc: zero slots are empty, and a refusal answers null instead of throwing.
  auto* slots = static_cast<ObjectHandle*>(std::calloc(capacity, sizeof(ObjectHandle)));
  if (slots == nullptr) return false;
  ObjectHandle* old = slots_;
  const size_t oldCapacity = capacity_;
  slots_ = slots;
  capacity_ = capacity;
  for (size_t i = 0; i < oldCapacity; ++i) {
    if (old[i] == 0) continue;
    size_t k = Home(old[i]);
    while (slots_[k] != 0) k = (k + 1) & (capacity_ - 1);
    slots_[k] = old[i];
  }
  if (old != inline_) std::free(old);
  return true;
}

void HandleSet::Clear() {
  if (slots_ != inline_) std::free(slots_);
  slots_ = inline_;
  capacity_ = kInlineSlots;
  for (ObjectHandle& s : inline_) s = 0;
  count_ = 0;
  overflowed_ = false;
}

void BeginRunMarks() {
  gRunMarks.Clear();
  gNoting = true;
}

void EndRunMarks() {
  gNoting = false;
  gRunMarks.Clear();
}

void NoteClassSet(ObjectHandle object, ClassId cls) {
  if (gNoting && cls == gMarkerClass) gRunMarks.Insert(object);
}

void NoteConverted(ObjectHandle from, ObjectHandle to) {
  if (!gNoting || to == 0 || to == from) return;
  if (gRunMarks.Contains(from)) gRunMarks.Insert(to);
}

void NoteDeleted(ObjectHandle object) {
  // A host may hand the handle of a deleted object to a new one.
  if (gNoting) gRunMarks.Erase(object);
}

void CarryRunMark(ObjectHandle from, ObjectHandle to) {
  if (!gNoting) return;
  if (gRunMarks.Contains(from)) gRunMarks.Insert(to);
  else gRunMarks.Erase(to);
}

bool IsRunMark(ObjectHandle object) { return gRunMarks.Contains(object); }

bool RunMarksIncomplete() { return gRunMarks.Overflowed(); }
