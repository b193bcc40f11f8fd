"""Ready-made songs for tests and demos.

All presets except the demo share one clock: speed 5 and 125 BPM make a row
last 0.1 s, and their full patterns have 64 rows, so a position lasts 6.4 s.
libmikmod's song clock (MODULE.sngtime) counts 1024 units per second of song
time whatever the tempo.
"""

from __future__ import annotations

import math

from . import waves
from .model import (END_MARKER, FX_PAN, LOOP_FORWARD, LOOP_PINGPONG, Instrument, Sample, Song, note,
                    row_seconds)

SPEED = 5
BPM = 125
ROWS = 64
ROW_SECONDS = row_seconds(SPEED, BPM)         # 0.1
POSITION_SECONDS = ROWS * ROW_SECONDS         # 6.4
SNGTIME_PER_SECOND = 1024

MAX_CHANNELS = {"mod": 32, "xm": 32, "it": 64, "s3m": 16}
MAX_WIDE_CHANNELS = 99  # FastTracker's "xxCH" MODs; libmikmod loads them all
MAX_POSITIONS = {"mod": 128, "xm": 256, "it": 255, "s3m": 254}

TONE_NOTE = note("A-4")
TONE_FREQUENCY = 440.0
TONE_CYCLE = 32               # frames in one period of the looped wave
# rate on C-4 that makes A-4 play the 32-frame cycle at 440 Hz
TONE_RATE = TONE_FREQUENCY * TONE_CYCLE / 2 ** (9 / 12)
TONE_POSITIONS = 125          # 800 s, comfortably past ten minutes
TONE_WAVES = {
    "square": waves.square,
    "sine": waves.sine,
    "saw": waves.saw,
    "triangle": waves.triangle,
}

DEFAULT_NAME = b"100% %s %d %n"
DEFAULT_COMMENT = ("xq test module\n"
                   "100% synthesised, no samples borrowed.\n"
                   "Line three: %s %d %n stay literal.")


def _check(fmt: str, channels: int, positions: int) -> None:
    if fmt not in MAX_CHANNELS:
        raise ValueError(f"unknown format {fmt!r}")
    if not 1 <= channels <= MAX_CHANNELS[fmt]:
        raise ValueError(f"{fmt.upper()} songs here have 1-{MAX_CHANNELS[fmt]} channels")
    if not 1 <= positions <= MAX_POSITIONS[fmt]:
        raise ValueError(f"{fmt.upper()} songs have 1-{MAX_POSITIONS[fmt]} positions")


def positions_for(seconds: float) -> int:
    """Positions of POSITION_SECONDS each needed to last at least `seconds`."""
    return max(1, math.ceil(seconds / POSITION_SECONDS - 1e-9))


def _looped(name: str, data: list[int], volume: int = 64, rate: float = 8363) -> Sample:
    return Sample(name=name, data=data, loop=LOOP_FORWARD, loop_start=0,
                  loop_length=len(data), volume=volume, rate=rate)


def tone_song(channels: int = 1, fmt: str = "xm", positions: int | None = None,
              seconds: float | None = None, wave: str = "square",
              name: str | bytes = b"xq tone") -> Song:
    """One steady, full-volume ~440 Hz tone on every channel, started once on
    the first row and never retriggered; later positions repeat an empty
    pattern. It lasts `positions` positions (or enough for `seconds`),
    TONE_POSITIONS by default, then the song ends."""
    if positions is None:
        positions = positions_for(seconds) if seconds is not None else TONE_POSITIONS
    _check(fmt, channels, positions)
    if wave not in TONE_WAVES:
        raise ValueError(f"unknown wave {wave!r}; choose from {', '.join(TONE_WAVES)}")
    song = Song(name=name, format=fmt, channels=channels, speed=SPEED, bpm=BPM)
    song.samples.append(_looped(f"{wave} 440 Hz", TONE_WAVES[wave](TONE_CYCLE, 127),
                                rate=TONE_RATE))
    start = song.new_pattern(ROWS)
    for channel in range(channels):
        start.set(0, channel, TONE_NOTE, 1, None if fmt == "mod" else 64)
    if positions > 1:
        song.new_pattern(ROWS)
    song.orders = [0] + [1] * (positions - 1)
    return song


def short_song(seconds: float = 3.0, fmt: str = "xm", channels: int = 4,
               name: str | bytes = b"xq short") -> Song:
    """A song that plays for `seconds` (in 0.1 s steps) and then ends: a held
    tone on channel 0 plus a little arpeggio on the other channels."""
    rows_total = max(1, round(seconds / ROW_SECONDS))
    lengths = [ROWS] * (rows_total // ROWS) + ([rows_total % ROWS] if rows_total % ROWS else [])
    _check(fmt, channels, len(lengths))
    song = Song(name=name, format=fmt, channels=channels, speed=SPEED, bpm=BPM)
    song.samples.append(_looped("held triangle", waves.triangle(32, 100), volume=40))
    song.samples.append(_looped("arp sine", waves.sine(32, 120), volume=48))
    arpeggio = [note(n) for n in ("C-4", "E-4", "G-4", "C-5")]
    row_total = 0
    for rows in lengths:
        pattern = song.new_pattern(rows)
        for row in range(rows):
            if row_total == 0:
                pattern.set(0, 0, "C-3", 1)
            if channels > 1 and row_total % 4 == 0:
                step = row_total // 4
                pattern.set(row, 1 + step % (channels - 1), arpeggio[step % len(arpeggio)], 2)
            row_total += 1
    song.orders = list(range(len(lengths)))
    return song


def channels_song(fmt: str = "xm", channels: int = 8, positions: int = 4,
                  name: str | bytes = b"xq channels") -> Song:
    """Every channel plays a note on every row, with volume and panning that
    change from row to row (MOD has no volume column: there the volume comes
    from four samples with different default volumes)."""
    _check(fmt, channels, positions)
    return _busy_song(fmt, channels, positions, name)


def _busy_song(fmt: str, channels: int, positions: int, name: str | bytes) -> Song:
    song = Song(name=name, format=fmt, channels=channels, speed=SPEED, bpm=BPM)
    for wave, volume in (("sine", 64), ("square", 48), ("saw", 56), ("triangle", 40)):
        song.samples.append(_looped(wave, TONE_WAVES[wave](32, 110), volume=volume))
    scale = [note(n) for n in ("C-3", "D-3", "E-3", "G-3", "A-3", "C-4", "D-4", "E-4",
                               "G-4", "A-4", "C-5")]
    for p in range(min(positions, 4)):
        pattern = song.new_pattern(ROWS)
        for row in range(ROWS):
            for ch in range(channels):
                volume = None if fmt == "mod" else 8 + (row * 7 + ch * 13 + p * 5) % 57
                cell = pattern.set(row, ch, scale[(row + 2 * ch + 3 * p) % len(scale)],
                                   1 + (row + ch + p) % 4, volume)
                if not (row == 0 and ch == 0):  # left free for MOD's speed command
                    cell.effect, cell.param = FX_PAN, (row * 29 + ch * 67 + p * 41) % 256
    song.orders = [i % len(song.patterns) for i in range(positions)]
    return song


def wide_song(channels: int = 96, positions: int = 4, name: str | bytes = b"xq wide") -> Song:
    """The `channels` song as a MOD with more channels than the other presets
    allow (33 to 99, FastTracker's "xxCH" MODs), every channel busy."""
    if not 1 <= channels <= MAX_WIDE_CHANNELS:
        raise ValueError(f"wide MOD songs have 1-{MAX_WIDE_CHANNELS} channels")
    if not 1 <= positions <= MAX_POSITIONS["mod"]:
        raise ValueError(f"MOD songs have 1-{MAX_POSITIONS['mod']} positions")
    return _busy_song("mod", channels, positions, name)


def samples_song(fmt: str = "mod", count: int = 31, name: str | bytes = b"xq samples") -> Song:
    """A song with `count` distinct samples ("sample 01", ...; MOD), or XM
    `count` instruments ("instrument 01", ...) of one sample each, every
    third one 16-bit and every fourth one ping-pong looped; each sample
    differs in length and volume, and each is played once in turn."""
    if fmt not in ("mod", "xm"):
        raise ValueError("samples songs are MOD (samples) or XM (instruments)")
    limit = 31 if fmt == "mod" else 128
    if not 1 <= count <= limit:
        raise ValueError(f"{fmt.upper()} samples songs have 1-{limit} samples")
    song = Song(name=name, format=fmt, channels=4, speed=SPEED, bpm=BPM)
    samples = []
    for i in range(count):
        bits = 16 if fmt == "xm" and i % 3 == 2 else 8
        amplitude = 20000 if bits == 16 else 100
        length = 32 + 2 * i
        sample = Sample(name=f"sample {i + 1:02d}", data=waves.square(length, amplitude),
                        bits=bits, loop=LOOP_FORWARD, loop_start=0, loop_length=length,
                        volume=min(64, 10 + i))
        if fmt == "xm" and i % 4 == 3:
            sample.loop = LOOP_PINGPONG
        samples.append(sample)
    if fmt == "mod":
        song.samples = samples
    else:
        song.instruments = [Instrument(name=f"instrument {i + 1:02d}", samples=[s])
                            for i, s in enumerate(samples)]
    pattern = song.new_pattern(ROWS)
    for i in range(count):
        pattern.set(i % ROWS, i % 4, "C-4", i + 1)
    song.orders = [0, 0]
    return song


def comment_song(comment: str | bytes = DEFAULT_COMMENT, channels: int = 40,
                 positions: int = 2, name: str | bytes = b"xq comment") -> Song:
    """An IT whose song message is `comment`; more than 32 channels allowed."""
    song = channels_song("it", channels, positions, name)
    song.comment = comment
    return song


def name_song(name: str | bytes = DEFAULT_NAME, fmt: str = "xm") -> Song:
    """A two-second song whose whole point is its name."""
    return short_song(2.0, fmt, 4, name)



def ending_song(seconds: float = 2.0, fmt: str = "xm",
                name: str | bytes = b"xq ending") -> Song:
    """A song of `seconds` (0.1 s steps, one pattern of at most 64 rows) that
    does not loop: a held ~440 Hz tone on channel 0 from the first row, and
    on its last row a looped ~880 Hz tone starts on channel 1. A player that
    only stops moving at the end leaves that second tone sounding."""
    rows = max(2, min(ROWS, round(seconds / ROW_SECONDS)))
    _check(fmt, 2, 1)
    song = Song(name=name, format=fmt, channels=2, speed=SPEED, bpm=BPM)
    song.samples.append(_looped("held square", waves.square(TONE_CYCLE, 127), rate=TONE_RATE))
    pattern = song.new_pattern(rows)
    volume = None if fmt == "mod" else 64
    pattern.set(0, 0, TONE_NOTE, 1, volume)
    pattern.set(rows - 1, 1, TONE_NOTE + 12, 1, volume)
    song.orders = [0]
    return song


# What notation_song writes: (pattern, row, channel, cell fields). Every
# note, instrument, volume and effect of each format appears once, with a
# run of three identical rows, rows left empty and each pattern's last row.
_V = "volume"
_E = "effect"
_P = "param"
_C = "volcmd"
NOTATION_CELLS = {
    "mod": [
        (0, 0, 0, dict(note="C-4", instrument=1)),
        (0, 0, 1, dict(note="A#3", instrument=2, effect=0x1, param=0x20)),
        (0, 1, 0, {_E: 0x4, _P: 0x46}), (0, 1, 2, {_E: 0xA, _P: 0x0F}),
        (0, 2, 3, {_E: 0xC, _P: 0x20}), (0, 3, 0, {_E: 0x8, _P: 0x80}),
        (0, 3, 1, {_E: 0xE, _P: 0x91}), (0, 4, 2, {_E: 0xF, _P: 0x06}),
        (0, 5, 3, {_E: 0xB, _P: 0x01}), (0, 6, 0, {_E: 0xD, _P: 16}),
        (0, 7, 1, dict(note="C-3", instrument=1, effect=0x3, param=0x10)),
        (0, 8, 0, {_E: 0x9, _P: 0x10}), (0, 8, 1, {_E: 0x0, _P: 0x37}),
        (0, 8, 2, {_E: 0x7, _P: 0x44}), (0, 8, 3, {_E: 0x5, _P: 0x03}),
        (0, 9, 0, {_E: 0x6, _P: 0x30}), (0, 9, 1, {_E: 0x2, _P: 0x08}),
        (0, 20, 0, dict(note="E-3", instrument=1)), (0, 21, 0, dict(note="E-3", instrument=1)),
        (0, 22, 0, dict(note="E-3", instrument=1)),
        (0, 63, 3, dict(note="B-5", instrument=2, effect=0xC, param=0x40)),
        (1, 0, 0, dict(note="G-4", instrument=2)),
        (1, 63, 1, {_E: 0xE, _P: 0xC3}),
    ],
    "xm": [
        (0, 0, 0, dict(note="C-4", instrument=1, volume=64)),
        (0, 0, 1, dict(note="A#3", instrument=2, volume=32, effect=0x1, param=0x20)),
        (0, 1, 0, dict(note="off")), (0, 1, 1, dict(note="off", instrument=1)),
        (0, 2, 2, {_C: 0x65, _E: 0xA, _P: 0x20}), (0, 2, 3, {_C: 0x7A, _E: 0x4, _P: 0x46}),
        (0, 3, 0, {_C: 0x83, _E: 0xE, _P: 0x12}), (0, 3, 1, {_C: 0x94, _E: 0x10, _P: 0x20}),
        (0, 4, 2, {_C: 0xA3, _E: 0x11, _P: 0x05}), (0, 4, 3, {_C: 0xB6, _E: 0x19, _P: 0x0F}),
        (0, 5, 0, {_C: 0xC8, _E: 0x21, _P: 0x15}), (0, 5, 1, {_C: 0xD3, _E: 0x1B, _P: 0x31}),
        (0, 6, 2, {_C: 0xE2, _E: 0x1D, _P: 0x23}), (0, 6, 3, {_C: 0xF4, _E: 0x14, _P: 0x05}),
        (0, 7, 0, {_E: 0x15, _P: 0x10}), (0, 7, 1, {_E: 0xD, _P: 16}),
        (0, 8, 2, {_E: 0xF, _P: 0x7D}), (0, 8, 3, {_E: 0xE, _P: 0xA3}),
        (0, 9, 0, {_E: 0xE, _P: 0xB2}), (0, 9, 1, {_E: 0xE, _P: 0x22}),
        (0, 9, 2, {_E: 0x21, _P: 0x24}), (0, 9, 3, {_E: 0x6, _P: 0x03}),
        (0, 10, 0, {_E: 0x0, _P: 0x37}), (0, 10, 1, {_E: 0x2, _P: 0x08}),
        (0, 10, 2, {_E: 0x3, _P: 0x10}), (0, 10, 3, {_E: 0x5, _P: 0x01}),
        (0, 11, 0, {_E: 0x7, _P: 0x44}), (0, 11, 1, {_E: 0x8, _P: 0x80}),
        (0, 11, 2, {_E: 0x9, _P: 0x10}), (0, 11, 3, {_E: 0xE, _P: 0x60}),
        (0, 12, 0, {_E: 0xB, _P: 0x01}), (0, 12, 1, {_E: 0xF, _P: 0x03}),
        (0, 20, 0, dict(note="D-4", instrument=1, volume=40)),
        (0, 21, 0, dict(note="D-4", instrument=1, volume=40)),
        (0, 22, 0, dict(note="D-4", instrument=1, volume=40)),
        (0, 63, 3, dict(note="B-7", instrument=2, volume=0, effect=0xF, param=0x03)),
        (1, 0, 2, dict(note="C-1", instrument=2)),
        (1, 31, 0, {_C: 0x90, _E: 0xA, _P: 0x0F}),
    ],
    "s3m": [
        (0, 0, 0, dict(note="C-4", instrument=1, volume=64)),
        (0, 0, 1, dict(note="cut")),
        (0, 0, 2, dict(note="A#3", instrument=2, volume=0)),
        (0, 0, 3, dict(note="D-4", effect="D", param=0x0F)),
        (0, 1, 0, {_E: "A", _P: 0x06}), (0, 1, 1, {_E: "B", _P: 0x01}),
        (0, 1, 2, {_E: "C", _P: 0x16}), (0, 1, 3, {_E: "E", _P: 0x20}),
        (0, 2, 0, {_E: "F", _P: 0x18}), (0, 2, 1, {_E: "G", _P: 0x10}),
        (0, 2, 2, {_E: "H", _P: 0x46}), (0, 2, 3, {_E: "I", _P: 0x23}),
        (0, 3, 0, {_E: "J", _P: 0x37}), (0, 3, 1, {_E: "K", _P: 0x05}),
        (0, 3, 2, {_E: "L", _P: 0x03}), (0, 3, 3, {_E: "O", _P: 0x10}),
        (0, 4, 0, {_E: "Q", _P: 0x03}), (0, 4, 1, {_E: "R", _P: 0x44}),
        (0, 4, 2, {_E: "S", _P: 0xB2}), (0, 4, 3, {_E: "T", _P: 0x7D}),
        (0, 5, 0, {_E: "U", _P: 0x34}), (0, 5, 1, {_E: "V", _P: 0x20}),
        (0, 5, 2, {_E: "X", _P: 0x40}), (0, 5, 3, {_E: "X", _P: 0x80}),
        (0, 6, 0, dict(note="E-4", instrument=2, volume=12, effect="S", param=0xC3)),
        (0, 20, 1, dict(note="F-4", instrument=1, volume=33)),
        (0, 21, 1, dict(note="F-4", instrument=1, volume=33)),
        (0, 22, 1, dict(note="F-4", instrument=1, volume=33)),
        (0, 63, 3, dict(note="B-7", instrument=2, volume=1, effect="A", param=0x03)),
        (1, 0, 0, dict(note="C-1", instrument=1)),
        (1, 63, 2, dict(note="cut", effect="S", param=0xD2)),
    ],
    "it": [
        (0, 0, 0, dict(note="C-4", instrument=1, volume=64)),
        (0, 0, 1, dict(note="off")), (0, 0, 2, dict(note="cut")),
        (0, 0, 3, dict(note="A#3", instrument=2, volume=0, effect="D", param=0x0F)),
        (0, 1, 0, {_C: 70}), (0, 1, 1, {_C: 78}), (0, 1, 2, {_C: 87}), (0, 1, 3, {_C: 102}),
        (0, 2, 0, {_C: 109}), (0, 2, 1, {_C: 121}), (0, 2, 2, {_C: 160}), (0, 2, 3, {_C: 196}),
        (0, 3, 0, {_C: 208}), (0, 3, 1, {_C: 192}),
        (0, 3, 2, {_E: "A", _P: 0x06}), (0, 3, 3, {_E: "T", _P: 0x7D}),
        (0, 4, 0, {_E: "B", _P: 0x01}), (0, 4, 1, {_E: "C", _P: 0x10}),
        (0, 4, 2, {_E: "E", _P: 0x20}), (0, 4, 3, {_E: "F", _P: 0x18}),
        (0, 5, 0, {_E: "G", _P: 0x10}), (0, 5, 1, {_E: "H", _P: 0x46}),
        (0, 5, 2, {_E: "I", _P: 0x23}), (0, 5, 3, {_E: "J", _P: 0x37}),
        (0, 6, 0, {_E: "K", _P: 0x05}), (0, 6, 1, {_E: "L", _P: 0x03}),
        (0, 6, 2, {_E: "M", _P: 0x20}), (0, 6, 3, {_E: "N", _P: 0x0F}),
        (0, 7, 0, {_E: "O", _P: 0x10}), (0, 7, 1, {_E: "P", _P: 0x21}),
        (0, 7, 2, {_E: "Q", _P: 0x03}), (0, 7, 3, {_E: "R", _P: 0x44}),
        (0, 8, 0, {_E: "S", _P: 0x91}), (0, 8, 1, {_E: "S", _P: 0xB2}),
        (0, 8, 2, {_E: "T", _P: 0x05}), (0, 8, 3, {_E: "U", _P: 0x34}),
        (0, 9, 0, {_E: "V", _P: 0x40}), (0, 9, 1, {_E: "W", _P: 0x0F}),
        (0, 9, 2, {_E: "X", _P: 0x80}), (0, 9, 3, {_E: "Y", _P: 0x34}),
        (0, 20, 2, dict(note="E-4", instrument=2, volume=10)),
        (0, 21, 2, dict(note="E-4", instrument=2, volume=10)),
        (0, 22, 2, dict(note="E-4", instrument=2, volume=10)),
        (0, 63, 3, dict(note="B-7", instrument=2, volume=12, effect="S", param=0xE2)),
        (1, 0, 1, dict(note="C-1", instrument=1, volcmd=140)),
        (1, 39, 0, dict(note="off", effect="S", param=0xC3)),
    ],
}
NOTATION_PATTERN_ROWS = {"mod": (64, 64), "s3m": (64, 64), "xm": (64, 32), "it": (64, 40)}


def notation_song(fmt: str = "xm", name: str | bytes = b"xq notation") -> Song:
    """Two patterns of four channels holding NOTATION_CELLS[fmt]: what a
    pattern view must show as the module's tracker would. Not meant to be
    heard (it jumps and breaks where its cells say)."""
    if fmt not in NOTATION_CELLS:
        raise ValueError(f"unknown format {fmt!r}")
    song = Song(name=name, format=fmt, channels=4, speed=6, bpm=125)
    song.samples.append(_looped("sine", waves.sine(32, 100)))
    song.samples.append(_looped("square", waves.square(32, 100), volume=48))
    for rows in NOTATION_PATTERN_ROWS[fmt]:
        song.new_pattern(rows)
    for pattern, row, channel, fields in NOTATION_CELLS[fmt]:
        song.patterns[pattern].set(row, channel, **fields)
    song.orders = [0, 1]
    return song


# What songs_song's three songs last, in milliseconds, as a player that
# takes every jump as written and ends a song at its first repeated row
# times them (speed 6 and 125 BPM make a row 120 ms).
SONGS_LENGTHS_MS = (5660, 3840, 2560)
SONGS_STARTS = (0, 4, 6)


def songs_song(fmt: str = "xm", name: str | bytes = b"xq songs", loop_quirk: bool = False) -> Song:
    """Three songs in one order list, as a game module holds its level tunes,
    each opening with a held tone (a looped square wave at a pitch of its
    own). The first (positions 0-3) goes through a pattern loop (rows 4-7
    twice), a pattern delay (row 10 three times), a pattern break to the
    next position's first row, a BPM change to 150, a
    pattern break to row 4 of the next position, a speed change to 3, a jump
    forwards and at last a jump back to position 1, where it would repeat:
    2.64 + 0.9 + 0.2 + 1.92 s. The second (positions 4-5) only ends by its
    jump back to its own start: 32 rows of 0.12 s. The third (positions 6-7)
    plays at speed 4 to the end of the order list: 32 rows of 0.08 s.

    With `loop_quirk` the break at the end of position 0 is left out: an XM
    then starts position 1 at the pattern loop's row 4 (FastTracker's quirk),
    and the first song takes the break at the end of position 1 twice, the
    second time into a row that played already."""
    _check(fmt, 2, 8)
    song = Song(name=name, format=fmt, channels=2, speed=6, bpm=125)
    song.samples.append(_looped("held square", waves.square(TONE_CYCLE, 100), rate=TONE_RATE))
    volume = None if fmt == "mod" else 64
    loops = song.new_pattern(16)             # 0: 22 rows
    loops.set(0, 0, TONE_NOTE, 1, volume)
    loops.set(4, 1, effect=0xE, param=0x60)
    loops.set(7, 1, effect=0xE, param=0x61)
    loops.set(10, 1, effect=0xE, param=0xE2)
    if not loop_quirk:
        loops.set(15, 1, effect=0xD, param=0)  # FastTracker would start the next pattern at the loop's row
    faster = song.new_pattern(16)            # 1: 150 BPM, rows 0-8, then to row 4
    faster.set(0, 1, effect=0xF, param=150)
    faster.set(8, 1, effect=0xD, param=4)
    quick = song.new_pattern(16)             # 2: from row 4 at speed 3, rows 4-7
    quick.set(4, 1, effect=0xF, param=3)
    quick.set(7, 1, effect=0xB, param=3)
    back = song.new_pattern(16)              # 3: speed 6 and 125 BPM again, then back to 1
    back.set(0, 0, effect=0xF, param=6)
    back.set(0, 1, effect=0xF, param=125)
    back.set(15, 1, effect=0xB, param=1)
    second = song.new_pattern(16)            # 4
    second.set(0, 0, TONE_NOTE + 7, 1, volume)
    second_end = song.new_pattern(16)        # 5: back to position 4
    second_end.set(15, 1, effect=0xB, param=4)
    third = song.new_pattern(16)             # 6: speed 4
    third.set(0, 0, TONE_NOTE + 12, 1, volume)
    third.set(0, 1, effect=0xF, param=4)
    song.orders = [0, 1, 2, 3, 4, 5, 6, 6]
    return song


# What tunes_song's three tunes last, in milliseconds.
TUNES_LENGTHS_MS = (3840, 3840, 960)


def tunes_song(fmt: str = "it", name: str | bytes = b"xq tunes") -> Song:
    """Three tunes in one order list, each after an end marker ("---"), as a
    game module of Impulse or Scream Tracker keeps its level tunes: the
    first plays two patterns to its marker (32 rows of 0.12 s), the second
    jumps back to its own start after two patterns, the third is one
    pattern that jumps back to itself on its row 7 (8 rows)."""
    if fmt not in ("it", "s3m"):
        raise ValueError("end markers are kept by the it and s3m formats only")
    song = Song(name=name, format=fmt, channels=2, speed=6, bpm=125)
    song.samples.append(_looped("held square", waves.square(TONE_CYCLE, 100), rate=TONE_RATE))
    for n in range(5):
        pattern = song.new_pattern(16)
        if n in (0, 2, 4):
            pattern.set(0, 0, TONE_NOTE + 5 * n, 1, 64)
    song.patterns[3].set(15, 1, effect=0xB, param=3)  # to the file's order 3, the second tune's start
    song.patterns[4].set(7, 1, effect=0xB, param=6)   # to itself
    song.orders = [0, 1, END_MARKER, 2, 3, END_MARKER, 4]
    return song
