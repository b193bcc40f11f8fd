"""Format-neutral song model shared by all writers.

Conventions (the same for every output format):

* Notes are numbered like FastTracker 2: 1 = C-0 ... 49 = C-4 ... 96 = B-7,
  0 = no note, NOTE_OFF = key off. A sample plays at its own `rate` on C-4
  (C-5 in Impulse/Scream Tracker terms, C-2 in ProTracker terms).
* Instrument numbers in cells are 1-based, 0 = none. Without explicit
  instruments they refer to samples; XM then gets one instrument per sample.
* Effects use ProTracker/FastTracker numbering (0x0-0xF, 0x10 = G ...) with
  plain parameters: FX_BREAK takes the row as a number, FX_PAN 0-255.
  The IT and S3M writers translate them.
* The volume column is 0-64 or None. `volcmd` instead holds a raw
  volume-column byte for the formats whose column has effects of its own
  (XM 0x10-0xFF, IT 0-212).
* S3M and IT cells may name a command by its letter instead: effect="D",
  param=0x0F is stored as D0F untranslated.
"""

from __future__ import annotations

import math
from dataclasses import dataclass, field
from typing import Sequence

NOTE_OFF = 97
NOTE_CUT = 98  # S3M/IT note cut ("^^^")
NOTE_MIN, NOTE_MAX = 1, 96

FX_ARPEGGIO = 0x0
FX_PORTA_UP = 0x1
FX_PORTA_DOWN = 0x2
FX_TONE_PORTA = 0x3
FX_VIBRATO = 0x4
FX_TONE_PORTA_VOLSLIDE = 0x5
FX_VIBRATO_VOLSLIDE = 0x6
FX_TREMOLO = 0x7
FX_PAN = 0x8
FX_OFFSET = 0x9
FX_VOLSLIDE = 0xA
FX_JUMP = 0xB
FX_VOLUME = 0xC
FX_BREAK = 0xD
FX_EXTENDED = 0xE
FX_SPEED = 0xF          # parameter < 0x20: ticks per row, otherwise BPM
FX_GLOBAL_VOLUME = 0x10  # XM "G"

LOOP_NONE = "none"
LOOP_FORWARD = "forward"
LOOP_PINGPONG = "pingpong"
LOOP_TYPES = (LOOP_NONE, LOOP_FORWARD, LOOP_PINGPONG)

FORMATS = ("mod", "xm", "it", "s3m")

BASE_RATE = 8363  # Hz of an untuned sample on C-4

_NOTE_NAMES = ("C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-")


def note(name: str) -> int:
    """'C-4' -> 49, 'A#3' -> 47, 'off' / '===' -> NOTE_OFF."""
    text = name.strip().upper()
    if text in ("OFF", "==="):
        return NOTE_OFF
    if text in ("CUT", "^^^"):
        return NOTE_CUT
    if len(text) != 3 or not text[2].isdigit():
        raise ValueError(f"bad note name {name!r}")
    key = text[:2] if text[1] in "-#" else text[0] + "-"
    if key not in _NOTE_NAMES:
        raise ValueError(f"bad note name {name!r}")
    value = 1 + int(text[2]) * 12 + _NOTE_NAMES.index(key)
    if not NOTE_MIN <= value <= NOTE_MAX:
        raise ValueError(f"note {name!r} out of range")
    return value


_parse_note = note


def note_name(value: int) -> str:
    if value == NOTE_OFF:
        return "==="
    if value == NOTE_CUT:
        return "^^^"
    if not NOTE_MIN <= value <= NOTE_MAX:
        raise ValueError(f"note {value} out of range")
    octave, semitone = divmod(value - 1, 12)
    return f"{_NOTE_NAMES[semitone]}{octave}"


def to_bytes(text: str | bytes) -> bytes:
    """Names and comments: bytes pass through, text is stored as UTF-8."""
    return text if isinstance(text, bytes) else text.encode("utf-8")


@dataclass
class Cell:
    note: int = 0
    instrument: int = 0
    volume: int | None = None
    effect: int | str = 0
    param: int = 0
    volcmd: int | None = None

    @property
    def has_effect(self) -> bool:
        return bool(self.effect or self.param)

    def is_empty(self) -> bool:
        return not (self.note or self.instrument or self.volume is not None
                    or self.volcmd is not None or self.has_effect)


class Pattern:
    """rows x channels grid of cells; `pattern[row, channel]` is a Cell."""

    def __init__(self, rows: int = 64, channels: int = 4):
        if rows < 1 or channels < 1:
            raise ValueError("a pattern needs at least one row and one channel")
        self.rows = rows
        self.channels = channels
        self.cells = [[Cell() for _ in range(channels)] for _ in range(rows)]

    def __getitem__(self, pos: tuple[int, int]) -> Cell:
        row, channel = pos
        return self.cells[row][channel]

    def set(self, row: int, channel: int, note: int | str = 0, instrument: int = 0,
            volume: int | None = None, effect: int | str = 0, param: int = 0,
            volcmd: int | None = None) -> Cell:
        if isinstance(note, str):
            note = _parse_note(note)
        cell = Cell(note, instrument, volume, effect, param, volcmd)
        self.cells[row][channel] = cell
        return cell

    def copy(self) -> Pattern:
        other = Pattern(self.rows, self.channels)
        other.cells = [[Cell(c.note, c.instrument, c.volume, c.effect, c.param, c.volcmd) for c in row]
                       for row in self.cells]
        return other


@dataclass
class Sample:
    name: str | bytes = b""
    data: Sequence[int] = ()
    bits: int = 8
    loop: str = LOOP_NONE
    loop_start: int = 0       # in sample frames
    loop_length: int = 0      # in sample frames
    volume: int = 64          # 0-64
    panning: int | None = None  # 0-255, None = the format's default
    rate: float = BASE_RATE   # playback rate on C-4
    relative_note: int | None = None  # XM overrides of what `rate` implies
    finetune: int | None = None

    def validate(self) -> None:
        if self.bits not in (8, 16):
            raise ValueError(f"sample {self.name!r}: bits must be 8 or 16")
        limit = 1 << (self.bits - 1)
        if any(not -limit <= v < limit for v in self.data):
            raise ValueError(f"sample {self.name!r}: values exceed {self.bits} bits")
        if self.loop not in LOOP_TYPES:
            raise ValueError(f"sample {self.name!r}: unknown loop type {self.loop!r}")
        if self.loop != LOOP_NONE:
            if self.loop_length < 1 or self.loop_start < 0 or \
                    self.loop_start + self.loop_length > len(self.data):
                raise ValueError(f"sample {self.name!r}: loop outside the sample")
        if not 0 <= self.volume <= 64:
            raise ValueError(f"sample {self.name!r}: volume must be 0-64")
        if self.panning is not None and not 0 <= self.panning <= 255:
            raise ValueError(f"sample {self.name!r}: panning must be 0-255")
        if self.rate <= 0:
            raise ValueError(f"sample {self.name!r}: rate must be positive")

    def semitones_from_base(self) -> float:
        """How far `rate` lies above BASE_RATE, in semitones."""
        return 12.0 * math.log2(self.rate / BASE_RATE)


@dataclass
class Envelope:
    """Volume envelope: (tick, value 0-64) points, optional sustain point index
    and optional (start, end) loop point indexes."""
    points: list[tuple[int, int]]
    sustain: int | None = None
    loop: tuple[int, int] | None = None


@dataclass
class Instrument:
    """An XM instrument: samples plus a keyboard split.

    `keymap` lists (lowest note, sample index) pairs in rising note order;
    empty means every note plays sample 0."""
    name: str | bytes = b""
    samples: list[Sample] = field(default_factory=list)
    keymap: list[tuple[int, int]] = field(default_factory=list)
    volume_envelope: Envelope | None = None
    fadeout: int = 0
    vibrato_type: int = 0
    vibrato_sweep: int = 0
    vibrato_depth: int = 0
    vibrato_rate: int = 0

    def sample_for_note(self, value: int) -> int:
        chosen = 0
        for lowest, index in self.keymap:
            if value >= lowest:
                chosen = index
        return chosen


# An order that ends the song there ("---"), in the formats that have one;
# a game module keeps further tunes after it.
END_MARKER = 255
MARKER_FORMATS = ("it", "s3m")


@dataclass
class Song:
    name: str | bytes = b""
    format: str = "xm"
    channels: int = 4
    speed: int = 6   # ticks per row
    bpm: int = 125
    patterns: list[Pattern] = field(default_factory=list)
    orders: list[int] = field(default_factory=list)
    samples: list[Sample] = field(default_factory=list)
    instruments: list[Instrument] = field(default_factory=list)  # XM only
    comment: str | bytes = b""  # IT only
    channel_panning: list[int] | None = None  # IT/S3M: 0-255 per channel

    def new_pattern(self, rows: int = 64) -> Pattern:
        pattern = Pattern(rows, self.channels)
        self.patterns.append(pattern)
        return pattern

    def validate(self) -> None:
        if self.format not in FORMATS:
            raise ValueError(f"unknown format {self.format!r}")
        if not 1 <= self.speed <= 31:
            raise ValueError("speed must be 1-31 ticks per row")
        if not 32 <= self.bpm <= 255:
            raise ValueError("BPM must be 32-255")
        if not self.orders:
            raise ValueError("the song has no positions")
        if any(not 0 <= p < len(self.patterns) and not (p == END_MARKER and self.format in MARKER_FORMATS)
               for p in self.orders):
            raise ValueError("an order refers to a missing pattern")
        if self.orders[0] == END_MARKER:
            raise ValueError("the song starts with an end marker")
        playable = len(self.instruments or self.samples)
        for index, pattern in enumerate(self.patterns):
            if pattern.channels != self.channels:
                raise ValueError(f"pattern {index} has {pattern.channels} channels, "
                                 f"the song {self.channels}")
            for row in pattern.cells:
                for cell in row:
                    if not 0 <= cell.instrument <= playable:
                        raise ValueError(f"pattern {index} plays instrument {cell.instrument}, "
                                         f"the song has {playable}")
        for sample in self.samples:
            sample.validate()
        for instrument in self.instruments:
            for sample in instrument.samples:
                sample.validate()
        if self.channel_panning is not None:
            if len(self.channel_panning) != self.channels or \
                    any(not 0 <= p <= 255 for p in self.channel_panning):
                raise ValueError("channel_panning needs one value 0-255 per channel")


def row_seconds(speed: int, bpm: int) -> float:
    """One row lasts speed ticks of 2.5/BPM seconds each."""
    return speed * 2.5 / bpm


def song_length(song: Song) -> float:
    """Play time in seconds of a song without speed or tempo changes: every
    position plays its pattern's rows once."""
    rows = sum(song.patterns[p].rows for p in song.orders if p != END_MARKER)
    return rows * row_seconds(song.speed, song.bpm)
