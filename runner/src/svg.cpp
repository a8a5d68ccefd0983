#include "svg.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <unordered_map>

#include "arc_span.h"
#include "dxf/drawing.h"
#include "hostapp/object_compare.h"
#include "shown.h"

namespace drawclean {
namespace {

constexpr double kPanelPx = 560;    // the longer side of the drawing on screen
constexpr double kMinPanelPx = 200;  // a panel never narrower, however narrow the drawing
constexpr double kMarginPx = 20;
constexpr double kHeadingPx = 15, kHeadingY = 22;
constexpr double kLegendPx = 12, kLegendY = 46, kSwatchPx = 12;
constexpr double kTitlePx = 13, kTitleY = 74;
constexpr double kPanelTop = 86;
constexpr double kMarkerPx = 3;     // radius of point markers on screen
constexpr double kStrokePx = 1.2;   // line width on screen, given in drawing units so every viewer draws it alike
constexpr double kMarkedStrokePx = 2.2;
constexpr int kArcSegmentsPerTurn = 72;
// Sans-serif glyphs average about half their size; this errs wide.
constexpr double kGlyphWidthEm = 0.62;
// Drawing texts are often capitals, which run wider.
constexpr double kCapitalWidthEm = 0.75;
// DXF text height is the capital height, about 0.72 of the font size; lines
// of multiline text sit 5/3 of the height apart.
constexpr double kFontPerCapHeight = 1 / 0.72;
constexpr double kLineSpacing = 5.0 / 3.0;
constexpr size_t kTitleChars = 80;

const char* const kHatchFill = "#d9d9d9";

enum class State { kUnchanged, kRemoved, kChanged, kNew };

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

std::string Escaped(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '&') out += "&amp;";
    else if (c == '"') out += "&quot;";
    else if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
  }
  return out;
}

size_t CodePoints(const std::string& s) {
  size_t n = 0;
  for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

void ArcPoints(const hostapp::Object& o, std::vector<std::pair<double, double>>& pts) {
  AppendArcPoints(o.center.x, o.center.y, o.hRadius, o.vRadius, 0, o.startDeg, o.sweepDeg, kArcSegmentsPerTurn, pts);
}

void Extend(const hostapp::Object& o, Box& b) {
  switch (o.type) {
    case kLineType: b.Add(o.first.x, o.first.y), b.Add(o.second.x, o.second.y); return;
    case kArcType: b.Add(o.center.x - o.hRadius, o.center.y - o.vRadius), b.Add(o.center.x + o.hRadius, o.center.y + o.vRadius); return;
    case kPointType: b.Add(o.point.x, o.point.y); return;
    case kPoint3DType: b.Add(o.point3d.x, o.point3d.y); return;
    case kFourPoints3DType: for (auto& p : o.points3d) b.Add(p.x, p.y); return;
    case kVertexList3DType: for (auto& p : o.vertices3d) b.Add(p.x, p.y); return;
    default:
      if (!o.vertices.empty()) {
        for (auto& v : o.vertices) b.Add(v.p.x, v.p.y);
      } else {
        b.Add(o.bounds.left, o.bounds.top), b.Add(o.bounds.right, o.bounds.bottom);
      }
  }
}

// One object as an SVG element; its colour comes from the group it is in.
std::string Shape(const hostapp::Object& o, double markerWorld) {
  const std::string end = "/>\n";
  auto poly = [&](const std::vector<std::pair<double, double>>& pts, bool closed) {
    std::string s = closed ? "<polygon points=\"" : "<polyline points=\"";
    for (auto& [x, y] : pts) s += N(x) + "," + N(y) + " ";
    return s + "\"" + end;
  };
  std::vector<std::pair<double, double>> pts;
  switch (o.type) {
    case kLineType: return "<line x1=\"" + N(o.first.x) + "\" y1=\"" + N(o.first.y) + "\" x2=\"" + N(o.second.x) +
                   "\" y2=\"" + N(o.second.y) + "\"" + end;
    case kArcType: ArcPoints(o, pts); return poly(pts, false);
    case kPointType: case kPoint3DType: {
      const double x = o.type == kPointType ? o.point.x : o.point3d.x, y = o.type == kPointType ? o.point.y : o.point3d.y;
      return "<circle cx=\"" + N(x) + "\" cy=\"" + N(y) + "\" r=\"" + N(markerWorld) + "\"" + end;
    }
    case kFourPoints3DType: for (auto& p : o.points3d) pts.emplace_back(p.x, p.y); return poly(pts, true);
    case kVertexList3DType: for (auto& p : o.vertices3d) pts.emplace_back(p.x, p.y); return poly(pts, o.closed);
    default: break;
  }
  if (o.vertices.empty()) {
    const auto& b = o.bounds;
    return "<rect x=\"" + N(std::min(b.left, b.right)) + "\" y=\"" + N(std::min(b.top, b.bottom)) + "\" width=\"" +
           N(std::fabs(b.right - b.left)) + "\" height=\"" + N(std::fabs(b.top - b.bottom)) +
           "\" stroke-dasharray=\"" + N(markerWorld) + " " + N(markerWorld * 0.75) + "\"" + end;
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
    const auto arc = hostapp::ArcOfBulge(a, b);
    const double r = arc ? arc->r : 0, theta = 4 * std::atan(std::fabs(a.bulge));
    d += " A" + N(r) + "," + N(r) + " 0 " + (theta > M_PI ? "1" : "0") + " " + (a.bulge > 0 ? "1" : "0") + " " +
         N(b.x) + "," + N(b.y);
  }
  if (o.closed) d += " Z";
  return "<path d=\"" + d + "\"" + end;
}

std::string BackdropShapeSvg(const BackdropShape& s) {
  std::string d;
  for (const Ring& r : s.rings) {
    for (size_t i = 0; i < r.size(); ++i) d += (i == 0 ? "M" : " L") + N(r[i].first) + "," + N(r[i].second);
    if (s.closed) d += " Z ";
  }
  return "<path d=\"" + d + "\"" + (s.filled ? " class=\"fill\"" : "") + "/>\n";
}

std::string BackdropTextSvg(const BackdropText& t) {
  const double h = t.height, spacing = kLineSpacing * h;
  const double n = double(t.lines.size());
  // Baseline of the first line below the anchor, in the text's own frame.
  double first = 0;
  if (t.row == 0) first = h;
  else if (t.row == 1) first = h - (h + (n - 1) * spacing) / 2;
  else if (t.row == 2) first = -(n - 1) * spacing;
  const char* anchor = t.column == 1 ? "middle" : t.column == 2 ? "end" : "start";
  std::string s = "<text transform=\"translate(" + N(t.x) + "," + N(t.y) + ") rotate(" + N(t.rotationDeg) +
                  ") scale(1,-1)\" font-size=\"" + N(h * kFontPerCapHeight) + "\" text-anchor=\"" + anchor + "\">";
  for (size_t i = 0; i < t.lines.size(); ++i)
    s += "<tspan x=\"0\" y=\"" + N(first + double(i) * spacing) + "\">" + Escaped(t.lines[i]) + "</tspan>";
  return s + "</text>\n";
}

void ExtendText(const BackdropText& t, Box& b) {
  size_t longest = 0;
  for (const std::string& l : t.lines) longest = std::max(longest, CodePoints(l));
  const double w = double(longest) * kCapitalWidthEm * t.height * kFontPerCapHeight;
  const double h = t.height * (1 + kLineSpacing * double(t.lines.size() - 1));
  const double c = std::cos(t.rotationDeg * M_PI / 180), s = std::sin(t.rotationDeg * M_PI / 180);
  const double x0 = t.column == 1 ? -w / 2 : t.column == 2 ? -w : 0;
  for (double dx : {x0, x0 + w})
    for (double dy : {-h, h}) b.Add(t.x + dx * c - dy * s, t.y + dx * s + dy * c);
}

// Pairs objects by handle, then pairs what is left by content, so an object a
// pass gave a new handle without changing it is not reported.
void Classify(const DrawingSnapshot& before, const DrawingSnapshot& after, std::vector<State>& was,
              std::vector<State>& now) {
  was.assign(before.size(), State::kRemoved);
  now.assign(after.size(), State::kNew);
  std::unordered_map<ObjectHandle, size_t> afterAt;
  for (size_t i = 0; i < after.size(); ++i) afterAt[after[i].first] = i;
  std::vector<size_t> byHandle(before.size(), SIZE_MAX);
  for (size_t i = 0; i < before.size(); ++i) {
    auto it = afterAt.find(before[i].first);
    if (it == afterAt.end()) continue;
    byHandle[i] = it->second;
    if (SameObject(before[i].second, after[it->second].second)) was[i] = now[it->second] = State::kUnchanged;
  }
  std::unordered_multimap<uint64_t, size_t> open;
  for (size_t i = 0; i < before.size(); ++i)
    if (was[i] != State::kUnchanged) open.emplace(ObjectDigest(before[i].second), i);
  for (size_t j = 0; j < after.size(); ++j) {
    if (now[j] == State::kUnchanged) continue;
    auto [lo, hi] = open.equal_range(ObjectDigest(after[j].second));
    for (auto it = lo; it != hi; ++it)
      if (SameObject(before[it->second].second, after[j].second)) {
        was[it->second] = now[j] = State::kUnchanged;
        open.erase(it);
        break;
      }
  }
  for (size_t i = 0; i < before.size(); ++i) {
    const size_t j = byHandle[i];
    if (was[i] == State::kRemoved && j != SIZE_MAX && now[j] == State::kNew) was[i] = now[j] = State::kChanged;
  }
}

ChangeCounts Tally(const std::vector<State>& was, const std::vector<State>& now) {
  ChangeCounts c;
  for (State s : was) {
    if (s == State::kUnchanged) ++c.unchanged;
    else if (s == State::kRemoved) ++c.removed;
    else ++c.changed;
  }
  for (State s : now) c.created += s == State::kNew;
  return c;
}

}  // namespace

ChangeCounts CountChanges(const DrawingSnapshot& before, const DrawingSnapshot& after) {
  std::vector<State> was, now;
  Classify(before, after, was, now);
  return Tally(was, now);
}

double TextWidthPx(const std::string& text, double fontPx) {
  return double(CodePoints(text)) * kGlyphWidthEm * fontPx;
}

std::string BeforeAfterSvg(const DrawingSnapshot& before, const DrawingSnapshot& after, const std::string& title,
                           const Backdrop& backdrop, const std::vector<coverage::Stretch>& drawnTwice) {
  std::vector<State> was, now;
  Classify(before, after, was, now);
  const ChangeCounts counts = Tally(was, now);

  Box box;
  for (auto& [h, o] : before) Extend(o, box);
  for (auto& [h, o] : after) Extend(o, box);
  for (const BackdropShape& s : backdrop.shapes)
    for (const Ring& r : s.rings)
      for (auto& [x, y] : r) box.Add(x, y);
  for (const BackdropText& t : backdrop.texts) ExtendText(t, box);
  if (box.Empty()) box.Add(0, 0), box.Add(1, 1);
  const double w = std::max(box.maxX - box.minX, 1e-9), h = std::max(box.maxY - box.minY, 1e-9);
  const double scale = kPanelPx / std::max(w, h);
  const double drawW = w * scale, drawH = h * scale;
  const double marker = kMarkerPx / scale;

  // Texts around the panels, and the room they need: the panels widen to
  // their titles and the picture to its heading and legend.
  const std::string heading = Escaped(Shown(std::filesystem::path(title).filename().string(), kTitleChars)) +
                              ": before and after cleaning";
  const std::string leftTitle = "before: " + std::to_string(counts.removed) + " removed, " +
                                std::to_string(counts.changed) + " changed";
  const std::string rightTitle = "after: " + std::to_string(counts.created) + " new, " +
                                 std::to_string(counts.changed) + " changed";
  struct Legend {
    const char* colour;
    const char* cls;
    std::string label;
  };
  std::vector<Legend> legend = {
      {kSvgRemoved, "removed", "removed (" + std::to_string(counts.removed) + ")"},
      {kSvgChanged, "changed", "changed (" + std::to_string(counts.changed) + ")"},
      {kSvgNew, "new", "new (" + std::to_string(counts.created) + ")"},
      {kSvgUnchanged, "unchanged", "unchanged or passed through"},
  };
  double twice = 0;
  for (const coverage::Stretch& st : drawnTwice) twice += st.length;
  char twiceText[64];
  std::snprintf(twiceText, sizeof twiceText, "drawn twice (%.4g long)", twice);
  if (!drawnTwice.empty()) legend.push_back({kSvgDrawnTwice, "drawn-twice", twiceText});
  double legendW = 0;
  for (const Legend& l : legend) legendW += kSwatchPx + 6 + TextWidthPx(l.label, kLegendPx) + 18;
  double panelW = std::max({drawW, kMinPanelPx, TextWidthPx(leftTitle, kTitlePx) + kMarginPx,
                            TextWidthPx(rightTitle, kTitlePx) + kMarginPx});
  const double needW = std::max(TextWidthPx(heading, kHeadingPx), legendW) + 2 * kMarginPx;
  panelW = std::max(panelW, (needW - 3 * kMarginPx) / 2);
  const double totalW = 2 * panelW + 3 * kMarginPx, totalH = kPanelTop + drawH + kMarginPx;

  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                  N(totalW) + "\" height=\"" + N(totalH) + "\" viewBox=\"0 0 " + N(totalW) + " " + N(totalH) +
                  "\" font-family=\"sans-serif\">\n";
  s += "<style>.fill{fill:" + std::string(kHatchFill) + ";fill-opacity:0.6}</style>\n";
  s += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  s += "<text class=\"heading\" x=\"" + N(kMarginPx) + "\" y=\"" + N(kHeadingY) + "\" font-size=\"" + N(kHeadingPx) +
       "\" font-weight=\"bold\">" + heading + "</text>\n";
  s += "<g class=\"legend\" font-size=\"" + N(kLegendPx) + "\">\n";
  double lx = kMarginPx;
  for (const Legend& l : legend) {
    s += "<rect class=\"" + std::string(l.cls) + "\" x=\"" + N(lx) + "\" y=\"" + N(kLegendY - kSwatchPx + 2) +
         "\" width=\"" + N(kSwatchPx) + "\" height=\"" + N(kSwatchPx) + "\" fill=\"" + l.colour + "\"/>";
    s += "<text x=\"" + N(lx + kSwatchPx + 6) + "\" y=\"" + N(kLegendY) + "\">" + l.label + "</text>\n";
    lx += kSwatchPx + 6 + TextWidthPx(l.label, kLegendPx) + 18;
  }
  s += "</g>\n";
  const double leftX = kMarginPx, rightX = 2 * kMarginPx + panelW;
  s += "<text class=\"title-before\" x=\"" + N(leftX) + "\" y=\"" + N(kTitleY) + "\" font-size=\"" + N(kTitlePx) +
       "\">" + leftTitle + "</text>\n";
  s += "<text class=\"title-after\" x=\"" + N(rightX) + "\" y=\"" + N(kTitleY) + "\" font-size=\"" + N(kTitlePx) +
       "\">" + rightTitle + "</text>\n";

  const double thin = kStrokePx / scale, thick = kMarkedStrokePx / scale;
  std::string passed;  // the same in both panels
  if (!backdrop.Empty()) {
    passed = "<g class=\"passed-through\" fill=\"none\" stroke=\"" + std::string(kSvgUnchanged) +
             "\" stroke-width=\"" + N(thin) + "\">\n";
    for (const BackdropShape& b : backdrop.shapes) passed += BackdropShapeSvg(b);
    passed += "<g stroke=\"none\" fill=\"" + std::string(kSvgUnchanged) + "\">\n";
    for (const BackdropText& t : backdrop.texts) passed += BackdropTextSvg(t);
    passed += "</g>\n</g>\n";
  }
  auto panel = [&](double ox, const char* side, const DrawingSnapshot& objs, const std::vector<State>& states) {
    const double left = ox + (panelW - drawW) / 2;
    std::string g = "<g class=\"panel-" + std::string(side) + "\" transform=\"translate(" + N(left) + "," +
                    N(kPanelTop + drawH) + ") scale(" + N(scale) + "," + N(-scale) + ") translate(" + N(-box.minX) +
                    "," + N(-box.minY) + ")\">\n";
    g += passed;
    struct Layer {
      State state;
      const char* cls;
      const char* colour;
    };
    // Highlighted objects last, so they lie on top.
    const Layer layers[] = {{State::kUnchanged, "unchanged", kSvgUnchanged},
                            {State::kChanged, "changed", kSvgChanged},
                            {State::kRemoved, "removed", kSvgRemoved},
                            {State::kNew, "new", kSvgNew}};
    for (const Layer& l : layers) {
      std::string body;
      for (size_t i = 0; i < objs.size(); ++i)
        if (states[i] == l.state) body += Shape(objs[i].second, marker);
      if (body.empty()) continue;
      g += "<g class=\"" + std::string(l.cls) + "\" fill=\"none\" stroke=\"" + l.colour + "\" stroke-width=\"" +
           N(l.state == State::kUnchanged ? thin : thick) + "\">\n" + body + "</g>\n";
    }
    return g + "</g>\n";
  };
  s += panel(leftX, "before", before, was);
  std::string afterPanel = panel(rightX, "after", after, now);
  if (!drawnTwice.empty()) {
    // Over the after panel, in its frame, on top of everything.
    std::string marks = "<g class=\"drawn-twice\" fill=\"none\" stroke=\"" + std::string(kSvgDrawnTwice) +
                        "\" stroke-width=\"" + N(thick) + "\" stroke-linecap=\"round\">\n";
    for (const coverage::Stretch& st : drawnTwice)
      marks += "<line x1=\"" + N(st.fromX) + "\" y1=\"" + N(st.fromY) + "\" x2=\"" + N(st.toX) + "\" y2=\"" +
               N(st.toY) + "\"/>\n";
    afterPanel.insert(afterPanel.size() - std::string("</g>\n").size(), marks + "</g>\n");
  }
  s += afterPanel;
  s += "</svg>\n";
  return s;
}

}  // namespace drawclean
