#!/usr/bin/env python3
"""How fast `xq --render` writes a WAV file, against real time.

Renders a generated 32-channel XM of about 60 s (the options file's default
output: 44.1 kHz, 16-bit stereo, high-quality mixer) three times and prints
the best wall time and the speed as a multiple of real time (target: at
least 20 times real time). No sound server and no terminal are involved.

Usage: python3 bench/render.py [--seconds S] [--build DIR]
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time
import wave

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tools"))

import modwriter as mw  # noqa: E402

SPEED_TARGET = 20.0
RUNS = 3


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seconds", type=float, default=60.0, help="song length (whole positions of 6.4 s)")
    parser.add_argument("--build", default=os.path.join(REPO, "build"))
    args = parser.parse_args()
    xq = os.path.join(args.build, "xq")
    if not os.access(xq, os.X_OK):
        sys.exit(f"{xq} is missing: build first (cmake --build {args.build})")

    with tempfile.TemporaryDirectory(prefix="xqbench.") as files:
        home = os.path.join(files, "home")
        os.makedirs(os.path.join(home, ".xq"))
        song = os.path.join(files, "thirtytwo.xm")
        mw.write_song(mw.channels_song("xm", 32, mw.positions_for(args.seconds)), song)
        out = os.path.join(files, "out.wav")
        env = dict(os.environ, HOME=home)
        best = float("inf")
        for _ in range(RUNS):
            start = time.monotonic()
            subprocess.run([xq, "--render", out, song], env=env, check=True, stdin=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            best = min(best, time.monotonic() - start)
        with wave.open(out) as w:
            audio = w.getnframes() / w.getframerate()

    speed = audio / best if best > 0 else float("inf")
    print(f"32-channel XM, {audio:.1f} s of song rendered to WAV, best of {RUNS}")
    print(f"  wall time   {best:8.2f} s")
    print(f"  speed       {speed:8.1f} x real time (target >= {SPEED_TARGET:.0f})  "
          f"{'ok' if speed >= SPEED_TARGET else 'MISSED'}")


if __name__ == "__main__":
    main()
