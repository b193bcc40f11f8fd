"""FastTracker 2 XM, version 1.04: linear frequencies, packed patterns,
instruments of one or more delta-encoded 8/16-bit samples."""

from __future__ import annotations

import struct

from .common import bcd, fixed, no_letter_effect, u16le, u32le
from .model import (FX_BREAK, LOOP_FORWARD, LOOP_PINGPONG, NOTE_MAX, NOTE_OFF, Cell,
                    Envelope, Instrument, Sample, Song)

MAX_CHANNELS = 32
MAX_ORDERS = 256
MAX_INSTRUMENTS = 128
MAX_ROWS = 256
# libmikmod reads the packed pattern size into a signed 16-bit value
MAX_PACKED_PATTERN = 0x7FFF
TRACKER_NAME = b"xq modwriter"
HEADER_SIZE = 20 + MAX_ORDERS
INSTRUMENT_HEADER_SIZE = 263
SAMPLE_HEADER_SIZE = 40
ENVELOPE_POINTS = 12


def tuning(sample: Sample) -> tuple[int, int]:
    """(relative note, finetune in 1/128 semitone) that make C-4 play at `rate`."""
    semitones = sample.semitones_from_base()
    relative = round(semitones)
    finetune = max(-128, min(127, round((semitones - relative) * 128)))
    if sample.relative_note is not None:
        relative = sample.relative_note
    if sample.finetune is not None:
        finetune = sample.finetune
    if not -96 <= relative <= 95 or not -128 <= finetune <= 127:
        raise ValueError(f"sample {sample.name!r}: tuning out of range")
    return relative, finetune


def _pack_cell(cell: Cell) -> bytes:
    if cell.note == NOTE_OFF:
        value = NOTE_OFF
    elif 0 <= cell.note <= NOTE_MAX:
        value = cell.note
    else:
        raise ValueError(f"note {cell.note} out of range")
    if not 0 <= cell.instrument <= MAX_INSTRUMENTS:
        raise ValueError(f"instrument {cell.instrument} out of range")
    no_letter_effect(cell, "XM")
    volume = 0
    if cell.volume is not None:
        if cell.volcmd is not None:
            raise ValueError("a cell has both a volume and a volume-column command")
        if not 0 <= cell.volume <= 64:
            raise ValueError("volume must be 0-64")
        volume = 0x10 + cell.volume
    elif cell.volcmd is not None:
        if not 0x10 <= cell.volcmd <= 0xFF or 0x51 <= cell.volcmd <= 0x5F:
            raise ValueError(f"XM volume-column byte {cell.volcmd:#x} has no meaning")
        volume = cell.volcmd
    param = bcd(cell.param) if cell.effect == FX_BREAK else cell.param
    if not 0 <= cell.effect <= 35 or not 0 <= param <= 0xFF:
        raise ValueError(f"effect {cell.effect:#x}/{param:#x} does not exist in XM")
    fields = (value, cell.instrument, volume, cell.effect, param)
    if all(fields):
        return bytes(fields)
    mask, data = 0x80, bytearray()
    for bit, v in enumerate(fields):
        if v:
            mask |= 1 << bit
            data.append(v)
    return bytes([mask]) + bytes(data)


def _pattern(pattern, index: int) -> bytes:
    if pattern.rows > MAX_ROWS:
        raise ValueError(f"pattern {index}: XM patterns have at most 256 rows")
    data = b"" if all(c.is_empty() for row in pattern.cells for c in row) else \
        b"".join(_pack_cell(c) for row in pattern.cells for c in row)
    if len(data) > MAX_PACKED_PATTERN:
        raise ValueError(f"pattern {index}: {len(data)} bytes packed, libmikmod reads "
                         f"at most {MAX_PACKED_PATTERN}; use fewer rows or channels")
    return u32le(9) + bytes([0]) + u16le(pattern.rows) + u16le(len(data)) + data


def _envelope(env: Envelope | None) -> tuple[bytes, int, int, int, int, int]:
    """(points, count, sustain, loop start, loop end, flags)"""
    if env is None:
        return bytes(4 * ENVELOPE_POINTS), 0, 0, 0, 0, 0
    if not 2 <= len(env.points) <= ENVELOPE_POINTS:
        raise ValueError("XM envelopes have 2-12 points")
    ticks = [t for t, _ in env.points]
    if ticks[0] != 0 or ticks != sorted(set(ticks)):
        raise ValueError("envelope ticks must start at 0 and rise")
    if any(not 0 <= v <= 64 for _, v in env.points):
        raise ValueError("envelope values are 0-64")
    raw = b"".join(struct.pack("<HH", t, v) for t, v in env.points)
    flags = 1
    sustain = loop_start = loop_end = 0
    if env.sustain is not None:
        flags |= 2
        sustain = env.sustain
    if env.loop is not None:
        flags |= 4
        loop_start, loop_end = env.loop
    return raw.ljust(4 * ENVELOPE_POINTS, b"\0"), len(env.points), sustain, \
        loop_start, loop_end, flags


def _sample_header(sample: Sample) -> bytes:
    width = sample.bits // 8
    kind = {LOOP_FORWARD: 1, LOOP_PINGPONG: 2}.get(sample.loop, 0)
    if sample.bits == 16:
        kind |= 0x10
    loop_start = sample.loop_start if kind & 3 else 0
    loop_length = sample.loop_length if kind & 3 else 0
    relative, finetune = tuning(sample)
    panning = 128 if sample.panning is None else sample.panning
    return (struct.pack("<III", len(sample.data) * width, loop_start * width,
                        loop_length * width)
            + struct.pack("<BbBBbB", sample.volume, finetune, kind, panning, relative, 0)
            + fixed(sample.name, 22, "sample name"))


def _sample_data(sample: Sample) -> bytes:
    previous, deltas = 0, []
    for v in sample.data:
        deltas.append(v - previous)
        previous = v
    if sample.bits == 8:
        return bytes(d & 0xFF for d in deltas)
    return b"".join(struct.pack("<H", d & 0xFFFF) for d in deltas)


def _instrument(instrument: Instrument) -> bytes:
    name = fixed(instrument.name, 22, "instrument name")
    if not instrument.samples:
        return u32le(29) + name + bytes([0]) + u16le(0)
    if len(instrument.samples) > 16:
        raise ValueError("XM instruments hold at most 16 samples")
    keymap = bytes(instrument.sample_for_note(n) for n in range(1, NOTE_MAX + 1))
    if max(keymap) >= len(instrument.samples):
        raise ValueError(f"instrument {instrument.name!r}: keymap names a missing sample")
    points, count, sustain, loop_start, loop_end, flags = _envelope(instrument.volume_envelope)
    header = (u32le(INSTRUMENT_HEADER_SIZE) + name + bytes([0])
              + u16le(len(instrument.samples)) + u32le(SAMPLE_HEADER_SIZE)
              + keymap + points + bytes(4 * ENVELOPE_POINTS)
              + bytes([count, 0, sustain, loop_start, loop_end, 0, 0, 0, flags, 0,
                       instrument.vibrato_type, instrument.vibrato_sweep,
                       instrument.vibrato_depth, instrument.vibrato_rate])
              + u16le(instrument.fadeout))
    header = header.ljust(INSTRUMENT_HEADER_SIZE, b"\0")
    return (header + b"".join(_sample_header(s) for s in instrument.samples)
            + b"".join(_sample_data(s) for s in instrument.samples))


def instruments_of(song: Song) -> list[Instrument]:
    if song.instruments:
        if song.samples:
            raise ValueError("give XM samples inside instruments, not both")
        return song.instruments
    return [Instrument(name=s.name, samples=[s]) for s in song.samples]


def write(song: Song) -> bytes:
    song.validate()
    if song.comment:
        raise ValueError("XM files cannot store a comment")
    if song.channel_panning is not None:
        raise ValueError("XM has no initial channel panning; use sample panning")
    if not 1 <= song.channels <= MAX_CHANNELS:
        raise ValueError("XM files have 1-32 channels")
    if len(song.orders) > MAX_ORDERS:
        raise ValueError("XM songs have at most 256 positions")
    instruments = instruments_of(song)
    if not instruments or len(instruments) > MAX_INSTRUMENTS:
        raise ValueError("XM songs need 1-128 instruments")

    out = bytearray(b"Extended Module: ")
    out += fixed(song.name, 20, "song name") + b"\x1a"
    out += TRACKER_NAME.ljust(20, b" ")
    out += u16le(0x0104) + u32le(HEADER_SIZE)
    out += struct.pack("<HHHHHHHH", len(song.orders), 0, song.channels, len(song.patterns),
                       len(instruments), 1, song.speed, song.bpm)
    out += bytes(song.orders).ljust(MAX_ORDERS, b"\0")
    for index, pattern in enumerate(song.patterns):
        out += _pattern(pattern, index)
    for instrument in instruments:
        out += _instrument(instrument)
    return bytes(out)
