"""xq's demo tune: 27 seconds of A minor pop in eight XM channels, every
sound synthesised here (kick, snare, hi-hat, bass, three pad voices, lead).

Regenerate the committed copy from the repository root with

    python3 tools/modwriter.py demo examples/demo.xm

Timing: speed 6 at 125 BPM (0.12 s a row), four 16-row bars per pattern,
positions intro - A - B - ending (the ending is half a pattern long).
"""

from __future__ import annotations

import math
import random

from . import waves
from .model import NOTE_OFF, Envelope, Instrument, Pattern, Sample, Song, note

SPEED, BPM = 6, 125
BAR = 16
DRUM_RATE = 16000                 # drums are rendered at 16 kHz and played on C-4
CYCLE = 64                        # frames per period of the tonal waves
CYCLE_RATE = 261.6256 * CYCLE     # a cycle played on C-4 sounds as C-4

KICK, SNARE, HAT, BASS, PAD_L, PAD_C, PAD_R, LEAD = range(1, 9)
CH_KICK, CH_SNARE, CH_HAT, CH_BASS, CH_PAD, CH_LEAD = 0, 1, 2, 3, 4, 7
PADS = (PAD_L, PAD_C, PAD_R)

CHORDS = {  # pad voicing and bass root of each bar's chord
    "Am": (("A-3", "C-4", "E-4"), "A-2"),
    "F": (("A-3", "C-4", "F-4"), "F-2"),
    "C": (("G-3", "C-4", "E-4"), "C-3"),
    "G": (("G-3", "B-3", "D-4"), "G-2"),
}
PROGRESSION = ("Am", "F", "C", "G")

MELODY_A = (
    ((0, "E-5"), (4, "C-5"), (6, "D-5"), (8, "E-5"), (12, "A-4"), (14, "C-5")),
    ((0, "A-4"), (4, "F-4"), (6, "A-4"), (8, "C-5"), (12, "D-5"), (14, "C-5")),
    ((0, "G-4"), (4, "E-4"), (6, "G-4"), (8, "C-5"), (10, "D-5"), (12, "E-5")),
    ((0, "D-5"), (6, "B-4"), (8, "G-4"), (12, "off")),
)
MELODY_B = (
    ((0, "A-5"), (4, "G-5"), (6, "E-5"), (8, "C-5"), (10, "D-5"), (12, "E-5")),
    ((0, "F-5"), (4, "E-5"), (6, "C-5"), (8, "A-4"), (12, "C-5"), (14, "F-5")),
    ((0, "E-5"), (2, "G-5"), (4, "C-6"), (8, "B-5"), (10, "G-5"), (12, "E-5")),
    ((0, "D-5"), (4, "G-5"), (8, "B-5"), (12, "D-6"), (15, "off")),
)


# ------------------------------------------------------------------ sounds --

def _kick() -> list[int]:
    out, phase = [], 0.0
    for i in range(int(0.3 * DRUM_RATE)):
        t = i / DRUM_RATE
        phase += 2 * math.pi * (45 + 110 * math.exp(-t / 0.03)) / DRUM_RATE
        out.append(120 * math.exp(-t / 0.09) * math.sin(phase))
    return [round(v) for v in out]


def _snare() -> list[int]:
    rng = random.Random(7)
    out = []
    for i in range(int(0.22 * DRUM_RATE)):
        t = i / DRUM_RATE
        body = 0.5 * math.exp(-t / 0.035) * math.sin(2 * math.pi * 185 * t)
        rattle = 0.6 * math.exp(-t / 0.06) * rng.uniform(-1, 1)
        out.append(118 * (body + rattle))
    return waves.clamp([round(v) for v in out], 8)


def _hat() -> list[int]:
    raw = waves.noise(int(0.07 * DRUM_RATE) + 1, 100, seed=3)
    bright = [raw[i + 1] - raw[i] for i in range(len(raw) - 1)]  # crude high-pass
    return waves.clamp(waves.fade(bright, half_life=0.012 * DRUM_RATE), 8)


def _drum(name: str, data: list[int], volume: int, panning: int) -> Instrument:
    sample = Sample(name=name, data=data, volume=volume, panning=panning, rate=DRUM_RATE)
    return Instrument(name=name, samples=[sample])


def _tonal(name: str, weights: tuple[float, ...], volume: int, panning: int,
           envelope: Envelope, fadeout: int, vibrato: tuple[int, int, int] = (0, 0, 0),
           bits: int = 8) -> Instrument:
    peak = 127 if bits == 8 else 32000
    sample = Sample(name=name, data=waves.harmonics(CYCLE, peak, weights), bits=bits,
                    loop="forward", loop_start=0, loop_length=CYCLE, volume=volume,
                    panning=panning, rate=CYCLE_RATE)
    sweep, depth, rate = vibrato
    return Instrument(name=name, samples=[sample], volume_envelope=envelope,
                      fadeout=fadeout, vibrato_sweep=sweep, vibrato_depth=depth,
                      vibrato_rate=rate)


def _instruments() -> list[Instrument]:
    pad_env = Envelope([(0, 0), (14, 44), (40, 36)], sustain=2)
    pad_tone = (1.0, 0.35, 0.45, 0.12, 0.2, 0.06, 0.08)
    return [
        _drum("kick", _kick(), 64, 128),
        _drum("snare", _snare(), 44, 140),
        _drum("hat", _hat(), 34, 176),
        _tonal("bass", (1.0, 0.55, 0.33, 0.22, 0.15, 0.1), 56, 128,
               Envelope([(0, 64), (10, 46), (40, 36)], sustain=2), fadeout=2400),
        _tonal("pad left", pad_tone, 24, 72, pad_env, fadeout=420, vibrato=(40, 3, 9)),
        _tonal("pad centre", pad_tone, 24, 128, pad_env, fadeout=420, vibrato=(40, 3, 11)),
        _tonal("pad right", pad_tone, 24, 184, pad_env, fadeout=420, vibrato=(40, 3, 10)),
        # a soft pulse: odd and even partials falling off like a 25 % pulse
        _tonal("lead", (1.0, 0.7, 0.33, 0.0, 0.2, 0.23, 0.1, 0.0, 0.08), 42, 140,
               Envelope([(0, 56), (8, 44), (60, 34)], sustain=2), fadeout=900,
               vibrato=(60, 4, 12), bits=16),
    ]


# ---------------------------------------------------------------- patterns --

def _drums(pattern: Pattern, bar: int, kick: bool = True, snare: bool = True,
           fill: bool = False) -> None:
    top = bar * BAR
    for row in range(0, BAR, 2):
        pattern.set(top + row, CH_HAT, "C-4", HAT, 36 if row % 4 == 2 else 18)
    if kick:
        for row in (0, 8) + ((10, 14) if fill else ()):
            pattern.set(top + row, CH_KICK, "C-4", KICK)
    if snare:
        for row in (4, 12):
            pattern.set(top + row, CH_SNARE, "C-4", SNARE)
        if fill:
            pattern.set(top + 15, CH_SNARE, "C-4", SNARE, 28)


def _harmony(pattern: Pattern, bar: int, chord: str) -> None:
    top = bar * BAR
    voicing, root = CHORDS[chord]
    for voice, (name, instrument) in enumerate(zip(voicing, PADS)):
        pattern.set(top, CH_PAD + voice, name, instrument)
    low = note(root)
    for row, value in ((0, low), (4, low), (6, low + 12), (8, low), (12, low), (14, low + 7)):
        pattern.set(top + row, CH_BASS, value, BASS)


def _melody(pattern: Pattern, bar: int, phrase) -> None:
    for row, name in phrase:
        if name == "off":
            pattern.set(bar * BAR + row, CH_LEAD, NOTE_OFF)
        else:
            pattern.set(bar * BAR + row, CH_LEAD, name, LEAD)


def demo_song() -> Song:
    song = Song(name=b"xq demo: in A minor", format="xm", channels=8, speed=SPEED,
                bpm=BPM, instruments=_instruments())

    intro = song.new_pattern(4 * BAR)
    for bar, chord in enumerate(PROGRESSION):
        _harmony(intro, bar, chord)
        _drums(intro, bar, kick=bar >= 2, snare=bar >= 2, fill=bar == 3)

    for melody in (MELODY_A, MELODY_B):
        pattern = song.new_pattern(4 * BAR)
        for bar, chord in enumerate(PROGRESSION):
            _harmony(pattern, bar, chord)
            _drums(pattern, bar, fill=bar == 3)
            _melody(pattern, bar, melody[bar])

    ending = song.new_pattern(2 * BAR)
    for voice, (name, instrument) in enumerate(zip(CHORDS["Am"][0], PADS)):
        ending.set(0, CH_PAD + voice, name, instrument)
        ending.set(BAR, CH_PAD + voice, NOTE_OFF)
    ending.set(0, CH_BASS, "A-2", BASS)
    ending.set(BAR, CH_BASS, NOTE_OFF)
    ending.set(0, CH_LEAD, "A-5", LEAD)
    ending.set(BAR, CH_LEAD, NOTE_OFF)
    ending.set(0, CH_KICK, "C-4", KICK)
    ending.set(0, CH_HAT, "C-4", HAT, 30)

    song.orders = [0, 1, 2, 3]
    return song
