"""The module writer, checked through libmikmod itself (tools/modinfo).

Run from the repository root after building modinfo:
    python3 -m unittest discover -s tests/tools -p 'test_*.py'
modinfo is looked up as $XQ_MODINFO, else $XQ_BUILD_DIR/tools/modinfo
(XQ_BUILD_DIR defaults to <repo>/build).
"""

from __future__ import annotations

import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tools"))

import modwriter as mw  # noqa: E402

TICK = 2.5 / mw.BPM                    # seconds per tick at the presets' tempo
FORMAT_LIMITS = {"mod": (4, 8), "xm": (1, 32), "it": (33, 64), "s3m": (1, 16)}


def modinfo_binary() -> Path:
    if os.environ.get("XQ_MODINFO"):
        return Path(os.environ["XQ_MODINFO"])
    return Path(os.environ.get("XQ_BUILD_DIR", REPO / "build")) / "tools" / "modinfo"


def parse(text: str) -> dict[str, str]:
    return dict(line.split("=", 1) for line in text.splitlines() if "=" in line)


class ModinfoTestCase(unittest.TestCase):
    """Writes files into a scratch directory and asks libmikmod about them."""

    @classmethod
    def setUpClass(cls):
        cls.modinfo = modinfo_binary()
        if not cls.modinfo.is_file():
            raise AssertionError(f"modinfo not found at {cls.modinfo}; build it first "
                                 "(cmake --build build --target modinfo) or set XQ_MODINFO")
        cls._tmp = tempfile.TemporaryDirectory(prefix="modwriter-test-")
        cls.tmp = Path(cls._tmp.name)

    @classmethod
    def tearDownClass(cls):
        cls._tmp.cleanup()

    def run_modinfo(self, path: Path, *args: str) -> subprocess.CompletedProcess:
        return subprocess.run([str(self.modinfo), str(path), *args], capture_output=True,
                              text=True, errors="surrogateescape", timeout=120)

    def info(self, song_or_path, play: float | None = None) -> dict[str, str]:
        path = song_or_path
        if isinstance(song_or_path, mw.Song):
            path = self.tmp / f"song{mw.EXTENSIONS[song_or_path.format]}"
            mw.write_song(song_or_path, path)
        result = self.run_modinfo(path, *(["--play", str(play)] if play else []))
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        return parse(result.stdout)

    def assertAllChannelsAlwaysAudible(self, info: dict[str, str]) -> None:
        ticks = int(info["play.ticks"])
        self.assertGreater(ticks, 0)
        for ch in range(int(info["numchn"])):
            self.assertEqual(int(info[f"play.channel.{ch}.audible_ticks"]), ticks, f"channel {ch}")


def tone_sample(**fields) -> mw.Sample:
    base = dict(name="tone", data=mw.square(32, 100), loop=mw.LOOP_FORWARD, loop_length=32)
    base.update(fields)
    return mw.Sample(**base)


def one_note_song(fmt: str, channels: int, samples: list[mw.Sample], rows: int = 64,
                  name: bytes = b"test") -> mw.Song:
    """Each sample played once, sample i on channel i % channels."""
    song = mw.Song(name=name, format=fmt, channels=channels, speed=mw.SPEED, bpm=mw.BPM,
                   samples=samples)
    pattern = song.new_pattern(rows)
    for i in range(len(samples)):
        pattern.set(i // channels, i % channels, "C-4", i + 1)
    song.orders = [0]
    return song


class ModelTest(unittest.TestCase):
    def test_note_names(self):
        for name, value in (("C-0", 1), ("C-4", 49), ("A-4", 58), ("c#3", 38), ("B-7", 96),
                            ("===", mw.NOTE_OFF), ("off", mw.NOTE_OFF), ("^^^", mw.NOTE_CUT),
                            ("cut", mw.NOTE_CUT)):
            with self.subTest(name=name):
                self.assertEqual(mw.note(name), value)
        self.assertEqual(mw.note_name(58), "A-4")
        for bad in ("H-4", "C-8", "C4", "C-x", ""):
            with self.subTest(bad=bad), self.assertRaises(ValueError):
                mw.note(bad)

    def test_song_length_counts_rows_of_every_position(self):
        for speed, bpm, rows, orders, seconds in ((6, 125, [64], [0], 7.68),
                                                  (5, 125, [64, 10], [0, 1, 0], 13.8),
                                                  (3, 150, [32], [0] * 10, 16.0)):
            with self.subTest(speed=speed, bpm=bpm):
                song = mw.Song(speed=speed, bpm=bpm, channels=1, orders=orders)
                for r in rows:
                    song.new_pattern(r)
                self.assertAlmostEqual(mw.song_length(song), seconds)

    def test_positions_for_covers_the_requested_time(self):
        for seconds, positions in ((0.1, 1), (6.4, 1), (6.5, 2), (600, 94)):
            self.assertEqual(mw.positions_for(seconds), positions)

    def test_generated_waves_peak_at_their_amplitude(self):
        for amplitude, data in ((100, mw.sine(64, 100)), (127, mw.square(32, 127)),
                                (90, mw.saw(50, 90)), (120, mw.triangle(40, 120)),
                                (80, mw.noise(500, 80, seed=4)), (110, mw.pluck(800, 110, 40)),
                                (30000, mw.harmonics(64, 30000, (1, 0.5, 0.2)))):
            peak = max(abs(v) for v in data)
            self.assertTrue(amplitude * 0.95 <= peak <= amplitude, (amplitude, peak))
        self.assertEqual(mw.noise(100, 50, seed=9), mw.noise(100, 50, seed=9))

    def test_writers_refuse_what_the_format_cannot_hold(self):
        def song(fmt, channels=4, **changes):
            s = one_note_song(fmt, channels, [tone_sample()])
            for key, value in changes.items():
                setattr(s, key, value)
            return s

        full = mw.Pattern(256, 32)
        for row in range(256):
            for ch in range(32):
                full.set(row, ch, "C-4", 1, 64, mw.FX_PAN, 0x80)
        too_big = song("xm", 32)
        too_big.patterns = [full]
        cases = {
            "xm with 33 channels": song("xm", 33),
            "it with 65 channels": song("it", 65),
            "s3m with 17 channels": song("s3m", 17),
            "16-bit sample in mod": song("mod", samples=[tone_sample(data=[0] * 32, bits=16)]),
            "ping-pong loop in mod": song("mod", samples=[tone_sample(loop=mw.LOOP_PINGPONG)]),
            "ping-pong loop in s3m": song("s3m", samples=[tone_sample(loop=mw.LOOP_PINGPONG)]),
            "mod name over 20 bytes": song("mod", name=b"x" * 21),
            "xm name over 20 bytes": song("xm", name=b"x" * 21),
            "it name over 25 bytes": song("it", name=b"x" * 26),
            "comment in xm": song("xm", comment="hello"),
            "comment over 8000 bytes": song("it", comment="x" * 8000),
            "sample value beyond 8 bits": song("xm", samples=[tone_sample(data=[128] * 32)]),
            "loop past the end": song("xm", samples=[tone_sample(loop_start=8)]),
            "order without pattern": song("xm", orders=[0, 1]),
            "no positions": song("xm", orders=[]),
            "xm pattern over libmikmod's packed limit": too_big,
            "mod note below C-3": song("mod"),
            "missing instrument": song("xm"),
        }
        cells = {  # what the cell's format cannot hold
            "letter effect in xm": ("xm", dict(effect="D", param=1)),
            "letter effect in mod": ("mod", dict(effect="D", param=1)),
            "volume-column command in mod": ("mod", dict(volcmd=0x65)),
            "volume-column command in s3m": ("s3m", dict(volcmd=10)),
            "xm volume-column byte without meaning": ("xm", dict(volcmd=0x55)),
            "it volume-column byte without meaning": ("it", dict(volcmd=126)),
            "volume and volume-column command": ("it", dict(volume=10, volcmd=70)),
            "note cut in xm": ("xm", dict(note="cut")),
            "not a command letter": ("it", dict(effect="DD", param=1)),
        }
        for what, (fmt, fields) in cells.items():
            cases[what] = song(fmt)
            cases[what].patterns[0].set(1, 0, **fields)
        cases["missing instrument"].patterns[0].set(1, 0, "C-4", 2)
        cases["mod note below C-3"].patterns[0].set(0, 0, "B-2", 1)
        for what, bad in cases.items():
            with self.subTest(what), self.assertRaises(ValueError):
                mw.encode(bad)


class FormatTest(ModinfoTestCase):
    def test_channel_counts_and_song_header(self):
        expected_type = {("mod", 4): "Protracker", ("mod", 8): "Fasttracker",
                         "xm": "(XM format 1.04)", "it": "ImpulseTracker", "s3m": "Screamtracker"}
        for fmt, counts in FORMAT_LIMITS.items():
            for channels in counts:
                with self.subTest(fmt=fmt, channels=channels):
                    song = one_note_song(fmt, channels, [tone_sample()])
                    song.orders = [0, 0, 0]
                    info = self.info(song)
                    self.assertIn(expected_type.get((fmt, channels)) or expected_type[fmt],
                                  info["modtype"])
                    self.assertEqual(int(info["numchn"]), channels)
                    self.assertEqual(int(info["numpos"]), 3)
                    self.assertEqual(int(info["numpat"]), 1)
                    if fmt != "mod":  # MOD has no header fields for these
                        self.assertEqual(int(info["initspeed"]), mw.SPEED)
                        self.assertEqual(int(info["inittempo"]), mw.BPM)

    def test_song_name_bytes_survive_in_every_format(self):
        for fmt in FORMAT_LIMITS:
            for name in (mw.DEFAULT_NAME, b"%%%", b"a%nb%sc%d%x%p%%"):
                with self.subTest(fmt=fmt, name=name):
                    info = self.info(one_note_song(fmt, 4, [tone_sample()], name=name))
                    self.assertEqual(bytes.fromhex(info["songname_hex"]), name)

    def test_xm_samples_keep_width_loop_volume_and_panning(self):
        samples = [
            mw.Sample(name="plain", data=mw.sine(100, 100), volume=10, panning=0),
            mw.Sample(name="fwd16", data=mw.sine(64, 30000), bits=16, loop=mw.LOOP_FORWARD,
                      loop_start=16, loop_length=48, volume=64, panning=255),
            mw.Sample(name="pingpong", data=mw.saw(80, 100), loop=mw.LOOP_PINGPONG,
                      loop_start=20, loop_length=40, volume=33, panning=77),
            mw.Sample(name="pp16", data=mw.triangle(50, 20000), bits=16,
                      loop=mw.LOOP_PINGPONG, loop_start=0, loop_length=50, volume=0),
        ]
        info = self.info(one_note_song("xm", 4, samples))
        self.assertEqual(int(info["numsmp"]), 4)
        expect = [  # bits, loop, bidi, volume, panning, loop start, loop end
            (8, 0, 0, 10, 0, 0, 0), (16, 1, 0, 64, 255, 16, 64),
            (8, 1, 1, 33, 77, 20, 60), (16, 1, 1, 0, 128, 0, 50),
        ]
        for i, (sample, row) in enumerate(zip(samples, expect)):
            with self.subTest(sample=sample.name):
                got = tuple(int(info[f"sample.{i}.{k}"]) for k in
                            ("bits", "loop", "bidi", "volume", "panning", "loopstart"))
                self.assertEqual(got, row[:6])
                if row[1]:
                    self.assertEqual(int(info[f"sample.{i}.loopend"]), row[6])
                self.assertEqual(int(info[f"sample.{i}.length"]), len(sample.data))
                self.assertEqual(info[f"sample.{i}.name"], sample.name)
                self.assertEqual(int(info[f"sample.{i}.ownpan"]), 1)

    def test_it_samples_and_how_libmikmod_scales_their_panning(self):
        pans = [None, 0, 100, 128, 253, 255]
        samples = [mw.Sample(name=f"s{i}", data=mw.sine(64, 30000 if i % 2 else 100),
                             bits=16 if i % 2 else 8,
                             loop=[mw.LOOP_NONE, mw.LOOP_FORWARD, mw.LOOP_PINGPONG][i % 3],
                             loop_length=64 if i % 3 else 0, volume=10 * i, panning=p)
                   for i, p in enumerate(pans)]
        info = self.info(one_note_song("it", 40, samples))
        for i, pan in enumerate(pans):
            with self.subTest(panning=pan):
                self.assertEqual(int(info[f"sample.{i}.bits"]), 16 if i % 2 else 8)
                self.assertEqual(int(info[f"sample.{i}.loop"]), 1 if i % 3 else 0)
                self.assertEqual(int(info[f"sample.{i}.bidi"]), 1 if i % 3 == 2 else 0)
                self.assertEqual(int(info[f"sample.{i}.volume"]), 10 * i)
                # IT stores 0-64; libmikmod reports four times that, 64 as 255
                if pan is None:
                    self.assertEqual(int(info[f"sample.{i}.ownpan"]), 0)
                else:
                    stored = min(64, round(pan / 4))
                    self.assertEqual(int(info[f"sample.{i}.panning"]),
                                     255 if stored == 64 else stored * 4)
                    self.assertEqual(int(info[f"sample.{i}.ownpan"]), 1)

    def test_mod_and_s3m_samples(self):
        for fmt, bits in (("mod", 8), ("s3m", 16)):
            with self.subTest(fmt=fmt):
                looped = tone_sample(data=mw.square(64, 100 if bits == 8 else 20000, cycles=2),
                                     bits=bits, volume=20, loop_start=16, loop_length=32)
                oneshot = mw.Sample(name="oneshot", data=mw.noise(300, 90), volume=64)
                info = self.info(one_note_song(fmt, 4, [looped, oneshot]))
                self.assertEqual(int(info["numsmp"]), 31 if fmt == "mod" else 2)
                got = [int(info[f"sample.0.{k}"]) for k in
                       ("bits", "loop", "volume", "length", "loopstart", "loopend")]
                self.assertEqual(got, [bits, 1, 20, 64, 16, 48])
                self.assertEqual((int(info["sample.1.loop"]), int(info["sample.1.length"])),
                                 (0, 300))

    def test_sample_data_arrives_intact(self):
        # A looped square of amplitude A: libmikmod keeps samples as 16 bit
        # (8-bit ones shifted up), so the data's peak-to-peak is 2A or 2A*256.
        for fmt, bits in (("mod", 8), ("xm", 8), ("xm", 16), ("it", 8), ("it", 16),
                          ("s3m", 8), ("s3m", 16)):
            with self.subTest(fmt=fmt, bits=bits):
                amplitude = 100 if bits == 8 else 20000
                sample = tone_sample(data=mw.square(32, amplitude), bits=bits)
                info = self.info(one_note_song(fmt, 4, [sample], rows=8), play=1)
                self.assertEqual(int(info["play.channel.0.max_amplitude"]),
                                 2 * amplitude * (256 if bits == 8 else 1))

    def test_xm_instrument_keymap_picks_sample_and_tuning(self):
        low = mw.Sample(name="low", data=mw.sine(32, 100), loop=mw.LOOP_FORWARD,
                        loop_length=32, rate=8363)
        high = mw.Sample(name="high", data=mw.square(32, 100), loop=mw.LOOP_FORWARD,
                         loop_length=32, rate=11025)
        song = mw.Song(format="xm", channels=2, speed=mw.SPEED, bpm=mw.BPM, instruments=[
            mw.Instrument(name="split", samples=[low, high], keymap=[(1, 0), (mw.note("C-5"), 1)])])
        pattern = song.new_pattern(8)
        pattern.set(0, 0, "C-4", 1, 64)
        pattern.set(0, 1, "C-5", 1, 64)
        song.orders = [0]
        info = self.info(song, play=0.5)
        self.assertEqual((int(info["numins"]), int(info["numsmp"])), (1, 2))
        self.assertEqual(info["instrument.0.name"], "split")
        self.assertAlmostEqual(int(info["play.channel.0.frequency"]) / 8363, 1, delta=0.005)
        self.assertAlmostEqual(int(info["play.channel.1.frequency"]) / (2 * 11025), 1, delta=0.005)

    def test_it_comment(self):
        for text, shown in (("one line", "one line"),
                            ("two\nlines %s %d %n", "two\\nlines %s %d %n"),
                            (b"crlf\r\nback\\slash", "crlf\\nback\\\\slash")):
            with self.subTest(text=text):
                song = one_note_song("it", 40, [tone_sample()])
                song.comment = text
                info = self.info(song)
                self.assertEqual(info["comment"], shown)
                self.assertEqual(int(info["numchn"]), 40)

    def test_rejected_files_report_libmikmod_error(self):
        good = self.tmp / "good.xm"
        mw.write_song(one_note_song("xm", 2, [tone_sample()]), good)
        text = self.tmp / "notes.txt"
        text.write_text("this is not a module\n" * 20)
        cut = self.tmp / "cut.xm"
        cut.write_bytes(good.read_bytes()[:350])  # header complete, first pattern not
        for path, message in ((text, "Module format not recognized"),
                              (cut, "Failure loading module pattern"),
                              (self.tmp / "missing.mod", "Could not open requested file")):
            with self.subTest(path=path.name):
                result = self.run_modinfo(path)
                self.assertEqual(result.returncode, 1)
                self.assertEqual(parse(result.stdout)["error"], message)


class PresetTest(ModinfoTestCase):
    def test_tone_is_still_sounding_after_ten_minutes(self):
        for fmt, channels in (("xm", 1), ("xm", 2), ("it", 40), ("mod", 4), ("s3m", 3)):
            with self.subTest(fmt=fmt, channels=channels):
                song = mw.tone_song(channels, fmt)
                notes = sum(1 for p in song.orders for row in song.patterns[p].cells
                            for cell in row if cell.note)
                self.assertEqual(notes, channels, "each channel starts its tone once")
                info = self.info(song, play=601)
                self.assertEqual(info["play.ended"], "0")
                self.assertGreaterEqual(int(info["play.sngtime"]), 601 * 1024)
                played = int(info["play.sngtime"]) / 1024
                self.assertAlmostEqual(int(info["play.rows"]), played / mw.ROW_SECONDS, delta=1)
                self.assertEqual(info["play.silent_ticks"], "0")
                self.assertAllChannelsAlwaysAudible(info)
                for ch in range(channels):
                    self.assertEqual(int(info[f"play.channel.{ch}.max_volume"]), 256)
                    frequency = int(info[f"play.channel.{ch}.frequency"]) / mw.TONE_CYCLE
                    self.assertAlmostEqual(frequency, 440, delta=2)

    def test_tone_ends_after_its_positions(self):
        info = self.info(mw.tone_song(1, "xm"), play=7200)
        self.assertEqual(info["play.ended"], "1")
        self.assertAlmostEqual(float(info["play.seconds"]),
                               mw.TONE_POSITIONS * mw.POSITION_SECONDS + TICK, delta=0.002)
        info = self.info(mw.tone_song(1, "it", seconds=20), play=7200)
        self.assertAlmostEqual(float(info["play.seconds"]), 4 * 6.4 + TICK, delta=0.002)

    def test_short_song_ends_on_time(self):
        for fmt, seconds in (("xm", 3), ("mod", 2.5), ("it", 7.0), ("s3m", 2), ("xm", 0.1)):
            with self.subTest(fmt=fmt, seconds=seconds):
                song = mw.short_song(seconds, fmt)
                self.assertAlmostEqual(mw.song_length(song), seconds)
                info = self.info(song, play=60)
                self.assertEqual(info["play.ended"], "1")
                # libmikmod notices the end one tick after the last row
                self.assertAlmostEqual(float(info["play.seconds"]), seconds + TICK, delta=0.002)
                self.assertEqual(info["play.silent_ticks"], "0")

    def test_channels_have_live_volume_and_panning_everywhere(self):
        for fmt, channels in (("mod", 4), ("mod", 8), ("xm", 32), ("it", 64), ("s3m", 16)):
            with self.subTest(fmt=fmt, channels=channels):
                info = self.info(mw.channels_song(fmt, channels, positions=3), play=60)
                self.assertEqual(int(info["numchn"]), channels)
                self.assertEqual(int(info["numpos"]), 3)
                self.assertEqual(info["play.ended"], "1")
                self.assertAllChannelsAlwaysAudible(info)
                for ch in range(channels):
                    volumes = int(info[f"play.channel.{ch}.volumes"])
                    self.assertGreaterEqual(volumes, 4 if fmt == "mod" else 40, f"channel {ch}")
                    self.assertGreaterEqual(int(info[f"play.channel.{ch}.pannings"]), 60)

    def test_demo_is_committed_current_and_plays(self):
        committed = REPO / "examples" / "demo.xm"
        self.assertEqual(committed.read_bytes(), mw.encode(mw.demo_song()),
                         "regenerate with: python3 tools/modwriter.py demo examples/demo.xm")
        self.assertLess(committed.stat().st_size, 64 * 1024)
        info = self.info(committed, play=120)
        self.assertEqual(int(info["numchn"]), 8)
        self.assertEqual(info["play.ended"], "1")
        self.assertTrue(15 <= float(info["play.seconds"]) <= 35)
        for ch in range(8):
            self.assertGreater(int(info[f"play.channel.{ch}.audible_ticks"]), 100)


class CommandLineTest(ModinfoTestCase):
    def cli(self, *args: str) -> subprocess.CompletedProcess:
        return subprocess.run([sys.executable, str(REPO / "tools" / "modwriter.py"), *args],
                              capture_output=True, timeout=120)

    def test_presets_write_what_their_options_ask_for(self):
        out = self.tmp / "cli"
        comment_file = self.tmp / "message.txt"
        comment_file.write_bytes(b"from a file\nsecond line")
        cases = [
            (["tone", "--channels", "2", "--positions", "3"], "xm",
             {"numchn": "2", "numpos": "3"}),
            (["tone", "--format", "it", "--channels", "36", "--seconds", "700"], "it",
             {"numchn": "36", "numpos": "110"}),
            (["short", "--format", "mod", "--seconds", "1.5"], "mod", {"numchn": "4"}),
            (["channels", "--format", "mod", "--channels", "8", "--positions", "5"], "mod",
             {"numchn": "8", "numpos": "5"}),
            (["comment", "--comment", r"first\nsecond", "--channels", "48"], "it",
             {"numchn": "48", "comment": "first\\nsecond"}),
            (["comment", "--comment-file", str(comment_file)], "it",
             {"comment": "from a file\\nsecond line"}),
            (["name", "--name", "50% %s%n"], "xm", {"songname": "50% %s%n"}),
            (["name", "--format", "it", "--name-hex", "2525733f"], "it",
             {"songname_hex": "2525733f"}),
            (["demo"], "xm", {"numchn": "8"}),
            (["notation", "--format", "s3m"], "s3m", {"numchn": "4", "numpos": "2"}),
            (["wide", "--channels", "96", "--positions", "2"], "mod",
             {"numchn": "96", "numpos": "2"}),
            (["samples"], "mod", {"numsmp": "31", "sample.30.name": "sample 31"}),
            (["samples", "--format", "xm", "--count", "12"], "xm",
             {"numins": "12", "instrument.11.name": "instrument 12",
              "sample.2.flags": "0x1115", "sample.3.flags": "0x1315"}),
        ]
        for args, fmt, expected in cases:
            with self.subTest(args=args):
                path = out.with_suffix("." + fmt)
                result = self.cli(args[0], str(path), *args[1:])
                self.assertEqual(result.returncode, 0, result.stderr)
                info = self.info(path)
                self.assertEqual({k: info[k] for k in expected}, expected)

    def test_help_lists_every_preset(self):
        result = self.cli("--help")
        self.assertEqual(result.returncode, 0, result.stderr)
        for preset in ("tone", "short", "channels", "comment", "name", "wide", "samples", "notation",
                       "demo"):
            self.assertIn(preset.encode(), result.stdout)

    def test_impossible_requests_fail_with_a_message(self):
        for args in (["tone", "--channels", "33"], ["tone", "--format", "mod", "--positions", "129"],
                     ["name", "--name", "x" * 21], ["channels", "--format", "s3m", "--channels", "17"],
                     ["wide", "--channels", "100"], ["samples", "--count", "32"]):
            with self.subTest(args=args):
                path = self.tmp / "refused.mod"
                result = self.cli(args[0], str(path), *args[1:])
                self.assertEqual(result.returncode, 1)
                self.assertIn(b"error:", result.stderr)
                self.assertFalse(path.exists())


if __name__ == "__main__":
    unittest.main()
