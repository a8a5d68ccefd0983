// What a file's DXF version allows in the entities written into it.
#pragma once

#include "dxf/tags.h"

namespace drawclean {

struct DxfVersion {
  // Before R2000, or no $ACADVER at all (a file without a header reads as
  // R12): no LWPOLYLINE, lineweight or true colour.
  bool beforeR2000 = true;
  // From R13 on, readers require handles and subclass markers.
  bool r13OrLater = false;

  bool LwPolylines() const { return !beforeR2000; }
  bool LineweightAndTrueColour() const { return !beforeR2000; }
  bool NeedsHandlesAndMarkers() const { return r13OrLater; }
};

// The version $ACADVER names (the last one, should there be several).
DxfVersion VersionOf(const DxfFile& file);

}  // namespace drawclean
