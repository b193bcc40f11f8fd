#!/usr/bin/env python3
"""How much xq's live screen costs, measured against the bare sound path.

Plays a generated 32-channel module for a fixed time (20 s by default) at
80x24 in tmux into a private PulseAudio null sink, and prints, from this one
run:

  - xq's CPU seconds per second of playback, the same for
    bench/bare_feeder (the same module, output mode and feeding of the
    driver, no screen), and their ratio (target: at most 1.2);
  - the bytes xq writes to its terminal per second (target: at most 20 KB/s).

Usage: python3 bench/run.py [--seconds S] [--build DIR]
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests", "harness"))
sys.path.insert(0, os.path.join(REPO, "tools"))

import modwriter as mw  # noqa: E402
from audio import NullSink  # noqa: E402
from term import Terminal  # noqa: E402

CPU_RATIO_TARGET = 1.2
BYTES_PER_SECOND_TARGET = 20 * 1024
SETTLE_SECONDS = 2.0  # start-up and the first fill of the driver's buffer are left out
def cpu_seconds(pid):
    """CPU time of a running process, all its threads (the sound library
    runs one), in seconds; read from the scheduler's nanosecond counts,
    which are far finer than the clock ticks of /proc/PID/stat."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/schedstat") as f:
                total += int(f.read().split()[0])
        except (FileNotFoundError, ProcessLookupError):
            pass  # a thread that ended meanwhile
    return total / 1e9


def measure(pid, seconds, output_size=None):
    """CPU seconds per second over `seconds` of wall time, and, when
    `output_size` is given, how much it grew per second."""
    time.sleep(SETTLE_SECONDS)
    c0, t0 = cpu_seconds(pid), time.monotonic()
    b0 = output_size() if output_size else 0
    time.sleep(seconds)
    c1, t1 = cpu_seconds(pid), time.monotonic()
    b1 = output_size() if output_size else 0
    wall = t1 - t0
    return (c1 - c0) / wall, (b1 - b0) / wall


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seconds", type=float, default=20.0)
    parser.add_argument("--build", default=os.path.join(REPO, "build"))
    args = parser.parse_args()
    xq = os.path.join(args.build, "xq")
    feeder = os.path.join(args.build, "bench", "bare_feeder")
    for binary in (xq, feeder):
        if not os.access(binary, os.X_OK):
            sys.exit(f"{binary} is missing: build first (cmake --build {args.build})")

    with tempfile.TemporaryDirectory(prefix="xqbench.") as files, NullSink() as sink:
        song = os.path.join(files, "thirtytwo.xm")
        needed = args.seconds + SETTLE_SECONDS + 5
        mw.write_song(mw.channels_song("xm", 32, mw.positions_for(needed)), song)

        with Terminal([xq, song], width=80, height=24, env=sink.client_vars()) as term:
            term.wait_for(lambda rows: "Pat:" in rows[4], timeout=10)
            xq_cpu, xq_bytes = measure(term.pid, args.seconds, lambda: len(term.output_bytes()))
            term.send_keys("q")
            term.wait_exit(10)

        env = dict(os.environ)
        env.update(sink.client_vars())
        proc = subprocess.Popen([feeder, song, str(args.seconds + SETTLE_SECONDS + 1)], env=env,
                                stdin=subprocess.DEVNULL)
        try:
            feeder_cpu, _ = measure(proc.pid, args.seconds)
        finally:
            proc.wait(timeout=30)

    ratio = xq_cpu / feeder_cpu if feeder_cpu > 0 else float("inf")
    print(f"32-channel XM, 80x24, {args.seconds:.0f} s of playback")
    print(f"  xq           {xq_cpu * 1000:8.1f} ms CPU per second")
    print(f"  bare feeder  {feeder_cpu * 1000:8.1f} ms CPU per second")
    print(f"  ratio        {ratio:8.2f}   (target <= {CPU_RATIO_TARGET})  {'ok' if ratio <= CPU_RATIO_TARGET else 'MISSED'}")
    print(f"  terminal     {xq_bytes / 1024:8.1f} KB/s (target <= {BYTES_PER_SECOND_TARGET // 1024} KB/s)  "
          f"{'ok' if xq_bytes <= BYTES_PER_SECOND_TARGET else 'MISSED'}")


if __name__ == "__main__":
    main()
