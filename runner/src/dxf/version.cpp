#include "dxf/version.h"

namespace drawclean {

DxfVersion VersionOf(const DxfFile& file) {
  DxfVersion v;
  const auto& tags = file.tags;
  for (size_t i = 0; i + 1 < tags.size(); ++i) {
    if (tags[i].code != 9 || Trimmed(tags[i].value) != "$ACADVER") continue;
    const std::string_view s = Trimmed(tags[i + 1].value);
    const bool named = s.size() == 6 && s.substr(0, 2) == "AC";
    v.beforeR2000 = named && s < "AC1015";
    v.r13OrLater = !(named && s <= "AC1009");
  }
  return v;
}

}  // namespace drawclean
