"""What the player sent to the sound server, and measurements on it.

    with NullSink() as pa:                  # re-exported from tools/
        rec = Recorder(pa)
        ...start the player with pa.client_vars()...
        start = rec.wait_for_sound(timeout=5)
        end = rec.wait_until(start + rec.frames(8))
        assert rec.gaps(start, end, min_ms=10) == []

`Recorder` wraps the monitor recording of a `NullSink` (tools/nullsink.py).
Positions are frame numbers counted from the start of that recording
(44100 frames per second; mark() is "now"); spans are half-open
[start, end).  Samples are interleaved signed 16-bit values in an
`array('h')`.  The recording is bit-exact: a single stream at full volume
comes back sample for sample.

The analysis functions also work on any such array, so they can be used on
generated audio:

    gaps(samples, min_ms=10)       silent runs of at least 10 ms
    longest_gap_ms(samples)
    is_silent(samples)
    rms(samples), rms_windows(samples, window_ms)
    dominant_frequency(samples)

A frame is silent when every channel's |sample| is below `threshold`
(default 64, i.e. about -54 dBFS).
"""

import array
import shutil
import math
import os
import sys
import time
from collections import namedtuple
from operator import add, mul

_TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                      os.pardir, os.pardir, "tools")
if os.path.normpath(_TOOLS) not in map(os.path.normpath, sys.path):
    sys.path.insert(0, os.path.normpath(_TOOLS))

from nullsink import (NullSink, UnreachableServer,  # noqa: E402,F401
                      RATE, CHANNELS, _stop_process)

SILENCE_THRESHOLD = 64

Gap = namedtuple("Gap", "start end ms")
Gap.__doc__ = "A silent run: frames [start, end), length in milliseconds."


def to_samples(raw):
    """Raw s16le bytes -> array('h')."""
    a = array.array("h")
    a.frombytes(raw[:len(raw) // 2 * 2])
    if sys.byteorder == "big":
        a.byteswap()
    return a


def _frame_silent(s, frame, channels, threshold):
    base = frame * channels
    for i in range(base, base + channels):
        if not -threshold < s[i] < threshold:
            return False
    return True


def gaps(samples, min_ms, *, threshold=SILENCE_THRESHOLD, rate=RATE,
         channels=CHANNELS, offset=0):
    """Silent runs of at least `min_ms` milliseconds, as Gap tuples in
    order.  Runs touching either end of `samples` count too.  `offset` is
    added to the reported frame numbers."""
    frames = len(samples) // channels
    min_frames = max(1, math.ceil(min_ms * rate / 1000))
    # Any run of >= 2*w-1 silent frames contains a whole window of w
    # frames, so windows find every candidate; the exact ends are then
    # found frame by frame next to the silent windows.
    w = max(1, min(512, (min_frames + 1) // 2))
    step = w * channels
    hi, lo = threshold, -threshold
    silent = []
    for i in range(0, frames * channels, step):
        chunk = samples[i:i + step]
        silent.append(max(chunk) < hi and min(chunk) > lo)
    found = []
    nwin = len(silent)
    k = 0
    while k < nwin:
        if not silent[k]:
            k += 1
            continue
        j = k
        while j < nwin and silent[j]:
            j += 1
        start, end = k * w, min(j * w, frames)
        while start > 0 and _frame_silent(samples, start - 1, channels,
                                          threshold):
            start -= 1
        while end < frames and _frame_silent(samples, end, channels,
                                             threshold):
            end += 1
        if end - start >= min_frames:
            found.append(Gap(start + offset, end + offset,
                             (end - start) * 1000.0 / rate))
        k = j
    return found


def longest_gap_ms(samples, **kw):
    """Length of the longest silent run in ms; runs under 0.5 ms (such as
    a waveform passing through zero) count as 0."""
    runs = gaps(samples, 0.5, **kw)
    return max((g.ms for g in runs), default=0.0)


def _first_loud(samples, threshold, from_end, chunk=4096):
    """Index of the first (or last) sample with |v| >= threshold."""
    starts = range(0, len(samples), chunk)
    for c in (reversed(starts) if from_end else starts):
        part = samples[c:c + chunk]
        if max(part) < threshold and min(part) > -threshold:
            continue
        idx = range(len(part) - 1, -1, -1) if from_end else range(len(part))
        for i in idx:
            if not -threshold < part[i] < threshold:
                return c + i
    return None


def is_silent(samples, threshold=SILENCE_THRESHOLD):
    if not samples:
        return True
    return max(samples) < threshold and min(samples) > -threshold


def peak(samples):
    """Largest absolute sample value."""
    if not samples:
        return 0
    return max(max(samples), -min(samples))


def rms(samples):
    """Root mean square over all samples (both channels), 0..32768."""
    if not samples:
        return 0.0
    return math.sqrt(sum(map(mul, samples, samples)) / len(samples))


def rms_windows(samples, window_ms, *, rate=RATE, channels=CHANNELS):
    """RMS of consecutive windows of `window_ms`; a short last window is
    dropped."""
    step = max(1, round(window_ms * rate / 1000)) * channels
    return [rms(samples[i:i + step])
            for i in range(0, len(samples) - step + 1, step)]


def dominant_frequency(samples, *, rate=RATE, channels=CHANNELS,
                       hysteresis=SILENCE_THRESHOLD):
    """Fundamental frequency estimate in Hz from the upward zero crossings
    of the channel mix, or 0.0 if there are fewer than two.  A crossing
    counts when the signal goes from below -hysteresis to above
    +hysteresis, so low-level noise is ignored.  Exact for a pure tone;
    for music it tracks the strongest low partial only roughly."""
    if channels == 1:
        mono = samples
    else:
        mono = samples[0::channels]
        for c in range(1, channels):
            mono = list(map(add, mono, samples[c::channels]))
        hysteresis *= channels
    first = last = None
    count = 0
    armed = False
    for i, v in enumerate(mono):
        if v < -hysteresis:
            armed = True
        elif armed and v > hysteresis:
            armed = False
            if first is None:
                first = i
            last = i
            count += 1
    if count < 2 or last == first:
        return 0.0
    return (count - 1) * rate / (last - first)


class Recorder:
    """Measurements over the monitor recording of a running NullSink."""

    def __init__(self, sink):
        if sink.recorder is None or not sink.recorder.keep:
            raise ValueError("the NullSink must record and keep its audio")
        self.sink = sink
        self.rec = sink.recorder
        self.rate = sink.rate
        self.channels = sink.channels

    # -- positions ----------------------------------------------------------
    def mark(self):
        """Current position: frames recorded so far."""
        return self.rec.frames

    def frames(self, seconds):
        return round(seconds * self.rate)

    def seconds(self, frames):
        return frames / self.rate

    def wait_until(self, frame, timeout=None):
        """Block until the recording reaches `frame`; returns it."""
        if timeout is None:
            timeout = max(0, frame - self.mark()) / self.rate + 5.0
        return self.rec.wait_frames(frame, timeout)

    def wait_seconds(self, seconds, timeout=None):
        """Block until `seconds` more audio has been recorded; returns the
        end position."""
        return self.wait_until(self.mark() + self.frames(seconds), timeout)

    def record(self, seconds, timeout=None):
        """Record the next `seconds`; returns the (start, end) span."""
        start = self.mark()
        return start, self.wait_until(start + self.frames(seconds), timeout)

    # -- data -----------------------------------------------------------
    def samples(self, start, end=None):
        """Interleaved samples of frames [start, end) (end: now)."""
        return to_samples(self.rec.data(start, end))

    def raw(self, start, end=None):
        return self.rec.data(start, end)

    def first_sound(self, start, end=None, threshold=SILENCE_THRESHOLD):
        """Frame of the first non-silent frame at or after `start`, or
        None."""
        i = _first_loud(self.samples(start, end), threshold, False)
        return None if i is None else start + i // self.channels

    def last_sound(self, start, end=None, threshold=SILENCE_THRESHOLD):
        """Frame just after the last non-silent frame in the span, or
        None."""
        i = _first_loud(self.samples(start, end), threshold, True)
        return None if i is None else start + i // self.channels + 1

    def wait_for_sound(self, start=None, timeout=5.0,
                       threshold=SILENCE_THRESHOLD):
        """Block until a non-silent frame is recorded at or after `start`
        (default: now); returns its position."""
        pos = self.mark() if start is None else start
        deadline = time.monotonic() + timeout
        step = self.frames(0.02)
        while True:
            end = self.mark()
            found = self.first_sound(pos, end, threshold)
            if found is not None:
                return found
            pos = max(pos, end)
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError(f"no sound within {timeout} s")
            try:
                self.rec.wait_frames(end + step, min(left, 0.5))
            except TimeoutError:
                pass

    def wait_for_silence(self, start=None, hold=0.3, timeout=5.0,
                         threshold=SILENCE_THRESHOLD):
        """Block until the recording has been silent for `hold` seconds
        after `start` (default: now); returns the frame where that silence
        began."""
        pos = self.mark() if start is None else start
        deadline = time.monotonic() + timeout
        need = self.frames(hold)
        while True:
            end = self.mark()
            last = self.last_sound(pos, end, threshold)
            quiet_from = pos if last is None else last
            if end - quiet_from >= need:
                return quiet_from
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError(f"still sounding after {timeout} s")
            try:
                self.rec.wait_frames(end + self.frames(0.02), min(left, 0.5))
            except TimeoutError:
                pass

    # -- measurements over spans --------------------------------------------
    def gaps(self, start, end, min_ms, threshold=SILENCE_THRESHOLD):
        return gaps(self.samples(start, end), min_ms, threshold=threshold,
                    rate=self.rate, channels=self.channels, offset=start)

    def longest_gap_ms(self, start, end, threshold=SILENCE_THRESHOLD):
        return longest_gap_ms(self.samples(start, end), threshold=threshold,
                              rate=self.rate, channels=self.channels)

    def is_silent(self, start, end, threshold=SILENCE_THRESHOLD):
        return is_silent(self.samples(start, end), threshold)

    def rms(self, start, end):
        return rms(self.samples(start, end))

    def rms_windows(self, start, end, window_ms):
        return rms_windows(self.samples(start, end), window_ms,
                           rate=self.rate, channels=self.channels)

    def peak(self, start, end):
        return peak(self.samples(start, end))

    def dominant_frequency(self, start, end):
        return dominant_frequency(self.samples(start, end), rate=self.rate,
                                  channels=self.channels)


class RestartableSink(NullSink):
    """A null sink whose server can be stopped and started again on the
    same socket, as when PulseAudio is restarted under a running player."""

    def stop_server(self):
        self.recorder.stop()
        _stop_process(self.proc)
        self.proc = None

    def start_server(self):
        for sub in ("runtime", "state", "config", "client-runtime", "client-state"):
            shutil.rmtree(os.path.join(self.dir, sub), ignore_errors=True)
        self._start()
