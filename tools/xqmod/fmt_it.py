"""Impulse Tracker IT (2.14 layout) in sample mode: up to 64 channels, a song
message, 8/16-bit samples with forward or ping-pong loops."""

from __future__ import annotations

import struct

from .common import fixed, u16le, u32le, volume_column
from .effects import to_st3
from .model import (LOOP_FORWARD, LOOP_PINGPONG, NOTE_CUT, NOTE_MAX, NOTE_OFF, Cell, Pattern,
                    Sample, Song, to_bytes)

MAX_CHANNELS = 64
MAX_ORDERS = 255          # plus the end marker
MAX_SAMPLES = 99
MAX_PATTERNS = 200
MAX_ROWS = 200            # libmikmod's pattern buffer holds 200 rows of 64 channels
MAX_MESSAGE = 8000
HEADER_SIZE = 0xC0
SAMPLE_HEADER_SIZE = 0x50
CREATED_WITH = 0x0214
COMPATIBLE_WITH = 0x0200
FLAG_STEREO, FLAG_LINEAR = 1, 8
MESSAGE_ATTACHED = 1
END_OF_SONG = 255
IT_NOTE_OFF = 255
IT_NOTE_CUT = 254
MAX_VOLCMD = 212  # the highest volume-column byte with a meaning


def it_panning(value: int) -> int:
    """0-255 -> IT's 0-64 (libmikmod reports it back as 4 * value, 64 as 255)."""
    return min(64, round(value / 4))


def it_note(value: int) -> int:
    if value == NOTE_OFF:
        return IT_NOTE_OFF
    if value == NOTE_CUT:
        return IT_NOTE_CUT
    if not 1 <= value <= NOTE_MAX:
        raise ValueError(f"note {value} out of range")
    return value - 1 + 12  # our C-4 is IT's C-5, the note that plays at C5Speed


def _cell_fields(cell: Cell) -> list[tuple[int, bytes]]:
    """(mask bit, bytes) of the parts present in the cell."""
    volume, effect, param = volume_column(cell)
    if cell.volcmd is not None:
        if volume is not None:
            raise ValueError("a cell has both a volume and a volume-column command")
        if not 0 <= cell.volcmd <= MAX_VOLCMD or 125 <= cell.volcmd <= 127:
            raise ValueError(f"IT volume-column byte {cell.volcmd} has no meaning")
    parts = []
    if cell.note:
        parts.append((1, bytes([it_note(cell.note)])))
    if cell.instrument:
        if not 1 <= cell.instrument <= MAX_SAMPLES:
            raise ValueError(f"sample number {cell.instrument} out of range")
        parts.append((2, bytes([cell.instrument])))
    if volume is not None:
        if not 0 <= volume <= 64:
            raise ValueError("volume must be 0-64")
        parts.append((4, bytes([volume])))
    elif cell.volcmd is not None:
        parts.append((4, bytes([cell.volcmd])))
    command, info = to_st3(effect, param, s3m=False)
    if command:
        parts.append((8, bytes([command, info])))
    return parts


def _pattern(pattern: Pattern, index: int, announce: set[int]) -> bytes:
    """Packed pattern. Channels in `announce` get an empty entry on row 0 so
    that libmikmod, which counts the channels patterns use, sees them."""
    if pattern.rows > MAX_ROWS:
        raise ValueError(f"pattern {index}: at most {MAX_ROWS} rows")
    data = bytearray()
    for row_index, row in enumerate(pattern.cells):
        for channel, cell in enumerate(row):
            parts = _cell_fields(cell)
            if parts or (row_index == 0 and channel in announce):
                mask = sum(bit for bit, _ in parts)
                data += bytes([(channel + 1) | 0x80, mask])
                for _, raw in parts:
                    data += raw
        data.append(0)
    return u16le(len(data)) + u16le(pattern.rows) + bytes(4) + bytes(data)


def _sample_header(sample: Sample, data_offset: int) -> bytes:
    flags = 1 if sample.data else 0
    if sample.bits == 16:
        flags |= 2
    if sample.loop in (LOOP_FORWARD, LOOP_PINGPONG):
        flags |= 16
    if sample.loop == LOOP_PINGPONG:
        flags |= 64
    loop_start = sample.loop_start if flags & 16 else 0
    loop_end = sample.loop_start + sample.loop_length if flags & 16 else 0
    panning = 32 if sample.panning is None else 0x80 | it_panning(sample.panning)
    return (b"IMPS" + bytes(12) + bytes([0, 64, flags, sample.volume])
            + fixed(sample.name, 25, "sample name") + b"\0"
            + bytes([1, panning])  # convert: signed data
            + struct.pack("<IIIIIII", len(sample.data), loop_start, loop_end,
                          round(sample.rate), 0, 0, data_offset)
            + bytes(4))


def _sample_data(sample: Sample) -> bytes:
    if sample.bits == 8:
        return bytes(v & 0xFF for v in sample.data)
    return struct.pack(f"<{len(sample.data)}h", *sample.data)


def message_bytes(comment: str | bytes) -> bytes:
    """The song message as stored: CR line ends and a terminating NUL."""
    raw = to_bytes(comment).replace(b"\r\n", b"\n").replace(b"\n", b"\r")
    if b"\0" in raw:
        raise ValueError("the song message cannot contain NUL bytes")
    if len(raw) + 1 > MAX_MESSAGE:
        raise ValueError(f"the song message holds at most {MAX_MESSAGE - 1} bytes")
    return raw + b"\0" if raw else b""


def write(song: Song) -> bytes:
    song.validate()
    if song.instruments:
        raise ValueError("the IT writer stores samples only (sample mode)")
    if not 1 <= song.channels <= MAX_CHANNELS:
        raise ValueError("IT files have 1-64 channels")
    if len(song.orders) > MAX_ORDERS:
        raise ValueError(f"IT songs have at most {MAX_ORDERS} positions")
    if len(song.samples) > MAX_SAMPLES or len(song.patterns) > MAX_PATTERNS:
        raise ValueError("too many samples or patterns for IT")

    used = {ch for p in song.patterns for row in p.cells
            for ch, cell in enumerate(row) if not cell.is_empty()}
    announce = set(range(song.channels)) - used
    patterns = [_pattern(p, i, announce if i == 0 else set())
                for i, p in enumerate(song.patterns)]
    message = message_bytes(song.comment)
    orders = bytes(song.orders) + bytes([END_OF_SONG])

    offset = HEADER_SIZE + len(orders) + 4 * (len(song.samples) + len(song.patterns))
    message_offset = offset
    offset += len(message)
    sample_header_offsets = []
    for _ in song.samples:
        sample_header_offsets.append(offset)
        offset += SAMPLE_HEADER_SIZE
    pattern_offsets = []
    for raw in patterns:
        pattern_offsets.append(offset)
        offset += len(raw)
    sample_data = [_sample_data(s) for s in song.samples]
    data_offsets = []
    for raw in sample_data:
        data_offsets.append(offset)
        offset += len(raw)

    panning = song.channel_panning or [128] * song.channels
    pan_table = bytes(it_panning(p) for p in panning) + bytes([32 | 0x80] * (64 - song.channels))

    out = bytearray(b"IMPM" + fixed(song.name, 25, "song name") + b"\0")
    out += bytes(2)  # pattern row highlight
    out += struct.pack("<HHHHHHHH", len(orders), 0, len(song.samples), len(song.patterns),
                       CREATED_WITH, COMPATIBLE_WITH, FLAG_STEREO | FLAG_LINEAR,
                       MESSAGE_ATTACHED if message else 0)
    out += bytes([128, 48, song.speed, song.bpm, 128, 0])
    out += struct.pack("<HI", len(message), message_offset if message else 0) + bytes(4)
    out += pan_table + bytes([64] * 64)
    assert len(out) == HEADER_SIZE
    out += orders
    out += b"".join(u32le(o) for o in sample_header_offsets)
    out += b"".join(u32le(o) for o in pattern_offsets)
    out += message
    for sample, data_offset in zip(song.samples, data_offsets):
        out += _sample_header(sample, data_offset)
    for raw in patterns:
        out += raw
    for raw in sample_data:
        out += raw
    assert len(out) == offset
    return bytes(out)
