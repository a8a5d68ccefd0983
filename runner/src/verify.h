// --verify: the coverage check after the passes, on the drawing as the host
// held it before the run and holds it now.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "coverage/coverage_check.h"
#include "hostapp/host.h"
#include "run.h"

namespace drawclean {

// The objects the check compares: everything but the marker class's.
std::vector<hostapp::Object> DrawnObjects(const hostapp::Host& host, const std::string& marker,
                                          std::vector<ObjectHandle>* handles = nullptr);

// The check with the tolerances and passes the run used, in world units.
// `afterHandles` receives the handle of each object the check saw after.
coverage::Report VerifyRun(const std::vector<hostapp::Object>& before, const hostapp::Host& host,
                           const std::string& marker, const RunResult& r,
                           std::vector<ObjectHandle>* afterHandles = nullptr);

// What to tell the user of a failed check: one line per place, lost first,
// at most `limit`, then how many more. `placeOfBefore(i)` names object i of
// the drawing before ("ARC, handle 2F, line 120"), `placeOfAfter` one after.
std::vector<std::string> VerifyFailureLines(const coverage::Report& report,
                                            const std::function<std::string(size_t)>& placeOfBefore,
                                            const std::function<std::string(size_t)>& placeOfAfter,
                                            size_t limit = 10);

}  // namespace drawclean
