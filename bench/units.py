"""Simulated units on pseudo-terminals, and a process's children, for the
station benches."""
import os
import signal
import subprocess


def start_sims(build, units):
    """Starts one gpsunit-sim per (port, link, arguments) and waits until each
    terminal is up. Returns the simulators and an environment that names each
    link as its COM port."""
    sim = os.path.join(build, "sim/gpsunit-sim")
    sims, env = [], dict(os.environ)
    for port, link, arguments in units:
        sims.append(subprocess.Popen([sim, "--link", link, *arguments], stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True))
        env[f"GPSUPDATE_COM{port}"] = link
    for unit in sims:
        unit.stdout.readline()  # the device path: the terminal is up
    return sims, env


def stop_sims(sims):
    """Stops the simulators; the CPU seconds they spent."""
    cpu = 0.0
    for unit in sims:
        unit.send_signal(signal.SIGTERM)
    for unit in sims:
        try:
            _, _, usage = os.wait4(unit.pid, 0)
            cpu += usage.ru_utime + usage.ru_stime
            unit.returncode = 0
        except ChildProcessError:  # already reaped: it ended on its own
            unit.wait()
        unit.stdout.close()
    return cpu


def children(pid):
    """The process's children now, started from any of its threads."""
    found = set()
    try:
        for task in os.listdir(f"/proc/{pid}/task"):
            with open(f"/proc/{pid}/task/{task}/children") as f:
                found.update(int(c) for c in f.read().split())
    except OSError:
        pass
    return found
