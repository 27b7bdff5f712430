#!/usr/bin/env python3
"""Sixteen paced units updated at once through gpsupdate-station.

Packs a data file (apdtool), starts 16 gpsunit-sim --pace-sleeps on 16 pseudo-
terminals (COM1 to COM16) and runs the station over them, once headless and
once with its window (off screen); mode "waiting" runs it headless and
hands-free, each unit taken up by its port's waiting run. Per mode it prints:

  wall / unit   the station's wall time (its first run's start to its last
                run's end; plain: the script's) against
                one unit's update time in the same run (the mean of the 16
                units' press-to-end seconds, and their longest)
  transfer      each unit's transfer against the wire floor (the worst of 16)
  turnaround    flash block reply complete to the next request's first byte,
                p50 / p99 / max across all units
  stall         the station's longest event-loop stall while the runs went on
  CPU           user + system seconds of the station and its children
                together, per unit update

The "plain" mode first runs the same 16 updates as gpsupdate-auto processes
started side by side by this script, without the station: what the machine
does without it.

usage: station_speed.py [--build DIR] [--blocks N | --sample] [--units 16]
                        [--modes plain,headless,window,waiting] [--traces] [--idle-cpus]
                        [--keep DIR]
Like update_speed.py it keeps the CPUs awake with lowest-priority spinners
unless given --idle-cpus.
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from units import start_sims, stop_sims  # noqa: E402
from update_speed import FLASH_BLOCK, PARAM_BLOCK, PARAM_BLOCKS, analyse, percentile  # noqa: E402


def pack(build, folder, blocks, sample):
    if sample:
        return os.path.join(build, "samples", "sample.apd"), 14044
    data = os.path.join(folder, f"blocks-{blocks}.apd")
    subprocess.run([os.path.join(build, "tools/apdtool/apdtool"), "pack", "--output", data,
                    "--flash-random", str(blocks * FLASH_BLOCK),
                    "--param-random", str(PARAM_BLOCKS * PARAM_BLOCK), "--seed", str(blocks),
                    "--data-version", "0601", "--tool-versions", "KQDV01.0000",
                    "--unit-versions", "GPSP01.2000"], check=True, stdout=subprocess.DEVNULL)
    return data, blocks


PACE = os.environ.get("STATION_BENCH_PACE", "--pace-sleeps")


def start_units(build, folder, units, mode):
    logs = [os.path.join(folder, f"{mode}-sim{port}.jsonl") for port in range(1, units + 1)]
    sims, env = start_sims(build, [
        (port, os.path.join(folder, f"{mode}-com{port}"),
         [PACE, "--reply-us", "0", "--erase-ms", "1000", "--check-ms", "1000", "--log", log,
          "--log-brief", "--serial", f"BENCH{port:04d}"])
        for port, log in zip(range(1, units + 1), logs)])
    return sims, logs, env


def run_plain(build, data, units, env):
    """The same units updated by gpsupdate-auto processes started side by
    side, without the station: what the machine does on its own."""
    runner = os.path.join(build, "app/gpsupdate-auto")
    env = dict(env, QT_QPA_PLATFORM="offscreen")
    start = time.monotonic()
    # Output to files, not pipes: a pipe nobody reads would stop its run.
    outputs = [open(os.path.join(os.path.dirname(data), f"plain-{port}.jsonl"), "w+")
               for port in range(1, units + 1)]
    children = [subprocess.Popen([runner, "--action", "update", "--port", str(port), "--file",
                                  data, "--timeout", "36000"], env=env, stdout=out,
                                 stderr=subprocess.DEVNULL)
                for port, out in zip(range(1, units + 1), outputs)]
    ends, cpu = [], 0.0
    for child, out in zip(children, outputs):
        _, status, usage = os.wait4(child.pid, 0)
        child.returncode = status
        cpu += usage.ru_utime + usage.ru_stime
        out.seek(0)
        lines = [json.loads(l) for l in out if l.startswith("{")]
        out.close()
        ends.append(lines[-1] if lines else {})
    wall = time.monotonic() - start
    done = sum(1 for e in ends if e.get("result") == "success")
    return {
        "status": 0 if done == units else 1, "done": done, "failed": units - done,
        "station_s": wall, "unit_s": [e.get("seconds", float("nan")) for e in ends],
        "stall_ms": max(e.get("max_stall_ms", float("nan")) for e in ends),
        "cpu_s": cpu, "cpu_station_s": 0.0, "stderr": "",
        "run_stall_ms": max(e.get("max_stall_ms", float("nan")) for e in ends),
    }


def run_station(build, folder, data, units, mode, traces, env):
    station = os.path.join(build, "app/gpsupdate-station")
    env = dict(env)
    args = [station, "--ports", f"1-{units}", "--file", data]
    if traces:
        trace_dir = os.path.join(folder, f"{mode}-traces")
        os.makedirs(trace_dir, exist_ok=True)
        args += ["--trace-dir", trace_dir]
    if mode == "window":
        env["QT_QPA_PLATFORM"] = "offscreen"
        args += ["--window", "--start", "--exit-when-done"]
        if not traces:
            args += ["--no-traces"]  # the window's default folder is left alone
    elif mode == "waiting":
        # Hands-free: each port's waiting run takes its unit as it answers.
        args += ["--json", "--continuous", "--units", str(units)]
    else:
        args += ["--json"]
    done = subprocess.run(args, env=env, capture_output=True, text=True)
    lines = [json.loads(l) for l in done.stdout.splitlines() if l.startswith("{")]
    final = next((l for l in lines if l.get("kind") == "station"), {})
    results = [l for l in lines if l.get("kind") == "result"]
    return {
        "status": done.returncode,
        "done": final.get("done", 0),
        "failed": final.get("failed", 0),
        "station_s": final.get("runs_seconds", float("nan")),
        "unit_s": [l["seconds"] for l in results],
        "stall_ms": final.get("max_stall_ms", float("nan")),
        "stall_at_s": final.get("max_stall_at_ms", 0) / 1000,
        "run_stall_ms": max((l.get("run_max_stall_ms", float("nan")) for l in results),
                            default=float("nan")),
        "cpu_s": final.get("cpu_station_s", 0) + final.get("cpu_children_s", 0),
        "cpu_station_s": final.get("cpu_station_s", 0),
        "stderr": done.stderr[-400:],
    }


def run_mode(build, folder, data, units, mode, traces):
    sims, logs, env = start_units(build, folder, units, mode)
    try:
        if mode == "plain":
            r = run_plain(build, data, units, env)
        else:
            r = run_station(build, folder, data, units, mode, traces, env)
    finally:
        r_sims = stop_sims(sims)
    figures = []
    for log in logs:
        with open(log) as f:
            figures.append(analyse(json.loads(l) for l in f if l.startswith("{")))
    r.update({"mode": mode, "figures": figures, "ratios": [f["ratio"] for f in figures],
              "cpu_sims_s": r_sims})
    return r


def print_mode(r, units):
    mean_unit = sum(r["unit_s"]) / len(r["unit_s"]) if r["unit_s"] else float("nan")
    worst_unit = max(r["unit_s"]) if r["unit_s"] else float("nan")
    wall = r["station_s"]
    p50 = percentile([f["turn_p50_ms"] for f in r["figures"]], 0.5)
    p99 = max(f["turn_p99_ms"] for f in r["figures"])
    tmax = max(f["turn_max_ms"] for f in r["figures"])
    rows = [
        ("result", f"{r['done']} done, {r['failed']} failed (exit {r['status']})"),
        ("wall / one unit", f"{wall:.2f} s / {mean_unit:.2f} s = {wall / mean_unit:.4f}"
                            f"  (longest unit {worst_unit:.2f} s = {wall / worst_unit:.4f};"
                            f" goal <= 1.02)"),
        ("transfer / floor", f"worst {max(r['ratios']):.4f}, best {min(r['ratios']):.4f}"
                             f"  (goal <= 1.02)"),
        ("turnaround p50 / p99 / max",
         f"{p50:.3f} / {p99:.3f} / {tmax:.3f} ms (p50 median of units, p99 and max worst unit)"),
        ("longest stall", f"station {r['stall_ms']} ms (goal <= 50 ms)"
                          + (f" at {r['stall_at_s']:.1f} s" if "stall_at_s" in r else "")
                          + f", runs {r['run_stall_ms']} ms"),
        ("CPU per unit update", f"{r['cpu_s'] / units:.3f} s (station {r['cpu_station_s']:.2f} s"
                                f" + runs, {r['cpu_s']:.2f} s in all; simulators"
                                f" {r['cpu_sims_s']:.2f} s)"),
    ]
    print(f"{r['mode']}:")
    width = max(len(name) for name, _ in rows)
    for name, value in rows:
        print(f"  {name:<{width}}  {value}")
    if r["status"] != 0:
        print("  stderr:", r["stderr"])
    print(flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--build", default=os.path.join(here, "..", "build", "default"))
    parser.add_argument("--blocks", type=int, default=2000)
    parser.add_argument("--sample", action="store_true", help="the sample file (14,044 blocks)")
    parser.add_argument("--units", type=int, default=16)
    parser.add_argument("--modes", default="plain,headless,window",
                        help="plain: gpsupdate-auto runs side by side without the station;"
                        " waiting: the station hands-free")
    parser.add_argument("--traces", action="store_true", help="each run writes its trace")
    parser.add_argument("--keep", help="folder for the files and logs (default: a temporary one)")
    parser.add_argument("--idle-cpus", action="store_true")
    args = parser.parse_args()
    folder = args.keep or tempfile.mkdtemp(prefix="station-speed-")
    os.makedirs(folder, exist_ok=True)
    data, blocks = pack(args.build, folder, args.blocks, args.sample)
    print(f"{args.units} paced units at once through gpsupdate-station, {blocks} flash blocks"
          f" each, traces {'on' if args.traces else 'off'}"
          + (", idle CPUs sleep" if args.idle_cpus
             else f", {os.cpu_count()} lowest-priority spinners keep the CPUs awake"))
    spinners = [] if args.idle_cpus else [
        subprocess.Popen(["nice", "-n", "19", sys.executable, "-c", "while True: pass"])
        for _ in range(os.cpu_count() or 1)]
    failed = False
    try:
        for mode in [m for m in args.modes.split(",") if m]:
            r = run_mode(args.build, folder, data, args.units, mode, args.traces)
            print_mode(r, args.units)
            failed |= r["status"] != 0
    finally:
        for spinner in spinners:
            spinner.kill()
            spinner.wait()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
