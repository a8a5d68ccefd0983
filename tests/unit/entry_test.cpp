// The entry point's handling of the callback pointer and of the settings
// record, called directly (the behaviour through a host is tested elsewhere).
#include <gtest/gtest.h>

#include <cstring>

#include "base/settings.h"
#include "entry/entry.h"
#include "host/host_calls.h"

namespace {

CallbackPtr Fake(uintptr_t v) { return reinterpret_cast<CallbackPtr>(v); }

TEST(Entry, Actions5And6KeepTheirCallbackPointerOthersRestoreIt) {
  struct Case { int32_t action; bool keepsNew; };
  const Case cases[] = {{5, true}, {6, true}, {4, false}, {7, false}, {-1, false}, {1000, false}};
  for (const Case& c : cases) {
    gCBP = Fake(0x100);
    // The fake cbp is never dereferenced: these actions call no host routine.
    EXPECT_EQ(CleanupEntry(c.action, 0, nullptr, Fake(0x200)), 0) << c.action;
    EXPECT_EQ(gCBP, c.keepsNew ? Fake(0x200) : Fake(0x100)) << c.action;
  }
  gCBP = nullptr;
}

TEST(SettingsRecord, DefaultsAtTheirPackedOffsets) {
  uint8_t record[kSettingsSize];
  std::memset(record, 0xA5, sizeof record);
  FillDefaultSettings(record);

  const uint8_t flags[9] = {0, 1, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(std::memcmp(record, flags, sizeof flags), 0);
  double t1, t2;
  std::memcpy(&t1, record + 10, 8);
  std::memcpy(&t2, record + 18, 8);
  EXPECT_EQ(t1, 0.01);
  EXPECT_EQ(t2, 0.0001);
  const uint8_t one[4] = {1, 0, 0, 0};
  EXPECT_EQ(std::memcmp(record + 32, one, 4), 0);
  // What the host's block held stays: byte 9, bytes 26..31 and 36..67.
  EXPECT_EQ(record[9], 0xA5);
  for (int i = 26; i < 32; ++i) EXPECT_EQ(record[i], 0xA5) << i;
  for (int i = 36; i < kSettingsSize; ++i) EXPECT_EQ(record[i], 0xA5) << i;
}

}  // namespace
