#!/usr/bin/env python3
"""Does the sound hold on a busy machine? Measured against the bare loop.

A parallel build of xq itself (`cmake --build -j3` into a scratch folder,
again and again) runs for the whole benchmark. Meanwhile a continuous tone
(a 4-channel MOD that holds one square wave) is played into a private
PulseAudio null sink, in turn by xq in tmux at 80x24 on its main screen, by
xq with its Spectrum panel open (`F`) and the headphone crossfeed on, and by
bench/bare_feeder (the bare libmikmod loop: Player_Start, then MikMod_Update
over and over), 2 x 20 s each by default, and the sink is recorded. For each
it prints the silences of 10 ms or more and the silent milliseconds.
Target: xq, either way, has no gap where the bare loop has none.

Then xq plays the tone again beside the build while it is told to seek
every second (5 s forward, then back, through its control socket), and
while it is told to move on to the next module of a playlist of copies of
the tone every second: target, no gap either way.

Then a 32-channel module plays in xq while its terminal stops for 10 s (the
tmux server stopped with SIGSTOP, as an SSH link that stalls) and goes on
again: target, no gap.

Usage: python3 bench/busy.py [--seconds S] [--runs N] [--build DIR]
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests", "harness"))
sys.path.insert(0, os.path.join(REPO, "tools"))

import modwriter as mw  # noqa: E402
from audio import NullSink, Recorder  # noqa: E402
from term import Terminal  # noqa: E402

from binaries import player_binaries  # noqa: E402

GAP_MS = 10
SETTLE_SECONDS = 1.0  # the stream's start is left out
STALL_SECONDS = 10.0


class BuildLoop:
    """A parallel build of the project into a scratch folder, started
    again each time it ends, until stopped."""

    def __init__(self, jobs=3):
        self.jobs = jobs
        self.dir = tempfile.mkdtemp(prefix="xqbusy.")
        self.proc = None

    def __enter__(self):
        subprocess.run(["cmake", "-S", REPO, "-B", self.dir, "-DBUILD_TESTING=OFF"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        script = (f"while true; do cmake --build {self.dir} -j{self.jobs} --clean-first "
                  ">/dev/null 2>&1; done")
        self.proc = subprocess.Popen(["sh", "-c", script], start_new_session=True)
        time.sleep(3.0)  # the compilers are running
        return self

    def __exit__(self, *exc):
        os.killpg(self.proc.pid, signal.SIGKILL)
        self.proc.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


def silences(rec, start, end):
    found = rec.gaps(start, end, min_ms=GAP_MS)
    return len(found), sum(g.ms for g in found)


def record_xq(xq, song, sink, rec, seconds, spectrum=False):
    home = spectrum_home(spectrum)
    try:
        with Terminal([xq, song], width=80, height=24, env=sink.client_vars(), home=home) as term:
            if spectrum:
                term.wait_for("Pat:", timeout=15)
                term.send_keys("F")
                term.wait_for("[ Spectrum ]", timeout=15)
            start = rec.wait_for_sound(timeout=15) + rec.frames(SETTLE_SECONDS)
            end = rec.wait_until(start + rec.frames(seconds), timeout=seconds * 3 + 10)
            term.send_keys(*(["q", "q"] if spectrum else ["q"]))  # the panel, then the program
            term.wait_exit(15)
    finally:
        if home:
            shutil.rmtree(home, ignore_errors=True)
    return silences(rec, start, end)


def spectrum_home(spectrum):
    """A HOME whose options turn the crossfeed on, for the run with the
    Spectrum panel; None (a fresh one) otherwise."""
    if not spectrum:
        return None
    home = tempfile.mkdtemp(prefix="xqbusyhome.")
    os.mkdir(os.path.join(home, ".xq"))
    with open(os.path.join(home, ".xq", "options"), "w") as f:
        f.write("crossfeed=1\n")
    return home


def record_xq_spectrum(xq, song, sink, rec, seconds):
    return record_xq(xq, song, sink, rec, seconds, spectrum=True)


def record_feeder(feeder, song, sink, rec, seconds):
    env = dict(os.environ)
    env.update(sink.client_vars())
    proc = subprocess.Popen([feeder, song, str(seconds + SETTLE_SECONDS + 5)], env=env,
                            stdin=subprocess.DEVNULL)
    try:
        start = rec.wait_for_sound(timeout=15) + rec.frames(SETTLE_SECONDS)
        end = rec.wait_until(start + rec.frames(seconds), timeout=seconds * 3 + 10)
    finally:
        proc.kill()
        proc.wait()
    time.sleep(0.5)
    return silences(rec, start, end)


def record_remote_xq(xq, songs, sink, rec, seconds, request):
    """xq playing `songs`, told `request(n)` (the words after --remote)
    through its control socket once a second, n counting from 0."""
    runtime = tempfile.mkdtemp(prefix="xqbusy.")
    os.chmod(runtime, 0o700)
    env = dict(sink.client_vars(), XDG_RUNTIME_DIR=runtime)
    try:
        with Terminal([xq, *songs], width=80, height=24, env=env) as term:
            start = rec.wait_for_sound(timeout=15) + rec.frames(SETTLE_SECONDS)
            for n in range(int(seconds)):
                subprocess.run([xq, "--remote", *request(n)], env=dict(os.environ, **env),
                               stdin=subprocess.DEVNULL, capture_output=True, timeout=10)
                rec.wait_until(start + rec.frames(n + 1), timeout=10)
            end = rec.wait_until(start + rec.frames(seconds), timeout=seconds * 3 + 10)
            term.send_keys("q")
            term.wait_exit(15)
    finally:
        shutil.rmtree(runtime, ignore_errors=True)
    return silences(rec, start, end)


def record_seeking_xq(xq, song, sink, rec, seconds):
    return record_remote_xq(xq, [song], sink, rec, seconds, lambda n: ["seek", "+5" if n % 2 == 0 else "-5"])


def record_changing_xq(xq, song, sink, rec, seconds, files):
    # Copies of the tone, one for each change and the first.
    songs = []
    for n in range(int(seconds) + 1):
        copy = os.path.join(files, "tone%02d.mod" % n)
        shutil.copyfile(song, copy)
        songs.append(copy)
    return record_remote_xq(xq, songs, sink, rec, seconds, lambda n: ["next"])


def record_stalled_terminal(xq, song, sink, rec):
    with Terminal([xq, song], width=80, height=24, env=sink.client_vars()) as term:
        start = rec.wait_for_sound(timeout=15) + rec.frames(SETTLE_SECONDS)
        rec.wait_until(start + rec.frames(2))
        server = term.server_pid
        os.kill(server, signal.SIGSTOP)
        try:
            time.sleep(STALL_SECONDS)
        finally:
            os.kill(server, signal.SIGCONT)
        end = rec.wait_until(rec.mark() + rec.frames(2))
        term.send_keys("q")
        term.wait_exit(15)
    return silences(rec, start, end), (end - start) / rec.rate


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seconds", type=float, default=20.0)
    parser.add_argument("--runs", type=int, default=2)
    parser.add_argument("--build", default=os.path.join(REPO, "build"))
    args = parser.parse_args()
    xq, feeder = player_binaries(args.build)

    results = {"xq": [0, 0.0], "xq, Spectrum": [0, 0.0], "bare loop": [0, 0.0]}
    with tempfile.TemporaryDirectory(prefix="xqbusy.") as files, NullSink() as sink:
        rec = Recorder(sink)
        tone = os.path.join(files, "tone.mod")
        mw.write_song(mw.tone_song(channels=4, fmt="mod", positions=mw.positions_for(args.seconds * 2 + 30)), tone)
        wide = os.path.join(files, "thirtytwo.xm")
        mw.write_song(mw.channels_song("xm", 32, mw.positions_for(STALL_SECONDS + 30)), wide)
        with BuildLoop():
            for run in range(args.runs):
                for label, play in (("xq", record_xq), ("xq, Spectrum", record_xq_spectrum),
                                    ("bare loop", record_feeder)):
                    binary = feeder if label == "bare loop" else xq
                    count, ms = play(binary, tone, sink, rec, args.seconds)
                    results[label][0] += count
                    results[label][1] += ms
                    print(f"  run {run + 1}, {label:12s}: {count:3d} gaps, {ms:7.0f} ms silent", flush=True)
            seek_count, seek_ms = record_seeking_xq(xq, tone, sink, rec, args.seconds)
            print(f"  xq seeking every second: {seek_count:3d} gaps, {seek_ms:7.0f} ms silent", flush=True)
            change_count, change_ms = record_changing_xq(xq, tone, sink, rec, args.seconds, files)
            print(f"  xq changing module every second: {change_count:3d} gaps, {change_ms:7.0f} ms silent",
                  flush=True)
        (stall_count, stall_ms), span = record_stalled_terminal(xq, wide, sink, rec)

    total = args.runs * args.seconds
    print(f"Continuous tone beside a parallel build, {args.runs} x {args.seconds:.0f} s each")
    for label, (count, ms) in results.items():
        print(f"  {label:12s}  {count:4d} gaps of {GAP_MS} ms or more, {ms:8.0f} ms silent "
              f"({100.0 * ms / 1000.0 / total:5.1f} %)")
    for label in ("xq", "xq, Spectrum"):
        ok = results[label][0] == 0 or results["bare loop"][0] > 0
        print(f"  target: {label} without gaps where the bare loop has none  {'ok' if ok else 'MISSED'}")
    print(f"xq seeking every second beside the build, {args.seconds:.0f} s")
    print(f"  xq         {seek_count:4d} gaps, {seek_ms:8.0f} ms silent  "
          f"(target: none)  {'ok' if seek_count == 0 else 'MISSED'}")
    print(f"xq moving to the next module every second beside the build, {args.seconds:.0f} s")
    print(f"  xq         {change_count:4d} gaps, {change_ms:8.0f} ms silent  "
          f"(target: none)  {'ok' if change_count == 0 else 'MISSED'}")
    print(f"32-channel XM, terminal stopped for {STALL_SECONDS:.0f} s of {span:.0f} s recorded")
    print(f"  xq         {stall_count:4d} gaps, {stall_ms:8.0f} ms silent  "
          f"(target: none)  {'ok' if stall_count == 0 else 'MISSED'}")


if __name__ == "__main__":
    main()
