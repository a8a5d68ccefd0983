// A picture of what a run did: the drawing before and after, side by side.
// Removed, changed and new objects each have their own colour, named in a
// legend on the picture; everything else, and every entity that passed
// through (texts, hatches, dimensions, ...), is grey.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "coverage/coverage_check.h"
#include "dxf/backdrop.h"
#include "hostapp/objects.h"

namespace drawclean {

using DrawingSnapshot = std::vector<std::pair<ObjectHandle, hostapp::Object>>;

inline constexpr const char* kSvgUnchanged = "#a0a0a0";
inline constexpr const char* kSvgRemoved = "#d62728";
inline constexpr const char* kSvgChanged = "#ff8c00";
inline constexpr const char* kSvgNew = "#1f77b4";
inline constexpr const char* kSvgDrawnTwice = "#c800c8";

// What became of each object: an object that only moved to another handle
// with its content intact is unchanged.
struct ChangeCounts {
  size_t unchanged = 0, removed = 0, changed = 0, created = 0;
};
ChangeCounts CountChanges(const DrawingSnapshot& before, const DrawingSnapshot& after);

// Estimated width in pixels of `text` in the picture's sans-serif at `fontPx`:
// generous, so text laid out by it never runs into its neighbour.
double TextWidthPx(const std::string& text, double fontPx);

// `drawnTwice`: straight stretches of the drawing after that are drawn twice
// within the point tolerance, marked over the after panel in a colour of their own.
std::string BeforeAfterSvg(const DrawingSnapshot& before, const DrawingSnapshot& after, const std::string& title,
                           const Backdrop& backdrop = {}, const std::vector<coverage::Stretch>& drawnTwice = {});

}  // namespace drawclean
