#!/usr/bin/env python3
"""A shop's day at a hands-free station, shortened: units come and go.

Packs a data file (apdtool), then puts one gpsunit-sim --pace-sleeps on each
of 16 pseudo-terminals (COM1 to COM16). Each simulator plays 10 units one after
another: a unit stays a while after its update, leaves, and the next arrives
after a random gap (--absent-ms plus up to --absent-jitter-ms). On each port
one unit in the ten, chosen at random, is pulled from its cable in the middle
of its flash transfer (the simulator's "pulled" fault). The station runs
headless and hands-free until it has seen all 160 units.

It checks, and prints:
  results     every unit's result is the one it should be: the pulled ones
              failed, every other one succeeded, none twice, none missing
  memories    each updated unit left with its memories equal to a unit
              updated alone by gpsupdate-auto (the simulators log the digests
              of each unit as it leaves the line)
  memory      the station's resident memory at the end against after the
              first unit's end (goal: within 10 %)
  leftovers   the station's open files after the first unit and at the end,
              and children still alive once the station has ended

usage: station_day.py [--build DIR] [--ports 16] [--units 10] [--blocks 1000]
                      [--gap-ms 2000] [--jitter-ms 8000] [--stay-ms 1500]
                      [--seed 1] [--keep DIR]
"""
import argparse
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from station_speed import PACE, pack  # noqa: E402
from units import children, start_sims, stop_sims  # noqa: E402

LEFT = re.compile(r"the unit (\S+) left the line, flash-digest (\w+), parameter-digest (\w+)")


def serial(port, unit):
    return f"DAY{port:02d}U{unit:02d}"


def reference_digests(build, folder, data):
    """What a unit holds after an update by gpsupdate-auto alone."""
    link = os.path.join(folder, "reference")
    sim = subprocess.Popen([os.path.join(build, "sim/gpsunit-sim"), "--link", link, "--reply-us",
                            "0", "--erase-ms", "500", "--check-ms", "500"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    sim.stdout.readline()
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", GPSUPDATE_COM1=link)
    subprocess.run([os.path.join(build, "app/gpsupdate-auto"), "--action", "update", "--port",
                    "1", "--file", data, "--no-history", "--timeout", "600"], env=env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    sim.send_signal(signal.SIGTERM)
    out = sim.communicate()[0]
    digests = dict(line.split() for line in out.splitlines() if "-digest " in line)
    return digests["flash-digest"], digests["parameter-digest"]


def start_units(folder, args, blocks, rng):
    units, logs, pulled = [], [], {}
    for port in range(1, args.ports + 1):
        log = os.path.join(folder, f"sim{port}.jsonl")
        unit = rng.randint(1, args.units)
        block = rng.randint(1, blocks)
        pulled[serial(port, unit)] = block
        arguments = [PACE, "--reply-us", "0", "--erase-ms", "1000", "--check-ms", "1000", "--log",
                     log, "--log-brief", "--seed", str(port), "--serial", serial(port, 1),
                     "--absent-ms", str(args.gap_ms), "--absent-jitter-ms", str(args.jitter_ms),
                     "--stay-ms", str(args.stay_ms),
                     "--fault", f"pulled:code=51,block={block},unit={unit}"]
        for n in range(2, args.units + 1):
            arguments += ["--next-serial", serial(port, n)]
        logs.append(log)
        units.append((port, os.path.join(folder, f"com{port}"), arguments))
    return logs, pulled, units


def proc_status(pid, key):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith(key + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return -1


def open_files(pid):
    try:
        return len(os.listdir(f"/proc/{pid}/fd"))
    except OSError:
        return -1


def run_station(build, folder, data, args, env):
    total = args.ports * args.units
    command = [os.path.join(build, "app/gpsupdate-station"), "--ports", f"1-{args.ports}",
               "--file", data, "--continuous", "--units", str(total), "--json",
               "--history", os.path.join(folder, "history.sqlite"),
               "--trace-dir", os.path.join(folder, "traces")]
    os.makedirs(os.path.join(folder, "traces"), exist_ok=True)
    station = subprocess.Popen(command, env=env, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
    results, seen, first, last, ends = [], set(), None, None, 0
    final = {}
    for line in station.stdout:
        seen |= children(station.pid)
        if not line.startswith("{"):
            continue
        entry = json.loads(line)
        if entry.get("kind") == "end":
            # A unit's run has ended: the first one, and the last of the day.
            ends += 1
            if ends in (1, total):
                sample = (proc_status(station.pid, "VmRSS"), open_files(station.pid))
                first, last = (sample, last) if ends == 1 else (first, sample)
        elif entry.get("kind") == "result":
            results.append(entry)
        elif entry.get("kind") == "station":
            final = entry
    station.wait()
    stderr = station.stderr.read()
    time.sleep(0.5)
    alive = [pid for pid in seen if os.path.exists(f"/proc/{pid}")]
    return station.returncode, results, final, first, last, alive, stderr


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--build", default=os.path.join(here, "..", "build", "default"))
    parser.add_argument("--ports", type=int, default=16)
    parser.add_argument("--units", type=int, default=10)
    parser.add_argument("--blocks", type=int, default=1000)
    parser.add_argument("--gap-ms", type=int, default=2000)
    parser.add_argument("--jitter-ms", type=int, default=8000)
    parser.add_argument("--stay-ms", type=int, default=1500)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--keep", help="keep the logs, traces and history in this folder")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    folder = args.keep or tempfile.mkdtemp(prefix="station-day-")
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(args.seed)
    data, blocks = pack(build, folder, args.blocks, False)
    reference = reference_digests(build, folder, data)
    logs, pulled, units = start_units(folder, args, blocks, rng)
    sims, env = start_sims(build, units)
    start = time.monotonic()
    try:
        status, results, final, first, last, alive, stderr = run_station(
            build, folder, data, args, env)
    finally:
        stop_sims(sims)
    wall = time.monotonic() - start

    left = {}
    for log in logs:
        with open(log) as f:
            for line in f:
                m = LEFT.search(line)
                if m:
                    left[m.group(1)] = (m.group(2), m.group(3))
    wrong = []
    by_serial = {}
    for r in results:
        by_serial.setdefault(r.get("serial", ""), []).append(r.get("result"))
    for port in range(1, args.ports + 1):
        for n in range(1, args.units + 1):
            s = serial(port, n)
            want = "failure" if s in pulled else "success"
            got = by_serial.get(s, [])
            if got != [want]:
                wrong.append(f"{s}: {got or 'no result'}, expected {want}")
            elif want == "success" and left.get(s) != reference:
                wrong.append(f"{s}: memories {left.get(s)} after its update, expected {reference}")
    strangers = sorted(set(by_serial) - {serial(p, n) for p in range(1, args.ports + 1)
                                          for n in range(1, args.units + 1)})
    wrong += [f"a result for {s or 'no serial'}: {by_serial[s]}" for s in strangers]

    total = args.ports * args.units
    print(f"{args.ports} ports x {args.units} units, {blocks} flash blocks each, one pulled per"
          f" port; {wall:.0f} s; station exit {status}")
    print(f"  results    {len(results)} of {total}: {final.get('done')} done,"
          f" {final.get('failed')} failed, {final.get('skipped')} skipped;"
          f" {len(wrong)} wrong")
    for w in wrong[:20]:
        print("    " + w)
    if first and last:
        print(f"  memory     resident {first[0]} KiB after the first unit, {last[0]} KiB at the"
              f" end ({100.0 * (last[0] - first[0]) / first[0]:+.1f} %, goal within 10 %)")
        print(f"  leftovers  open files {first[1]} after the first unit, {last[1]} at the end;"
              f" children alive after the station ended: {len(alive)}")
    print(f"  CPU        station {final.get('cpu_station_s', float('nan')):.1f} s, its runs"
          f" {final.get('cpu_children_s', float('nan')):.1f} s")
    if status != 0 and stderr:
        print("  stderr:", stderr[-400:])
    if not args.keep:
        shutil.rmtree(folder, ignore_errors=True)
    ok = (not wrong and len(results) == total and first and last and not alive
          and last[0] <= first[0] * 1.10 and last[1] <= first[1])
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
