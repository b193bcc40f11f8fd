"""ProTracker MOD: 31 samples, 64-row patterns, "M.K." (4 channels),
"8CHN" and friends (FastTracker's n-channel MODs, "10CH" to "99CH")."""

from __future__ import annotations

import struct

from .common import add_initial_tempo, bcd, fixed, fixed_row_patterns, no_letter_effect
from .model import (FX_BREAK, FX_VOLUME, LOOP_NONE, LOOP_PINGPONG, NOTE_OFF, Cell,
                    Sample, Song, note, note_name)

MAX_SAMPLES = 31
MAX_ORDERS = 128
DEFAULT_SPEED, DEFAULT_BPM = 6, 125

# Amiga periods of octaves 1-3 (finetune 0); ProTracker's C-2 equals our C-4.
_PERIODS = (
    856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
    428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
    214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113,
)
LOWEST_NOTE = note("C-3")
HIGHEST_NOTE = LOWEST_NOTE + len(_PERIODS) - 1


def magic(channels: int) -> bytes:
    if channels == 4:
        return b"M.K."
    if 1 <= channels <= 9:
        return b"%dCHN" % channels
    if 10 <= channels <= 99:
        return b"%dCH" % channels
    raise ValueError("MOD files have 1-99 channels")


def period(value: int) -> int:
    if not LOWEST_NOTE <= value <= HIGHEST_NOTE:
        raise ValueError(f"MOD notes run from {note_name(LOWEST_NOTE)} to "
                         f"{note_name(HIGHEST_NOTE)}, not {value}")
    return _PERIODS[value - LOWEST_NOTE]


def finetune_nibble(sample: Sample) -> int:
    eighths = round(sample.semitones_from_base() * 8)
    if not -8 <= eighths <= 7:
        raise ValueError(f"sample {sample.name!r}: rate {sample.rate} Hz is more than a "
                         f"semitone from 8363 Hz, which MOD finetune cannot reach")
    return eighths & 0xF


def _sample_header(sample: Sample) -> bytes:
    if sample.bits != 8:
        raise ValueError(f"sample {sample.name!r}: MOD samples are 8-bit")
    if sample.loop == LOOP_PINGPONG:
        raise ValueError(f"sample {sample.name!r}: MOD has no ping-pong loops")
    words = (len(sample.data) + 1) // 2
    if words > 0xFFFF:
        raise ValueError(f"sample {sample.name!r}: longer than 128 KiB")
    if sample.loop == LOOP_NONE:
        repeat, replen = 0, 1
    else:
        if sample.loop_start % 2 or sample.loop_length % 2:
            raise ValueError(f"sample {sample.name!r}: MOD loops start and end on even frames")
        repeat, replen = sample.loop_start // 2, sample.loop_length // 2
    return (fixed(sample.name, 22, "sample name")
            + struct.pack(">HBBHH", words, finetune_nibble(sample), sample.volume,
                          repeat, replen))


def _sample_bytes(sample: Sample) -> bytes:
    raw = bytes(v & 0xFF for v in sample.data)
    return raw + b"\0" * (len(raw) % 2)


def _cell_bytes(cell: Cell) -> bytes:
    if cell.note == NOTE_OFF:
        raise ValueError("MOD has no key-off")
    if cell.volcmd is not None:
        raise ValueError("MOD has no volume column")
    no_letter_effect(cell, "MOD")
    if not 0 <= cell.instrument <= MAX_SAMPLES:
        raise ValueError(f"MOD sample number {cell.instrument} out of range")
    effect, param = cell.effect, cell.param
    if cell.volume is not None:
        if cell.has_effect:
            raise ValueError("MOD cells hold a volume or an effect, not both")
        effect, param = FX_VOLUME, cell.volume
    if effect > 0xF or not 0 <= param <= 0xFF:
        raise ValueError(f"effect {effect:#x}/{param:#x} does not exist in MOD")
    if effect == FX_BREAK:
        param = bcd(param)
    per = period(cell.note) if cell.note else 0
    return bytes((cell.instrument & 0xF0 | per >> 8, per & 0xFF,
                  (cell.instrument & 0x0F) << 4 | effect, param))


def write(song: Song) -> bytes:
    song.validate()
    if song.instruments:
        raise ValueError("MOD has samples only, no instruments")
    if song.comment:
        raise ValueError("MOD files cannot store a comment")
    if len(song.samples) > MAX_SAMPLES:
        raise ValueError("MOD files hold at most 31 samples")
    if len(song.orders) > MAX_ORDERS:
        raise ValueError("MOD songs have at most 128 positions")

    patterns = fixed_row_patterns(song)
    add_initial_tempo(song, patterns,
                      song.speed if song.speed != DEFAULT_SPEED else None,
                      song.bpm if song.bpm != DEFAULT_BPM else None)
    # libmikmod (like ProTracker) derives the pattern count from the order
    # list, so every pattern up to the highest one used is stored.
    stored = max(song.orders) + 1

    out = bytearray(fixed(song.name, 20, "song name"))
    samples = song.samples + [Sample(volume=0)] * (MAX_SAMPLES - len(song.samples))
    for sample in samples:
        out += _sample_header(sample)
    out += bytes((len(song.orders), 127))
    out += bytes(song.orders).ljust(MAX_ORDERS, b"\0")
    out += magic(song.channels)
    for pattern in patterns[:stored]:
        for row in pattern.cells:
            for cell in row:
                out += _cell_bytes(cell)
    for sample in song.samples:
        out += _sample_bytes(sample)
    return bytes(out)
