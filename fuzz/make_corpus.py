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


# ---- noisy drawings: a first byte of 0xFF, then groups built from a few bytes each ----

NOISY_MAGIC = 0xFF
NOISY_TOLERANCES = [0.001, 0.01, 0.1, 1]
NOISY_SIZES = [1e-6, 1e-3, 0.5, 1, 2.5, 10, 1e3, 1e6]
NOISY_OFFSETS = {0: 0, 100: 4, -1e3: 5, 1e6: 6, -1e6: 7}
NOISY_NOISE = [5e-5, 1e-5, 1e-6, 1e-7, 1e-8, 1e-9, 1e-10, 1e-11, 1e-12]
AXIS_RATIOS = [0.5, 2.0, "barely", 0.999]  # "barely": 1 + 1e-9


def noisy_header(tol1=0.01, tol2=0.001, place=0, new_handles=False, true2=False, off=(), type21=False):
    setup = NOISY_TOLERANCES.index(tol1) | NOISY_TOLERANCES.index(tol2) << 2 | place << 4
    setup |= (0x40 if new_handles else 0) | (0x80 if true2 else 0)
    mask = sum(1 << f for f in off)
    return bytes([NOISY_MAGIC, setup]) + struct.pack("<HH", mask | (0x8000 if type21 else 0), mask)


def n_place(x, y, offset=0):
    return bytes([NOISY_OFFSETS[offset], x + 16, y + 16])


def n_size(v):
    return bytes([NOISY_SIZES.index(v)])


def n_noise(v):
    return bytes([NOISY_NOISE.index(v)])


def n_ratio(ratio):
    return bytes([AXIS_RATIOS.index(ratio)]) if ratio is not None else b""


def n_dir(deg):
    """Along an axis or a diagonal (multiples of 45), else the nearest of 128 directions."""
    if deg % 45 == 0:
        return bytes([int(deg // 45) % 8])
    return bytes([128 + round(deg / (360 / 128)) % 128])


def n_group(kind, variant):
    return bytes([kind | variant << 3])


def pieces_of_line(at, size, times, deg, n, noise, seed, random_cuts=False, forms=0):
    return (n_group(0, int(random_cuts) | forms << 1) + at + n_size(size) + bytes([times - 1]) + n_dir(deg)
            + bytes([n - 2]) + n_noise(noise) + struct.pack("<H", seed))


def pieces_of_ellipse(at, size, n, noise, deg, seed, ratio=None, random_cuts=False):
    return (n_group(1, int(ratio is not None) | int(random_cuts) << 1) + at + n_size(size) + n_ratio(ratio)
            + bytes([n - 1]) + n_noise(noise) + n_dir(deg) + struct.pack("<H", seed))


TURN_MISS = [1e-6, 1e-7, 1e-8, 1e-9, 1e-10, 1e-11, 1e-12]


def near_full_arc(at, size, deg, miss, past=False, backwards=False, ratio=None):
    variant = int(ratio is not None) | int(past) << 1 | int(backwards) << 2
    return n_group(2, variant) + at + n_size(size) + n_ratio(ratio) + n_dir(deg) + bytes([TURN_MISS.index(miss)])


ODD_SWEEPS = [0.0, "-0", 360.0, -360.0, 720.0, -90.0, -270.0, 1e-9, -1e-9, 180.0, -180.0, 359.999999]


def odd_arc(at, size, deg, sweep, ratio=None):
    return n_group(3, int(ratio is not None)) + at + n_size(size) + n_ratio(ratio) + n_dir(deg) + bytes(
        [ODD_SWEEPS.index(sweep)])


def arc_vertex_list(n, at, step, noise, seed, closed=False, type21=False):
    return (n_group(4, int(closed) | int(type21) << 1) + bytes([n - 2]) + at + n_size(step) + n_noise(noise)
            + struct.pack("<H", seed))


def nudged_copy(pick, noise, seed, reverse=False):
    return n_group(5, int(reverse)) + bytes([pick]) + n_noise(noise) + struct.pack("<H", seed)


def chained_line(noise, size, times, deg, seed, from_start=False, form=0):
    return (n_group(6, int(from_start) | form << 1) + n_noise(noise) + n_size(size) + bytes([times - 1])
            + n_dir(deg) + struct.pack("<H", seed))


def straight_run(at, step, deg, n, noise, seed, type21=False):
    return n_group(7, int(type21)) + at + n_size(step) + n_dir(deg) + bytes([n - 3]) + n_noise(noise) + struct.pack(
        "<H", seed)


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
    # Noisy drawings: pieces of lines and circles that nearly meet, arcs that
    # nearly close or run backwards, copies nudged off their originals.
    "noisy-line-pieces": noisy_header(tol1=0.01, tol2=0.001)
    + pieces_of_line(n_place(0, 0), 2.5, 4, 0, 6, 1e-6, 7)
    + pieces_of_line(n_place(-3, 5), 1, 8, 30, 5, 5e-5, 11, random_cuts=True, forms=1)
    + pieces_of_line(n_place(2, 2, offset=1e6), 10, 2, 45, 4, 1e-12, 3, forms=2)
    + chained_line(1e-9, 1, 3, 90, 5) + chained_line(1e-5, 2.5, 1, 200, 6, from_start=True, form=1),
    "noisy-arcs": noisy_header(tol1=0.001, tol2=0.001, place=1)
    + pieces_of_ellipse(n_place(0, 0), 2.5, 4, 1e-8, 0, 21)
    + pieces_of_ellipse(n_place(5, 5), 1, 3, 1e-5, 30, 22, ratio=2.0, random_cuts=True)
    + near_full_arc(n_place(-5, 0), 1e6, 90, 1e-12) + near_full_arc(n_place(-5, 0), 1e-6, 0, 1e-6, past=True)
    + near_full_arc(n_place(8, -8), 10, 45, 1e-9, backwards=True, ratio=0.5)
    + odd_arc(n_place(1, 1), 1, 0, 360.0) + odd_arc(n_place(1, 1), 1, 90, 0.0) + odd_arc(n_place(1, 1), 1, 45, -90.0)
    + odd_arc(n_place(3, 3), 1e6, 0, -360.0, ratio="barely") + odd_arc(n_place(3, 3), 1e-6, 180, 720.0),
    "noisy-arc-vertices": noisy_header(tol1=0.1, tol2=0.01, new_handles=True, type21=True)
    + arc_vertex_list(6, n_place(0, 0), 2.5, 1e-7, 31) + arc_vertex_list(8, n_place(-8, 4), 1, 1e-5, 32, closed=True)
    + arc_vertex_list(4, n_place(0, 10), 10, 1e-11, 33, type21=True) + nudged_copy(1, 1e-6, 34, reverse=True)
    + nudged_copy(1, 1e-10, 35) + straight_run(n_place(-10, -10), 0.5, 0, 40, 1e-5, 36)
    + straight_run(n_place(-10, -12), 1, 100, 20, 1e-12, 37, type21=True),
    "noisy-copies": noisy_header(tol1=1, tol2=0.001, place=2, true2=True, off=(1,))
    + pieces_of_line(n_place(0, 0), 1, 6, 0, 3, 1e-7, 41) + nudged_copy(0, 1e-5, 42)
    + nudged_copy(1, 1e-9, 43, reverse=True) + pieces_of_ellipse(n_place(4, 4), 2.5, 2, 1e-6, 90, 44, ratio=0.999)
    + nudged_copy(5, 1e-8, 45, reverse=True) + nudged_copy(4, 1e-12, 46)
    + near_full_arc(n_place(4, 4), 2.5, 0, 1e-7, ratio=0.999) + nudged_copy(9, 1e-6, 47),
}

if __name__ == "__main__":
    corpus = os.path.join(HERE, "corpus")
    os.makedirs(corpus, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(corpus, "seed-" + name), "wb") as f:
            f.write(data)
    print(f"{len(SEEDS)} seeds written to {corpus}")
