#!/usr/bin/env python3
"""What xq's live screen costs, measured against the bare sound path.

Plays a generated 4-channel XM and then a 32-channel XM (our own module
writer; every channel busy on every row) in xq at 80x24 in tmux, into a
private PulseAudio null sink. Beside xq, for the whole of each module's run,
bench/bare_feeder plays the same module into its own stream: the bare
libmikmod loop (same output mode, MikMod_Update over and over, no screen).
With 4 channels the bare loop costs little, so any overhead of ours shows;
with 32 the mixing dominates.

Each module goes through five phases. A phase's keys are sent, the screen
is watched until it shows they took effect, 2 s are left to settle, then
the phase is measured for --seconds (20 s by default):

  main screen          playing, nothing open
  All voices monitor   playing, `T` (64 meters over the main screen)
  pattern view         playing, `P` (scrolls a row ten times a second)
  Spectrum panel       playing, `F` (the analyser and the oscilloscopes
                       drawn with every frame)
  crossfeed on         playing on the main screen with the headphone
                       crossfeed's default preset (Options panel), then off
                       again: what the filter costs the sound thread
  paused               `p`: the "Paused..." notice (`p` again resumes)
  stopped              `t`: "Stopping..." for half a second, then nothing
                       moves (`p` plays again)

For every phase, over the same wall time for both processes:

  CPU       CPU ms per second of xq and of the bare loop (all threads, from
            /proc/PID/task/*/schedstat) and their ratio;
  wakeups   context switches per second of the whole process (all threads,
            voluntary + nonvoluntary, from /proc/PID/task/*/status), of xq
            and of the bare loop;
  terminal  the bytes xq writes to its terminal per second.

At the end of each module's run: the peak memory (VmHWM) of xq and of the
bare loop, and the difference. With --threads, each phase also lists every
thread of both processes (name from /proc/PID/task/TID/comm, CPU ms/s,
context switches/s): xq's main thread draws the screen and reads the keys,
its other "xq" thread feeds the sound, "threaded-ml" is the PulseAudio
client library's thread; in the bare loop the main thread feeds the sound.
A thread that ends during a phase is left out of that phase's figures.

Targets, each printed with "ok" or "MISSED", then how many were missed:

  playing (main screen and both panels)
    wakeups   xq's at most the bare loop's plus the frames xq draws (10 a
              second);
    CPU       ratio at most 1.05 on the main screen (crossfeed on
              included), 1.10 with a panel;
    terminal  at most 8 KB/s (the Spectrum panel: 25 KB/s);
  paused and stopped (the bare loop goes on playing; its figures are there
  for reference only)
    wakeups   at most 2 per second;
    terminal  nothing at all;
  peak memory at most 1 MB (1024 kB) above the bare loop's.

The benchmark shares the machine with whatever else runs: the two processes
are measured side by side so that drifts cancel in the ratio, but on a busy
machine the figures scatter; run it again before reading much into a
single miss.

Usage: python3 bench/run.py [--seconds S] [--modules 4|32 ...] [--threads]
                            [--build DIR]
(--modules 4 plays only the 4-channel module; the phase being measured is
named on stderr as the run goes.)
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time
from collections import namedtuple

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests", "harness"))
sys.path.insert(0, os.path.join(REPO, "tools"))

import modwriter as mw  # noqa: E402
from audio import NullSink  # noqa: E402
from term import Terminal  # noqa: E402

from binaries import player_binaries  # noqa: E402

MODULE_CHANNELS = (4, 32)
WIDTH, HEIGHT = 80, 24

# The screen's frame rate while xq plays: each frame may cost a wakeup the
# bare loop does not have.
SCREEN_FRAMES_PER_SECOND = 10
STILL_WAKEUPS_TARGET = 2.0                # per second, paused or stopped
MAIN_CPU_RATIO_TARGET = 1.05
PANEL_CPU_RATIO_TARGET = 1.10
PLAYING_BYTES_TARGET = 8 * 1024           # per second, at 80x24
SPECTRUM_BYTES_TARGET = 25 * 1024         # per second, at 80x24
PEAK_MEMORY_TARGET_KB = 1024              # above the bare loop's

SETTLE_SECONDS = 2.0      # after the keys took effect, before measuring
KEY_TIMEOUT = 10.0        # for the screen to show that the keys took effect
PHASE_SLACK_SECONDS = 5.0  # the keys and the screen waits of a phase


# -- the phases ---------------------------------------------------------------
# Each phase starts and ends on the main screen with the song playing:
# enter(term) gets to the state measured and returns once the screen shows
# it; leave(term) gets back.

def playing_row(rows):
    """The main screen's status row (pattern, position, ...) while it shows."""
    return rows[4] if "Pat:" in rows[4] else None


def wait_playing_on(term, before):
    """Waits for the status row to differ from `before`: the song moves."""
    term.wait_for(lambda rows: playing_row(rows) not in (None, before), timeout=KEY_TIMEOUT)


def open_panel(key, title):
    def enter(term):
        term.send_keys(key)
        term.wait_for(title, timeout=KEY_TIMEOUT)
    return enter


def close_panel(title):
    def leave(term):
        term.send_keys("q")
        term.wait_for(lambda rows: not any(title in r for r in rows) and playing_row(rows),
                      timeout=KEY_TIMEOUT)
    return leave


def crossfeed(preset_name):
    """Steps the Options panel's Crossfeed row until it shows `preset_name`,
    then closes the panel."""
    def step(term):
        term.send_keys("o", "PageDown", "Up")
        term.wait_for("Crossfeed", timeout=KEY_TIMEOUT)
        for _ in range(4):
            if any(f"[ {preset_name:<9s} ]" in r for r in term.screen()):
                break
            term.send_keys("Enter")
            time.sleep(0.2)
        term.wait_for(f"[ {preset_name:<9s} ]", timeout=KEY_TIMEOUT)
        close_panel(" Options ")(term)
    return step


def pause(term):
    term.send_keys("p")
    term.wait_for("Paused...", timeout=KEY_TIMEOUT)


def resume(term):
    still = playing_row(term.screen())
    term.send_keys("p")
    term.wait_for(lambda rows: not any("Paused..." in r for r in rows), timeout=KEY_TIMEOUT)
    wait_playing_on(term, still)


def stop(term):
    term.send_keys("t")
    term.wait_for("Stopping...", timeout=KEY_TIMEOUT)
    term.wait_for(lambda rows: not any("Stopping..." in r for r in rows) and playing_row(rows),
                  timeout=KEY_TIMEOUT)


def play_again(term):
    still = playing_row(term.screen())
    term.send_keys("p")
    wait_playing_on(term, still)


Phase = namedtuple("Phase", "label kind enter leave")
# kind: "main", "panel" or "spectrum" (playing), "still" (paused or stopped)
PHASES = (
    Phase("main screen", "main", None, None),
    Phase("All voices monitor", "panel", open_panel("T", " All voices"), close_panel(" All voices")),
    Phase("pattern view", "panel", open_panel("P", "Pattern "), close_panel("Pattern ")),
    Phase("Spectrum panel", "spectrum", open_panel("F", "[ Spectrum ]"), close_panel("[ Spectrum ]")),
    Phase("crossfeed on", "main", crossfeed("default"), crossfeed("off")),
    Phase("paused", "still", pause, resume),
    Phase("stopped", "still", stop, play_again),
)


# -- reading /proc ------------------------------------------------------------
Task = namedtuple("Task", "name cpu_ns switches")


def tasks(pid):
    """{tid: Task} for every thread of process `pid`: its name, its CPU
    time in nanoseconds (the scheduler's count, far finer than the clock
    ticks of /proc/PID/stat) and its context switches so far."""
    found = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        base = f"/proc/{pid}/task/{tid}"
        try:
            with open(f"{base}/comm") as f:
                name = f.read().strip()
            with open(f"{base}/schedstat") as f:
                cpu_ns = int(f.read().split()[0])
            switches = 0
            with open(f"{base}/status") as f:
                for line in f:
                    if line.startswith(("voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:")):
                        switches += int(line.split()[1])
        except (FileNotFoundError, ProcessLookupError):
            continue  # a thread that ended meanwhile
        found[int(tid)] = Task(name, cpu_ns, switches)
    return found


def peak_memory_kb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    raise RuntimeError(f"no VmHWM in /proc/{pid}/status")


ThreadRate = namedtuple("ThreadRate", "tid name cpu switches")  # ms/s, 1/s
Rates = namedtuple("Rates", "cpu switches threads")              # whole process


def rates(pid, before, after, wall):
    """The process's CPU ms and context switches per second between two
    readings of tasks(), in total and thread by thread. A thread that
    started meanwhile counts from zero; one that ended is left out."""
    threads = []
    for tid, end in sorted(after.items()):
        start = before.get(tid, Task(end.name, 0, 0))
        name = f"{end.name} (main)" if tid == pid else end.name
        threads.append(ThreadRate(tid, name, (end.cpu_ns - start.cpu_ns) / 1e6 / wall,
                                  (end.switches - start.switches) / wall))
    return Rates(sum(t.cpu for t in threads), sum(t.switches for t in threads), threads)


def measure(pids, seconds, output_size):
    """Rates of each process over the same `seconds` of wall time, after
    the settle time, and how much `output_size()` grew per second."""
    time.sleep(SETTLE_SECONDS)
    t0 = time.monotonic()
    before, b0 = [tasks(p) for p in pids], output_size()
    time.sleep(seconds)
    t1 = time.monotonic()
    after, b1 = [tasks(p) for p in pids], output_size()
    wall = t1 - t0
    return [rates(p, a, b, wall) for p, a, b in zip(pids, before, after)], (b1 - b0) / wall


# -- one module ---------------------------------------------------------------
PhaseResult = namedtuple("PhaseResult", "phase xq bare bytes")
ModuleResult = namedtuple("ModuleResult", "channels phases xq_peak_kb bare_peak_kb")


def run_module(xq, feeder, sink, song, channels, seconds):
    feeder_seconds = len(PHASES) * (seconds + SETTLE_SECONDS + PHASE_SLACK_SECONDS) + 20
    env = dict(os.environ)
    env.update(sink.client_vars())
    bare = subprocess.Popen([feeder, song, str(feeder_seconds)], env=env, stdin=subprocess.DEVNULL)
    results = []
    try:
        with Terminal([xq, song], width=WIDTH, height=HEIGHT, env=sink.client_vars()) as term:
            term.wait_for(playing_row, timeout=KEY_TIMEOUT)
            for phase in PHASES:
                print(f"  {channels} channels: {phase.label}", file=sys.stderr, flush=True)
                if phase.enter:
                    phase.enter(term)
                (xq_rates, bare_rates), out = measure([term.pid, bare.pid], seconds,
                                                      lambda: len(term.output_bytes()))
                if bare.poll() is not None:
                    raise RuntimeError(f"the bare loop ended during the {phase.label} phase")
                results.append(PhaseResult(phase, xq_rates, bare_rates, out))
                if phase.leave:
                    phase.leave(term)
            xq_peak, bare_peak = peak_memory_kb(term.pid), peak_memory_kb(bare.pid)
            term.send_keys("q")
            term.wait_exit(10)
    finally:
        bare.kill()
        bare.wait(timeout=30)
    return ModuleResult(channels, results, xq_peak, bare_peak)


# -- the report ---------------------------------------------------------------
class Verdicts:
    """Counts the targets and the misses."""

    def __init__(self):
        self.count = 0
        self.missed = 0

    def __call__(self, ok):
        self.count += 1
        self.missed += not ok
        return "ok" if ok else "MISSED"


ROW = "  {:<15s}{:>9s}{:>11s}{:>8s}   {:<30s}{}"


def print_threads(label, rates_of):
    print(f"    {label} threads   CPU ms/s  switches/s")
    for t in rates_of.threads:
        print(f"      {t.name:<18s} {t.cpu:8.1f}  {t.switches:10.1f}")


def print_module(result, seconds, verdict, threads):
    print(f"{result.channels}-channel XM, {WIDTH}x{HEIGHT}, {seconds:g} s per phase")
    print(ROW.format("", "xq", "bare loop", "ratio", "target", "").rstrip())
    for r in result.phases:
        if r.phase.kind == "still":
            print(f" {r.phase.label} (the bare loop plays on: its figures for reference)")
            print(ROW.format("CPU ms/s", f"{r.xq.cpu:.1f}", f"{r.bare.cpu:.1f}", "", "", "").rstrip())
            print(ROW.format("wakeups/s", f"{r.xq.switches:.1f}", f"{r.bare.switches:.1f}", "",
                             f"<= {STILL_WAKEUPS_TARGET:g}", verdict(r.xq.switches <= STILL_WAKEUPS_TARGET)))
            print(ROW.format("terminal B/s", f"{r.bytes:.0f}", "", "", "none", verdict(r.bytes == 0)))
        else:
            ratio = r.xq.cpu / r.bare.cpu if r.bare.cpu > 0 else float("inf")
            ratio_target = MAIN_CPU_RATIO_TARGET if r.phase.kind == "main" else PANEL_CPU_RATIO_TARGET
            bytes_target = SPECTRUM_BYTES_TARGET if r.phase.kind == "spectrum" else PLAYING_BYTES_TARGET
            wake_target = r.bare.switches + SCREEN_FRAMES_PER_SECOND
            print(f" {r.phase.label}")
            print(ROW.format("CPU ms/s", f"{r.xq.cpu:.1f}", f"{r.bare.cpu:.1f}", f"{ratio:.2f}",
                             f"ratio <= {ratio_target:.2f}", verdict(ratio <= ratio_target)))
            print(ROW.format("wakeups/s", f"{r.xq.switches:.1f}", f"{r.bare.switches:.1f}", "",
                             f"<= {wake_target:.1f} (bare + {SCREEN_FRAMES_PER_SECOND} frames)",
                             verdict(r.xq.switches <= wake_target)))
            print(ROW.format("terminal KB/s", f"{r.bytes / 1024:.1f}", "", "",
                             f"<= {bytes_target / 1024:g}", verdict(r.bytes <= bytes_target)))
        if threads:
            print_threads("xq       ", r.xq)
            print_threads("bare loop", r.bare)
    above = result.xq_peak_kb - result.bare_peak_kb
    print(" at the end")
    print(ROW.format("peak memory MB", f"{result.xq_peak_kb / 1024:.1f}", f"{result.bare_peak_kb / 1024:.1f}", "",
                     f"xq {above / 1024:+.2f}, <= +{PEAK_MEMORY_TARGET_KB / 1024:g}",
                     verdict(above <= PEAK_MEMORY_TARGET_KB)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seconds", type=float, default=20.0, help="measured time of each phase")
    parser.add_argument("--modules", type=int, nargs="+", choices=MODULE_CHANNELS,
                        default=list(MODULE_CHANNELS), metavar="CHANNELS",
                        help="the modules to play, by their channels: 4, 32 or both (default)")
    parser.add_argument("--threads", action="store_true", help="list every thread's figures too")
    parser.add_argument("--build", default=os.path.join(REPO, "build"))
    args = parser.parse_args()
    if args.seconds <= 0:
        parser.error("--seconds must be above 0")
    # xq's song must last through every phase, playing or not.
    song_seconds = len(PHASES) * (args.seconds + SETTLE_SECONDS + PHASE_SLACK_SECONDS) + 20
    positions = mw.positions_for(song_seconds)
    try:
        songs = {channels: mw.channels_song("xm", channels, positions) for channels in args.modules}
    except ValueError as e:
        parser.error(f"--seconds {args.seconds:g} asks for too long a song: {e}")
    xq, feeder = player_binaries(args.build)

    verdict = Verdicts()
    with tempfile.TemporaryDirectory(prefix="xqbench.") as files, NullSink() as sink:
        for channels in args.modules:
            song = os.path.join(files, f"channels{channels}.xm")
            mw.write_song(songs[channels], song)
            result = run_module(xq, feeder, sink, song, channels, args.seconds)
            print_module(result, args.seconds, verdict, args.threads)
            sys.stdout.flush()
    print(f"{verdict.missed} of {verdict.count} targets missed")


if __name__ == "__main__":
    main()
