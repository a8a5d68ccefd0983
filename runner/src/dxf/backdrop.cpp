#include "dxf/backdrop.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <optional>
#include <string_view>

#include "arc_span.h"
#include "dxf/record.h"

namespace drawclean {
namespace {

constexpr int kArcStepsPerTurn = 72;
// Enough to show a hatch or a mesh; a picture never needs more of one entity.
constexpr size_t kMaxPoints = 100000;
constexpr double kDeg = std::numbers::pi / 180;

// Records read leniently: malformed numbers read as the fallback, since a
// picture is never a reason to fail.
DxfRecord Tags(const DxfFile& f, size_t first, size_t last) { return DxfRecord{f, first, last, nullptr, true}; }

void ArcRing(double cx, double cy, double rx, double ry, double rotDeg, double startDeg, double sweepDeg, Ring& out) {
  AppendArcPoints(cx, cy, rx, ry, rotDeg, startDeg, sweepDeg, kArcStepsPerTurn, out);
}

// Points of a bulged vertex list: each bulge as the arc it stands for.
void BulgeRing(const std::vector<BulgeVertex>& vs, bool closed, Ring& out) {
  for (size_t i = 0; i < vs.size(); ++i) {
    const BulgeVertex& a = vs[i];
    out.emplace_back(a.x, a.y);
    if (a.bulge == 0 || (!closed && i + 1 == vs.size())) continue;
    const auto arc = hostapp::ArcOfBulge(a, vs[(i + 1) % vs.size()]);
    if (!arc) continue;
    Ring points;
    ArcRing(arc->cx, arc->cy, arc->r, arc->r, 0, arc->startRad / kDeg, arc->sweepRad / kDeg, points);
    out.insert(out.end(), points.begin() + 1, points.end() - 1);
  }
}

// A spline through its fit points when it has them, else along its control points.
Ring SplinePoints(const DxfRecord& t) {
  Ring control, fit;
  for (size_t k = t.first + 1; k < t.last; ++k) {
    const int c = t.At(k).code;
    if (c == 10) control.emplace_back(t.NumAt(k), 0);
    else if (c == 20 && !control.empty()) control.back().second = t.NumAt(k);
    else if (c == 11) fit.emplace_back(t.NumAt(k), 0);
    else if (c == 21 && !fit.empty()) fit.back().second = t.NumAt(k);
  }
  return fit.size() >= 2 ? fit : control;
}

struct Builder {
  const DxfFile& f;
  Backdrop& out;
  std::map<std::string, std::pair<size_t, size_t>, std::less<>> blocks;  // name -> entity tags

  void Text(const DxfRecord& t, double dx, double dy) {
    BackdropText x;
    const auto h = t.Int(72), v = t.Int(73);
    const bool aligned = h != 0 || v != 0;
    x.x = (aligned && t.Find(11) ? t.Num(11) : t.Num(10)) + dx;
    x.y = (aligned && t.Find(21) ? t.Num(21) : t.Num(20)) + dy;
    x.height = t.Num(40, 1);
    x.rotationDeg = t.Num(50);
    x.column = h == 1 || h == 4 ? 1 : h == 2 ? 2 : 0;
    x.row = h == 4 ? 1 : v == 3 ? 0 : v == 2 ? 1 : v == 1 ? 2 : 3;
    x.lines = PlainTextLines(t.Str(1), false);
    if (x.height > 0 && !x.lines[0].empty()) out.texts.push_back(std::move(x));
  }

  void MText(const DxfRecord& t, double dx, double dy) {
    BackdropText x;
    x.x = t.Num(10) + dx, x.y = t.Num(20) + dy;
    x.height = t.Num(40, 1);
    x.rotationDeg = t.Find(50) ? t.Num(50) : t.Find(11) ? std::atan2(t.Num(21), t.Num(11)) / kDeg : 0;
    const long long a = std::clamp(t.Int(71, 1), 1LL, 9LL);
    x.row = int((a - 1) / 3), x.column = int((a - 1) % 3);
    std::string value;
    for (size_t i = t.first + 1; i < t.last; ++i)
      if (t.At(i).code == 3) value += t.At(i).value;
    value += t.Str(1);
    x.lines = PlainTextLines(value, true);
    if (x.height > 0) out.texts.push_back(std::move(x));
  }

  void Shape(std::vector<Ring> rings, bool closed, bool filled) {
    rings.erase(std::remove_if(rings.begin(), rings.end(), [](const Ring& r) { return r.size() < 2; }), rings.end());
    if (!rings.empty()) out.shapes.push_back(BackdropShape{std::move(rings), closed, filled});
  }

  void Hatch(const DxfRecord& t) {
    const auto paths = t.Find(91);
    if (!paths) return;
    // Boundary data runs up to the hatch style; seed points come after it.
    const size_t end = t.Find(75, *paths).value_or(t.last);
    std::vector<Ring> rings;
    size_t points = 0;
    for (size_t i = *paths + 1; i < end && points < kMaxPoints;) {
      if (t.At(i).code != 92) {
        ++i;
        continue;
      }
      const long long flags = TagInt(t.At(i)).value_or(0);
      size_t j = i + 1;
      while (j < end && t.At(j).code != 92) ++j;
      Ring ring;
      if (flags & 2) {
        std::vector<BulgeVertex> vs;
        for (size_t k = i + 1; k < j; ++k) {
          const int c = t.At(k).code;
          if (c == 10) vs.push_back({t.NumAt(k), 0, 0});
          else if (c == 20 && !vs.empty()) vs.back().y = t.NumAt(k);
          else if (c == 42 && !vs.empty()) vs.back().bulge = t.NumAt(k);
        }
        BulgeRing(vs, true, ring);
      } else {
        for (size_t k = i + 1; k < j;) {
          if (t.At(k).code != 72) {
            ++k;
            continue;
          }
          size_t e = k + 1;
          while (e < j && t.At(e).code != 72) ++e;
          Edge(Tags(f, k, e), TagInt(t.At(k)).value_or(0), ring);
          k = e;
        }
      }
      points += ring.size();
      rings.push_back(std::move(ring));
      i = j;
    }
    Shape(std::move(rings), true, true);
  }

  // One edge of a hatch boundary; the edge type's tags are [first+1, last).
  void Edge(const DxfRecord& e, long long type, Ring& ring) {
    if (type == 1) {
      ring.emplace_back(e.Num(10), e.Num(20));
      ring.emplace_back(e.Num(11), e.Num(21));
    } else if (type == 2 || type == 3) {
      const double cx = e.Num(10), cy = e.Num(20);
      double rx = e.Num(40), ry = rx, rot = 0;
      if (type == 3) {
        const double mx = e.Num(11), my = e.Num(21);
        rx = std::hypot(mx, my), ry = rx * e.Num(40, 1), rot = std::atan2(my, mx) / kDeg;
      }
      const double s = e.Num(50), t = e.Num(51, 360);
      // Clockwise edges give their angles mirrored: the same span, run the
      // other way from the mirrored start.
      const double span = CcwSpan(s, t, kTurnDeg);
      if (e.Int(73, 1) != 0) ArcRing(cx, cy, rx, ry, rot, s, span, ring);
      else ArcRing(cx, cy, rx, ry, rot, -s, -span, ring);
    } else if (type == 4) {
      const Ring spline = SplinePoints(e);
      ring.insert(ring.end(), spline.begin(), spline.end());
    }
  }

  // POLYLINE records that no pass handles: meshes, fitted curves.
  void Polyline(const DxfEntity& span, const DxfRecord& head) {
    struct V {
      double x, y;
      long long flags;
      int idx[4];
    };
    std::vector<V> vs;
    for (size_t i = RecordEnd(f, span.first, span.last); i < span.last && vs.size() < kMaxPoints;) {
      size_t j = i + 1;
      while (j < span.last && f.tags[j].code != 0) ++j;
      if (Trimmed(f.tags[i].value) == "VERTEX") {
        const DxfRecord v = Tags(f, i, j);
        vs.push_back(V{v.Num(10), v.Num(20), v.Int(70),
                       {int(v.Int(71)), int(v.Int(72)), int(v.Int(73)), int(v.Int(74))}});
      }
      i = j;
    }
    const long long flags = head.Int(70);
    std::vector<Ring> rings;
    if (flags & 16) {  // polygon mesh: M rows of N vertices
      const size_t m = size_t(std::max(1LL, head.Int(71))), n = size_t(std::max(1LL, head.Int(72)));
      if (m * n > vs.size()) return;
      for (size_t r = 0; r < m; ++r) {
        Ring row;
        for (size_t c = 0; c < n; ++c) row.emplace_back(vs[r * n + c].x, vs[r * n + c].y);
        if (flags & 32) row.push_back(row.front());
        rings.push_back(std::move(row));
      }
      for (size_t c = 0; c < n; ++c) {
        Ring col;
        for (size_t r = 0; r < m; ++r) col.emplace_back(vs[r * n + c].x, vs[r * n + c].y);
        if (flags & 1) col.push_back(col.front());
        rings.push_back(std::move(col));
      }
      Shape(std::move(rings), false, false);
      return;
    }
    if (flags & 64) {  // polyface mesh: positions, then faces by 1-based index
      std::vector<std::pair<double, double>> pos;
      for (const V& v : vs)
        if ((v.flags & 64) && (v.flags & 128)) pos.emplace_back(v.x, v.y);
      for (const V& v : vs) {
        if ((v.flags & 128) == 0 || (v.flags & 64)) continue;
        Ring face;
        for (int k : v.idx)
          if (k != 0 && size_t(std::abs(k)) <= pos.size()) face.push_back(pos[size_t(std::abs(k)) - 1]);
        rings.push_back(std::move(face));
      }
      Shape(std::move(rings), true, false);
      return;
    }
    Ring ring;  // a fitted curve: its vertices, fit ones included
    for (const V& v : vs)
      if ((v.flags & 16) == 0) ring.emplace_back(v.x, v.y);
    rings.push_back(std::move(ring));
    Shape(std::move(rings), (flags & 1) != 0, false);
  }

  // The few kinds a dimension's block is made of, and solids.
  void Simple(const std::string_view kind, const DxfRecord& t, double dx, double dy) {
    if (kind == "TEXT" || kind == "ATTRIB") return Text(t, dx, dy);
    if (kind == "MTEXT") return MText(t, dx, dy);
    if (!t.FlatExtrusion()) return;
    if (kind == "LINE") {
      Shape({Ring{{t.Num(10) + dx, t.Num(20) + dy}, {t.Num(11) + dx, t.Num(21) + dy}}}, false, false);
    } else if (kind == "ARC" || kind == "CIRCLE") {
      Ring r;
      const double s = kind == "ARC" ? t.Num(50) : 0;
      const double sweep = kind == "ARC" ? CcwSpan(s, t.Num(51), kTurnDeg) : kTurnDeg;
      ArcRing(t.Num(10) + dx, t.Num(20) + dy, t.Num(40), t.Num(40), 0, s, sweep, r);
      Shape({std::move(r)}, false, false);
    } else if (kind == "SOLID" || kind == "TRACE") {
      // Corners 3 and 4 are given crosswise.
      Ring r{{t.Num(10) + dx, t.Num(20) + dy}, {t.Num(11) + dx, t.Num(21) + dy}};
      r.emplace_back(t.Num(13, t.Num(12)) + dx, t.Num(23, t.Num(22)) + dy);
      r.emplace_back(t.Num(12) + dx, t.Num(22) + dy);
      Shape({std::move(r)}, true, true);
    } else if (kind == "LWPOLYLINE") {
      std::vector<BulgeVertex> vs;
      for (size_t i = t.first + 1; i < t.last; ++i) {
        const int c = t.At(i).code;
        if (c == 10) vs.push_back({t.NumAt(i) + dx, 0, 0});
        else if (c == 20 && !vs.empty()) vs.back().y = t.NumAt(i) + dy;
        else if (c == 42 && !vs.empty()) vs.back().bulge = t.NumAt(i);
      }
      Ring r;
      const bool closed = (t.Int(70) & 1) != 0;
      BulgeRing(vs, closed, r);
      Shape({std::move(r)}, closed, false);
    }
  }

  void Dimension(const DxfRecord& t) {
    const auto block = blocks.find(t.Str(2));
    if (block == blocks.end()) {
      // No block to draw: the measured points and the text.
      Shape({Ring{{t.Num(13), t.Num(23)}, {t.Num(14), t.Num(24)}}}, false, false);
      BackdropText x;
      x.x = t.Num(11), x.y = t.Num(21), x.column = 1, x.row = 1;
      x.height = std::max(1e-9, std::hypot(t.Num(14) - t.Num(13), t.Num(24) - t.Num(23)) / 20);
      std::string text = t.Str(1);
      if (text.empty() || text == "<>") {
        char b[32];
        std::snprintf(b, sizeof b, "%.4g", t.Num(42));
        text = b;
      }
      x.lines = PlainTextLines(text, true);
      out.texts.push_back(std::move(x));
      return;
    }
    const double dx = t.Num(12), dy = t.Num(22);
    for (const DxfEntity& e : SplitEntities(f, block->second.first, block->second.second)) {
      const DxfRecord bt = Tags(f, e.first, RecordEnd(f, e.first, e.last));
      Simple(Trimmed(f.tags[e.first].value), bt, dx, dy);
    }
  }

  void IndexBlocks() {
    for (const DxfSection& s : FindSections(f)) {
      if (s.name != "BLOCKS") continue;
      std::string name;
      size_t body = 0;
      for (size_t i = s.body; i < s.end; ++i) {
        if (f.tags[i].code != 0) continue;
        const std::string_view kind = Trimmed(f.tags[i].value);
        if (kind == "BLOCK") {
          size_t j = i + 1;
          while (j < s.end && f.tags[j].code != 0) ++j;
          name = Tags(f, i, j).Str(2);
          body = j;
        } else if (kind == "ENDBLK" && !name.empty()) {
          blocks.emplace(name, std::make_pair(body, i));
          name.clear();
        }
      }
    }
  }

  void Entity(const DxfEntityRecord& rec) {
    if (rec.passReason == PassReason::kPaperSpace || rec.passReason == PassReason::kOffPlane) return;
    const DxfRecord t = Tags(f, rec.span.first, RecordEnd(f, rec.span.first, rec.span.last));
    const std::string_view k = rec.kind;
    if (k == "HATCH") return Hatch(t);
    if (k == "DIMENSION") return Dimension(t);
    if (k == "POLYLINE") return Polyline(rec.span, t);
    if (k == "SPLINE") return Shape({SplinePoints(t)}, (t.Int(70) & 1) != 0, false);
    Simple(k, t, 0, 0);
  }
};

}  // namespace

Backdrop BackdropOf(const DxfDrawing& d) {
  Backdrop out;
  Builder b{d.file, out, {}};
  bool indexed = false;
  for (const DxfEntityRecord& rec : d.records) {
    if (rec.handle != 0) continue;
    if (!indexed && rec.kind == "DIMENSION") b.IndexBlocks(), indexed = true;
    b.Entity(rec);
  }
  return out;
}

}  // namespace drawclean
