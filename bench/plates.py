#!/usr/bin/python3
"""Laser-cut plates, before and after cleaning: how much is still drawn twice
within the tolerance, how many closed outlines and open chains there are,
and whether anything drawn was lost, for drawclean and for the ezdxf +
shapely script (peer_clean.py) on the same plates.

    bench/plates.py [--plates 6] [--seed 1] [--tol 0.1] [--markdown] [--drawclean PATH]
                    [-- DRAWCLEAN OPTIONS ...]

drawclean runs with the options after `--` (default `--all -t TOL`), always
with --verify and --report. Each plate is made of parts (rectangles tiled so
that neighbours share an edge, slots, rounded rectangles, circles), written as
closed polylines or as separate pieces in random order and direction, with
copies of some paths 0.0005 to 0.9 tolerances off, coordinate noise of 1e-7
and now and then a full turn written as an arc to 360.0000000001 degrees.

Drawn twice is given two ways: drawclean's own measure (its report's
drawnTwice, read for the input and the peer's output by a run with no passes
and --verify, which the measure comes with),
and here, independently, as the sum of the entities' lengths less the length
of their union at the tolerance (each entity, in drawing order, less what lies
within the tolerance of those before it). The second counts up to a tolerance
wherever separate pieces meet (a corner, a joint) and nothing inside one
entity, so it is a cross-check, not the same figure. Lost is what the input
drew that the output does not within the tolerance (here, with shapely).
The coverage column is drawclean's own check for drawclean, and the same
check both ways round with shapely for the peer, which has none.

A benchmark, not a test. Build first: cmake --preset release &&
cmake --build build/release -j1 --target drawclean cleanup
"""
import argparse
import json
import math
import os
import random
import subprocess
import sys

import ezdxf
from shapely.geometry import LineString, Point
from shapely.ops import unary_union

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BENCH = os.path.join(ROOT, "bench")
NOISE = 1e-7
FULL_TURN_LONG = 360.0000000001
# Copies this many tolerances off their path, at the least and the most.
COPY_NEAR, COPY_FAR = 0.0005, 0.9


# -- plates -----------------------------------------------------------------

def rect_path(x0, y0, x1, y1):
    return [("L", (x0, y0), (x1, y0)), ("L", (x1, y0), (x1, y1)), ("L", (x1, y1), (x0, y1)),
            ("L", (x0, y1), (x0, y0))]


def rounded_path(x0, y0, x1, y1, r):
    """Counter-clockwise: sides and quarter arcs, each arc ("A", centre, r, start, sweep)."""
    return [("L", (x0 + r, y0), (x1 - r, y0)), ("A", (x1 - r, y0 + r), r, 270, 90),
            ("L", (x1, y0 + r), (x1, y1 - r)), ("A", (x1 - r, y1 - r), r, 0, 90),
            ("L", (x1 - r, y1), (x0 + r, y1)), ("A", (x0 + r, y1 - r), r, 90, 90),
            ("L", (x0, y1 - r), (x0, y0 + r)), ("A", (x0 + r, y0 + r), r, 180, 90)]


def slot_path(x0, y0, x1, y1):
    r = (y1 - y0) / 2
    return [("L", (x0 + r, y0), (x1 - r, y0)), ("A", (x1 - r, y0 + r), r, 270, 180),
            ("L", (x1 - r, y1), (x0 + r, y1)), ("A", (x0 + r, y0 + r), r, 90, 180)]


def circle_path(cx, cy, r):
    return [("A", (cx, cy), r, 0, 360)]


def arc_point(c, r, deg):
    return (c[0] + r * math.cos(math.radians(deg)), c[1] + r * math.sin(math.radians(deg)))


def element_start(e):
    return e[1] if e[0] == "L" else arc_point(e[1], e[2], e[3])


def plate_paths(rng):
    """The parts of one plate, as closed paths."""
    cols, rows = rng.randint(3, 5), rng.randint(2, 4)
    w, h = rng.uniform(20, 40), rng.uniform(15, 30)
    paths = []
    for i in range(cols):
        for j in range(rows):
            x0, y0, x1, y1 = i * w, j * h, (i + 1) * w, (j + 1) * h
            kind = rng.choice(["tile", "tile", "slot", "rounded", "circle"])
            m = rng.uniform(2, 4)
            if kind == "tile":  # the whole cell: a tile beside it shares the edge
                paths.append(rect_path(x0, y0, x1, y1))
                if rng.random() < 0.5:
                    paths.append(circle_path((x0 + x1) / 2, (y0 + y1) / 2, rng.uniform(1, min(w, h) / 4)))
            elif kind == "slot":
                sh = rng.uniform(3, (h - 2 * m) / 2)
                yc = (y0 + y1) / 2
                paths.append(slot_path(x0 + m, yc - sh / 2, x1 - m, yc + sh / 2))
            elif kind == "rounded":
                paths.append(rounded_path(x0 + m, y0 + m, x1 - m, y1 - m, rng.uniform(0.5, 3)))
            else:
                paths.append(circle_path((x0 + x1) / 2, (y0 + y1) / 2, rng.uniform(2, min(w, h) / 2 - m)))
    return paths


def shifted(path, dx, dy):
    out = []
    for e in path:
        if e[0] == "L":
            out.append(("L", (e[1][0] + dx, e[1][1] + dy), (e[2][0] + dx, e[2][1] + dy)))
        else:
            out.append(("A", (e[1][0] + dx, e[1][1] + dy), e[2], e[3], e[4]))
    return out


def noisy(rng, p):
    return (p[0] + rng.uniform(-NOISE, NOISE), p[1] + rng.uniform(-NOISE, NOISE))


def emit(rng, path, out):
    """Appends (kind, attributes) of the entities one path is written as."""
    if rng.random() < 0.4:  # one closed polyline, arcs as bulges
        pts = []
        for e in path:
            if e[0] == "L":
                pts.append(noisy(rng, e[1]) + (0.0,))
            elif e[4] == 360:  # a full turn as two half turns
                pts.append(noisy(rng, arc_point(e[1], e[2], e[3])) + (1.0,))
                pts.append(noisy(rng, arc_point(e[1], e[2], e[3] + 180)) + (1.0,))
            else:
                pts.append(noisy(rng, element_start(e)) + (math.tan(math.radians(e[4]) / 4),))
        out.append(("LWPOLYLINE", pts))
        return
    for e in path:  # pieces, in any direction
        if e[0] == "L":
            cuts = sorted(rng.random() for _ in range(rng.choice([0, 0, 1, 2])))
            ts = [0.0] + cuts + [1.0]
            for a, b in zip(ts, ts[1:]):
                p = (e[1][0] + (e[2][0] - e[1][0]) * a, e[1][1] + (e[2][1] - e[1][1]) * a)
                q = (e[1][0] + (e[2][0] - e[1][0]) * b, e[1][1] + (e[2][1] - e[1][1]) * b)
                if rng.random() < 0.5:
                    p, q = q, p
                out.append(("LINE", noisy(rng, p), noisy(rng, q)))
        elif e[4] == 360:
            c = noisy(rng, e[1])
            if rng.random() < 0.3:
                start = rng.uniform(0, 360)
                out.append(("ARC", c, e[2], start, start + FULL_TURN_LONG))
            else:
                out.append(("CIRCLE", c, e[2]))
        else:
            out.append(("ARC", noisy(rng, e[1]), e[2], e[3], e[3] + e[4]))


def make_plate(seed, tol, filename):
    rng = random.Random(seed)
    entities = []
    for path in plate_paths(rng):
        emit(rng, path, entities)
        if rng.random() < 0.3:  # a near copy
            d = tol * math.exp(rng.uniform(math.log(COPY_NEAR), math.log(COPY_FAR)))
            a = rng.uniform(0, 2 * math.pi)
            emit(rng, shifted(path, d * math.cos(a), d * math.sin(a)), entities)
    rng.shuffle(entities)
    doc = ezdxf.new("R2000")
    msp = doc.modelspace()
    for e in entities:
        if e[0] == "LINE":
            msp.add_line(e[1], e[2])
        elif e[0] == "CIRCLE":
            msp.add_circle(e[1], e[2])
        elif e[0] == "ARC":
            msp.add_arc(e[1], e[2], e[3], e[4])
        else:
            msp.add_lwpolyline(e[1], format="xyb", close=True)
    doc.saveas(filename)


# -- measures ---------------------------------------------------------------

def arc_coords(c, r, start, sweep, tol):
    """Chords within a hundredth of the tolerance of the arc."""
    step = 2 * math.acos(max(-1.0, 1 - 0.01 * tol / r)) if r > 0.01 * tol else math.pi
    n = max(2, int(math.ceil(abs(math.radians(sweep)) / step)))
    return [arc_point(c, r, start + sweep * i / n) for i in range(n + 1)]


def ccw_span(start, end):
    """The arc's span as a DXF reader takes it: a whole turn within 1e-9 of one."""
    d = (end - start) % 360.0
    return 360.0 if d <= 360e-9 or d >= 360 - 360e-9 else d


def bulge_coords(p, q, bulge, tol):
    if bulge == 0:
        return [p, q]
    chord = math.dist(p, q)
    if chord == 0:
        return [p, q]
    sweep = 4 * math.atan(bulge)
    r = chord / (2 * abs(math.sin(sweep / 2)))
    mx, my = (p[0] + q[0]) / 2, (p[1] + q[1]) / 2
    off = (chord / 2) / math.tan(sweep / 2)
    cx, cy = mx - (q[1] - p[1]) / chord * off, my + (q[0] - p[0]) / chord * off
    start = math.degrees(math.atan2(p[1] - cy, p[0] - cx))
    return arc_coords((cx, cy), r, start, math.degrees(sweep), tol)


def drawn(filename, tol):
    """(geometries in drawing order, closed count, open count)."""
    geoms, closed, open_ = [], 0, 0
    for e in ezdxf.readfile(filename).modelspace():
        kind = e.dxftype()
        if kind == "LINE":
            coords = [tuple(e.dxf.start)[:2], tuple(e.dxf.end)[:2]]
            shut = False
        elif kind == "CIRCLE":
            coords = arc_coords(tuple(e.dxf.center)[:2], e.dxf.radius, 0, 360, tol)
            shut = True
        elif kind == "ARC":
            span = ccw_span(e.dxf.start_angle, e.dxf.end_angle)
            coords = arc_coords(tuple(e.dxf.center)[:2], e.dxf.radius, e.dxf.start_angle, span, tol)
            shut = span == 360.0
        elif kind == "LWPOLYLINE":
            pts = list(e.get_points("xyb"))
            shut = e.closed
            coords = []
            for i in range(len(pts) if shut else len(pts) - 1):
                p, q = pts[i], pts[(i + 1) % len(pts)]
                seg = bulge_coords(p[:2], q[:2], p[2], tol)
                coords.extend(seg if not coords else seg[1:])
            shut = shut or (len(pts) > 2 and math.dist(pts[0][:2], pts[-1][:2]) <= tol)
        else:
            continue
        if len(coords) < 2:
            continue
        geoms.append(LineString(coords))
        closed += shut
        open_ += not shut
    return geoms, closed, open_


def doubled_by_union(geoms, tol):
    """Sum of lengths less the length of their union at the tolerance."""
    total = 0.0
    covers = [g.buffer(tol, resolution=16) for g in geoms]
    boxes = [c.bounds for c in covers]
    for i, g in enumerate(geoms):
        x0, y0, x1, y1 = boxes[i]
        earlier = [covers[j] for j in range(i)
                   if boxes[j][0] <= x1 and boxes[j][2] >= x0 and boxes[j][1] <= y1 and boxes[j][3] >= y0]
        if earlier:
            total += g.intersection(unary_union(earlier)).length
    return total


def lost(before, after, tol):
    """Length drawn in `before` that `after` does not draw within the tolerance."""
    if not before:
        return 0.0
    reach = unary_union([g.buffer(tol * 1.001 + 1e-5, resolution=16) for g in after]) if after else Point(0, 0).buffer(0)
    return sum(g.difference(reach).length for g in before)


def drawn_twice_by_drawclean(drawclean, filename, tol, scratch):
    """drawclean's own measure of a file, from a run with no passes."""
    report = os.path.join(scratch, "measure.report.json")
    rc = subprocess.run([drawclean, "--no-degenerate", "--no-vertex-cleanup", "-t", str(tol), "-n", "-q",
                         "--verify", filename, "--report", report], capture_output=True, text=True).returncode
    if rc != 0:
        return None
    with open(report) as f:
        return json.load(f).get("drawnTwice", {}).get("length")


# -- runs -------------------------------------------------------------------

def figures(label, filename, geoms_before, tol, drawclean, scratch, coverage=None):
    geoms, closed, open_ = drawn(filename, tol)
    return {"stage": label, "entities": len(geoms), "closed": closed, "open": open_,
            "twice": drawn_twice_by_drawclean(drawclean, filename, tol, scratch),
            "twicePy": doubled_by_union(geoms, tol),
            "lostPy": lost(geoms_before, geoms, tol) if geoms_before is not None else None,
            "coverage": coverage}


def run_plate(n, a, options, scratch):
    plate = os.path.join(scratch, f"plate{n}.dxf")
    make_plate(a.seed * 1000 + n, a.tol, plate)
    before, _, _ = drawn(plate, a.tol)
    rows = [figures("before", plate, None, a.tol, a.drawclean, scratch)]

    clean, report = os.path.join(scratch, f"plate{n}.clean.dxf"), os.path.join(scratch, f"plate{n}.report.json")
    r = subprocess.run([a.drawclean] + options + ["--verify", "-q", plate, "-o", clean, "--report", report],
                       capture_output=True, text=True)
    if r.returncode == 0:
        with open(report) as f:
            rep = json.load(f)
        row = figures("drawclean", clean, before, a.tol, a.drawclean, scratch,
                      "passed" if rep.get("coverage", {}).get("passed") else "FAILED")
        row["twice"] = rep.get("drawnTwice", {}).get("length")
        rows.append(row)
    else:  # exit 2 with nothing written: the check failed, or the options were refused
        first = r.stderr.strip().splitlines()[0] if r.stderr.strip() else ""
        rows.append({"stage": "drawclean", "entities": None, "closed": None, "open": None, "twice": None,
                     "twicePy": None, "lostPy": None, "coverage": f"no output (exit {r.returncode}): {first}"})

    peer = os.path.join(scratch, f"plate{n}.peer.dxf")
    p = subprocess.run([sys.executable, os.path.join(BENCH, "peer_clean.py"), plate, peer, "-t", str(a.tol)],
                       capture_output=True, text=True)
    if p.returncode == 0:
        row = figures("peer", peer, before, a.tol, a.drawclean, scratch)
        # No check of its own: the same two ways round, with shapely.
        added = lost(drawn(peer, a.tol)[0], before, a.tol)
        row["coverage"] = "passed (shapely)" if row["lostPy"] < 1e-9 and added < 1e-9 else \
            f"FAILED (shapely): {row['lostPy']:.3f} lost, {added:.3f} drawn anew"
        rows.append(row)
    else:
        rows.append({"stage": "peer", "entities": None, "closed": None, "open": None, "twice": None,
                     "twicePy": None, "lostPy": None, "coverage": f"failed (exit {p.returncode})"})
    return rows


def fmt(v, digits=3):
    if v is None:
        return "-"
    if isinstance(v, float):
        return f"{v:.{digits}f}"
    return str(v)


COLUMNS = [("plate", "plate"), ("stage", "stage"), ("entities", "entities"), ("closed", "closed"),
           ("open", "open"), ("twice", "twice (drawclean)"), ("twicePy", "twice (union)"),
           ("lostPy", "lost (shapely)"), ("coverage", "coverage check")]


def main(argv):
    if "--" in argv:
        i = argv.index("--")
        argv, passed = argv[:i], argv[i + 1:]
    else:
        passed = None
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--plates", type=int, default=6)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--tol", type=float, default=0.1, help="the point tolerance the plates are made for")
    ap.add_argument("--drawclean", default=os.path.join(ROOT, "build/release/runner/drawclean"))
    ap.add_argument("--markdown", action="store_true", help="also print the figures as a Markdown table")
    a = ap.parse_args(argv)
    if not os.access(a.drawclean, os.X_OK):
        sys.exit(f"plates.py: {a.drawclean} not found: build the release preset first")
    options = passed if passed is not None else ["--all", "-t", str(a.tol)]
    scratch = os.path.join(ROOT, "build", "bench-plates")
    os.makedirs(scratch, exist_ok=True)

    rows = []
    for n in range(a.plates):
        for r in run_plate(n, a, options, scratch):
            r["plate"] = n
            rows.append(r)
            print("  ".join(f"{title}={fmt(r[key])}" for key, title in COLUMNS), flush=True)

    print(f"\ndrawclean {' '.join(options)}; tolerance {a.tol}")
    for stage in ("before", "drawclean", "peer"):
        sel = [r for r in rows if r["stage"] == stage and r["entities"] is not None]
        if not sel:
            continue
        tw = [r["twice"] for r in sel if r["twice"] is not None]
        tw = sum(tw) if tw else None
        print(f"{stage:>10}: {len(sel)} plates, {sum(r['entities'] for r in sel)} entities, "
              f"{sum(r['closed'] for r in sel)} closed, {sum(r['open'] for r in sel)} open, "
              f"drawn twice {fmt(tw)} (drawclean) / {fmt(sum(r['twicePy'] for r in sel))} (union), "
              f"lost {fmt(sum(r['lostPy'] or 0 for r in sel))}")
    if a.markdown:
        print()
        print("| " + " | ".join(t for _, t in COLUMNS) + " |")
        print("|" + "---|" * len(COLUMNS))
        for r in rows:
            print("| " + " | ".join(fmt(r[k]) for k, _ in COLUMNS) + " |")


if __name__ == "__main__":
    main(sys.argv[1:])
