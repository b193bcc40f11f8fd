#!/usr/bin/env python3
"""Modules in packs against the same modules in a directory: the time to
list each, and to load modules from each (read into memory and loaded by
libmikmod, as the player does).

Two packs, each beside a directory holding the same files:
  - a zip of 2000 small modules (about 1 KB each), deflated;
  - a zip of 50 MB: 50 modules of about 1 MB of noisy samples, deflated.
Loading a member should cost no more than 1.5 times loading the plain file
(target). Members are loaded in the pack's order, as a playlist of the pack
plays them (the loader reads on through the pack it read last), and in
reverse order, where each load reads the pack from its start. Listing a pack
is read once per visit of the file selector; it is shown for scale.

Usage: python3 bench/packs.py [--build DIR]
"""

import argparse
import os
import subprocess
import sys
import tempfile
import zipfile

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tools"))

import modwriter as mw  # noqa: E402

LOAD_TARGET = 1.5
ROUNDS = 3


def small_song(i):
    return mw.encode(mw.tone_song(channels=1, name=b"small %d" % i))


def large_song(i, frames=1 << 20):
    song = mw.Song(name=b"large %d" % i, format="xm", channels=2, speed=6, bpm=125)
    song.samples.append(mw.Sample(name="noise", data=mw.noise(frames, 100, seed=i), bits=8))
    pattern = song.new_pattern(64)
    pattern.set(0, 0, "C-4", 1, 64)
    song.orders = [0]
    return mw.encode(song)


def make_set(root, name, songs):
    """A directory and a zip of the same files; returns their paths and the
    members' names."""
    directory = os.path.join(root, name)
    os.makedirs(directory)
    pack = directory + ".zip"
    names = []
    with zipfile.ZipFile(pack, "w", zipfile.ZIP_DEFLATED) as z:
        for file_name, data in songs:
            with open(os.path.join(directory, file_name), "wb") as f:
                f.write(data)
            z.writestr(file_name, data)
            names.append(file_name)
    return directory, pack, names


def timer(build, *args):
    out = subprocess.run([os.path.join(build, "bench", "pack_timer"), *args], check=True, capture_output=True,
                         text=True, stdin=subprocess.DEVNULL)
    return float(out.stdout)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(REPO, "build"))
    args = parser.parse_args()
    if not os.access(os.path.join(args.build, "bench", "pack_timer"), os.X_OK):
        sys.exit(f"{args.build}/bench/pack_timer is missing: build first (cmake --build {args.build})")

    with tempfile.TemporaryDirectory(prefix="xqbench.") as root:
        small = make_set(root, "small", [("s%04d.xm" % i, small_song(i)) for i in range(2000)])
        large = make_set(root, "large", [("l%02d.xm" % i, large_song(i)) for i in range(50)])
        for label, (directory, pack, names), loaded in (
                ("2000 small modules", small, names_every(small[2], 20)),
                ("50 MB of modules", large, large[2])):
            megabytes = os.path.getsize(pack) / 1e6
            list_dir = timer(args.build, "list", directory, str(ROUNDS))
            list_pack = timer(args.build, "list", pack, str(ROUNDS))
            plain = [os.path.join(directory, n) for n in loaded]
            members = [os.path.join(pack, n) for n in loaded]
            load_dir = timer(args.build, "load", str(ROUNDS), *plain) / len(loaded)
            load_pack = timer(args.build, "load", str(ROUNDS), *members) / len(loaded)
            load_back = timer(args.build, "load", str(ROUNDS), *reversed(members)) / len(loaded)
            ratio = load_pack / load_dir if load_dir > 0 else float("inf")
            print(f"{label}: a zip of {megabytes:.1f} MB against a directory, best of {ROUNDS}")
            print(f"  list          directory {list_dir * 1e3:8.2f} ms   pack {list_pack * 1e3:8.2f} ms")
            print(f"  load one      directory {load_dir * 1e3:8.3f} ms   pack {load_pack * 1e3:8.3f} ms   "
                  f"{ratio:.2f} x (target <= {LOAD_TARGET})  {'ok' if ratio <= LOAD_TARGET else 'MISSED'}")
            print(f"    reversed                            pack {load_back * 1e3:8.3f} ms")


def names_every(names, step):
    """Members spread over the whole pack, its last one among them."""
    return names[::step] + names[-1:]


if __name__ == "__main__":
    main()
