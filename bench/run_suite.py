#!/usr/bin/python3
"""Runs the benchmark programs that bench/run has built, pinned to one core,
interleaved (the order alternates between repetitions), keeps each row's best
time and writes a Markdown table of results and ratios, a CSV of every
measurement and an SVG chart of the ratios to the peer (report_files.py)."""
import argparse
import json
import os
import platform
import shutil
import subprocess
import sys
import tempfile

import report_files

FANN_DATA = os.environ.get("KORU32_FANN_DATA", "/usr/share/doc/libfann-dev/examples/datasets")

# Targets, least ratio ours / peer: float forward and every float training
# rule 2x FANN on these nets, 8.24 forward 1.5x FANN's fixed point.
TARGET_NETS = ("iris 4-8-3", "breast-cancer 30-16-2", "thyroid 21-16-3", "digits 64-32-10",
               "mushroom 125-32-2")
FORWARD_TARGET = 2.0
TRAIN_TARGET = 2.0
FIXED_FORWARD_TARGET = 1.5
RECALL_TARGET = 0.9
RULES = ("plain", "momentum", "batch", "adaptive")
FANN_RULE = {"plain": "incremental", "momentum": "incremental + momentum", "batch": "batch", "adaptive": "iRPROP-"}


def parse_args():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--smoke", action="store_true")
    parser.add_argument("--reps", type=int, default=None)
    parser.add_argument("--core", type=int, default=None)
    parser.add_argument("--out", default=None)
    return parser.parse_args()


def processor():
    name, flags = platform.processor() or "unknown", set()
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name") and name in ("unknown", "", platform.processor()):
                    name = line.split(":", 1)[1].strip()
                if line.startswith("flags"):
                    flags = set(line.split(":", 1)[1].split())
    except OSError:
        pass
    return name, flags


def run_rows(command, env=None):
    """Runs one program; returns {row: (seconds, work, unit)} and its notes."""
    try:
        out = subprocess.run(command, check=True, capture_output=True, text=True, env=env).stdout
    except (OSError, subprocess.CalledProcessError) as error:
        return {}, [f"{' '.join(command)} failed: {error}"]
    rows, notes = {}, []
    for line in out.splitlines():
        if line.startswith("#"):
            notes.append(line[1:].strip())
            continue
        parts = line.split("\t")
        if len(parts) == 4:
            rows[parts[0]] = (float(parts[1]), float(parts[2]), parts[3])
    return rows, notes


def rate(row):
    seconds, work, _ = row
    return work / seconds if seconds > 0 else 0.0


def giga(value):
    return f"{value / 1e9:.3f}"


def main():
    args = parse_args()
    bench = os.path.join(args.build, "bench")
    reps = args.reps or (1 if args.smoke else 5)
    cores = os.cpu_count() or 1
    core = args.core if args.core is not None else cores - 1
    pin = ["taskset", "-c", str(core)] if shutil.which("taskset") else []
    if not pin:
        print("taskset not found: the programs run unpinned")
    smoke = ["--smoke"] if args.smoke else []
    name, flags = processor()

    programs = {"koru32": [os.path.join(bench, "koru32_peer")] + smoke}
    fann = os.path.join(bench, "fann_peer")
    fann_fixed = os.path.join(bench, "fann_fixed_peer")
    fixed_dir = tempfile.mkdtemp(prefix="koru32-fann-fixed-")
    if os.path.exists(fann) and os.path.exists(fann_fixed):
        if not os.path.isdir(FANN_DATA):
            print(f"FANN data sets not found ({FANN_DATA}, package libfann-doc): their rows are skipped")
        programs["fann"] = [fann] + smoke
        subprocess.run([fann, "--save-fixed", fixed_dir] + smoke, capture_output=True)
        programs["fann-fixed"] = [fann_fixed, "--from", fixed_dir] + smoke
    else:
        print("FANN 2.2 not found (package libfann-dev): the FANN rows are skipped")
    numpy_env = dict(os.environ, OPENBLAS_NUM_THREADS="1", OMP_NUM_THREADS="1")
    # OpenBLAS may not recognise a virtual machine's processor and fall back
    # to an old kernel; name the core type for the numpy runs alone.
    if "OPENBLAS_CORETYPE" not in os.environ:
        if "avx512f" in flags:
            numpy_env["OPENBLAS_CORETYPE"] = "SkylakeX"
        elif "avx2" in flags:
            numpy_env["OPENBLAS_CORETYPE"] = "Haswell"
    has_numpy = subprocess.run([sys.executable, "-c", "import numpy"], capture_output=True).returncode == 0
    if has_numpy:
        programs["numpy"] = [sys.executable, os.path.join(os.path.dirname(__file__), "numpy_reference.py")] + smoke
    else:
        print("numpy not found (package python3-numpy): the numpy rows are skipped")

    best, notes = {}, set()
    order = list(programs)
    for rep in range(reps):
        # Alternate the order so that no program always runs first.
        for key in (order if rep % 2 == 0 else list(reversed(order))):
            rows, program_notes = run_rows(pin + programs[key], numpy_env if key == "numpy" else None)
            notes.update(program_notes)
            for row, value in rows.items():
                if (key, row) not in best or value[0] < best[(key, row)][0]:
                    best[(key, row)] = value
    shutil.rmtree(fixed_dir, ignore_errors=True)

    micro = []
    micro_path = os.path.join(bench, "koru32_micro_benchmarks")
    micro_args = pin + [micro_path, "--benchmark_format=json"] + (["--smoke"] if args.smoke else [])
    result = subprocess.run(micro_args, capture_output=True, text=True)
    if result.returncode == 0:
        micro = json.loads(result.stdout).get("benchmarks", [])
    else:
        notes.add("micro benchmarks failed: " + result.stderr.strip()[:200])

    chart = []
    lines = report(args, name, flags, core, reps, best, micro, sorted(notes), chart)
    text = "\n".join(lines) + "\n"
    out = args.out or os.path.join(args.build, "bench-results.md")
    with open(out, "w") as f:
        f.write(text)
    stem = out[:-3] if out.endswith(".md") else out
    report_files.write_csv(stem + ".csv", best, ceiling_rate(best))
    report_files.write_svg(stem + ".svg", f"KORU32 / FANN 2.2 throughput, {name}", chart, CHART_OPERATIONS,
                           (FIXED_FORWARD_TARGET, FORWARD_TARGET))
    print(text)
    print(f"(written to {out}, {stem}.csv and {stem}.svg)")
    return 0


def ceiling_rate(best):
    """Terms per second of the ceiling probe, or None."""
    row = next((value for (key, row), value in best.items() if key == "koru32" and row.startswith("ceiling")),
               None)
    return 1.0 / row[0] if row and row[0] > 0 else None


CHART_OPERATIONS = ("forward float32", "forward 8.24") + tuple(f"train {rule} float32" for rule in RULES)


def connections(layers):
    """Weights of a layered net named like 4-8-3, the bias rows included."""
    sizes = [int(n) for n in layers.split("-")]
    return sum((a + 1) * b for a, b in zip(sizes, sizes[1:]))


def small_net_floor(ours, best):
    """The smallest net's time per pattern beside the time the forward targets
    allow the smallest benchmark net: how much of that time the calls of one
    pattern already take before any arithmetic of a real net."""
    net = TARGET_NETS[0]
    rows = []
    for fmt, peer_key, target in (("float32", "fann", FORWARD_TARGET), ("fixed", "fann-fixed", FIXED_FORWARD_TARGET)):
        floor, mine, theirs = ours.get(f"floor {fmt} 1-1-1"), ours.get(f"fwd {fmt} {net}"), \
            best.get((peer_key, f"fwd {fmt} {net}"))
        if not (floor and mine and theirs):
            continue
        per_pattern = connections(net.split()[1]) * 1e9
        rows.append(f"| {'float32' if fmt == 'float32' else '8.24'} | {per_pattern / rate(mine):.0f} | "
                    f"{per_pattern / rate(theirs):.0f} | {per_pattern / rate(theirs) / target:.0f} | "
                    f"{1e9 / rate(floor):.0f} |")
    if not rows:
        return []
    return ["## The smallest nets: time per pattern (ns)", "",
            f"The forward pass through PutSlab, BpPropagate on each computed slab and GetSlab, on {net} and on "
            "the smallest net with a hidden layer (1-1-1), against the time the target ratio allows.", "",
            f"| format | {net} | FANN | target allows | 1-1-1 |", "|---|---|---|---|---|"] + rows + [""]


def verdict(ratio, target):
    if target is None:
        return ""
    return "met" if ratio >= target else "MISSED"


def report(args, name, flags, core, reps, best, micro, notes, chart):
    vector = "AVX-512" if "avx512f" in flags else "AVX2" if "avx2" in flags else "baseline x86-64"
    lines = [
        "# KORU32 benchmark results" + (" (smoke run: timings mean nothing)" if args.smoke else ""),
        "",
        f"Processor: {name} ({vector}); one core (core {core}); best of {reps} interleaved repetition(s), "
        "each itself the best of 3 timed batches. Ratios are ours / peer in throughput (above 1: ours faster). "
        "'of ceiling' is our rate over the machine's ceiling for the float forward arithmetic (below).",
        "",
    ]
    ceiling = ceiling_rate(best)
    summary = []
    ours = {row: value for (key, row), value in best.items() if key == "koru32"}

    def peer(key, row):
        return best.get((key, row))

    lines += ["## Backpropagation against FANN 2.2 (G connections or connection updates per second)", "",
              "| measure | net | KORU32 | of ceiling | FANN | ratio | target | |",
              "|---|---|---|---|---|---|---|---|"]
    nets = sorted({" ".join(row.split()[-2:]) for row in ours if row.startswith(("fwd", "train"))},
                  key=lambda n: (n.split()[0] == "random", int(n.split()[1].split("-")[0])))
    for net in nets:
        targeted = net in TARGET_NETS
        pairs = [("forward float32 (fann_run)", "forward float32", f"fwd float32 {net}", "fann",
                  f"fwd float32 {net}", FORWARD_TARGET if targeted else None),
                 ("forward 8.24 vs FANN fixed", "forward 8.24", f"fwd fixed {net}", "fann-fixed", f"fwd fixed {net}",
                  FIXED_FORWARD_TARGET if targeted else 1.0)]
        for rule in RULES:
            pairs.append((f"train {rule} float32 vs {FANN_RULE[rule]}", f"train {rule} float32",
                          f"train {rule} float32 {net}", "fann", f"train {rule} float32 {net}",
                          TRAIN_TARGET if targeted else None))
        for rule in RULES:
            pairs.append((f"train {rule} 8.24 vs FANN float {FANN_RULE[rule]}", None, f"train {rule} fixed {net}",
                          "fann", f"train {rule} float32 {net}", 1.0))
        bars = {}
        for label, operation, our_row, key, peer_row, target in pairs:
            if our_row not in ours:
                continue
            mine = rate(ours[our_row])
            of_ceiling = f"{mine / ceiling:.2f}" if ceiling else "-"
            other = peer(key, peer_row)
            if other is None:
                lines.append(f"| {label} | {net} | {giga(mine)} | {of_ceiling} | - | - | {target or ''} | |")
                continue
            theirs = rate(other)
            ratio = mine / theirs if theirs > 0 else 0.0
            if operation:
                bars[operation] = ratio
            if targeted and target and target > 1.0:
                summary.append(f"{label.split(' vs ')[0].split(' (')[0]} {net.split()[1]} {ratio:.2f}")
            lines.append(f"| {label} | {net} | {giga(mine)} | {of_ceiling} | {giga(theirs)} | {ratio:.2f} | "
                         f"{'≥ ' + str(target) if target else ''} | {verdict(ratio, target)} |")
        if bars:
            chart.append((net, bars))
    lines.append("")

    lines += small_net_floor(ours, best)

    large = ours.get("fwd float32 random 1024-1024-10")
    if ceiling:
        lines += ["## Large nets against the arithmetic's ceiling", "",
                  f"Ceiling (every term exact in double, rounded to single after each addition, weights in the "
                  f"first-level cache): {giga(ceiling)} G terms/s."]
        if large:
            fraction = rate(large) / ceiling if ceiling > 0 else 0.0
            lines.append(f"Forward pass 1024-1024-10: {giga(rate(large))} G connections/s = {fraction:.2f} of the "
                         f"ceiling (target ≥ 0.50: {verdict(fraction, 0.5)}).")
        lines.append("")

    lines += ["## Pattern nets and LVQ against numpy (patterns per second)", "",
              "| row | KORU32 | numpy, one call per pattern | ratio | numpy, batched | ratio | target |",
              "|---|---|---|---|---|---|---|"]
    for row in sorted(r for r in ours if r.startswith(("recall", "lvq1"))):
        mine = rate(ours[row])
        one = peer("numpy", row)
        batch = peer("numpy", row + " batched")
        cells = [row, f"{mine:,.0f}"]
        ratios = []
        for other in (one, batch):
            if other is None:
                cells += ["-", "-"]
                ratios.append(None)
            else:
                ratios.append(mine / rate(other))
                cells += [f"{rate(other):,.0f}", f"{ratios[-1]:.2f}"]
        target = None
        # Digits from 1000 stored patterns on, and every whole training set.
        if row.startswith("recall") and (int(row.split("n=")[1]) >= 1000 or row.split()[2] != "digits"):
            target = RECALL_TARGET
        if target and ratios[0] is not None:
            summary.append(f"{row.split()[1]} {row.split()[2]} n={row.split('n=')[1]} {ratios[0]:.2f}")
        cells.append(f"≥ {target} vs one call per pattern: {verdict(ratios[0], target)}"
                     if target and ratios[0] is not None else "")
        lines.append("| " + " | ".join(cells) + " |")
    lines.append("")

    if micro:
        lines += ["## Micro benchmarks (Google Benchmark, KORU32 alone)", "",
                  "| benchmark | ns per call | G conn/s | patterns/s | G terms/s | bytes/net |",
                  "|---|---|---|---|---|---|"]
        for b in micro:
            if b.get("run_type") == "aggregate":
                continue
            unit = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}.get(b.get("time_unit", "ns"), 1.0)
            cells = [b["name"], f"{b['real_time'] * unit:,.1f}",
                     giga(b["conn/s"]) if "conn/s" in b else "",
                     f"{b['patterns/s']:,.0f}" if "patterns/s" in b else "",
                     giga(b["terms/s"]) if "terms/s" in b else "",
                     f"{b['bytes/net']:,.0f}" if "bytes/net" in b else ""]
            lines.append("| " + " | ".join(cells) + " |")
        lines.append("")
    if notes:
        lines += ["Notes: " + "; ".join(notes), ""]
    if summary:
        lines += [f"Ratios to the peers on {name} ({vector}), targeted rows: " + "; ".join(summary) + ".", ""]
    return lines


if __name__ == "__main__":
    sys.exit(main())
