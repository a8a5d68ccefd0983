#!/usr/bin/python3
"""The same clean-up jobs as `drawclean --all`, done the way a user without
drawclean would script them with ezdxf and shapely, for the end-to-end
benchmark to run side by side:

  read; drop lines no longer than the size tolerance and point markers;
  remove exact duplicates (the later copy stays); merge overlapping collinear
  lines (union, then line merge) and join them into polylines (line merge);
  simplify within the point tolerance; write.

    peer_clean.py IN.dxf OUT.dxf [-t POINT_TOL] [-s SIZE_TOL]

Prints one JSON line: object counts and the seconds of each step.
"""
import argparse
import json
import math
import sys
import time
from collections import defaultdict

import ezdxf
from shapely.geometry import LineString, MultiLineString
from shapely.ops import linemerge, unary_union


def main(argv):
    ap = argparse.ArgumentParser()
    ap.add_argument("input")
    ap.add_argument("output")
    ap.add_argument("-t", type=float, default=0.005, help="point tolerance")
    ap.add_argument("-s", type=float, default=0.001, help="size tolerance")
    a = ap.parse_args(argv)
    times = {}

    t = time.perf_counter()
    doc = ezdxf.readfile(a.input)
    msp = doc.modelspace()
    entities = list(msp)
    times["read"] = time.perf_counter() - t

    t = time.perf_counter()
    # Degenerate lines and point markers.
    kept = []
    for e in entities:
        kind = e.dxftype()
        if kind == "POINT":
            continue
        if kind == "LINE":
            s, f = e.dxf.start, e.dxf.end
            if math.hypot(f.x - s.x, f.y - s.y) <= a.s:
                continue
        kept.append(e)
    # Exact duplicates: the later copy stays.
    def key(e):
        kind = e.dxftype()
        if kind == "LINE":
            s, f = tuple(e.dxf.start)[:2], tuple(e.dxf.end)[:2]
            return (kind, e.dxf.layer, min(s, f), max(s, f))
        if kind == "ARC":
            return (kind, e.dxf.layer, tuple(e.dxf.center)[:2], e.dxf.radius, e.dxf.start_angle, e.dxf.end_angle)
        if kind == "LWPOLYLINE":
            return (kind, e.dxf.layer, e.closed, tuple(tuple(p[:2]) for p in e.get_points("xy")))
        return None
    seen = set()
    unique = []
    for e in reversed(kept):
        k = key(e)
        if k is not None and k in seen:
            continue
        seen.add(k)
        unique.append(e)
    unique.reverse()
    # Lines and open polylines of each layer: union nodes and merges the
    # overlaps, line merge joins what meets end to end.
    paths = defaultdict(list)
    rest = []
    for e in unique:
        kind = e.dxftype()
        if kind == "LINE":
            paths[e.dxf.layer].append(LineString([tuple(e.dxf.start)[:2], tuple(e.dxf.end)[:2]]))
        elif kind == "LWPOLYLINE" and not e.closed:
            paths[e.dxf.layer].append(LineString(list(e.get_points("xy"))))
        else:
            rest.append(e)
    merged = {}
    for layer, lines in paths.items():
        m = linemerge(unary_union(lines))
        parts = list(m.geoms) if isinstance(m, MultiLineString) else [m]
        merged[layer] = [p.simplify(a.t) for p in parts]
    closed = [(e, LineString(list(e.get_points("xy"))).simplify(a.t))
              for e in rest if e.dxftype() == "LWPOLYLINE"]
    times["passes"] = time.perf_counter() - t

    t = time.perf_counter()
    out = ezdxf.new("R2000")
    for layer in doc.layers:
        if layer.dxf.name not in out.layers:
            out.layers.add(layer.dxf.name)
    omsp = out.modelspace()
    count = 0
    for layer, parts in merged.items():
        for p in parts:
            coords = list(p.coords)
            if len(coords) == 2:
                omsp.add_line(coords[0], coords[1], dxfattribs={"layer": layer})
            else:
                omsp.add_lwpolyline(coords, dxfattribs={"layer": layer})
            count += 1
    for e, line in closed:
        omsp.add_lwpolyline(list(line.coords), close=True, dxfattribs={"layer": e.dxf.layer})
        count += 1
    for e in rest:
        if e.dxftype() == "LWPOLYLINE":
            continue
        omsp.add_entity(e.copy())
        count += 1
    out.saveas(a.output)
    times["write"] = time.perf_counter() - t
    print(json.dumps({"before": len(entities), "after": count, "seconds": times}))


if __name__ == "__main__":
    main(sys.argv[1:])
