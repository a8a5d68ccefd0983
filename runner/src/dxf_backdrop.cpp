#include "dxf_backdrop.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <optional>
#include <string_view>

#include "arc_span.h"

namespace drawclean {
namespace {

constexpr int kArcStepsPerTurn = 72;
// Enough to show a hatch or a mesh; a picture never needs more of one entity.
constexpr size_t kMaxPoints = 100000;
constexpr double kDeg = std::numbers::pi / 180;

std::string_view Trim(std::string_view v) {
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r')) v.remove_suffix(1);
  return v;
}

// Tags [first, last) of one record, read by code; malformed numbers read as
// the fallback, since a picture is never a reason to fail.
struct Tags {
  const DxfFile& f;
  size_t first, last;

  const DxfTag& At(size_t i) const { return f.tags[i]; }
  std::optional<size_t> Find(int code, size_t from = SIZE_MAX) const {
    for (size_t i = from == SIZE_MAX ? first + 1 : from; i < last; ++i)
      if (f.tags[i].code == code) return i;
    return std::nullopt;
  }
  double Num(int code, double fallback = 0) const {
    auto i = Find(code);
    return i ? NumAt(*i, fallback) : fallback;
  }
  double NumAt(size_t i, double fallback = 0) const {
    auto v = TagDouble(f.tags[i]);
    return v && std::isfinite(*v) ? *v : fallback;
  }
  long long Int(int code, long long fallback = 0) const {
    auto i = Find(code);
    if (!i) return fallback;
    auto v = TagInt(f.tags[*i]);
    return v ? *v : fallback;
  }
  std::string Str(int code) const {
    auto i = Find(code);
    return i ? std::string(Trim(f.tags[*i].value)) : "";
  }
};

size_t OwnEnd(const DxfFile& f, size_t first, size_t last) {
  for (size_t i = first + 1; i < last; ++i)
    if (f.tags[i].code == 0) return i;
  return last;
}

bool Flat(const Tags& t) { return t.Num(210, 0) == 0 && t.Num(220, 0) == 0 && t.Num(230, 1) == 1; }

void ArcRing(double cx, double cy, double rx, double ry, double rotDeg, double startDeg, double sweepDeg, Ring& out) {
  sweepDeg = std::clamp(sweepDeg, -360.0, 360.0);
  const int n = std::max(2, int(std::fabs(sweepDeg) / 360 * kArcStepsPerTurn) + 1);
  const double c = std::cos(rotDeg * kDeg), s = std::sin(rotDeg * kDeg);
  for (int i = 0; i <= n; ++i) {
    const double a = (startDeg + sweepDeg * i / n) * kDeg;
    const double x = rx * std::cos(a), y = ry * std::sin(a);
    out.emplace_back(cx + x * c - y * s, cy + x * s + y * c);
  }
}

// Points of a bulged vertex list: each bulge as the arc it stands for.
void BulgeRing(const std::vector<BulgeVertex>& vs, bool closed, Ring& out) {
  for (size_t i = 0; i < vs.size(); ++i) {
    const BulgeVertex& a = vs[i];
    out.emplace_back(a.x, a.y);
    if (a.bulge == 0 || (!closed && i + 1 == vs.size())) continue;
    const BulgeVertex& b = vs[(i + 1) % vs.size()];
    const double chord = std::hypot(b.x - a.x, b.y - a.y);
    if (chord == 0) continue;
    const double sweep = 4 * std::atan(a.bulge);
    const double off = chord / 2 / std::tan(sweep / 2);
    const double cx = (a.x + b.x) / 2 - (b.y - a.y) / chord * off, cy = (a.y + b.y) / 2 + (b.x - a.x) / chord * off;
    const double r = std::hypot(a.x - cx, a.y - cy), a0 = std::atan2(a.y - cy, a.x - cx) / kDeg;
    Ring arc;
    ArcRing(cx, cy, r, r, 0, a0, sweep / kDeg, arc);
    out.insert(out.end(), arc.begin() + 1, arc.end() - 1);
  }
}

void AppendUtf8(unsigned cp, std::string& out) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6)), out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12)), out += char(0x80 | ((cp >> 6) & 0x3F)), out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x110000) {
    out += char(0xF0 | (cp >> 18)), out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F)), out += char(0x80 | (cp & 0x3F));
  }
}

// Length of the valid UTF-8 sequence at s[i], 0 when there is none.
size_t Utf8Length(std::string_view s, size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  return n;
}

// A spline through its fit points when it has them, else along its control points.
Ring SplinePoints(const Tags& t) {
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

}  // namespace

std::vector<std::string> PlainTextLines(const std::string& value, bool mtext) {
  std::vector<std::string> lines(1);
  std::string_view s = value;
  for (size_t i = 0; i < s.size();) {
    std::string& out = lines.back();
    const char c = s[i];
    if (c == '%' && i + 2 < s.size() && s[i + 1] == '%') {
      const char k = char(std::tolower(static_cast<unsigned char>(s[i + 2])));
      if (k == 'c' || k == 'd' || k == 'p' || k == '%') {
        out += k == 'c' ? "\u2300" : k == 'd' ? "\u00b0" : k == 'p' ? "\u00b1" : "%";
        i += 3;
        continue;
      }
      if (k == 'u' || k == 'o' || k == 'k') {  // underline, overline, strike-through toggles
        i += 3;
        continue;
      }
    }
    if (c == '\\' && i + 1 < s.size()) {
      const char k = s[i + 1];
      if (k == 'U' && i + 2 < s.size() && s[i + 2] == '+') {
        unsigned cp = 0;
        size_t j = i + 3, digits = 0;
        for (; j < s.size() && digits < 4 && std::isxdigit(static_cast<unsigned char>(s[j])); ++j, ++digits)
          cp = cp * 16 + unsigned(std::isdigit(static_cast<unsigned char>(s[j])) ? s[j] - '0'
                                                                                  : std::tolower(s[j]) - 'a' + 10);
        if (digits == 4) {
          if (cp >= 0x20) AppendUtf8(cp, out);
          i = j;
          continue;
        }
      }
      if (mtext) {
        if (k == 'P') {
          lines.emplace_back();
          i += 2;
          continue;
        }
        if (k == '~') {
          out += ' ';
          i += 2;
          continue;
        }
        if (k == '\\' || k == '{' || k == '}') {
          out += k;
          i += 2;
          continue;
        }
        if (std::string_view("LlOoKkNX").find(k) != std::string_view::npos) {  // toggles without a value
          i += 2;
          continue;
        }
        if (std::string_view("ACcFfHQTWpS").find(k) != std::string_view::npos) {  // codes ending at ';'
          const size_t end = s.find(';', i);
          if (k == 'S' && end != std::string_view::npos) {  // stacked: a/b
            for (char x : s.substr(i + 2, end - i - 2)) out += x == '^' || x == '#' ? '/' : x;
          }
          i = end == std::string_view::npos ? s.size() : end + 1;
          continue;
        }
      }
    }
    if (mtext && (c == '{' || c == '}')) {
      ++i;
      continue;
    }
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      ++i;
      continue;
    }
    const size_t n = Utf8Length(s, i);
    if (n == 0) {
      AppendUtf8(u, out);  // a code-page byte: shown as Latin-1
      ++i;
    } else {
      out.append(s.substr(i, n));
      i += n;
    }
  }
  return lines;
}

namespace {

struct Builder {
  const DxfFile& f;
  Backdrop& out;
  std::map<std::string, std::pair<size_t, size_t>, std::less<>> blocks;  // name -> entity tags

  void Text(const Tags& t, double dx, double dy) {
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

  void MText(const Tags& t, double dx, double dy) {
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

  void Hatch(const Tags& t) {
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
          Edge(Tags{f, k, e}, TagInt(t.At(k)).value_or(0), ring);
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
  void Edge(const Tags& e, long long type, Ring& ring) {
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
  void Polyline(const DxfEntity& span, const Tags& head) {
    struct V {
      double x, y;
      long long flags;
      int idx[4];
    };
    std::vector<V> vs;
    for (size_t i = OwnEnd(f, span.first, span.last); i < span.last && vs.size() < kMaxPoints;) {
      size_t j = i + 1;
      while (j < span.last && f.tags[j].code != 0) ++j;
      if (Trim(f.tags[i].value) == "VERTEX") {
        Tags v{f, i, j};
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
  void Simple(const std::string_view kind, const Tags& t, double dx, double dy) {
    if (kind == "TEXT" || kind == "ATTRIB") return Text(t, dx, dy);
    if (kind == "MTEXT") return MText(t, dx, dy);
    if (!Flat(t)) return;
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

  void Dimension(const Tags& t) {
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
      Tags bt{f, e.first, OwnEnd(f, e.first, e.last)};
      Simple(Trim(f.tags[e.first].value), bt, dx, dy);
    }
  }

  void IndexBlocks() {
    for (const DxfSection& s : FindSections(f)) {
      if (s.name != "BLOCKS") continue;
      std::string name;
      size_t body = 0;
      for (size_t i = s.body; i < s.end; ++i) {
        if (f.tags[i].code != 0) continue;
        const std::string_view kind = Trim(f.tags[i].value);
        if (kind == "BLOCK") {
          size_t j = i + 1;
          while (j < s.end && f.tags[j].code != 0) ++j;
          name = Tags{f, i, j}.Str(2);
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
    Tags t{f, rec.span.first, OwnEnd(f, rec.span.first, rec.span.last)};
    const std::string& k = rec.kind;
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
