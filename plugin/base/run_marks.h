// The objects this run put into the marker class.
//
// A host may answer AddClass with a class that already holds the user's
// objects (a layer of the same name). The final sweep therefore deletes only
// objects that the run itself marked, or that took their class from one it
// marked; meeting any other object in that class shows the class is not the
// run's own, and it is then left in the drawing.
//
// All marking goes through the host layer's SetObjectClass, conversions that
// hand back a new handle carry the mark across, and CopyAttributes passes it
// on, so the passes themselves need not know.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cleanup/host_abi.h"

// A set of object handles: open addressing, linear probing, grown by
// doubling. The first table is static storage, so a run with fewer than half
// its slots in marks asks the heap for nothing. Handle 0 is never a member.
class HandleSet {
 public:
  HandleSet();
  ~HandleSet();
  HandleSet(const HandleSet&) = delete;
  HandleSet& operator=(const HandleSet&) = delete;

  void Insert(ObjectHandle h);
  void Erase(ObjectHandle h);
  bool Contains(ObjectHandle h) const;
  // Empties the set and gives back any heap table.
  void Clear();
  size_t Size() const { return count_; }
  // True once a member could not be added for want of memory.
  bool Overflowed() const { return overflowed_; }

  static constexpr size_t kInlineSlots = 4096;

 private:
  size_t Home(ObjectHandle h) const;
  bool Grow();

  ObjectHandle inline_[kInlineSlots];
  ObjectHandle* slots_;
  size_t capacity_;  // a power of two
  size_t count_ = 0;
  bool overflowed_ = false;
};

// Starts a run with no marks; marks are noted only between these two calls.
void BeginRunMarks();
void EndRunMarks();

// The host layer reports every class change, conversion and deletion.
void NoteClassSet(ObjectHandle object, ClassId cls);
void NoteConverted(ObjectHandle from, ObjectHandle to);
void NoteDeleted(ObjectHandle object);
// `to` took every attribute of `from`, its class included: it is marked
// exactly when `from` is.
void CarryRunMark(ObjectHandle from, ObjectHandle to);

// True when the run put this object into the marker class.
bool IsRunMark(ObjectHandle object);
// True when the run lost track of some mark (no memory for it).
bool RunMarksIncomplete();
