#!/usr/bin/env python3
"""Turns bench_chain's JSON output (medians of the repetitions) into the one table of ./bench.sh.

Usage: table.py RESULT.json
Times are CPU time per host block divided by the frames of the block (ns per frame). Ratios are to
the straightforward reference loop measured in the same run; they carry from machine to machine,
the absolute times do not.
"""
import json
import sys

PATHS = ["reference", "plain", "sse2", "avx2", "avx512"]
GOAL_BASE = 0.5    # baseline SSE2 at blocks of 256 frames and more
GOAL_WIDE = 0.2    # AVX2 and AVX-512 at blocks of 256 frames and more
GOAL_ANY = 1.05    # every path at every block size


def load(path):
    with open(path) as f:
        data = json.load(f)
    runs = {}
    for b in data["benchmarks"]:
        if b.get("error_occurred"):
            runs[b["run_name"]] = None
            continue
        agg = b.get("aggregate_name")
        if agg not in (None, "median"):
            continue
        if agg is None and b["run_name"] in runs:
            continue  # keep the median when there are repetitions
        runs[b["run_name"]] = b
    # Fixed iteration counts and manual timing add suffixes to the names: index by the plain name too.
    for name in list(runs):
        plain = name.split("/iterations:")[0]
        runs.setdefault(plain, runs[name])
    return data["context"], runs


def per_frame(run):
    if not run:
        return None
    frames = run.get("frames", 1.0)
    return run["cpu_time"] / frames if run["time_unit"] == "ns" else None


def fmt(v, digits=1):
    return "-" if v is None else f"{v:.{digits}f}"


def mark(ok):
    return "" if ok is None else (" ok" if ok else " MISSED")


def main():
    context, runs = load(sys.argv[1])
    blocks = sorted({int(name.split("/")[2]) for name in runs
                     if name.startswith("Chain/") and name.split("/")[2].isdigit()})
    out = []
    out.append("Chain through processReplacing (32-bit host buffers, two channels, Effect and Cabinet on,")
    out.append("44100 Hz, a minute of guitar-like input), CPU ns per frame, median of the repetitions.")
    out.append("Ratio = path / reference (the straightforward loop in the same plug-in, same run).")
    out.append("")
    head = f"{'block':>6} " + "".join(f"{p:>10}" for p in PATHS) + "   " + "".join(
        f"{p + '/ref':>12}" for p in PATHS[1:])
    out.append(head)
    out.append("-" * len(head))
    worst_any = {p: 0.0 for p in PATHS[1:]}
    worst_256 = {p: 0.0 for p in PATHS[1:]}
    for b in blocks:
        t = {p: per_frame(runs.get(f"Chain/{p}/{b}")) for p in PATHS}
        ref = t["reference"]
        line = f"{b:>6} " + "".join(f"{fmt(t[p]):>10}" for p in PATHS) + "   "
        for p in PATHS[1:]:
            r = t[p] / ref if (t[p] is not None and ref) else None
            line += f"{fmt(r, 3):>12}"
            if r is not None:
                worst_any[p] = max(worst_any[p], r)
                if b >= 256:
                    worst_256[p] = max(worst_256[p], r)
        out.append(line)
    out.append("")
    out.append("Worst ratio at blocks >= 256 and at any block size, against the goals:")
    for p in PATHS[1:]:
        goal = GOAL_BASE if p == "sse2" else GOAL_WIDE if p in ("avx2", "avx512") else None
        ok256 = None if goal is None else worst_256[p] <= goal
        out.append(f"  {p:>7}: >=256: {worst_256[p]:.3f}" + (f" (goal {goal}){mark(ok256)}" if goal else "")
                   + f"   any: {worst_any[p]:.3f} (goal {GOAL_ANY}){mark(worst_any[p] <= GOAL_ANY)}")

    out.append("")
    out.append("Silence against signal (a loud second, then digital silence), ns per frame:")
    for b in (64, 512):
        for p in PATHS:
            s = per_frame(runs.get(f"Silence/{p}/{b}"))
            g = per_frame(runs.get(f"Chain/{p}/{b}"))
            if s is None or g is None:
                continue
            out.append(f"  {p:>9} block {b:>4}: signal {g:7.2f}  silence {s:7.2f}  silence/signal "
                       f"{s / g:.3f}{mark(abs(s / g - 1) <= 0.10)}")

    out.append("")
    out.append("Work around the chain (plug-in mutex, channel binding, widening and narrowing):")
    out.append("processReplacing with float buffers against the block reaction called directly on doubles.")
    for b in (64, 512):
        for p in PATHS:
            e = per_frame(runs.get(f"Chain/{p}/{b}"))
            k = per_frame(runs.get(f"Kernel/{p}/{b}"))
            if e is None or k is None:
                continue
            extra = e / k - 1
            goal = mark(extra <= 0.05) if b == 64 else ""
            out.append(f"  {p:>9} block {b:>4}: entry {e:7.2f}  chain alone {k:7.2f}  overhead "
                       f"{100 * extra:+5.1f} %{goal}")

    out.append("")
    png = runs.get("Startup/libpng_six_images")
    first = runs.get("Startup/first_instance")
    later = runs.get("Startup/later_instance")
    if png and first and later:
        tp, tf, tl = png["real_time"] / 1e6, first["real_time"] / 1e6, later["real_time"] / 1e6
        out.append("Start-up (15 samples, each in a fresh process; mean, median over repetitions), ms:")
        out.append(f"  libpng alone, the six images: {tp:10.2f}")
        out.append(f"  first instance:               {tf:10.2f}   first / libpng  {tf / tp:.2f} (goal 1.5){mark(tf / tp <= 1.5)}")
        out.append(f"  each later instance:          {tl:10.2f}   later / first   {tl / tf:.3f} (goal 0.05){mark(tl / tf <= 0.05)}")

    redraw = runs.get("BM_EditorFullRedraw")
    floor = runs.get("BM_EditorRasterFloor")
    idle = runs.get("BM_EditorIdleTick")
    if redraw and floor and idle:
        out.append("")
        out.append("Editor (213 x 326), CPU time:")
        out.append(f"  full redraw:  {redraw['cpu_time']:10.0f} {redraw['time_unit']}")
        out.append(f"  raster floor: {floor['cpu_time']:10.0f} {floor['time_unit']}   redraw / floor "
                   f"{redraw['cpu_time'] / floor['cpu_time']:.2f} (goal 2){mark(redraw['cpu_time'] / floor['cpu_time'] <= 2)}")
        out.append(f"  idle tick:    {idle['cpu_time']:10.1f} {idle['time_unit']}{mark(idle['cpu_time'] < 1000)} (goal < 1 us)")

    mem = runs.get("BM_MemoryPerInstance")
    if mem:
        out.append("")
        out.append("Memory per instance:")
        out.append(f"  {int(mem['bytes_per_instance'])} bytes per instance: the object {int(mem['object_bytes'])}, "
                   f"its noise table {int(mem['noise_table_bytes'])}, the editor surface "
                   f"{int(mem.get('surface_bytes', 0))}, the rest channel and adapter buffers (at a "
                   f"4096-frame block size)")
        out.append(f"  over 400 blocks of use with "
                   f"parameter changes and resets: {int(mem['heap_growth_in_use'])} bytes in "
                   f"{int(mem['allocations_in_use'])} allocations{mark(mem['heap_growth_in_use'] == 0)}")
        out.append("  (decoded editor images are shared by all instances through the bitmap cache, made once.)")

    out.append("")
    out.append(f"Machine: {context.get('host_name', '?')}, {context.get('num_cpus', '?')} CPUs at "
               f"{context.get('mhz_per_cpu', '?')} MHz (nominal), load average at start "
               f"{', '.join(f'{x:.2f}' for x in context.get('load_avg', []))}")
    print("\n".join(out))


if __name__ == "__main__":
    main()
