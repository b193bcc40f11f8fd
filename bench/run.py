#!/usr/bin/env python3
"""How much xq's live screen costs, measured against the bare sound path.

Plays a generated 32-channel module for a fixed time (20 s by default) at
80x24 in tmux into a private PulseAudio null sink, and prints, from this one
run, with both playing at the same time (each into its own stream):

  - xq's CPU seconds per second of playback, the same for
    bench/bare_feeder (the same module, output mode and feeding of the
    driver, no screen), and their ratio (target: at most 1.2);
  - the bytes xq writes to its terminal per second (target: at most 20 KB/s).

Then it opens the All voices monitor (`T`: 64 meters over the main screen)
and measures the same again for as long (targets: 1.25 and 25 KB/s), and
once more with the pattern view (`P`, after closing the monitor), which
scrolls by a row ten times a second (the same targets).

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

from binaries import player_binaries  # noqa: E402

CPU_RATIO_TARGET = 1.2
BYTES_PER_SECOND_TARGET = 20 * 1024
# What xq shows while measuring: the main screen alone, then with the All
# voices monitor open over it, then the pattern view instead (the keys that
# get there, its own targets).
PHASES = (
    ("main screen", (), CPU_RATIO_TARGET, BYTES_PER_SECOND_TARGET),
    ("All voices monitor", ("T",), 1.25, 25 * 1024),
    ("pattern view", ("q", "P"), 1.25, 25 * 1024),
)
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


def cpu_rates(pids, seconds, output_size):
    """CPU seconds per second of each process over the same `seconds` of
    wall time, and how much `output_size()` grew per second. Measuring the
    processes side by side cancels the drifts of a shared machine."""
    time.sleep(SETTLE_SECONDS)
    c0, b0, t0 = [cpu_seconds(p) for p in pids], output_size(), time.monotonic()
    time.sleep(seconds)
    c1, b1, t1 = [cpu_seconds(p) for p in pids], output_size(), time.monotonic()
    wall = t1 - t0
    return [(b - a) / wall for a, b in zip(c0, c1)], (b1 - b0) / wall


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seconds", type=float, default=20.0)
    parser.add_argument("--build", default=os.path.join(REPO, "build"))
    args = parser.parse_args()
    xq, feeder = player_binaries(args.build)

    with tempfile.TemporaryDirectory(prefix="xqbench.") as files, NullSink() as sink:
        song = os.path.join(files, "thirtytwo.xm")
        needed = len(PHASES) * (args.seconds + SETTLE_SECONDS) + 5
        mw.write_song(mw.channels_song("xm", 32, mw.positions_for(needed)), song)

        env = dict(os.environ)
        env.update(sink.client_vars())
        feeder_run = subprocess.Popen([feeder, song, str(needed)], env=env, stdin=subprocess.DEVNULL)
        results = []
        try:
            with Terminal([xq, song], width=80, height=24, env=sink.client_vars()) as term:
                term.wait_for(lambda rows: "Pat:" in rows[4], timeout=10)
                for label, keys, ratio_target, bytes_target in PHASES:
                    if keys:
                        term.send_keys(*keys)
                    (xq_cpu, feeder_cpu), xq_bytes = cpu_rates([term.pid, feeder_run.pid], args.seconds,
                                                              lambda: len(term.output_bytes()))
                    results.append((label, ratio_target, bytes_target, xq_cpu, feeder_cpu, xq_bytes))
                term.send_keys("q", "q")
                term.wait_exit(10)
        finally:
            feeder_run.kill()
            feeder_run.wait(timeout=30)

    print(f"32-channel XM, 80x24, {args.seconds:.0f} s of playback each")
    for label, ratio_target, bytes_target, xq_cpu, feeder_cpu, xq_bytes in results:
        ratio = xq_cpu / feeder_cpu if feeder_cpu > 0 else float("inf")
        print(f" {label}")
        print(f"  xq           {xq_cpu * 1000:8.1f} ms CPU per second")
        print(f"  bare feeder  {feeder_cpu * 1000:8.1f} ms CPU per second")
        print(f"  ratio        {ratio:8.2f}   (target <= {ratio_target})  "
              f"{'ok' if ratio <= ratio_target else 'MISSED'}")
        print(f"  terminal     {xq_bytes / 1024:8.1f} KB/s (target <= {bytes_target // 1024} KB/s)  "
              f"{'ok' if xq_bytes <= bytes_target else 'MISSED'}")


if __name__ == "__main__":
    main()
