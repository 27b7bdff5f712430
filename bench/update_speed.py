#!/usr/bin/env python3
"""Speed and footprint of a whole update over a paced pseudo-terminal.

For each data file size: packs a file (apdtool), starts gpsunit-sim with
--pace (the wire modelled at the line's speed, 10 bits a byte), runs a whole
update through gpsupdate-auto, and reads the simulator's timing log and the
runner's end line. Prints one table per file:

  transfer      first flash block request to last parameter block reply
  floor         the wire time of every block frame both ways at 115200 baud,
                plus the 5 ms frame space after each parameter block reply
  turnaround    flash block reply complete to the next request's first byte
  stall         longest lateness of the runner's 10 ms heartbeat
  memory        the runner's resident memory when idle and at its peak, and
                its private part (without pages of program and font files)

usage: update_speed.py [--build DIR] [--sizes 1000,10000,71000] [--quick]
                       [--hold-back-ms N] [--idle-cpus] [--keep DIR]
--quick leaves the largest file out (it takes about 25 minutes of wire time).

A CPU that has nothing to do between two blocks sleeps, and on a virtual
machine waking it again can take several hundred microseconds: time that is
the machine's, not the tool's. So while it measures, the benchmark keeps each
CPU busy with a spinner at the lowest priority, which gives way at once to
the tool and the simulator. --idle-cpus measures without them.
"""
import argparse
import json
import math
import os
import signal
import subprocess
import sys
import tempfile
import time

BAUD = 115200
BITS_PER_BYTE = 10
FRAME_SPACE_US = 5000  # a parameter block reply ends on 5 ms of silence
FLASH_BLOCK = 224
PARAM_BLOCKS = 40
PARAM_BLOCK = 64


def wire_us(length, baud=BAUD):
    """Microseconds a frame of `length` bytes takes on the wire."""
    return length * BITS_PER_BYTE * 1_000_000 / baud


def percentile(values, fraction):
    """The value at the given fraction of the sorted list (nearest rank)."""
    if not values:
        return float("nan")
    ordered = sorted(values)
    rank = max(1, math.ceil(fraction * len(ordered) - 1e-9))
    return ordered[min(rank, len(ordered)) - 1]


def analyse(entries):
    """Figures of one update from the simulator's log entries (dicts)."""
    block = (50, 51)
    floor = 0.0
    first_request = None
    last_reply_end = None
    turnarounds = []
    pending_reply = None  # the last block reply handed out, waiting for "written"
    stage_change = float("nan")
    last_written = None   # when the last flash block reply reached the host
    for e in entries:
        kind, code = e.get("kind"), e.get("code")
        if kind == "host-frame" and code in block:
            floor += wire_us(e["length"])
            begin = e.get("read_us", e["t_us"] - wire_us(e["length"]))
            if first_request is None and code == 51:
                first_request = begin
            if last_written is not None:
                # Flash block to flash block; the way into the parameter
                # blocks passes two state changes of the sequence (20 ms each
                # by design) and is shown on its own.
                if code == 51:
                    turnarounds.append(begin - last_written)
                else:
                    stage_change = begin - last_written
                last_written = None
        elif kind == "unit-frame" and code in block:
            floor += wire_us(e["length"]) + (FRAME_SPACE_US if code == 50 else 0)
            pending_reply = code
        elif kind == "line" and e.get("note") == "written" and pending_reply is not None:
            if pending_reply == 51:
                last_written = e["t_us"]
            last_reply_end = e["t_us"]
            pending_reply = None
    transfer = (last_reply_end - first_request) if first_request is not None else float("nan")
    return {
        "transfer_s": transfer / 1e6,
        "floor_s": floor / 1e6,
        "ratio": transfer / floor if floor else float("nan"),
        "turn_p50_ms": percentile(turnarounds, 0.50) / 1000,
        "turn_p99_ms": percentile(turnarounds, 0.99) / 1000,
        "turn_max_ms": max(turnarounds) / 1000 if turnarounds else float("nan"),
        "replies": len(turnarounds) + 1,
        "stage_change_ms": stage_change / 1000,
    }


def run_size(build, folder, blocks, hold_back_ms):
    apdtool = os.path.join(build, "tools/apdtool/apdtool")
    sim = os.path.join(build, "sim/gpsunit-sim")
    runner = os.path.join(build, "app/gpsupdate-auto")
    data = os.path.join(folder, f"blocks-{blocks}.apd")
    subprocess.run([apdtool, "pack", "--output", data, "--flash-random", str(blocks * FLASH_BLOCK),
                    "--param-random", str(PARAM_BLOCKS * PARAM_BLOCK), "--seed", str(blocks),
                    "--data-version", "0601", "--tool-versions", "KQDV01.0000",
                    "--unit-versions", "GPSP01.2000"], check=True, stdout=subprocess.DEVNULL)
    link = os.path.join(folder, "com3")
    log = os.path.join(folder, f"sim-{blocks}.jsonl")
    sim_args = [sim, "--link", link, "--pace", "--reply-us", "0", "--erase-ms", "1000",
                "--check-ms", "1000", "--log", log, "--log-brief",
                "--flash-size", str(max(4 << 20, (blocks * FLASH_BLOCK + 0xFFFF) & ~0xFFFF))]
    if hold_back_ms:
        sim_args += ["--hold-back-ms", str(hold_back_ms)]
    unit = subprocess.Popen(sim_args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    unit.stdout.readline()  # the device path: the terminal is up
    env = dict(os.environ, GPSUPDATE_COM3=link)
    env.setdefault("QT_QPA_PLATFORM", "offscreen")
    start = time.monotonic()
    done = subprocess.run([runner, "--action", "update", "--port", "3", "--file", data,
                           "--timeout", str(int(blocks * 0.03) + 120)],
                          env=env, capture_output=True, text=True)
    seconds = time.monotonic() - start
    unit.send_signal(signal.SIGTERM)
    unit.communicate(timeout=30)
    lines = [json.loads(l) for l in done.stdout.splitlines() if l.startswith("{")]
    end = lines[-1] if lines else {}
    with open(log) as f:
        figures = analyse(json.loads(l) for l in f if l.startswith("{"))
    figures.update({
        "blocks": blocks,
        "file_kib": os.path.getsize(data) // 1024,
        "result": end.get("result", "none"),
        "run_s": seconds,
        "stall_ms": end.get("max_stall_ms", float("nan")),
        "peak_kib": end.get("peak_rss_kib", 0),
        "idle_kib": end.get("idle_rss_kib", 0),
        "peak_private_kib": end.get("peak_private_kib", 0),
        "idle_private_kib": end.get("idle_private_kib", 0),
    })
    return figures


def print_table(f):
    budget = f["idle_kib"] + 3 * f["file_kib"]
    rows = [
        ("data file", f"{f['blocks']} flash + {PARAM_BLOCKS} parameter blocks, {f['file_kib']} KiB"),
        ("result", f"{f['result']} (whole run {f['run_s']:.1f} s)"),
        ("transfer / floor", f"{f['transfer_s']:.3f} s / {f['floor_s']:.3f} s = {f['ratio']:.4f}"
                             f"  (goal <= 1.01)"),
        ("turnaround p50 / p99 / max",
         f"{f['turn_p50_ms']:.3f} / {f['turn_p99_ms']:.3f} / {f['turn_max_ms']:.3f} ms"
         f"  (goal p99 <= 0.5 ms)"),
        ("  last flash to first parameter", f"{f['stage_change_ms']:.1f} ms (two state changes)"),
        ("longest event-loop stall", f"{f['stall_ms']} ms  (goal <= 50 ms)"),
        ("resident memory idle / peak",
         f"{f['idle_kib']} / {f['peak_kib']} KiB  (goal peak <= {budget} KiB)"),
        ("  private part idle / peak",
         f"{f['idle_private_kib']} / {f['peak_private_kib']} KiB"
         f"  (+{f['peak_private_kib'] - f['idle_private_kib']} KiB for a"
         f" {f['file_kib']} KiB file)"),
    ]
    width = max(len(name) for name, _ in rows)
    for name, value in rows:
        print(f"  {name:<{width}}  {value}")
    print(flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--build", default=os.path.join(here, "..", "build", "default"))
    parser.add_argument("--sizes", default="1000,10000,71000")
    parser.add_argument("--quick", action="store_true", help="leave the largest file out")
    parser.add_argument("--hold-back-ms", type=int, default=0)
    parser.add_argument("--keep", help="folder for the files and logs (default: a temporary one)")
    parser.add_argument("--idle-cpus", action="store_true",
                        help="let idle CPUs sleep (their wake-up time counts in the figures)")
    args = parser.parse_args()
    sizes = [int(s) for s in args.sizes.split(",") if s]
    if args.quick:
        sizes = [s for s in sizes if s != max(sizes)] or sizes
    folder = args.keep or tempfile.mkdtemp(prefix="update-speed-")
    os.makedirs(folder, exist_ok=True)
    print(f"update speed over a paced pseudo-terminal at {BAUD} baud"
          + (f", replies held back {args.hold_back_ms} ms" if args.hold_back_ms else "")
          + (", idle CPUs sleep" if args.idle_cpus
             else f", {os.cpu_count()} lowest-priority spinners keep the CPUs awake"))
    spinners = [] if args.idle_cpus else [
        subprocess.Popen(["nice", "-n", "19", sys.executable, "-c", "while True: pass"])
        for _ in range(os.cpu_count() or 1)]
    failed = False
    try:
        for blocks in sizes:
            figures = run_size(args.build, folder, blocks, args.hold_back_ms)
            print_table(figures)
            failed |= figures["result"] != "success"
    finally:
        for spinner in spinners:
            spinner.kill()
            spinner.wait()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
