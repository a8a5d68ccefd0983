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

bool ExtraBlockValid(const uint8_t* record) {
  return ExtraBlockTagged(record) != 0;
}

ExtraOptions ReadExtraOptions(const uint8_t* record) {
  ExtraOptions o;
  if (!ExtraBlockValid(record)) return o;
  o.nearMatch = record[kExtraNear] != 0;
  o.edges = record[kExtraEdges] != 0;
  o.repeat = record[kExtraRepeat] != 0;
  o.ignoreLayer = record[kExtraIgnoreLayer] != 0;
  o.ignoreColour = record[kExtraIgnoreColour] != 0;
  o.ignoreLineweight = record[kExtraIgnoreLineweight] != 0;
  o.ignoreLinetype = record[kExtraIgnoreLinetype] != 0;
  return o;
}

void WriteExtraBlock(uint8_t* record, const uint8_t (&optionBytes)[kExtraOptionCount]) {
  TagExtraBlock(record);
  for (int k = 0; k < kExtraOptionCount; ++k) record[kExtraNear + k] = optionBytes[k] != 0 ? 1 : 0;
}
