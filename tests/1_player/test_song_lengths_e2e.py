"""Song lengths, seeking and the songs of a module: the real binary in tmux,
its time box, status row and control socket, with modules from our writer."""

import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest
import wave

from audio import rms_windows, to_samples
from xqtest import XQ, PlayerTestCase, measures_sound, mw, status_position

# songs_song: three songs of 5.66, 3.84 and 2.56 s in one order list.
SONG_SECONDS = [ms / 1000 for ms in mw.SONGS_LENGTHS_MS]


def parse_status(text):
    return dict(line.split("=", 1) for line in text.splitlines())


def time_box(rows):
    """(elapsed, length or None) in seconds from the time box."""
    m = re.search(r"\[ Time: (\d+):(\d\d)(?:/(\d+):(\d\d))? \]", rows[-1])
    if not m:
        return None
    elapsed = int(m.group(1)) * 60 + int(m.group(2))
    length = int(m.group(3)) * 60 + int(m.group(4)) if m.group(3) else None
    return elapsed, length


def song_box(rows):
    m = re.search(r"\[ Song (\d+)/(\d+) \]", rows[-1])
    return (int(m.group(1)), int(m.group(2))) if m else None


class LengthsCase(PlayerTestCase):
    def setUp(self):
        self.runtime = tempfile.mkdtemp(prefix="xqrun.")
        os.chmod(self.runtime, 0o700)
        self.addCleanup(shutil.rmtree, self.runtime, True)
        self.home = self.make_home()

    def start_xq(self, *args, **kw):
        term = self.start(*args, env={"XDG_RUNTIME_DIR": self.runtime}, home=self.home, **kw)
        self.wait_playing(term)
        socket_path = os.path.join(self.runtime, "xq", "control")
        deadline = time.monotonic() + 5
        while not os.path.exists(socket_path):
            self.assertLess(time.monotonic(), deadline, "no control socket")
            time.sleep(0.02)
        return term

    def remote(self, *words):
        env = dict(os.environ, HOME=self.home, XDG_RUNTIME_DIR=self.runtime)
        r = subprocess.run([XQ, "--remote", *words], capture_output=True, text=True, env=env,
                           stdin=subprocess.DEVNULL, timeout=10)
        self.assertEqual((r.returncode, r.stderr), (0, ""), words)
        return r.stdout

    def status(self):
        return parse_status(self.remote("status"))


class Songs(LengthsCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.songs = cls.song_file("songs.xm", mw.songs_song("xm"))
        # A song that never ends: its last position jumps back to its first.
        endless = mw.tone_song(channels=1, positions=3)
        last = endless.patterns[endless.orders[-1]].copy()
        endless.patterns.append(last)
        last.set(last.rows - 1, 0, effect=mw.FX_JUMP, param=0)
        endless.orders[-1] = len(endless.patterns) - 1
        cls.endless = cls.song_file("endless.xm", endless)
        cls.wide = cls.song_file("wide32.xm", mw.channels_song("xm", 32, 3))
        cls.tunes = cls.song_file("tunes.it", mw.tunes_song("it"))

    def test_time_box_socket_and_keys_show_each_song_and_its_length(self):
        term = self.start_xq(self.songs)
        rows = term.wait_for(lambda rows: song_box(rows) == (1, 3))
        self.assertEqual(time_box(rows)[1], 5)
        status = self.status()
        self.assertEqual((status["length"], status["subsong"], status["subsongs"]), ("5.6", "1", "3"))
        term.send_keys(")")
        rows = term.wait_for(lambda rows: song_box(rows) == (2, 3) and time_box(rows)[1] == 3)
        self.assertEqual(self.status()["length"], "3.8")
        # The second song only ends by its jump back to its start: it stops
        # there, its time standing at its length.
        term.wait_for(lambda rows: self.status()["state"] == "ended", timeout=10)
        self.assertEqual(time_box(term.screen()), (3, 3))
        term.send_keys(")")
        term.wait_for(lambda rows: song_box(rows) == (3, 3) and time_box(rows)[1] == 2)
        term.send_keys(")")  # there is no fourth
        term.send_keys("(", "(")
        term.wait_for(lambda rows: song_box(rows) == (1, 3))
        self.assertEqual(self.status()["subsong"], "1")

    def test_subsong_on_the_command_line_starts_that_song(self):
        term = self.start_xq("--subsong", "3", self.songs)
        term.wait_for(lambda rows: song_box(rows) == (3, 3) and time_box(rows)[1] == 2)
        status = self.status()
        self.assertEqual((status["length"], status["subsong"], status["position"]), ("2.5", "3", "7"))

    def test_the_tunes_after_end_markers_play_each_alone(self):
        term = self.start_xq("--subsong", "2", self.tunes)
        term.wait_for(lambda rows: song_box(rows) == (2, 3) and time_box(rows)[1] == 3)
        status = self.status()
        self.assertEqual((status["length"], status["subsong"], status["positions"]), ("3.8", "2", "2"))
        term.send_keys(")")
        term.wait_for(lambda rows: song_box(rows) == (3, 3) and time_box(rows)[1] == 0)
        self.assertEqual((self.status()["length"], self.status()["positions"]), ("0.9", "1"))
        # The third tune only jumps back to itself: it ends after 0.96 s.
        term.wait_for(lambda rows: self.status()["state"] == "ended", timeout=5)
        term.send_keys("(", "(")
        term.wait_for(lambda rows: song_box(rows) == (1, 3) and time_box(rows)[1] == 3)
        self.assertEqual(self.status()["positions"], "2")

    def test_every_song_in_turn_with_all_songs(self):
        os.makedirs(os.path.join(self.home, ".xq"), mode=0o700, exist_ok=True)
        with open(os.path.join(self.home, ".xq", "options"), "w") as f:
            f.write("all_songs=1\n")
        term = self.start_xq("--subsong", "2", self.tunes)
        term.wait_for(lambda rows: song_box(rows) == (2, 3))
        self.assertEqual(self.status()["state"], "playing")
        # The second tune ends after 3.84 s: the third follows, then ends.
        term.wait_for(lambda rows: song_box(rows) == (3, 3), timeout=8)
        self.assertEqual(self.status()["state"], "playing")
        term.wait_for(lambda rows: self.status()["state"] == "ended", timeout=5)
        self.assertEqual(song_box(term.screen()), (3, 3))

    def test_a_narrow_screen_shows_the_elapsed_time_alone(self):
        term = self.start_xq(self.songs, width=40, height=12)
        rows = term.wait_for(lambda rows: time_box(rows) is not None)
        self.assertIsNone(time_box(rows)[1])
        self.assertIsNone(song_box(rows))
        self.assertTrue(rows[-1].endswith("[ Time: 00:00 ]─┘") or rows[-1].endswith("[ Time: 00:01 ]─┘"), rows[-1])

    def test_lengths_of_an_endless_song_and_of_32_channels(self):
        # 3 positions of 6.4 s: the jump back ends the first pass.
        term = self.start_xq(self.endless)
        term.wait_for(lambda rows: time_box(rows) and time_box(rows)[1] == 19)
        self.assertEqual((self.status()["length"], self.status()["subsongs"]), ("19.2", "1"))
        term.send_keys("q")
        term = self.start_xq(self.wide)
        term.wait_for(lambda rows: time_box(rows) and time_box(rows)[1] == 19)
        self.assertEqual(self.status()["length"], "19.2")

    def test_seek_over_the_socket_lands_on_the_song_time(self):
        term = self.start_xq(self.endless)
        self.remote("seek", "0:10")
        status = self.status()
        # 10 s is position 2 (6.4 s each), row 36 (0.1 s each).
        self.assertIn(int(status["time"]), (10, 11))
        self.assertEqual(status["position"], "2")
        term.wait_for(lambda rows: time_box(rows)[0] in (10, 11) and status_position(rows)[0] == 2)
        self.remote("seek", "-8")
        self.assertIn(int(self.status()["time"]), (2, 3, 4))
        self.remote("seek", "+5")
        self.assertIn(int(self.status()["time"]), (7, 8, 9))
        # Never past the end: the song stops at its length.
        self.remote("seek", "+600")
        term.wait_for(lambda rows: self.status()["state"] == "ended", timeout=5)
        # The screen shows the end by its next frame.
        term.wait_for(lambda rows: time_box(rows) == (19, 19), timeout=3)
        # From the end a seek back plays again.
        self.remote("seek", "-10")
        term.wait_for(lambda rows: self.status()["state"] == "playing" and 8 <= int(self.status()["time"]) <= 11)

    def test_arrows_seek_five_seconds_and_the_comma_and_period_a_minute(self):
        term = self.start_xq(self.endless)
        # The volume the listener set stays through every seek, as through
        # a move to another position.
        term.send_keys(*["-"] * 28)
        term.wait_for(lambda rows: self.status()["volume"] == "100")
        term.send_keys("Right", "Right", "Right")
        term.wait_for(lambda rows: time_box(rows)[0] >= 15)
        term.send_keys("Left")
        term.wait_for(lambda rows: 10 <= time_box(rows)[0] <= 12)
        term.send_keys(",")
        term.wait_for(lambda rows: time_box(rows)[0] <= 2)
        self.assertEqual(self.status()["volume"], "100")
        term.send_keys(".")
        term.wait_for(lambda rows: self.status()["state"] == "ended", timeout=5)


def seek_song():
    """Silent for its first position (6.4 s); at 9.4 s channel 0 starts a
    long quiet tone whose loudness steps every 0.25 s of the sample, so a
    voice started at the wrong place in it sounds out of step; from 10.1 s
    channel 1 plucks loudly every 0.4 s."""
    song = mw.Song(name=b"xq seek", format="xm", channels=2, speed=5, bpm=125)
    rate = 8000
    steps = []
    for block in range(16):  # 4 s of sample
        steps += mw.square(rate // 4, 40 if block % 2 else 100, cycles=rate // 4 // 32)
    song.samples.append(mw.Sample(name="steps", data=steps, rate=rate, volume=40))
    song.samples.append(mw.Sample(name="pluck", data=mw.fade(mw.square(2400, 127, cycles=75), 300), rate=rate))
    silent = song.new_pattern(64)
    held = song.new_pattern(64)
    held.set(30, 0, "C-4", 1, 40)
    plucks = song.new_pattern(64)
    for row in range(37, 64, 4):
        held.set(row, 1, "C-4", 2, 64)
    for row in range(1, 64, 4):
        plucks.set(row, 1, "C-4", 2, 64)
    del silent
    song.orders = [0, 1, 2]
    return song


def correlation(a, b):
    n = min(len(a), len(b))
    a, b = a[:n], b[:n]
    ma, mb = sum(a) / n, sum(b) / n
    cov = sum((x - ma) * (y - mb) for x, y in zip(a, b))
    va = sum((x - ma) ** 2 for x in a) ** 0.5
    vb = sum((y - mb) ** 2 for y in b) ** 0.5
    return cov / (va * vb)


def first_above(samples, level, channels=2):
    for i, v in enumerate(samples):
        if abs(v) > level:
            return i // channels
    return None


class Playlist(LengthsCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.songs = cls.song_file("songs.xm", mw.songs_song("xm"))
        cls.tunes = cls.song_file("tunes.it", mw.tunes_song("it"))

    def test_the_list_its_info_and_the_footer_show_the_lengths(self):
        term = self.start_xq(self.songs, self.tunes)
        # Each entry plays its first song: 5.66 s and 3.84 s, 9.50 s in all.
        term.wait_for(lambda rows: re.search(r"Playlist:\s+1/\s+2\s+\(00:0\d/00:09\)", rows[-1]))
        term.send_keys("t", "l")
        rows = term.wait_for(lambda rows: any("tunes.it" in r for r in rows))
        self.assertRegex(next(r for r in rows if "songs.xm" in r), r"songs\.xm\s+00:05 ")
        self.assertRegex(next(r for r in rows if "tunes.it" in r), r"tunes\.it\s+00:03 ")
        # Info on the second entry: its first song's length and its songs.
        term.send_keys("PageUp", *["Down"] * 6, "Enter", "Down", "Enter")
        rows = term.wait_for(lambda rows: any("Length: 00:03" in r for r in rows))
        self.assertTrue(any(re.search(r"Songs: 3", r) for r in rows), "\n".join(rows))

    def test_lengths_on_the_command_line(self):
        r = subprocess.run([XQ, "--lengths", self.songs, self.tunes, "/nonexistent.xm"], capture_output=True,
                           text=True, stdin=subprocess.DEVNULL, timeout=30)
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stdout, f"{self.songs}\t5660 3840 2560\n{self.tunes}\t3840 3840 960\n"
                                   "/nonexistent.xm\t?\n")


class SeekSound(LengthsCase):
    @measures_sound
    def test_a_seek_sounds_as_the_song_rendered_from_there(self):
        song = self.song_file("seek.xm", seek_song())
        reference = os.path.join(self.files.name, "seek.wav")
        r = subprocess.run([XQ, "--render", reference, song], capture_output=True, stdin=subprocess.DEVNULL,
                           timeout=60, env=dict(os.environ, HOME=self.home))
        self.assertEqual(r.returncode, 0, r.stderr)
        with wave.open(reference) as w:
            rate = w.getframerate()
            w.setpos(10 * rate)
            ref = to_samples(w.readframes(2 * rate))
        term = self.start_xq(song)
        before = self.rec.mark()
        self.remote("seek", "0:10")
        # The song is silent until 6.4 s: the first sound is the seek's.
        start = self.rec.wait_for_sound(before, timeout=5)
        self.assertLess(self.rec.seconds(start - before), 3.0)
        got = self.rec.samples(start, self.rec.wait_until(start + self.rec.frames(2.0)))
        self.assertEqual(status_position(term.screen())[0], 2)
        mine, theirs = rms_windows(got, 10), rms_windows(ref, 10)
        print(f"\nloudness envelopes (10 ms RMS) correlate {correlation(mine, theirs):.3f}")
        self.assertGreater(correlation(mine, theirs), 0.95)
        # The held tone comes in at its own loudness, not its start's.
        self.assertAlmostEqual(mine[0] / theirs[0], 1.0, delta=0.15)
        # The first pluck, 100 ms after the seek's landing.
        held = max(abs(v) for v in ref[:2 * rate * 9 // 100])
        plucked = max(abs(v) for v in ref[2 * rate // 10:2 * rate * 12 // 100])
        self.assertGreater(plucked, 1.5 * held)
        level = (held + plucked) / 2
        onset_mine = first_above(got, level)
        onset_ref = first_above(ref, level)
        self.assertIsNotNone(onset_ref)
        self.assertIsNotNone(onset_mine)
        print(f"first pluck {1000 * (onset_mine - onset_ref) / rate:+.2f} ms from the rendering's")
        self.assertLess(abs(onset_mine - onset_ref) / rate, 0.005, (onset_mine, onset_ref))


class SeekGaps(LengthsCase):
    @measures_sound
    def test_seeking_again_and_again_leaves_no_gap(self):
        # A held tone from each position's first row, 6.4 s a position.
        song = self.song_file("tone.xm", mw.tone_song(channels=1, positions=6))
        self.start_xq(song)
        start = self.rec.wait_for_sound(timeout=5) + self.rec.frames(0.5)
        for n in range(12):
            self.remote("seek", "+7" if n % 2 == 0 else "-5")
            time.sleep(0.25)
        end = self.rec.mark()
        self.assertEqual(self.rec.gaps(start, end, min_ms=10), [])


class Render(unittest.TestCase):
    def assert_rendered_songs(self, work, name, song, seconds):
        # Each song to its own file, as long as its walk to within one tick
        # (20 ms at 125 BPM), and no file for a song the module lacks.
        path = os.path.join(work, f"{name}.{song.format}")
        mw.write_song(song, path)
        r = subprocess.run([XQ, "--render", os.path.join(work, f"{name}.wav"), "--subsong", "all", path],
                           capture_output=True, stdin=subprocess.DEVNULL, timeout=60)
        self.assertEqual(r.returncode, 0, r.stderr)
        for n, length in enumerate(seconds, 1):
            with wave.open(os.path.join(work, f"{name}-{n}.wav")) as w:
                self.assertAlmostEqual(w.getnframes() / w.getframerate(), length, delta=0.02)
        self.assertFalse(os.path.exists(os.path.join(work, f"{name}-{len(seconds) + 1}.wav")))

    def test_render_writes_each_song_as_long_as_its_walk(self):
        work = tempfile.mkdtemp(prefix="xqrender.")
        self.addCleanup(shutil.rmtree, work, True)
        for fmt in ("xm", "it", "s3m", "mod"):
            self.assert_rendered_songs(work, fmt, mw.songs_song(fmt), SONG_SECONDS)
        for fmt in ("it", "s3m"):
            self.assert_rendered_songs(work, f"tunes-{fmt}", mw.tunes_song(fmt),
                                       [ms / 1000 for ms in mw.TUNES_LENGTHS_MS])

if __name__ == "__main__":
    unittest.main()
