// The runner's native drawing form: JSON that holds everything the host
// models (type codes, geometry, attributes, classes, flags) losslessly.
// Doubles are written in their shortest exact form, so a round trip through
// the file changes no bit. Described by runner/schema/drawing.schema.json.
#pragma once

#include <string>
#include <vector>

#include "hostapp/host.h"

namespace drawclean {

inline constexpr const char* kJsonFormatName = "drawclean-drawing";
inline constexpr int kJsonFormatVersion = 1;

// Adds the drawing's objects to the host in file order. `classes` receives
// the class names of the file in order. False with a one-line reason naming
// the offending element on malformed input.
bool LoadJsonDrawing(const std::string& text, hostapp::Host& host, std::vector<std::string>& classes,
                     std::string* error);

// The host's live objects, classes first (`classes`, then any other class an
// object is in). The marker class and every object in it stay out.
std::string SaveJsonDrawing(const hostapp::Host& host, const std::vector<std::string>& classes,
                            const std::string& markerClass);

}  // namespace drawclean
