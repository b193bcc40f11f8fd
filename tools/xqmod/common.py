"""Helpers shared by the format writers."""

from __future__ import annotations

import struct

from .model import FX_BREAK, FX_SPEED, FX_VOLUME, Cell, Pattern, Song, to_bytes


def fixed(text: str | bytes, size: int, what: str) -> bytes:
    """`text` as a zero-padded field of `size` bytes; too long is an error."""
    raw = to_bytes(text)
    if len(raw) > size:
        raise ValueError(f"{what} is {len(raw)} bytes, at most {size} fit")
    return raw.ljust(size, b"\0")


def u8(v: int) -> bytes:
    return struct.pack("<B", v)


def u16le(v: int) -> bytes:
    return struct.pack("<H", v)


def u32le(v: int) -> bytes:
    return struct.pack("<I", v)


def bcd(value: int) -> int:
    """Row numbers of ProTracker/FastTracker pattern breaks are decimal."""
    if not 0 <= value <= 99:
        raise ValueError("pattern break row must be 0-99")
    return (value // 10) << 4 | value % 10


def place_effect(pattern: Pattern, row: int, effect: int, param: int, why: str) -> None:
    """Put an effect into the first channel of `row` whose effect slot is free."""
    for channel in range(pattern.channels):
        cell = pattern[row, channel]
        if not cell.has_effect:
            cell.effect, cell.param = effect, param
            return
    raise ValueError(f"no free effect slot in row {row} for {why}")


def fixed_row_patterns(song: Song, rows: int = 64) -> list[Pattern]:
    """Copies of the song's patterns for formats whose patterns always have
    `rows` rows: shorter ones are padded and end with a pattern break."""
    out = []
    for index, pattern in enumerate(song.patterns):
        if pattern.rows > rows:
            raise ValueError(f"pattern {index} has {pattern.rows} rows; "
                             f"{song.format.upper()} patterns have {rows}")
        copy = pattern.copy()
        if pattern.rows < rows:
            place_effect(copy, pattern.rows - 1, FX_BREAK, 0, f"ending pattern {index} early")
            copy.cells.extend([Cell() for _ in range(copy.channels)]
                              for _ in range(rows - pattern.rows))
            copy.rows = rows
        out.append(copy)
    return out


def add_initial_tempo(song: Song, patterns: list[Pattern], speed: int | None,
                      bpm: int | None) -> None:
    """For formats without speed/BPM fields: set them with effects on the first
    row that plays. Pass None for a value the format's default already gives."""
    first = patterns[song.orders[0]]
    if speed is not None:
        place_effect(first, 0, FX_SPEED, speed, "the initial speed")
    if bpm is not None:
        place_effect(first, 0, FX_SPEED, bpm, "the initial BPM")


def no_letter_effect(cell: Cell, fmt: str) -> None:
    """Letter commands exist in S3M and IT only."""
    if isinstance(cell.effect, str):
        raise ValueError(f"{fmt} effects are numbers, not letters ({cell.effect!r})")


def volume_column(cell: Cell) -> tuple[int | None, int | str, int]:
    """(volume, effect, param) for formats with a volume column: a set-volume
    effect moves into the column."""
    if cell.effect == FX_VOLUME:
        if cell.volume is not None:
            raise ValueError("a cell has both a volume and a set-volume effect")
        return min(cell.param, 64), 0, 0
    return cell.volume, cell.effect, cell.param
