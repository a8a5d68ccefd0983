#include "base/settings.h"

void FillDefaultSettings(uint8_t* record) {
  static constexpr uint8_t kDefaultFlags[kOptionFlagCount] = {0, 1, 0, 0, 0, 1, 0, 0, 0};
  std::memcpy(record, kDefaultFlags, sizeof kDefaultFlags);
  const double tolerance1 = 0.01;
  const double tolerance2 = 0.0001;
  std::memcpy(record + kTolerance1Offset, &tolerance1, sizeof tolerance1);
  std::memcpy(record + kTolerance2Offset, &tolerance2, sizeof tolerance2);
  // Bytes 26..31 are outside the options and not ours to set.
  const int32_t spare = 1;
  uint8_t le[4] = {uint8_t(spare), uint8_t(spare >> 8), uint8_t(spare >> 16), uint8_t(spare >> 24)};
  std::memcpy(record + kSpareWordOffset, le, sizeof le);
}
