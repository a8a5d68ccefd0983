"""Reads a drawing and its cleaned copy with ezdxf, an independent reader, and
fails when something drawn in the original's model space is no longer drawn
in the copy within the point tolerance.

It sees what the runner's own check cannot: a fault in reading or writing
the file, which the plug-in and the coverage check would both take as given.
Curves are flattened by ezdxf to within 5 % of the tolerance; that and the
plug-in's fixed collinearity limit (1e-5) are added to the reach. Entities no
larger than the size tolerance are exempt (degenerate removal deletes them).

Usage: readback_coverage.py POINT_TOL SIZE_TOL ORIGINAL CLEANED [ORIGINAL CLEANED ...]
"""
import math
import sys

import ezdxf
from ezdxf import path as ezpath
from ezdxf import recover

KINDS = {"LINE", "ARC", "CIRCLE", "ELLIPSE", "LWPOLYLINE", "POLYLINE"}
COLLINEARITY_SLACK = 1e-5
RELATIVE_NOISE = 1e-9


def read(path):
    """The document, or None when neither the strict nor the tolerant reader takes it."""
    try:
        return ezdxf.readfile(path)
    except ezdxf.DXFStructureError:
        try:
            return recover.readfile(path)[0]
        except ezdxf.DXFStructureError:
            return None


def segments(doc, tol):
    """(entity label, [(ax, ay, bx, by), ...]) per drawn entity of model space."""
    out = []
    for e in doc.modelspace():
        kind = e.dxftype()
        if kind not in KINDS:
            continue
        if kind == "POLYLINE" and not (e.is_2d_polyline or e.is_3d_polyline):
            continue
        try:
            p = ezpath.make_path(e)
            pts = [(v.x, v.y) for v in p.flattening(distance=max(tol * 0.05, 1e-9))]
        except Exception:  # an entity the reader cannot draw has nothing to check
            continue
        if not pts or not all(math.isfinite(c) for pt in pts for c in pt):
            continue
        segs = [(a[0], a[1], b[0], b[1]) for a, b in zip(pts, pts[1:])] or [pts[0] + pts[0]]
        out.append((f"{kind} {e.dxf.handle}", segs))
    return out


def disc(ax, ay, dx, dy, cx, cy, r):
    ex, ey = ax - cx, ay - cy
    a, b, c = dx * dx + dy * dy, dx * ex + dy * ey, ex * ex + ey * ey - r * r
    if a == 0:
        return (-math.inf, math.inf) if c <= 0 else None
    d = b * b - a * c
    if d < 0:
        return None
    s = math.sqrt(d)
    return ((-b - s) / a, (-b + s) / a)


def linear(f0, f1, lo, hi):
    if f1 == 0:
        return (-math.inf, math.inf) if lo <= f0 <= hi else None
    t0, t1 = (lo - f0) / f1, (hi - f0) / f1
    return (min(t0, t1), max(t0, t1))


def covered(s, t, r):
    """Parameters of segment s within r of segment t: one interval (a capsule is convex)."""
    ax, ay, bx, by = s
    dx, dy = bx - ax, by - ay
    parts = [disc(ax, ay, dx, dy, t[0], t[1], r), disc(ax, ay, dx, dy, t[2], t[3], r)]
    ux, uy = t[2] - t[0], t[3] - t[1]
    n = math.hypot(ux, uy)
    if n > 0:
        nx, ny = ux / n, uy / n
        ex, ey = ax - t[0], ay - t[1]
        along = linear(ex * nx + ey * ny, dx * nx + dy * ny, 0, n)
        across = linear(ex * ny - ey * nx, dx * ny - dy * nx, -r, r)
        if along and across and max(along[0], across[0]) <= min(along[1], across[1]):
            parts.append((max(along[0], across[0]), min(along[1], across[1])))
    parts = [p for p in parts if p]
    if not parts:
        return None
    lo, hi = max(0.0, min(p[0] for p in parts)), min(1.0, max(p[1] for p in parts))
    return (lo, hi) if lo <= hi else None


class Grid:
    def __init__(self, segs, cell):
        self.cell, self.cells = cell, {}
        for s in segs:
            for key in self.keys(s, 0):
                self.cells.setdefault(key, []).append(s)

    def keys(self, s, grow):
        c = self.cell
        x0, x1 = (min(s[0], s[2]) - grow) // c, (max(s[0], s[2]) + grow) // c
        y0, y1 = (min(s[1], s[3]) - grow) // c, (max(s[1], s[3]) + grow) // c
        if (x1 - x0 + 1) * (y1 - y0 + 1) > 4096:  # a long piece: look everywhere
            return list(self.cells) if grow else [("all",)]
        return [(i, j) for i in range(int(x0), int(x1) + 1) for j in range(int(y0), int(y1) + 1)]

    def near(self, s, grow):
        found = {id(x): x for x in self.cells.get(("all",), [])}
        for key in self.keys(s, grow):
            for x in self.cells.get(key, []):
                found[id(x)] = x
        return found.values()


def missing(original, cleaned, tol, size_tol):
    """Lost stretches: (label, length, segment)."""
    before_doc, after_doc = read(original), read(cleaned)
    if before_doc is None:
        print(f"{original}: unreadable to both readers, skipped")
        return []
    if after_doc is None:
        return [("the whole file", math.inf, (0, 0, 0, 0))]
    after = [s for _, segs in segments(after_doc, tol) for s in segs]
    grid = Grid(after, max(tol * 8, 1.0))
    reach = tol * 1.1 + COLLINEARITY_SLACK
    lost = []
    for label, segs in segments(before_doc, tol):
        xs = [c for s in segs for c in (s[0], s[2])]
        ys = [c for s in segs for c in (s[1], s[3])]
        if max(xs) - min(xs) <= size_tol and max(ys) - min(ys) <= size_tol:
            continue
        for s in segs:
            scale = max(1.0, *map(abs, s))
            r = reach + RELATIVE_NOISE * scale
            length = math.hypot(s[2] - s[0], s[3] - s[1])
            spans = sorted(filter(None, (covered(s, t, r) for t in grid.near(s, r))))
            reached = 0.0
            for lo, hi in spans + [(1.0, 1.0)]:
                if (lo - reached) * length > RELATIVE_NOISE * scale:
                    lost.append((label, (lo - reached) * length, s))
                reached = max(reached, hi)
    return lost


def main(argv):
    tol, size_tol = float(argv[1]), float(argv[2])
    failed = 0
    for original, cleaned in zip(argv[3::2], argv[4::2]):
        lost = missing(original, cleaned, tol, size_tol)
        if lost:
            failed = 1
            by_entity = {}
            for label, length, s in lost:
                by_entity.setdefault(label, [0.0, s])[0] += length
            total = sum(x[1] for x in lost)
            print(f"{cleaned}: {total:.6g} drawn in {original} is no longer drawn, in {len(by_entity)} entities")
            for label, (length, s) in list(by_entity.items())[:10]:
                print(f"  {label}: {length:.6g} lost, first near ({s[0]:.10g}, {s[1]:.10g})")
    return failed


if __name__ == "__main__":
    sys.exit(main(sys.argv))
