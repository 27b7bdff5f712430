#!/usr/bin/env python3
"""What a hands-free station costs while nothing happens.

Two cases, each for --seconds (60) after a --settle (10 s) start-up:

  absent     16 ports with a device each: gpsunit-sim --absent-ms 3600000 on
             16 pseudo-terminals, a line where no unit ever answers
  no-device  16 port numbers whose devices do not exist

The station runs headless, --continuous, at its default greeting interval
(or --poll-seconds). CPU is read from /proc at the start and the end of the
measured stretch: the station's utime + stime + cutime + cstime (its ended
children included) plus utime + stime of each child alive then (a child
alive at the start and at the end counts its difference; one that started
or ended within counts what it spent within). The simulators are not
counted. Prints per case the CPU as a share of one CPU and the number of
children that ran.

usage: station_idle.py [--build DIR] [--ports 16] [--seconds 60] [--settle 10]
                       [--poll-seconds S] [--cases absent,no-device]
"""
import argparse
import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from units import children, start_sims, stop_sims  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


def stat(pid):
    """(utime + stime, cutime + cstime) in ticks, or None when gone."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
    except OSError:
        return None
    return int(fields[11]) + int(fields[12]), int(fields[13]) + int(fields[14])


def snapshot(station):
    own, ended = stat(station)
    live = {}
    for child in children(station):
        s = stat(child)
        if s is not None:
            live[child] = s[0]
    return own + ended, live


def measure(build, folder, data, ports, case, args):
    sims, env = [], dict(os.environ)
    if case == "absent":
        sims, env = start_sims(build, [(port, os.path.join(folder, f"com{port}"),
                                        ["--absent-ms", "3600000"]) for port in range(1, ports + 1)])
    else:
        for port in range(1, ports + 1):
            env[f"GPSUPDATE_COM{port}"] = os.path.join(folder, f"none{port}")
    command = [os.path.join(build, "app/gpsupdate-station"), "--ports", f"1-{ports}",
               "--file", data, "--continuous", "--json", "--no-traces"]
    if args.poll_seconds:
        command += ["--poll-seconds", str(args.poll_seconds)]
    out = open(os.path.join(folder, f"{case}-station.jsonl"), "w")
    station = subprocess.Popen(command, env=env, stdout=out, stderr=subprocess.DEVNULL)
    time.sleep(args.settle)
    spent_a, live_a = snapshot(station.pid)
    seen = set(live_a)
    start = time.monotonic()
    end = start + args.seconds
    live_b = live_a
    while time.monotonic() < end:  # children that come and go within
        time.sleep(0.2)
        live_b = snapshot(station.pid)[1]
        seen |= set(live_b)
    spent_b, live_b = snapshot(station.pid)
    wall = time.monotonic() - start
    # Ended children are in the station's cutime + cstime at the end with
    # all they spent; what they had spent by the start was in live_a.
    ticks = spent_b - spent_a
    ticks += sum(live_b.values()) - sum(t for c, t in live_a.items())
    station.send_signal(signal.SIGTERM)
    station.wait(30)
    out.close()
    stop_sims(sims)
    seconds = ticks / TICKS
    return seconds, wall, len(seen)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(here, "..", "build", "default"))
    parser.add_argument("--ports", type=int, default=16)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--settle", type=float, default=10)
    parser.add_argument("--poll-seconds", type=float, default=0)
    parser.add_argument("--cases", default="absent,no-device")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    data = os.path.join(build, "samples", "sample.apd")
    with tempfile.TemporaryDirectory(prefix="station-idle-") as folder:
        for case in args.cases.split(","):
            cpu, wall, count = measure(build, folder, data, args.ports, case, args)
            print(f"{case:9s}  {args.ports} ports, {wall:.1f} s: station + children "
                  f"{cpu:.2f} CPU s = {100 * cpu / wall:.2f}% of one CPU "
                  f"({count} children)", flush=True)


if __name__ == "__main__":
    sys.exit(main())
