"""Scream Tracker 3 S3M: up to 16 channels, 64-row patterns, unsigned 8/16-bit
samples with forward loops, per-channel panning table."""

from __future__ import annotations

import struct

from .common import fixed, fixed_row_patterns, u16le, volume_column
from .effects import to_st3
from .model import (LOOP_FORWARD, LOOP_PINGPONG, NOTE_CUT, NOTE_MAX, NOTE_OFF, Cell, Pattern,
                    Sample, Song)

MAX_CHANNELS = 16
MAX_SAMPLES = 99
MAX_ORDERS = 254
MAX_SAMPLE_FRAMES = 64000  # Scream Tracker's own limit, which libmikmod enforces
HEADER_SIZE = 0x60
SAMPLE_HEADER_SIZE = 0x50
TRACKER = 0x1320           # Scream Tracker 3.20
UNSIGNED_SAMPLES = 2
DEFAULT_PANNING = 252      # a panning table follows the pointers
S3M_NOTE_CUT = 254
EMPTY = 255


def s3m_note(value: int) -> int:
    if value in (NOTE_OFF, NOTE_CUT):
        return S3M_NOTE_CUT
    if not 1 <= value <= NOTE_MAX:
        raise ValueError(f"note {value} out of range")
    octave, semitone = divmod(value - 1, 12)
    return octave << 4 | semitone


def _cell_bytes(channel: int, cell: Cell) -> bytes:
    if cell.volcmd is not None:
        raise ValueError("S3M's volume column holds volumes only")
    volume, effect, param = volume_column(cell)
    flag, data = channel, bytearray()
    if cell.note or cell.instrument:
        if not 0 <= cell.instrument <= MAX_SAMPLES:
            raise ValueError(f"sample number {cell.instrument} out of range")
        flag |= 32
        data += bytes([s3m_note(cell.note) if cell.note else EMPTY, cell.instrument])
    if volume is not None:
        if not 0 <= volume <= 64:
            raise ValueError("volume must be 0-64")
        flag |= 64
        data.append(volume)
    command, info = to_st3(effect, param, s3m=True)
    if command:
        flag |= 128
        data += bytes([command, info])
    return bytes([flag]) + bytes(data) if data else b""


def _pattern(pattern: Pattern, announce: set[int]) -> bytes:
    """Packed pattern; channels in `announce` get an empty entry so libmikmod,
    which counts the channels patterns use, keeps them."""
    data = bytearray()
    for row_index, row in enumerate(pattern.cells):
        for channel, cell in enumerate(row):
            raw = _cell_bytes(channel, cell)
            if not raw and row_index == 0 and channel in announce:
                raw = bytes([channel])
            data += raw
        data.append(0)
    return u16le(len(data) + 2) + bytes(data)


def _sample_header(sample: Sample, data_offset: int) -> bytes:
    if sample.loop == LOOP_PINGPONG:
        raise ValueError(f"sample {sample.name!r}: S3M has no ping-pong loops")
    if sample.panning is not None:
        raise ValueError(f"sample {sample.name!r}: S3M samples have no panning")
    if len(sample.data) > MAX_SAMPLE_FRAMES:
        raise ValueError(f"sample {sample.name!r}: S3M samples hold at most 64000 frames")
    flags = 4 if sample.bits == 16 else 0
    loop_start = loop_end = 0
    if sample.loop == LOOP_FORWARD:
        flags |= 1
        loop_start, loop_end = sample.loop_start, sample.loop_start + sample.loop_length
    paragraph = data_offset >> 4
    return (bytes([1]) + bytes(12) + bytes([paragraph >> 16]) + u16le(paragraph & 0xFFFF)
            + struct.pack("<III", len(sample.data), loop_start, loop_end)
            + bytes([sample.volume, 0, 0, flags]) + struct.pack("<I", round(sample.rate))
            + bytes(12) + fixed(sample.name, 27, "sample name") + b"\0" + b"SCRS")


def _sample_data(sample: Sample) -> bytes:
    if sample.bits == 8:
        return bytes((v + 0x80) & 0xFF for v in sample.data)
    return struct.pack(f"<{len(sample.data)}H", *((v + 0x8000) & 0xFFFF for v in sample.data))


def _align(buffer: bytearray) -> int:
    buffer += bytes(-len(buffer) % 16)
    return len(buffer)


def write(song: Song) -> bytes:
    song.validate()
    if song.instruments:
        raise ValueError("S3M has samples only, no instruments")
    if song.comment:
        raise ValueError("S3M files cannot store a comment")
    if not 1 <= song.channels <= MAX_CHANNELS:
        raise ValueError("S3M files have 1-16 channels")
    if len(song.orders) > MAX_ORDERS or len(song.samples) > MAX_SAMPLES:
        raise ValueError("too many positions or samples for S3M")

    patterns = fixed_row_patterns(song)
    used = {ch for p in patterns for row in p.cells
            for ch, cell in enumerate(row) if not cell.is_empty()}
    announce = set(range(song.channels)) - used
    orders = bytes(song.orders) + bytes([EMPTY])
    orders += bytes([EMPTY]) * (len(orders) % 2)
    panning = song.channel_panning or [0xC0 if (ch + 1) & 2 else 0x30
                                       for ch in range(song.channels)]

    out = bytearray(fixed(song.name, 27, "song name") + b"\0")
    out += bytes([0x1A, 16, 0, 0])
    out += struct.pack("<HHHHHH", len(orders), len(song.samples), len(patterns), 0,
                       TRACKER, UNSIGNED_SAMPLES)
    out += b"SCRM" + bytes([64, song.speed, song.bpm, 0x80 | 48, 0, DEFAULT_PANNING])
    out += bytes(8) + u16le(0)
    out += bytes(range(song.channels)) + bytes([EMPTY] * (32 - song.channels))
    assert len(out) == HEADER_SIZE
    out += orders
    pointer_at = len(out)
    out += bytes(2 * (len(song.samples) + len(patterns)))
    out += bytes(0x20 | p >> 4 for p in panning) + bytes(32 - song.channels)

    pointers = []
    header_at = []
    for _ in song.samples:
        at = _align(out)
        header_at.append(at)
        pointers.append(at >> 4)
        out += bytes(SAMPLE_HEADER_SIZE)
    for index, pattern in enumerate(patterns):
        pointers.append(_align(out) >> 4)
        out += _pattern(pattern, announce if index == 0 else set())
    for sample, at in zip(song.samples, header_at):
        data_at = _align(out)
        out[at:at + SAMPLE_HEADER_SIZE] = _sample_header(sample, data_at)
        out += _sample_data(sample)
    if max(pointers, default=0) > 0xFFFF:
        raise ValueError("S3M headers and patterns must lie in the first MiB of the file")
    out[pointer_at:pointer_at + 2 * len(pointers)] = b"".join(u16le(p) for p in pointers)
    return bytes(out)
