#!/usr/bin/env python3
"""Writes tracker modules (MOD, XM, IT, S3M) from scratch for xq's tests and demo.

Library use (standard library only):

    sys.path.insert(0, "<repo>/tools")
    import modwriter as mw
    song = mw.Song(name=b"50% off", format="xm", channels=2, speed=5, bpm=125)
    song.samples.append(mw.Sample(name="sq", data=mw.square(32, 127),
                                  loop=mw.LOOP_FORWARD, loop_length=32))
    pattern = song.new_pattern(64)
    pattern.set(0, 0, "A-4", 1, 64)
    song.orders = [0]
    mw.write_song(song, "out.xm")          # or mw.encode(song) -> bytes
    mw.song_length(song)                   # 6.4 seconds

Command line: python3 tools/modwriter.py PRESET OUT [options]; presets are
tone, short, channels, comment, name, songs, tunes, wide, samples, notation and demo (see --help of each). The
committed demo is regenerated with

    python3 tools/modwriter.py demo examples/demo.xm
"""

from __future__ import annotations

import argparse
import os
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from xqmod import EXTENSIONS, encode, write_song  # noqa: E402
from xqmod.demo import demo_song  # noqa: E402
from xqmod.model import (  # noqa: E402
    BASE_RATE, FORMATS, FX_ARPEGGIO, FX_BREAK, FX_EXTENDED, FX_GLOBAL_VOLUME, FX_JUMP,
    FX_OFFSET, FX_PAN, FX_PORTA_DOWN, FX_PORTA_UP, FX_SPEED, FX_TONE_PORTA,
    FX_TONE_PORTA_VOLSLIDE, FX_TREMOLO, FX_VIBRATO, FX_VIBRATO_VOLSLIDE, FX_VOLSLIDE,
    FX_VOLUME, LOOP_FORWARD, LOOP_NONE, LOOP_PINGPONG, NOTE_CUT, NOTE_OFF, Cell, Envelope,
    Instrument, Pattern, Sample, Song, note, note_name, row_seconds, song_length)
from xqmod.presets import (  # noqa: E402
    BPM, DEFAULT_COMMENT, DEFAULT_NAME, POSITION_SECONDS, ROW_SECONDS, ROWS,
    NOTATION_CELLS, SNGTIME_PER_SECOND, SPEED, TONE_CYCLE, TONE_FREQUENCY, TONE_NOTE,
    TONE_POSITIONS, TONE_RATE, TONE_WAVES, channels_song, comment_song, name_song,
    notation_song, positions_for, ending_song, songs_song, SONGS_LENGTHS_MS, SONGS_STARTS,
    tunes_song, TUNES_LENGTHS_MS, samples_song, short_song, tone_song, wide_song)
from xqmod.waves import (  # noqa: E402
    clamp, fade, harmonics, mix, noise, pluck, saw, sine, square, triangle)

REPO_ROOT = Path(__file__).resolve().parent.parent
DEMO_PATH = REPO_ROOT / "examples" / "demo.xm"


def _name(args: argparse.Namespace, default: bytes) -> bytes:
    if args.name_hex is not None:
        return bytes.fromhex(args.name_hex)
    if args.name is not None:
        return os.fsencode(args.name)  # the exact bytes given on the command line
    return default


def _comment(args: argparse.Namespace) -> bytes:
    if args.comment_file is not None:
        return Path(args.comment_file).read_bytes()
    if args.comment is not None:
        return os.fsencode(args.comment).replace(b"\\n", b"\n")
    return DEFAULT_COMMENT.encode()


def _build(args: argparse.Namespace) -> Song:
    if args.preset == "tone":
        return tone_song(args.channels, args.format, args.positions, args.seconds,
                         args.wave, _name(args, b"xq tone"))
    if args.preset == "short":
        return short_song(args.seconds, args.format, args.channels, _name(args, b"xq short"))
    if args.preset == "channels":
        return channels_song(args.format, args.channels, args.positions,
                             _name(args, b"xq channels"))
    if args.preset == "comment":
        return comment_song(_comment(args), args.channels, args.positions,
                            _name(args, b"xq comment"))
    if args.preset == "name":
        return name_song(_name(args, DEFAULT_NAME), args.format)
    if args.preset == "tunes":
        return tunes_song(args.format, _name(args, b"xq tunes"))
    if args.preset == "songs":
        return songs_song(args.format, _name(args, b"xq songs"), args.loop_quirk)
    if args.preset == "ending":
        return ending_song(args.seconds, args.format, _name(args, b"xq ending"))
    if args.preset == "wide":
        return wide_song(args.channels, args.positions, _name(args, b"xq wide"))
    if args.preset == "samples":
        return samples_song(args.format, args.count, _name(args, b"xq samples"))
    if args.preset == "notation":
        return notation_song(args.format, _name(args, b"xq notation"))
    song = demo_song()
    if args.name is not None or args.name_hex is not None:
        song.name = _name(args, b"")
    return song


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="modwriter.py", description="Write a tracker module made from scratch.",
        epilog=f"Presets share one clock (except demo): speed {SPEED}, {BPM} BPM, "
               f"{ROW_SECONDS:g} s a row, {ROWS}-row patterns, {POSITION_SECONDS:g} s a position.")
    presets = parser.add_subparsers(dest="preset", required=True, metavar="PRESET")

    def preset(name: str, text: str, out_required: bool = True) -> argparse.ArgumentParser:
        sub = presets.add_parser(name, help=text.replace("%", "%%"), description=text)
        if out_required:
            sub.add_argument("out", metavar="OUT", help="file to write")
        else:
            sub.add_argument("out", metavar="OUT", nargs="?", default=str(DEMO_PATH),
                             help=f"file to write (default: {DEMO_PATH})")
        group = sub.add_mutually_exclusive_group()
        group.add_argument("--name", help="song name; its bytes are stored as given")
        group.add_argument("--name-hex", metavar="HEX", help="song name as hex bytes")
        return sub

    def fmt(sub: argparse.ArgumentParser, default: str = "xm") -> None:
        sub.add_argument("--format", choices=FORMATS, default=default,
                         help=f"module format (default: {default})")

    sub = preset("tone", "one steady ~440 Hz tone at full volume on every channel, "
                         f"lasting {TONE_POSITIONS} positions "
                         f"({TONE_POSITIONS * POSITION_SECONDS:g} s) unless told otherwise")
    fmt(sub)
    sub.add_argument("--channels", type=int, default=1, help="sounding channels (default: 1)")
    length = sub.add_mutually_exclusive_group()
    length.add_argument("--positions", type=int, help="positions of 6.4 s each")
    length.add_argument("--seconds", type=float, help="minimum length in seconds")
    sub.add_argument("--wave", choices=sorted(TONE_WAVES), default="square",
                     help="wave shape (default: square)")

    sub = preset("short", "a song that ends by itself after --seconds")
    fmt(sub)
    sub.add_argument("--seconds", type=float, default=3.0, help="length, 0.1 s steps (default: 3)")
    sub.add_argument("--channels", type=int, default=4, help="channels (default: 4)")

    sub = preset("channels", "every channel plays on every row, volume and panning "
                             "changing from row to row")
    fmt(sub)
    sub.add_argument("--channels", type=int, default=8, help="channels (default: 8)")
    sub.add_argument("--positions", type=int, default=4, help="positions (default: 4)")

    sub = preset("comment", "an IT with a song message; up to 64 channels")
    text = sub.add_mutually_exclusive_group()
    text.add_argument("--comment", help=r"message text (a literal \n starts a new line)")
    text.add_argument("--comment-file", metavar="PATH", help="read the message from a file")
    sub.add_argument("--channels", type=int, default=40, help="channels (default: 40)")
    sub.add_argument("--positions", type=int, default=2, help="positions (default: 2)")

    sub = preset("name", f"a short song whose name is --name (default: {DEFAULT_NAME!r})")
    fmt(sub)

    sub = preset("ending", "a song that ends without looping; its last row starts a looped tone")
    fmt(sub)
    sub.add_argument("--seconds", type=float, default=2.0, help="length, 0.1 s steps, at most 6.4 (default: 2)")
    sub = preset("songs", "three songs in one order list, with jumps, breaks, a pattern loop, a "
                          "pattern delay and speed and BPM changes (see songs_song)")
    fmt(sub)
    sub.add_argument("--loop-quirk", action="store_true",
                     help="leave out the break after the pattern loop (see songs_song)")
    sub = preset("tunes", "three tunes in one order list, each after an end marker (see tunes_song)")
    sub.add_argument("--format", choices=("it", "s3m"), default="it", help="module format (default: it)")
    sub = preset("wide", "the channels song as a MOD of 33 to 99 channels")
    sub.add_argument("--channels", type=int, default=96, help="channels (default: 96)")
    sub.add_argument("--positions", type=int, default=4, help="positions (default: 4)")

    sub = preset("samples", "a MOD of --count named samples, or an XM of --count "
                            "named instruments (16-bit and ping-pong samples among them)")
    sub.add_argument("--format", choices=("mod", "xm"), default="mod",
                     help="mod: samples, xm: instruments (default: mod)")
    sub.add_argument("--count", type=int, default=31, help="samples or instruments (default: 31)")

    sub = preset("notation", "two patterns holding every note, volume and effect of the format "
                             "once, for checking how a pattern view shows them")
    fmt(sub)

    preset("demo", "xq's demo tune (XM)", out_required=False)
    return parser


def main(argv: list[str] | None = None) -> int:
    args = _parser().parse_args(argv)
    try:
        song = _build(args)
        write_song(song, args.out)
    except (ValueError, OSError) as error:
        print(f"modwriter.py: error: {error}", file=sys.stderr)
        return 1
    def count(n: int, word: str) -> str:
        return f"{n} {word}{'' if n == 1 else 's'}"

    print(f"wrote {args.out}: {song.format.upper()}, {count(song.channels, 'channel')}, "
          f"{count(len(song.orders), 'position')}, speed {song.speed}, {song.bpm} BPM, "
          f"{song_length(song):.3f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
