#include "svg.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <unordered_map>

#include "dxf_map.h"

namespace drawclean {
namespace {

constexpr double kPanelPx = 560;   // drawing area of one side
constexpr double kMarginPx = 20;
constexpr double kTitlePx = 28;
constexpr double kMarkerPx = 3;    // radius of point markers on screen
constexpr double kStrokePx = 1.2;   // line width on screen, given in drawing units so every viewer draws it alike
constexpr int kArcSegmentsPerTurn = 72;

const char* const kPlain = "#9a9a9a";
const char* const kRemoved = "#d62728";
const char* const kAdded = "#1f5fd6";

struct Box {
  double minX = DBL_MAX, minY = DBL_MAX, maxX = -DBL_MAX, maxY = -DBL_MAX;
  void Add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    minX = std::min(minX, x), maxX = std::max(maxX, x);
    minY = std::min(minY, y), maxY = std::max(maxY, y);
  }
  bool Empty() const { return minX > maxX; }
};

std::string N(double v) {
  char b[40];
  std::snprintf(b, sizeof b, "%.10g", std::isfinite(v) ? v : 0.0);
  return b;
}

void ArcPoints(const hostapp::Object& o, std::vector<std::pair<double, double>>& pts) {
  const double sweep = std::clamp(o.sweepDeg, -360.0, 360.0);
  const int n = std::max(2, int(std::fabs(sweep) / 360.0 * kArcSegmentsPerTurn) + 1);
  for (int i = 0; i <= n; ++i) {
    const double a = (o.startDeg + sweep * i / n) * M_PI / 180;
    pts.emplace_back(o.center.x + o.hRadius * std::cos(a), o.center.y + o.vRadius * std::sin(a));
  }
}

void Extend(const hostapp::Object& o, Box& b) {
  switch (o.type) {
    case 2: b.Add(o.first.x, o.first.y), b.Add(o.second.x, o.second.y); return;
    case 6: b.Add(o.center.x - o.hRadius, o.center.y - o.vRadius), b.Add(o.center.x + o.hRadius, o.center.y + o.vRadius); return;
    case 17: b.Add(o.point.x, o.point.y); return;
    case 9: b.Add(o.point3d.x, o.point3d.y); return;
    case 15: for (auto& p : o.points3d) b.Add(p.x, p.y); return;
    case 25: for (auto& p : o.vertices3d) b.Add(p.x, p.y); return;
    default:
      if (!o.vertices.empty()) {
        for (auto& v : o.vertices) b.Add(v.p.x, v.p.y);
      } else {
        b.Add(o.bounds.left, o.bounds.top), b.Add(o.bounds.right, o.bounds.bottom);
      }
  }
}

std::string Shape(const hostapp::Object& o, const char* colour, double markerWorld) {
  const std::string style = std::string(" fill=\"none\" stroke=\"") + colour +
                            "\"/>\n";
  auto poly = [&](const std::vector<std::pair<double, double>>& pts, bool closed) {
    std::string s = closed ? "<polygon points=\"" : "<polyline points=\"";
    for (auto& [x, y] : pts) s += N(x) + "," + N(y) + " ";
    return s + "\"" + style;
  };
  std::vector<std::pair<double, double>> pts;
  switch (o.type) {
    case 2: return "<line x1=\"" + N(o.first.x) + "\" y1=\"" + N(o.first.y) + "\" x2=\"" + N(o.second.x) +
                   "\" y2=\"" + N(o.second.y) + "\"" + style;
    case 6: ArcPoints(o, pts); return poly(pts, false);
    case 17: case 9: {
      const double x = o.type == 17 ? o.point.x : o.point3d.x, y = o.type == 17 ? o.point.y : o.point3d.y;
      return "<circle cx=\"" + N(x) + "\" cy=\"" + N(y) + "\" r=\"" + N(markerWorld) + "\"" + style;
    }
    case 15: for (auto& p : o.points3d) pts.emplace_back(p.x, p.y); return poly(pts, true);
    case 25: for (auto& p : o.vertices3d) pts.emplace_back(p.x, p.y); return poly(pts, o.closed);
    default: break;
  }
  if (o.vertices.empty()) {
    const auto& b = o.bounds;
    return "<rect x=\"" + N(std::min(b.left, b.right)) + "\" y=\"" + N(std::min(b.top, b.bottom)) + "\" width=\"" +
           N(std::fabs(b.right - b.left)) + "\" height=\"" + N(std::fabs(b.top - b.bottom)) +
           "\" stroke-dasharray=\"" + N(markerWorld) + " " + N(markerWorld * 0.75) + "\"" + style;
  }
  // Vertex lists: arc vertices drawn as the arcs they stand for.
  const auto bv = BulgesFromVertices(o.vertices, o.closed);
  std::string d = "M" + N(bv[0].x) + "," + N(bv[0].y);
  const size_t segs = o.closed ? bv.size() : bv.size() - 1;
  for (size_t i = 0; i < segs; ++i) {
    const auto& a = bv[i];
    const auto& b = bv[(i + 1) % bv.size()];
    if (a.bulge == 0) {
      d += " L" + N(b.x) + "," + N(b.y);
      continue;
    }
    const double chord = std::hypot(b.x - a.x, b.y - a.y);
    const double theta = 4 * std::atan(std::fabs(a.bulge));
    const double r = chord / 2 / std::sin(theta / 2);
    d += " A" + N(r) + "," + N(r) + " 0 " + (theta > M_PI ? "1" : "0") + " " + (a.bulge > 0 ? "1" : "0") + " " +
         N(b.x) + "," + N(b.y);
  }
  if (o.closed) d += " Z";
  return "<path d=\"" + d + "\"" + style;
}

}  // namespace

std::string BeforeAfterSvg(const DrawingSnapshot& before, const DrawingSnapshot& after, const std::string& title) {
  std::unordered_map<ObjectHandle, const hostapp::Object*> was, now;
  Box box;
  for (auto& [h, o] : before) was[h] = &o, Extend(o, box);
  for (auto& [h, o] : after) now[h] = &o, Extend(o, box);
  if (box.Empty()) box.Add(0, 0), box.Add(1, 1);
  const double w = std::max(box.maxX - box.minX, 1e-9), h = std::max(box.maxY - box.minY, 1e-9);
  const double scale = kPanelPx / std::max(w, h);
  const double panelW = w * scale, panelH = h * scale;
  const double totalW = 2 * panelW + 3 * kMarginPx, totalH = panelH + 2 * kMarginPx + kTitlePx;
  const double marker = kMarkerPx / scale;

  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                  N(totalW) + "\" height=\"" + N(totalH) + "\" viewBox=\"0 0 " + N(totalW) + " " + N(totalH) + "\">\n";
  s += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  std::string esc;
  for (char c : title) esc += c == '<' ? "&lt;" : c == '&' ? "&amp;" : c == '>' ? "&gt;" : std::string(1, c);
  s += "<text x=\"" + N(kMarginPx) + "\" y=\"18\" font-family=\"sans-serif\" font-size=\"13\">" + esc +
       " — before (red: removed or changed)</text>\n";
  s += "<text x=\"" + N(2 * kMarginPx + panelW) + "\" y=\"18\" font-family=\"sans-serif\" font-size=\"13\">after (blue: new or changed)</text>\n";
  auto panel = [&](double ox, const DrawingSnapshot& objs, bool left) {
    std::string g = "<g transform=\"translate(" + N(ox) + "," + N(kTitlePx + kMarginPx + panelH) + ") scale(" +
                    N(scale) + "," + N(-scale) + ") translate(" + N(-box.minX) + "," + N(-box.minY) + ")\" stroke-width=\"" + N(kStrokePx / scale) +
                    "\">\n";
    std::string marked;
    for (auto& [hd, o] : objs) {
      const auto& other = left ? now : was;
      auto it = other.find(hd);
      const bool same = it != other.end() && SameObject(o, *it->second);
      const char* colour = same ? kPlain : left ? kRemoved : kAdded;
      (same ? g : marked) += Shape(o, colour, marker);
    }
    return g + marked + "</g>\n";  // highlighted shapes on top
  };
  s += panel(kMarginPx, before, true);
  s += panel(2 * kMarginPx + panelW, after, false);
  s += "</svg>\n";
  return s;
}

}  // namespace drawclean
