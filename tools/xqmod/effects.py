"""Translation of ProTracker-numbered effects to Scream/Impulse Tracker commands.

S3M and IT name their commands by letter: A = 1, B = 2, ... Z = 26.
Only effects with a clear counterpart are translated; anything else raises
ValueError rather than silently playing something different.
"""

from __future__ import annotations

from .model import (FX_ARPEGGIO, FX_BREAK, FX_EXTENDED, FX_GLOBAL_VOLUME, FX_JUMP,
                    FX_OFFSET, FX_PAN, FX_PORTA_DOWN, FX_PORTA_UP, FX_SPEED,
                    FX_TONE_PORTA, FX_TONE_PORTA_VOLSLIDE, FX_TREMOLO, FX_VIBRATO,
                    FX_VIBRATO_VOLSLIDE, FX_VOLSLIDE)


def letter(ch: str) -> int:
    return ord(ch) - ord("A") + 1


_DIRECT = {
    FX_PORTA_UP: "F",
    FX_PORTA_DOWN: "E",
    FX_TONE_PORTA: "G",
    FX_VIBRATO: "H",
    FX_TONE_PORTA_VOLSLIDE: "L",
    FX_VIBRATO_VOLSLIDE: "K",
    FX_TREMOLO: "R",
    FX_OFFSET: "O",
    FX_VOLSLIDE: "D",
    FX_JUMP: "B",
    FX_BREAK: "C",
}


def _extended(param: int) -> tuple[int, int]:
    sub, value = param >> 4, param & 0xF
    if sub == 0x1:
        return letter("F"), 0xF0 | value   # fine portamento up
    if sub == 0x2:
        return letter("E"), 0xF0 | value   # fine portamento down
    if sub == 0xA:
        return letter("D"), value << 4 | 0xF  # fine volume up
    if sub == 0xB:
        return letter("D"), 0xF0 | value   # fine volume down
    if sub == 0x9:
        return letter("Q"), value          # retrigger
    if sub in (0x6, 0x8, 0xC, 0xD, 0xE):
        # pattern loop SBx, coarse pan S8x, cut SCx, delay SDx, row delay SEx
        sx = {0x6: 0xB0, 0x8: 0x80, 0xC: 0xC0, 0xD: 0xD0, 0xE: 0xE0}[sub]
        return letter("S"), sx | value
    raise ValueError(f"extended effect E{param:02X} has no S3M/IT counterpart here")


def to_st3(effect: int | str, param: int, s3m: bool) -> tuple[int, int]:
    """(command, info) for an S3M (s3m=True) or IT cell; (0, 0) = none. A
    letter is the format's own command, stored as it is."""
    if not (effect or param):
        return 0, 0
    if not 0 <= param <= 0xFF:
        raise ValueError("effect parameter must be 0-255")
    if isinstance(effect, str):
        if len(effect) != 1 or not "A" <= effect <= "Z":
            raise ValueError(f"bad command letter {effect!r}")
        return letter(effect), param
    if effect == FX_ARPEGGIO:
        return letter("J"), param
    if effect in _DIRECT:
        return letter(_DIRECT[effect]), param
    if effect == FX_PAN:
        if s3m:  # S3M X runs 0-0x80
            return letter("X"), 0x80 if param == 255 else param >> 1
        return letter("X"), param
    if effect == FX_SPEED:
        if param == 0:
            raise ValueError("F00 (stop) has no S3M/IT counterpart")
        return (letter("A"), param) if param < 0x20 else (letter("T"), param)
    if effect == FX_EXTENDED:
        return _extended(param)
    if effect == FX_GLOBAL_VOLUME:
        return letter("V"), min(param, 64) * (1 if s3m else 2)
    raise ValueError(f"effect {effect:#x} has no S3M/IT counterpart here")
