"""The sound keeps flowing whatever the key timeout and however fast keys
come, and a song that ends falls silent: the real binary in tmux, its sound
recorded from a private null sink."""

import os
import re
import shutil
import signal
import tempfile
import time
import unittest

from audio import RestartableSink
from xqtest import shown_volume, VERSION_LINE, XQ, NullSink, PlayerTestCase, Recorder, Terminal, mw, status_position
from xqtest import measures_sound


def home_with_options(test, lines):
    """A fresh HOME for `test`, removed when it ends, whose options file
    holds `lines`."""
    return test.make_home("".join(line + "\n" for line in lines))


def shown_bpm(rows):
    m = re.search(r"Bpm:\s*(\d+)", rows[4])
    return int(m.group(1)) if m else None


class KeyTimeouts(PlayerTestCase):
    """refresh_delay sets how often the screen is redrawn, never how long the
    driver goes unfed."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tone = cls.song_file("tone.xm", mw.tone_song(channels=2))

    @measures_sound
    def test_no_gap_at_any_delay(self):
        for delay in (0, 40, 500, 10000):
            with self.subTest(delay=delay):
                home = home_with_options(self, [f"delay={delay}"])
                term = self.start(self.tone, home=home)
                start = self.rec.wait_for_sound(timeout=10)
                end = self.rec.wait_until(start + self.rec.frames(4))
                self.assertEqual(self.rec.gaps(start + self.rec.frames(0.3), end, min_ms=10), [])
                # a key is seen at once even when the screen is redrawn seldom
                rows = term.wait_for(lambda rows: shown_volume(rows) is not None)
                volume = shown_volume(rows)
                term.send_keys("+")
                term.wait_for(lambda rows: shown_volume(rows) == volume + 1, timeout=1.5)
                term.send_keys("q")
                self.assert_clean_exit(term)

    def test_the_clock_follows_the_delay(self):
        home = home_with_options(self, ["delay=2000"])
        term = self.start(self.tone, home=home)
        self.wait_playing(term)
        seen = set()
        t0 = time.monotonic()
        while time.monotonic() - t0 < 4.5:
            seen.add(tuple(term.screen()[4:5]))
            time.sleep(0.05)
        # redrawn every two seconds: a few distinct status rows, not one per 100 ms
        self.assertLessEqual(len(seen), 4)
        self.assertGreaterEqual(len(seen), 2)
        term.send_keys("q")
        self.assert_clean_exit(term)


class KeyBursts(PlayerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tone = cls.song_file("tone.xm", mw.tone_song(channels=2))

    @measures_sound
    def test_five_hundred_keys_then_quit(self):
        term = self.start(self.tone)
        self.wait_playing(term)
        start = self.rec.wait_for_sound(timeout=10)
        self.rec.wait_until(start + self.rec.frames(0.5))
        # 501 switches of the volume display: handled at once, no gap
        sent_at = self.rec.mark()
        term.send_keys(*(["u"] * 501))
        term.wait_for(lambda rows: "Voice volume" in rows[5], timeout=2)
        end = self.rec.wait_until(sent_at + self.rec.frames(1.5))
        self.assertEqual(self.rec.gaps(sent_at, end, min_ms=10), [])
        t0 = time.monotonic()
        term.send_keys(*(["u"] * 500 + ["q"]))
        self.assertEqual(term.wait_exit(10), 0)
        took = time.monotonic() - t0
        self.assertLess(took, 2.0, f"500 keys and q took {took:.2f} s")

    @measures_sound
    def test_keys_in_a_panel_keep_the_sound(self):
        term = self.start(self.tone)
        self.wait_playing(term)
        start = self.rec.wait_for_sound(timeout=10)
        self.rec.wait_until(start + self.rec.frames(0.3))
        term.send_keys("h")
        term.wait_for("Help")
        opened = self.rec.mark()
        t0 = time.monotonic()
        term.send_keys(*(["Down", "Up"] * 250))
        term.send_keys("q")
        term.wait_for(lambda rows: not any("[ Help ]" in r for r in rows))
        self.assertLess(time.monotonic() - t0, 3.0)
        end = self.rec.wait_until(self.rec.mark() + self.rec.frames(0.5))
        self.assertEqual(self.rec.gaps(opened, end, min_ms=10), [])
        term.send_keys("q")
        self.assert_clean_exit(term)


class SongEnd(PlayerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.ending = cls.song_file("ending.xm", mw.ending_song(seconds=1.5))

    def wait_ended(self, term):
        return term.wait_for(lambda rows: "End of song" in rows[0], timeout=10)

    @measures_sound
    def test_the_sound_stops_and_p_or_A_plays_again(self):
        term = self.start(self.ending)
        start = self.rec.wait_for_sound(timeout=10)
        self.wait_ended(term)
        quiet = self.rec.wait_for_silence(start, hold=1.0, timeout=5)
        # the song lasts 1.5 s; its last row's tone is cut at the end
        self.assertLess(self.rec.seconds(quiet - start), 1.5 + 0.3)
        self.assertTrue(self.rec.is_silent(quiet, self.rec.wait_until(quiet + self.rec.frames(1.5))))

        for key in ("p", "A"):
            with self.subTest(key=key):
                term.send_keys(key)
                again = self.rec.wait_for_sound(timeout=5)
                term.wait_for(lambda rows: "End of song" not in rows[0], timeout=2)
                self.wait_ended(term)
                quiet = self.rec.wait_for_silence(again, hold=0.5, timeout=5)
                self.assertLess(self.rec.seconds(quiet - again), 1.5 + 0.3)
        term.send_keys("q")
        self.assert_clean_exit(term)

    @measures_sound
    def test_a_tiny_terminal_shows_the_end_too(self):
        term = self.start(self.ending, width=40, height=12)
        start = self.rec.wait_for_sound(timeout=10)
        self.wait_ended(term)
        quiet = self.rec.wait_for_silence(start, hold=1.0, timeout=5)
        self.assertLess(self.rec.seconds(quiet - start), 1.5 + 0.3)
        # growing the terminal draws the title row anew, the mark with it
        term.resize(80, 24)
        self.wait_ended(term)
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_a_stopped_song_at_its_end_plays_again(self):
        term = self.start(self.ending)
        self.wait_ended(term)
        term.send_keys("t")
        term.wait_for(lambda rows: "Stopping" not in "".join(rows))
        mark = self.rec.mark()
        term.send_keys("p")
        self.rec.wait_for_sound(mark, timeout=5)
        self.wait_ended(term)
        term.send_keys("q")
        self.assert_clean_exit(term)


class Tempo(PlayerTestCase):
    def test_bpm_keys_stop_where_the_library_does(self):
        song = mw.tone_song(channels=1, positions=3)
        term = self.start(self.song_file("bpm.xm", song))
        self.wait_playing(term)
        term.send_keys(*(["b"] * 120))
        term.wait_for(lambda rows: shown_bpm(rows) == 32, timeout=5)
        # the song clock keeps real time at the slowest tempo
        time.sleep(0.5)
        first = term.screen()
        t0 = time.monotonic()
        time.sleep(5)
        last = term.screen()
        t1 = time.monotonic()

        def seconds(rows):
            m = re.search(r"Time:\s*(\d+):(\d+)", rows[-1])
            return int(m.group(1)) * 60 + int(m.group(2))

        self.assertAlmostEqual(seconds(last) - seconds(first), t1 - t0, delta=1.2)
        self.assertEqual(shown_bpm(last), 32)
        term.send_keys(*(["B"] * 240))
        term.wait_for(lambda rows: shown_bpm(rows) == 255, timeout=5)
        term.send_keys("B")
        time.sleep(0.3)
        self.assertEqual(shown_bpm(term.screen()), 255)
        term.send_keys("q")
        self.assert_clean_exit(term)


class SoundServerGoesAway(unittest.TestCase):
    @measures_sound
    def test_the_song_waits_and_the_output_comes_back(self):
        sink = RestartableSink().start()
        self.addCleanup(sink.stop)
        files = tempfile.mkdtemp(prefix="xqe2e.")
        self.addCleanup(shutil.rmtree, files, True)
        song = os.path.join(files, "tone.xm")
        mw.write_song(mw.tone_song(channels=1), song)
        term = Terminal([XQ, song], env=sink.client_vars())
        self.addCleanup(term.close)
        Recorder(sink).wait_for_sound(timeout=10)
        time.sleep(1.0)
        before = status_position(term.screen())

        sink.stop_server()
        t0 = time.monotonic()
        rows = term.wait_for(lambda rows: any("Sound output lost: PulseAudio" in r for r in rows), timeout=3)
        noticed = time.monotonic() - t0
        box = [r for r in rows if "Sound output lost" in r][0]
        self.assertEqual(term.screen_cells().style_of("Sound output lost")["fg"], 1)  # red
        # the song does not race on in silence: it waits at the song
        # position it had
        time.sleep(0.5)
        where = status_position(term.screen())
        self.assertEqual(where[0], before[0])
        time.sleep(3.0)
        rows = term.wait_for(lambda rows: any("PulseAudio cannot be reached" in r for r in rows), timeout=3)
        self.assertEqual(status_position(rows), where)
        self.assertFalse(term.exited())

        sink.start_server()
        rec = Recorder(sink)
        back = time.monotonic()
        start = rec.wait_for_sound(timeout=10)
        came_back = time.monotonic() - back
        term.wait_for(lambda rows: not any("Sound output lost" in r for r in rows), timeout=3)
        end = rec.wait_until(start + rec.frames(2))
        self.assertEqual(rec.gaps(start + rec.frames(0.3), end, min_ms=10), [])
        self.assertLess(came_back, 4.5)
        self.assertLess(noticed, 2.0, box)
        term.send_keys("q")
        self.assertEqual(term.wait_exit(10), 0)

    def start_tone(self, sink, files):
        song = os.path.join(files, "tone.xm")
        mw.write_song(mw.tone_song(channels=1), song)
        term = Terminal([XQ, song], env=sink.client_vars())
        self.addCleanup(term.close)
        Recorder(sink).wait_for_sound(timeout=10)
        return term

    def new_sink(self):
        sink = RestartableSink().start()
        self.addCleanup(sink.stop)
        files = tempfile.mkdtemp(prefix="xqe2e.")
        self.addCleanup(shutil.rmtree, files, True)
        return sink, files

    def test_output_options_changed_just_after_the_server_died(self):
        # Every option that restarts the driver, toggled at once and again
        # and again while the server is gone: no abort, the song waits, and
        # the sound comes back with the server.
        sink, files = self.new_sink()
        term = self.start_tone(sink, files)
        term.send_keys("o")
        term.wait_for("Options")
        sink.stop_server()
        for _ in range(6):
            term.send_keys("Enter")  # 16bit
            time.sleep(0.15)
        term.wait_for(lambda rows: any("Sound output lost" in r for r in rows), timeout=5)
        self.assertFalse(term.exited(), term.stderr())
        term.send_keys("q")
        sink.start_server()
        rec = Recorder(sink)
        rec.wait_for_sound(timeout=10)
        term.wait_for(lambda rows: not any("Sound output lost" in r for r in rows), timeout=5)
        term.send_keys("q")
        self.assertEqual(term.wait_exit(10), 0, term.stderr())

    def test_losing_the_server_in_the_first_pattern_keeps_the_place(self):
        sink, files = self.new_sink()
        term = self.start_tone(sink, files)
        rows = term.wait_for(lambda rows: (status_position(rows) or (0, 0))[1] >= 20, timeout=10)
        before = status_position(rows)
        self.assertEqual(before[0], 1)
        sink.stop_server()
        rows = term.wait_for(lambda rows: any("Sound output lost" in r for r in rows), timeout=3)
        where = status_position(rows)
        # not back at the song's start: within a second of where it was
        self.assertEqual(where[0], 1)
        self.assertGreaterEqual(where[1], before[1] - 10)
        self.assertNotIn("Time: 00:00", rows[-1])
        term.send_keys("q")
        self.assertEqual(term.wait_exit(10), 0)

    def test_a_frozen_server_never_holds_the_exit(self):
        # The server stops answering (SIGSTOP): the sound thread is held in
        # a write that does not end. q, and a quit signal while an options
        # change waits for the thread, still end the program at once.
        for how in ("q", "signal during a restart"):
            with self.subTest(how=how):
                sink, files = self.new_sink()
                term = self.start_tone(sink, files)
                os.kill(sink.proc.pid, signal.SIGSTOP)
                try:
                    time.sleep(1.0)
                    if how == "q":
                        t0 = time.monotonic()
                        term.send_keys("q")
                    else:
                        term.send_keys("o")
                        term.wait_for("Options")
                        term.send_keys("Enter")  # 16bit: a restart the thread never gets to
                        time.sleep(0.5)
                        t0 = time.monotonic()
                        term.signal(signal.SIGTERM)
                    self.assertEqual(term.wait_exit(10), 0, term.stderr())
                    self.assertLess(time.monotonic() - t0, 4.0)
                    self.assertIn(VERSION_LINE, term.text_after_alt_screen())
                finally:
                    os.kill(sink.proc.pid, signal.SIGCONT)


class ChangesOfModule(PlayerTestCase):
    @measures_sound
    def test_one_module_after_another_leaves_no_gap(self):
        # Each change drops what the old module left in the server's buffer;
        # the new one's sound takes its place without a moment's silence.
        songs = [self.song_file("tone%d.xm" % n, mw.tone_song(channels=2, name=b"tone number %d" % n))
                 for n in range(9)]
        term = self.start(*songs)
        self.wait_playing(term)
        start = self.rec.wait_for_sound(timeout=10)
        self.rec.wait_until(start + self.rec.frames(0.3))
        mark = self.rec.mark()
        for n in range(1, 9):
            term.send_keys("N")
            term.wait_for(lambda rows, n=n: any("tone number %d" % n in r for r in rows), timeout=5)
            time.sleep(0.4)
        end = self.rec.wait_until(self.rec.mark() + self.rec.frames(0.3))
        self.assertEqual(self.rec.gaps(mark, end, min_ms=10), [])
        term.send_keys("q")
        self.assert_clean_exit(term)


class FailedLoads(PlayerTestCase):
    @measures_sound
    def test_N_onto_an_entry_that_cannot_be_loaded(self):
        # The old module sounds on without a gap and without a lost-output
        # box; the entry after it plays once the failed one is passed over.
        tone = self.song_file("tone.xm", mw.tone_song(channels=2))
        bad = os.path.join(self.files.name, "bad.xm")
        with open(bad, "wb") as f:
            f.write(b"not a module at all" * 50)
        other = self.song_file("other.xm", mw.tone_song(channels=2, name=b"other tone"))
        term = self.start(tone, bad, other)
        self.wait_playing(term)
        start = self.rec.wait_for_sound(timeout=10)
        self.rec.wait_until(start + self.rec.frames(0.5))
        mark = self.rec.mark()
        term.send_keys("N")
        rows = term.wait_for(lambda rows: any("not recognized" in r.lower() or "Module format" in r for r in rows),
                             timeout=5)
        end = self.rec.wait_until(self.rec.mark() + self.rec.frames(2.0))
        self.assertEqual(self.rec.gaps(mark, end, min_ms=10), [])
        self.assertFalse(any("Sound output lost" in r for r in term.screen()), term.screen_text())
        term.send_keys("Enter")
        term.wait_for(lambda rows: any("other tone" in r for r in rows), timeout=5)
        self.assertFalse(any("Sound output lost" in r for r in term.screen()), term.screen_text())
        term.send_keys("q")
        self.assert_clean_exit(term)


if __name__ == "__main__":
    unittest.main()
