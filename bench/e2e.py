#!/usr/bin/python3
"""End to end, as users get it: the release `drawclean --all` on generated
floor plans, and beside it, in the same run, the ezdxf + shapely script
(peer_clean.py) doing the same jobs, up to --peer-max entities (the peer
takes minutes and gigabytes beyond). Wall time, CPU time (which a busy
machine does not inflate) and peak memory of each process, drawclean's read / passes / write, the ratio to the peer and the
object counts of both; then how drawclean's time grows from size to size,
and the targets at 64k, 256k and 1M entities when those sizes ran; then how long
drawclean takes to read each plan beside `wc -l` on the same file (best of
--read-runs, the file in the page cache).

    bench/e2e.py [--sizes 1000,4000,16000,64000,256000,1000000] [--drawclean PATH] [--no-peer]

Build first: cmake --preset release && cmake --build --preset release
Plans are generated once into build/bench-plans/ (same seed, same file).
"""
import argparse
import json
import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BENCH = os.path.join(ROOT, "bench")
POINT_TOL, SIZE_TOL = "0.005", "0.001"


def measured(cmd, stdout=subprocess.DEVNULL):
    """Runs cmd; answers (exit status, wall seconds, CPU seconds, peak RSS in MiB, stdout)."""
    t = time.perf_counter()
    out_r, out_w = os.pipe() if stdout is subprocess.PIPE else (None, None)
    pid = os.fork()
    if pid == 0:
        try:
            if out_w is not None:
                os.dup2(out_w, 1)
            else:
                devnull = os.open(os.devnull, os.O_WRONLY)
                os.dup2(devnull, 1)
            os.execvp(cmd[0], cmd)
        finally:
            os._exit(127)
    text = b""
    if out_r is not None:
        os.close(out_w)
        with os.fdopen(out_r, "rb") as f:
            text = f.read()
    _, status, usage = os.wait4(pid, 0)
    wall = time.perf_counter() - t
    cpu = usage.ru_utime + usage.ru_stime
    return os.waitstatus_to_exitcode(status), wall, cpu, usage.ru_maxrss / 1024.0, text.decode()


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--sizes", default="1000,4000,16000,64000,256000,1000000")
    ap.add_argument("--peer-max", type=int, default=256000, help="run the peer only up to this many entities")
    ap.add_argument("--drawclean", default=os.path.join(ROOT, "build/release/runner/drawclean"))
    ap.add_argument("--no-peer", action="store_true", help="run drawclean only")
    ap.add_argument("--markdown", action="store_true", help="also print the figures as a Markdown table")
    ap.add_argument("--read-runs", type=int, default=5, help="runs of the read measurement, the best counts")
    a = ap.parse_args(argv)
    if not os.access(a.drawclean, os.X_OK):
        sys.exit(f"e2e.py: {a.drawclean} not found: build the release preset first")
    plans = os.path.join(ROOT, "build", "bench-plans")
    os.makedirs(plans, exist_ok=True)

    rows = []
    for n in [int(s) for s in a.sizes.split(",")]:
        plan = os.path.join(plans, f"plan{n}.dxf")
        if not os.path.exists(plan):
            subprocess.run([os.path.join(BENCH, "floorplan.py"), str(n), plan], check=True)
        report = os.path.join(plans, f"plan{n}.report.json")
        rc, wall, cpu, peak, _ = measured([a.drawclean, "--all", "-t", POINT_TOL, "-s", SIZE_TOL, "-q", plan,
                                      "-o", os.path.join(plans, f"plan{n}.clean.dxf"), "--report", report])
        if rc != 0:
            sys.exit(f"e2e.py: drawclean failed on {plan} (exit {rc})")
        with open(report) as f:
            r = json.load(f)
        row = dict(n=r["totalBefore"], dc=wall, dcCpu=cpu, dcMiB=peak, dcAfter=r["totalAfter"], timing=r["timing"])
        if not a.no_peer and n <= a.peer_max:
            rc, pwall, pcpu, ppeak, out = measured([os.path.join(BENCH, "peer_clean.py"), plan,
                                              os.path.join(plans, f"plan{n}.peer.dxf"), "-t", POINT_TOL,
                                              "-s", SIZE_TOL], stdout=subprocess.PIPE)
            if rc != 0:
                sys.exit(f"e2e.py: the peer script failed on {plan} (exit {rc})")
            p = json.loads(out)
            row.update(peer=pwall, peerCpu=pcpu, peerMiB=ppeak, peerAfter=p["after"], peerTiming=p["seconds"])
        rows.append(row)
        print_row(row)
        sys.stdout.flush()

    if a.markdown:
        print_markdown(rows)
    print_targets(rows)
    print(f"\nreading beside wc -l (best of {a.read_runs}):")
    for n in [int(s) for s in a.sizes.split(",")]:
        print_read(read_vs_wc(a.drawclean, os.path.join(plans, f"plan{n}.dxf"), a.read_runs))
    print("\ngrowth of drawclean's wall time:")
    for x, y in zip(rows, rows[1:]):
        print(f"  {x['n']:>7} -> {y['n']:>7} entities ({y['n'] / x['n']:.1f}x): time x{y['dc'] / x['dc']:.2f} "
              f"(CPU x{y['dcCpu'] / x['dcCpu']:.2f}), "
              f"peak memory x{y['dcMiB'] / x['dcMiB']:.2f}")


def read_vs_wc(drawclean, plan, runs):
    """Best of `runs`: drawclean's own read time (reading the file and mapping
    it into the host, from its report, with no pass on and nothing written)
    and the wall time of `wc -l` on the same file."""
    report = plan + ".read.json"
    dc, wc = [], []
    for _ in range(runs):
        rc, wall, _, _, _ = measured(["wc", "-l", plan])
        if rc != 0:
            sys.exit(f"e2e.py: wc -l failed on {plan}")
        wc.append(wall)
        rc, _, _, _, _ = measured([drawclean, "--no-degenerate", "--no-vertex-cleanup", "-n", "-q", plan,
                                   "--report", report])
        if rc != 0:
            sys.exit(f"e2e.py: drawclean failed on {plan} (exit {rc})")
        with open(report) as f:
            r = json.load(f)
        dc.append(r["timing"]["read"])
    return dict(n=r["totalBefore"], mb=os.path.getsize(plan) / 1e6, read=min(dc), wc=min(wc))


def print_read(r):
    print(f"  {r['n']:>7,} entities, {r['mb']:6.1f} MB: drawclean reads in {r['read']:.3f} s "
          f"({r['mb'] / r['read']:.0f} MB/s), wc -l {r['wc']:.3f} s: {r['read'] / r['wc']:.1f} x wc -l")


def print_targets(rows):
    """The end-to-end targets, from the plans nearest 64k, 256k and 1M entities."""
    def near(n):
        return min(rows, key=lambda r: abs(r["n"] - n) / n) if rows else None
    r64, r256, r1m = near(64000), near(256000), near(1000000)
    if not rows or len({id(r64), id(r256), id(r1m)}) < 3 or abs(r1m["n"] - 1000000) > 100000:
        return
    print("\ntargets (wall time, CPU time in brackets):")
    for big, small, what in ((r1m, r256, "time(1M)/time(256k)"), (r256, r64, "time(256k)/time(64k)")):
        ratio = big["dc"] / small["dc"]
        print(f"  {what} = {ratio:.2f} ({big['dcCpu'] / small['dcCpu']:.2f}) <= 4.5: "
              f"{'met' if ratio <= 4.5 else 'MISSED'}")
    t = r256["timing"]
    io = t["read"] + t["write"]
    print(f"  passes at 256k {t['passes']:.2f} s <= 3 x (read + write) = {3 * io:.2f} s: "
          f"{'met' if t['passes'] <= 3 * io else 'MISSED'}")
    print(f"  peak memory at 1M {r1m['dcMiB']:.1f} MiB < 1024 MiB: {'met' if r1m['dcMiB'] < 1024 else 'MISSED'}")


def print_markdown(rows):
    print("\n| entities | drawclean wall / CPU | peak | read / passes / write | objects left "
          "| peer wall / CPU | peak | objects left | peer / drawclean, wall / CPU |")
    print("|---|---|---|---|---|---|---|---|---|")
    for r in rows:
        t = r["timing"]
        peer = (f"{r['peer']:.2f} / {r['peerCpu']:.2f} s | {r['peerMiB']:.1f} MiB | {r['peerAfter']:,} | "
                f"{r['peer'] / r['dc']:.1f} / {r['peerCpu'] / r['dcCpu']:.1f}" if "peer" in r else "| | |")
        print(f"| {r['n']:,} | {r['dc']:.2f} / {r['dcCpu']:.2f} s | {r['dcMiB']:.1f} MiB | {t['read']:.2f} / "
              f"{t['passes']:.2f} / {t['write']:.2f} s | {r['dcAfter']:,} | {peer} |")


def print_row(r):
    t = r["timing"]
    line = (f"{r['n']:>7} entities | drawclean {r['dc']:8.2f} s (CPU {r['dcCpu']:.2f} s) {r['dcMiB']:7.1f} MiB "
            f"(read {t['read']:.2f} / passes {t['passes']:.2f} / write {t['write']:.2f}) -> {r['dcAfter']} objects")
    if "peer" in r:
        pt = r["peerTiming"]
        line += (f" | peer {r['peer']:8.2f} s (CPU {r['peerCpu']:.2f} s) {r['peerMiB']:7.1f} MiB "
                 f"(read {pt['read']:.2f} / passes {pt['passes']:.2f} / write {pt['write']:.2f}) -> "
                 f"{r['peerAfter']} objects | drawclean/peer time {r['dc'] / r['peer']:.2f}")
    print(line)


if __name__ == "__main__":
    main(sys.argv[1:])
