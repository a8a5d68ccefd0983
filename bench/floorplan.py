#!/usr/bin/python3
"""Writes a generated floor plan as an R2000 DXF, the kind of drawing the
runner is for: double-line walls split into pieces, some pieces overlapping
their neighbours, exact duplicates, tiny lines, point markers, furniture
polylines with nearly straight runs, door arcs and room labels.

    floorplan.py ENTITIES OUT.dxf [--seed N]

The same ENTITIES and seed always give the same file.
"""
import argparse
import math
import random
import sys

import ezdxf

WALL = 0.2         # wall thickness
ROOM = 6.0         # room pitch
TINY = 0.0004      # below the benchmark's size tolerance (0.001)


def wall_pieces(rng, x0, y0, x1, y1):
    """A wall line cut into 2 to 4 pieces that meet end to end."""
    cuts = sorted(rng.uniform(0.15, 0.85) for _ in range(rng.randint(1, 3)))
    ts = [0.0] + cuts + [1.0]
    return [(x0 + (x1 - x0) * a, y0 + (y1 - y0) * a, x0 + (x1 - x0) * b, y0 + (y1 - y0) * b)
            for a, b in zip(ts, ts[1:])]


def room(rng, msp, cx, cy, counts):
    """One room: walls, maybe a door, furniture and a label."""
    w = ROOM - WALL
    lines = []
    for off in (0.0, WALL):  # outer and inner face of each wall
        x0, y0, x1, y1 = cx + off, cy + off, cx + w - off, cy + w - off
        for seg in ((x0, y0, x1, y0), (x1, y0, x1, y1), (x1, y1, x0, y1), (x0, y1, x0, y0)):
            lines.extend(wall_pieces(rng, *seg))
    for (ax, ay, bx, by) in lines:
        msp.add_line((ax, ay), (bx, by), dxfattribs={"layer": "WALLS"})
        counts["line"] += 1
        r = rng.random()
        if r < 0.12:  # a collinear piece overlapping this one
            t0, t1 = sorted((rng.uniform(-0.3, 0.6), rng.uniform(0.4, 1.3)))
            msp.add_line((ax + (bx - ax) * t0, ay + (by - ay) * t0),
                         (ax + (bx - ax) * t1, ay + (by - ay) * t1), dxfattribs={"layer": "WALLS"})
            counts["line"] += 1
        elif r < 0.17:  # an exact duplicate
            msp.add_line((ax, ay), (bx, by), dxfattribs={"layer": "WALLS"})
            counts["line"] += 1
    # Door: an arc of 90 degrees and its leaf.
    if rng.random() < 0.7:
        hx, hy = cx + rng.uniform(1.0, w - 2.0), cy
        msp.add_arc((hx, hy), 0.9, 0, 90, dxfattribs={"layer": "DOORS"})
        msp.add_line((hx, hy), (hx, hy + 0.9), dxfattribs={"layer": "DOORS"})
        counts["arc"] += 1
        counts["line"] += 1
    # Furniture: a closed table and an open run with nearly straight corners.
    tx, ty = cx + rng.uniform(1, 3), cy + rng.uniform(1, 3)
    msp.add_lwpolyline([(tx, ty), (tx + 1.2, ty), (tx + 1.2, ty + 0.8), (tx, ty + 0.8)],
                       close=True, dxfattribs={"layer": "FURNITURE"})
    run = [(cx + 0.5 + i * 0.4, cy + w - 0.6 + rng.uniform(-0.002, 0.002)) for i in range(rng.randint(4, 10))]
    msp.add_lwpolyline(run, dxfattribs={"layer": "FURNITURE"})
    counts["polyline"] += 2
    if rng.random() < 0.02:
        msp.add_line((tx, ty), (tx + TINY, ty), dxfattribs={"layer": "WALLS"})
        counts["line"] += 1
    if rng.random() < 0.05:
        msp.add_point((cx + 0.3, cy + 0.3), dxfattribs={"layer": "MARKERS"})
        counts["point"] += 1
    if rng.random() < 0.5:
        msp.add_text(f"R{counts['rooms']}", dxfattribs={"layer": "TEXT", "height": 0.25,
                                                       "insert": (cx + w / 2, cy + w / 2)})
        counts["text"] += 1
    counts["rooms"] += 1


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("entities", type=int)
    ap.add_argument("out")
    ap.add_argument("--seed", type=int, default=1)
    a = ap.parse_args(argv)
    rng = random.Random(a.seed)
    doc = ezdxf.new("R2000")
    for name in ("WALLS", "DOORS", "FURNITURE", "MARKERS", "TEXT"):
        doc.layers.add(name)
    msp = doc.modelspace()
    counts = dict(line=0, arc=0, polyline=0, point=0, text=0, rooms=0)
    per_room = 38  # entities a room gives on average
    side = max(1, math.ceil(math.sqrt(a.entities / per_room)))
    total = lambda: sum(v for k, v in counts.items() if k != "rooms")
    i = 0
    while total() < a.entities:
        room(rng, msp, (i % side) * ROOM, (i // side) * ROOM, counts)
        i += 1
    doc.saveas(a.out)
    print(f"{a.out}: {total()} entities in {counts['rooms']} rooms", file=sys.stderr)


if __name__ == "__main__":
    main(sys.argv[1:])
