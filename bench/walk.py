#!/usr/bin/env python3
"""How long the walk of a song takes: the work xq does at every load, before
the module sounds, to find its songs and their lengths (the library's tick
run through each song, mixing nothing). A load must not hold the first sound
back by more than 50 ms.

Walks a generated 4-channel song of 10 minutes, the 32-channel XM of the
other benchmarks (about 60 s), a song that loops for ever (walked to its
first repeat) and a module of three songs, five times each, and prints the
best time of each.

Usage: python3 bench/walk.py [--build DIR]
"""

import argparse
import os
import subprocess
import sys
import tempfile

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tools"))

import modwriter as mw  # noqa: E402

TARGET_MS = 50.0


def endless_song():
    song = mw.tone_song(channels=8, positions=10)
    last = song.patterns[song.orders[-1]].copy()
    song.patterns.append(last)
    last.set(last.rows - 1, 0, effect=mw.FX_JUMP, param=0)
    song.orders[-1] = len(song.patterns) - 1
    return song


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(REPO, "build"))
    args = parser.parse_args()
    timer = os.path.join(args.build, "bench", "walk_timer")
    if not os.access(timer, os.X_OK):
        sys.exit(f"{timer} is missing: build first (cmake --build {args.build})")
    with tempfile.TemporaryDirectory(prefix="xqbench.") as files:
        songs = {
            "4 channels, 10 min": mw.tone_song(channels=4, positions=mw.positions_for(600)),
            "32-channel XM, 60 s": mw.channels_song("xm", 32, mw.positions_for(60)),
            "8 channels, endless": endless_song(),
            "three songs": mw.songs_song("xm"),
        }
        paths = []
        for n, song in enumerate(songs.values()):
            paths.append(os.path.join(files, f"song{n}.xm"))
            mw.write_song(song, paths[-1])
        out = subprocess.run([timer, *paths], check=True, capture_output=True, text=True).stdout
    print("The walk at load, best of 5:")
    worst = 0.0
    for label, line in zip(songs, out.splitlines()):
        _, took, found = line.split("\t")
        ms = float(took.split()[0])
        worst = max(worst, ms)
        print(f"  {label:22} {ms:8.2f} ms   {found}")
    print(f"  longest {worst:.2f} ms (target <= {TARGET_MS:.0f})  {'ok' if worst <= TARGET_MS else 'MISSED'}")


if __name__ == "__main__":
    main()
