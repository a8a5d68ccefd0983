// What a run leaves drawn twice within the point tolerance: measured on the
// drawing after every run, for the report and the picture.
#pragma once

#include <string>

#include "coverage/doubled_length.h"
#include "hostapp/host.h"
#include "run.h"

namespace drawclean {

// The measure on the objects the host holds (the marker class's left out),
// at the point tolerance the run used, in world units.
coverage::Doubled MeasureDrawnTwice(const hostapp::Host& host, const std::string& marker, const RunResult& r);

// "drawn twice within the point tolerance: 12.5 in 3 stretches"
std::string DrawnTwiceLine(const coverage::Doubled& d);

}  // namespace drawclean
