// The settings record: a 68-byte host block that keeps the options from one
// run to the next. Packed and little-endian; the two doubles sit unaligned at
// offsets 10 and 18, so they are only ever moved with memcpy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "cleanup/host_abi.h"

inline constexpr int32_t kSettingsSize = 68;
inline constexpr size_t kOptionFlagCount = 9;
inline constexpr size_t kTolerance1Offset = 10;
inline constexpr size_t kTolerance2Offset = 18;
inline constexpr size_t kSpareWordOffset = 32;

// The first 26 bytes of the record: what the dialog edits and the driver reads.
struct CommandOptions {
  uint8_t bytes[26];
};
static_assert(sizeof(CommandOptions) == 26);

inline bool OptionFlag(const CommandOptions& o, size_t n) { return o.bytes[n] != 0; }
inline double Tolerance1(const CommandOptions& o) {
  double v;
  std::memcpy(&v, o.bytes + kTolerance1Offset, sizeof v);
  return v;
}
inline double Tolerance2(const CommandOptions& o) {
  double v;
  std::memcpy(&v, o.bytes + kTolerance2Offset, sizeof v);
  return v;
}
inline void SetTolerance1(CommandOptions& o, double v) {
  std::memcpy(o.bytes + kTolerance1Offset, &v, sizeof v);
}
inline void SetTolerance2(CommandOptions& o, double v) {
  std::memcpy(o.bytes + kTolerance2Offset, &v, sizeof v);
}

// Writes the defaults of a new record: flags 1 and 5 on, tolerances 0.01 and
// 0.0001, the spare word 1. Byte 9 and bytes 36 on are left as the host gave them.
void FillDefaultSettings(uint8_t* record);

// Options beyond the nine flags, from bytes 36 to 67 of the record. All off
// unless the block carries its tag: the written command never set those bytes,
// so whatever a host's new block held there means nothing.
struct ExtraOptions {
  bool nearMatch = false;  // duplicates and overlaps within the point tolerance
  bool edges = false;      // ... along the edges of vertex lists too
  bool repeat = false;     // the passes again while a round changes anything
  bool ignoreLayer = false, ignoreColour = false, ignoreLineweight = false, ignoreLinetype = false;
  bool Any() const {
    return nearMatch || edges || repeat || ignoreLayer || ignoreColour || ignoreLineweight ||
           ignoreLinetype;
  }
};

bool ExtraBlockValid(const uint8_t* record);
ExtraOptions ReadExtraOptions(const uint8_t* record);
// Writes the tag and the seven option bytes (as 0 or 1); the rest of the block
// is cleared, so a later version finds its own bytes off.
void WriteExtraBlock(uint8_t* record, const uint8_t (&optionBytes)[kExtraOptionCount]);
