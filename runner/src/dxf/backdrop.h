// What the picture shows of the entities no pass handles: texts at their
// place and size, hatches as their boundary with a light fill, dimensions as
// the lines and texts of their own block, meshes and splines as outlines.
// They pass through unchanged, so they are drawn grey in both panels.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "dxf/drawing.h"
#include "dxf/text_value.h"

namespace drawclean {

using Ring = std::vector<std::pair<double, double>>;

struct BackdropText {
  double x = 0, y = 0;      // anchor point in drawing units
  double height = 1;        // cap height in drawing units
  double rotationDeg = 0;
  int column = 0;           // 0 left, 1 centre, 2 right of the anchor
  int row = 3;              // 0 top, 1 middle, 2 bottom, 3 baseline at the anchor
  std::vector<std::string> lines;  // UTF-8, formatting removed
};

struct BackdropShape {
  std::vector<Ring> rings;
  bool closed = false;
  bool filled = false;      // hatches and solids: light fill
};

struct Backdrop {
  std::vector<BackdropText> texts;
  std::vector<BackdropShape> shapes;
  bool Empty() const { return texts.empty() && shapes.empty(); }
};

// Model-space entities of the drawing that became no host object.
Backdrop BackdropOf(const DxfDrawing& drawing);

}  // namespace drawclean
