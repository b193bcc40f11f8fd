"""Synthesised sample data: lists of signed ints ready for Sample.data.

`amplitude` is the peak value (127 for loud 8-bit, 32767 for loud 16-bit).
Periodic shapes take `cycles`, the number of periods that fit into `length`;
a whole number of cycles loops without a click. Random shapes take a seed and
are reproducible.
"""

from __future__ import annotations

import math
import random
from typing import Callable, Sequence


def _periodic(length: int, amplitude: int, cycles: float,
              shape: Callable[[float], float]) -> list[int]:
    if length < 1:
        raise ValueError("length must be positive")
    return [round(amplitude * shape((i * cycles / length) % 1.0)) for i in range(length)]


def sine(length: int, amplitude: int, cycles: float = 1) -> list[int]:
    return _periodic(length, amplitude, cycles, lambda t: math.sin(2 * math.pi * t))


def square(length: int, amplitude: int, cycles: float = 1, duty: float = 0.5) -> list[int]:
    return _periodic(length, amplitude, cycles, lambda t: 1.0 if t < duty else -1.0)


def saw(length: int, amplitude: int, cycles: float = 1) -> list[int]:
    # rises from -1 to +1 over a period; starts at -amplitude
    return _periodic(length, amplitude, cycles, lambda t: 2.0 * t - 1.0)


def triangle(length: int, amplitude: int, cycles: float = 1) -> list[int]:
    return _periodic(length, amplitude, cycles,
                     lambda t: 4.0 * t - 1.0 if t < 0.5 else 3.0 - 4.0 * t)


def harmonics(length: int, amplitude: int, weights: Sequence[float],
              cycles: float = 1) -> list[int]:
    """Sum of sine partials 1..n with the given weights, scaled to `amplitude`."""
    raw = [sum(w * math.sin(2 * math.pi * (k + 1) * i * cycles / length)
               for k, w in enumerate(weights)) for i in range(length)]
    peak = max(abs(v) for v in raw) or 1.0
    return [round(amplitude * v / peak) for v in raw]


def noise(length: int, amplitude: int, seed: int = 1) -> list[int]:
    rng = random.Random(seed)
    return [rng.randint(-amplitude, amplitude) for _ in range(length)]


def pluck(length: int, amplitude: int, period: int, decay: float = 0.996,
          seed: int = 1) -> list[int]:
    """Plucked string (Karplus-Strong): noise burst of `period` frames, averaged
    and damped by `decay` on every pass."""
    if period < 2:
        raise ValueError("period must be at least 2 frames")
    rng = random.Random(seed)
    ring = [rng.uniform(-1.0, 1.0) for _ in range(period)]
    out = []
    for i in range(length):
        j = i % period
        value = ring[j]
        out.append(value)
        ring[j] = decay * 0.5 * (value + ring[(j + 1) % period])
    peak = max(abs(v) for v in out) or 1.0
    return [round(amplitude * v / peak) for v in out]


def fade(data: Sequence[int], half_life: float, attack: int = 0) -> list[int]:
    """Exponential decay with the given half-life in frames, after an optional
    linear attack of `attack` frames."""
    out = []
    for i, v in enumerate(data):
        gain = 0.5 ** (max(0, i - attack) / half_life) if half_life > 0 else 1.0
        if attack and i < attack:
            gain *= i / attack
        out.append(round(v * gain))
    return out


def mix(*parts: tuple[Sequence[int], float]) -> list[int]:
    """Weighted sum of equally long waves: mix((a, 0.7), (b, 0.3))."""
    length = min(len(p) for p, _ in parts)
    return [round(sum(p[i] * w for p, w in parts)) for i in range(length)]


def clamp(data: Sequence[int], bits: int) -> list[int]:
    top = (1 << (bits - 1)) - 1
    return [max(-top - 1, min(top, v)) for v in data]
