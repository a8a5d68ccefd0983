#!/usr/bin/env python3
"""Writes the seed drawings of fuzz/corpus in the fuzz target's input layout.

Run from anywhere; rewrites fuzz/corpus/seed-*. Each seed is a small drawing
that gives one group of passes work, so the fuzzer starts from inputs that
already reach deep into the passes."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
TYPE_INDEX = {2: 0, 5: 3, 21: 5, 6: 7, 25: 9, 17: 10, 9: 11, 15: 12, 10: 13, 3: 14, 4: 15, 7: 16}
SPECIAL = {"+0": 160, "-0": 161, "0.01": 163, "denorm": 170, "1e300": 175, "max": 177,
           "inf": 179, "-inf": 180, "nan": 181}


def coord(v):
    if isinstance(v, str):
        return bytes([SPECIAL[v]])
    if float(v).is_integer() and -16 <= v <= 15:
        return bytes([int(v) + 16])
    return bytes([240]) + struct.pack("<d", float(v))


# place: where new objects go, 0 before the visited object, 1 after it, 2 at the end.
def header(flags, tol1=1, tol2=0.0001, faults=0, scale=0, missing=(), classes=1, place=0):
    out = bytes(0x80 if f else 0 for f in flags)
    out += coord(tol1) + coord(tol2)
    out += bytes([faults, scale, len(missing) | place << 2]) + bytes(missing) + bytes([classes])
    return out


def obj(t, payload, cls=0, attr=0):
    return bytes([TYPE_INDEX[t], cls, attr]) + payload


def line(x1, y1, x2, y2, **kw):
    # The host record stores y first.
    return obj(2, coord(y1) + coord(x1) + coord(y2) + coord(x2), **kw)


def arc(cx, cy, r, start15, sweep15, rv=None, **kw):
    body = coord(cy) + coord(cx) + coord(r)
    body += (bytes([0]) + coord(rv)) if rv is not None else bytes([1])
    return obj(6, body + coord(start15) + coord(sweep15), **kw)


def vlist(t, pts, closed=False, **kw):
    body = bytes([len(pts) | (0x80 if closed else 0)])
    for p in pts:
        if t == 25:
            body += coord(p[0]) + coord(p[1]) + coord(p[2])
        elif len(p) == 4:
            body += coord(p[0]) + coord(p[1]) + bytes([203]) + coord(p[3])  # vertex type 3
        else:
            body += coord(p[0]) + coord(p[1]) + bytes([0])
    return obj(t, body, **kw)


def zigzag(t, n, x0, y0, step, amp, period, closed=False, **kw):
    body = bytes([120 | (0x80 if closed else 0)]) + struct.pack("<H", n)
    body += coord(x0) + coord(y0) + coord(step) + coord(amp) + bytes([period - 1])
    return obj(t, body, **kw)


def simple(t, values, **kw):
    return obj(t, b"".join(coord(v) for v in values), **kw)


ALL = [1] * 9
SEEDS = {
    "empty": header(ALL),
    "join-lines": header([0, 0, 0, 0, 0, 0, 1, 0, 0])
    + line(0, 0, 10, 0) + line(10, 0, 10, 5) + line(-5, 0, 0, 0)
    + vlist(5, [(10, 5), (12, 7), (15, 7)]) + line(0, 5, 0, 0, attr=1),
    "duplicates": header([0, 0, 0, 1, 0, 0, 0, 0, 0])
    + line(0, 0, 5, 5) + line(5, 5, 0, 0) + simple(17, [3, 3]) + simple(17, [3, 3])
    + simple(9, [1, 2, 3]) + simple(9, [1, 2, 3]) + simple(15, list(range(12))) + simple(15, list(range(12)))
    + simple(3, [1, 0, 0, 1]) + simple(3, [1, 0, 0, 1])
    + vlist(5, [(0, 0), (1, 0), (1, 1)]) + vlist(21, [(0, 0), (1, 0), (1, 1)])
    + arc(0, 0, 5, 8, -6) + arc(0, 0, 5, 2, 6),
    "arcs": header([0, 0, 0, 0, 1, 0, 1, 1, 0])
    + arc(0, 0, 5, 0, 6) + arc(0, 0, 5, 3, 6) + line(5, 0, 10, 0) + arc(10, 5, 5, 12, 6)
    + arc(0, 20, 2, 0, 10, rv=3) + line(2, 20, 2, 25),
    "flatten": header([1, 0, 0, 0, 0, 1, 0, 0, 0])
    + vlist(25, [(1, 2, 3), (4, 5, 6)]) + vlist(25, [(0, 0, 0), (1, 0, 1), (1, 1, 2), (0, 1, 3)], closed=True)
    + vlist(25, [(7, 7, 7)]) + vlist(25, []) + zigzag(25, 300, 0, 0, 1, 1, 2),
    "extreme-values": header(ALL, tol1="nan", tol2="inf")
    + line("nan", 0, 1, 1) + line("inf", "-inf", 0, 0) + line("denorm", "-0", "+0", "denorm")
    + simple(4, ["max", "-inf", "1e300", "nan"]) + vlist(5, [("nan", 0), (1, 1), ("inf", 2)])
    + arc(0, 0, "nan", 0, 6) + arc(0, 0, "inf", 0, "nan"),
    "long-chains": header([0, 0, 0, 0, 0, 1, 1, 0, 1])
    + zigzag(5, 400, 0, 0, 1, 1, 2) + zigzag(21, 400, 399, 1, 1, -1, 2) + line(798, 1, 800, 0),
    "faults": header(ALL, faults=0xC5, missing=(20, 57)) + line(0, 0, 10, 0) + line(10, 0, 10, 5)
    + vlist(21, [(0, 0), (5, 0), (10, 0)]) + vlist(25, [(1, 2, 3), (4, 5, 6)]) + arc(0, 0, 1, 0, 12),
    "reduce": header([0, 0, 0, 0, 0, 0, 0, 0, 1], tol1=0.01)
    + vlist(5, [(0, 0), (1, 0.001), (2, -0.001), (3, 0.001), (4, -0.001), (5, 0)])
    + vlist(21, [(0, 0), (1, 0.009), (2, 0.001), (3, -0.009)], closed=True)
    + vlist(21, [(0, 0), (1, 0, 3, 2), (2, 0)]),
    "degenerate": header([0, 1, 1, 0, 0, 0, 0, 0, 0], tol2=0.01)
    + line(0, 0, 0.005, 0) + line(0, 0, 0.02, 0) + simple(17, [0, 0]) + simple(9, [0, 0, 0])
    + simple(7, ["+0", "+0", "+0", "+0"]) + vlist(5, []) + simple(10, [1, 1, 1, 1]),
}

if __name__ == "__main__":
    corpus = os.path.join(HERE, "corpus")
    os.makedirs(corpus, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(corpus, "seed-" + name), "wb") as f:
            f.write(data)
    print(f"{len(SEEDS)} seeds written to {corpus}")
