"""The effects and options panels on the real binary in tmux, heard
through a private null sink: layouts, moving and closing, saving the
options for the next run, a failed save, and what each change does to the
sound (loudness, separation, mono, reverse stereo, a new mixing frequency)
without gaps while the panels are open."""

import os
import re
import subprocess
import time
import unittest

from audio import rms
from xqtest import PlayerTestCase, mw, status_position
from xqtest import measures_sound

SPEED_ROW_SECONDS = 0.1  # every module of our writer: speed 5 at 125 BPM


def showing(text):
    return lambda rows: any(text in row for row in rows)


def not_showing(text):
    return lambda rows: not any(text in row for row in rows)


def song_rows(rows):
    """Rows played so far: position * 64 + row, from the status row."""
    pos = status_position(rows)
    return None if pos is None else (pos[0] - 1) * 64 + pos[1]


def time_box_seconds(rows):
    m = re.search(r"Time: (\d+):(\d+)", rows[-1])
    return int(m.group(1)) * 60 + int(m.group(2)) if m else None


def left_tone():
    """One steady tone panned hard left."""
    song = mw.tone_song(channels=1)
    song.patterns[0].set(0, 0, "A-4", 1, 64, mw.FX_PAN, 0)
    return song


def tick_song():
    """A 38 ms burst on every row (every 0.1 s), silence between: the
    spacing of the bursts shows any sound lost or delayed."""
    song = mw.Song(name=b"xq ticks", format="xm", channels=1, speed=5, bpm=125)
    song.samples.append(mw.Sample(name="tick", data=mw.square(320, 100, cycles=10)))
    pattern = song.new_pattern(64)
    for row in range(64):
        pattern.set(row, 0, "C-4", 1, 64)
    song.orders = [0] * 20
    return song


def channel_rms(samples):
    return rms(samples[0::2]), rms(samples[1::2])


def make_unwritable(directory):
    """Makes `directory` refuse new files, also for root; returns the undo
    function, or None when this machine cannot."""
    if os.geteuid() != 0:
        os.chmod(directory, 0o555)
        return lambda: os.chmod(directory, 0o755)
    if subprocess.run(["chattr", "+i", directory], capture_output=True).returncode != 0:
        return None
    return lambda: subprocess.run(["chattr", "-i", directory], capture_output=True)


class PanelScreens(PlayerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tone = cls.song_file("tone2.xm", mw.tone_song(channels=2))

    def start_tone(self, **kw):
        term = self.start(self.tone, **kw)
        self.wait_playing(term)
        return term

    def test_effects_panel_layout_change_move_and_close(self):
        term = self.start_tone()
        term.send_keys("e")
        screen = term.wait_for(lambda s: "[ Effects ]" in str(s), cells=True)
        self.assertEqual(screen.find("┌─[ Effects ]"), [(0, 20)])
        labels = ["   Speed ", "   Tempo ", "     BPM ", "  Reverb ", "  Stereo ",
                  " Gen Vol ", " Mod Vol ", " Mix Vol ", "    Bass ", "  Treble "]
        # speed 5, tempo and BPM 125, no reverb, full separation and
        # volumes, module volume 128 of 256, no mixer device
        percents = [99, 48, 48, 0, 100, 100, 50, 0, 0, 0]
        for i, (label, percent) in enumerate(zip(labels, percents)):
            row = screen.text(2 + i)
            self.assertEqual(row[21:30], label)
            self.assertEqual(row[52:57].strip(), f"{percent}%", row)
            self.assertEqual(screen.cell(2 + i, 21).reverse, i == 0, label)
        self.assertEqual(screen.text(13)[20:60], "└" + "─" * 38 + "┘")

        term.send_keys("Down", "Right", "Right", "PageDown", "Left", "PageUp", "Left")
        # Tempo 125 -> 127; left on Speed slows the song: 5 -> 6 ticks a row.
        term.wait_for(lambda rows: "98%" in rows[2] and "49%" in rows[3])
        cells = term.wait_for(lambda s: s.cell(2, 21).reverse, cells=True)
        self.assertFalse(cells.cell(11, 21).reverse)

        term.send_keys("m", "Right", "Right", "Down", "Enter")
        term.wait_for(lambda rows: rows[1][22:35] == "┌─[ Effects ]")
        term.send_keys("q")
        rows = term.wait_for(not_showing("[ Effects ]"))
        self.assertTrue(rows[2].startswith("│Title  : xq tone"), rows[2])  # repainted whole
        # the status row follows within a frame
        term.wait_for(lambda rows: re.search(r"Spd:\s+6\s+Tmp:\s*127", rows[4]))
        term.send_keys("e")
        term.wait_for(lambda rows: rows[1][22:35] == "┌─[ Effects ]")  # the moved corner
        term.send_keys("Escape")
        term.wait_for(not_showing("[ Effects ]"))
        self.assertFalse(term.exited())
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_options_panel_layout_selection_and_close(self):
        term = self.start_tone()
        term.send_keys("o")
        screen = term.wait_for(lambda s: "Save options" in str(s), cells=True)
        self.assertEqual(screen.find("┌─[ Options ]"), [(2, 20)])
        expected = {
            4: " [X] 16bit ", 5: " [X] Stereo ", 6: " [ ] Reverse stereo ", 7: " [X] Surround ",
            8: " [ ] Interpolate ", 10: " [X] High quality mixer ",
            11: " Mixing frequency   [ 44100 ] ", 13: " [ ] Loop module ", 14: " [ ] Fadeout module ",
            15: " [ ] Random mode (playlist) ", 17: " Refresh delay   [    40 ] ",
            18: " Colors          [ dark     ] ", 19: " Crossfeed       [ off       ] ",
            20: " Save options ",
        }
        for row, text in expected.items():
            self.assertEqual(screen.text(row)[23:23 + len(text)], text, row)
        for row in (9, 12, 16):
            self.assertEqual(screen.text(row)[21:59].strip(), "", row)
        self.assertTrue(screen.cell(4, 24).reverse)
        self.assertEqual(screen.text(21)[20:60], "└" + "─" * 38 + "┘")

        term.send_keys("Down", "Down", "Down", "Down", "Down")  # over the blank row
        cells = term.wait_for(lambda s: s.cell(10, 24).reverse, cells=True)
        self.assertFalse(cells.cell(8, 24).reverse)
        # The number editor ignores q and Escape; Enter stores.
        term.send_keys("PageDown", "Up", "Up", "Up", "Enter", "Right", "q", "Escape", "Enter")
        rows = term.wait_for(showing("Refresh delay   [    80 ]"))
        self.assertIn("[ Options ]", "\n".join(rows))
        term.send_keys("q")
        term.wait_for(not_showing("[ Options ]"))
        self.assertFalse(term.exited())
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_both_panels_fit_a_tiny_terminal_and_close(self):
        term = self.start_tone(width=40, height=12)
        for key, title, last in (("e", "[ Effects ]", "   Speed "), ("o", "[ Options ]", "Interpolate")):
            term.send_keys(key)
            rows = term.wait_for(showing(title))
            self.assertTrue(rows[0].startswith("┌─" + title), rows[0])  # moved into the screen
            self.assertIn(last, "\n".join(rows))
            term.send_keys("PageDown", "Down", "m", "Right", "Enter", "q")
            term.wait_for(not_showing(title))
        self.assertFalse(term.exited())
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_saved_options_start_the_next_run(self):
        home = os.path.join(self.files.name, "home-save")
        os.makedirs(home)
        term = self.start_tone(home=home)
        term.send_keys("o", "PageDown", "Up", "Up", "Up", "Up", "Up", "Up", "Enter")  # Loop module
        term.wait_for(showing("[X] Loop module"))
        term.send_keys("m", "Left", "Left", "Down", "Enter", "PageDown", "Enter")
        path = os.path.join(home, ".xq", "options")
        term.wait_for(showing(f"'{path}' saved."))
        term.send_keys("Enter")
        rows = term.wait_for(not_showing("saved."))
        self.assertIn("Save options", rows[21][18:60])  # still open, on Save options
        term.send_keys("q", "q")
        self.assert_clean_exit(term)
        with open(path) as f:
            lines = f.read().splitlines()
        self.assertEqual(len(lines), 26)  # 16 settings (loops and all_songs among them) and 10 corners
        self.assertIn("loop_module=1", lines)
        self.assertIn("separation=100", lines)
        self.assertIn("crossfeed=0", lines)
        self.assertIn("colors=dark", lines)
        self.assertIn("OPT_X=18", lines)
        self.assertIn("OPT_Y=3", lines)

        again = self.start_tone(home=home)
        again.send_keys("o")
        rows = again.wait_for(showing("Save options"))
        self.assertEqual(rows[3][18:31], "┌─[ Options ]")
        self.assertIn("[X] Loop module", rows[14])
        again.send_keys("q", "q")
        self.assert_clean_exit(again)

    def test_a_failed_save_shows_the_error_and_keeps_the_old_file(self):
        home = os.path.join(self.files.name, "home-readonly")
        config = os.path.join(home, ".xq")
        os.makedirs(config)
        path = os.path.join(config, "options")
        old = "16bits=1\nstereo=1\ndelay=40\nOPT_X=20\nOPT_Y=2\n"
        with open(path, "w") as f:
            f.write(old)
        undo = make_unwritable(config)
        if undo is None:
            self.skipTest("cannot make a directory read-only here")
        self.addCleanup(undo)
        term = self.start_tone(home=home)
        term.send_keys("o", "PageDown", "Enter")
        rows = term.wait_for(showing(f"Can't open '{path}'."))
        term.send_keys("Enter")
        rows = term.wait_for(not_showing("Can't open"))
        self.assertIn("Save options", "\n".join(rows))  # the panel stays open
        term.send_keys("q", "q")
        self.assert_clean_exit(term)
        with open(path) as f:
            self.assertEqual(f.read(), old)
        self.assertEqual(os.listdir(config), ["options"])  # no temporary file left

    @measures_sound
    def test_loop_module_plays_a_finished_song_again(self):
        short = self.song_file("short3.xm", mw.short_song(seconds=3.0))
        home = os.path.join(self.files.name, "home-loop")
        os.makedirs(os.path.join(home, ".xq"))
        with open(os.path.join(home, ".xq", "options"), "w") as f:
            f.write("loop_module=1\n")
        term = self.start(short, home=home)
        self.wait_playing(term)
        start = self.rec.wait_for_sound(timeout=10)
        rows = term.wait_for(lambda rows: (time_box_seconds(rows) or 0) >= 5, timeout=10)
        self.assertIsNotNone(status_position(rows))  # still playing past its end
        end = self.rec.wait_until(start + self.rec.frames(5.5))
        self.assertEqual(self.rec.gaps(start, end, 10), [])
        term.send_keys("q")
        self.assert_clean_exit(term)


class PanelSound(PlayerTestCase):
    """What the panels change in the sound. Each measurement compares
    stretches of the recording before and after keys."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tone = cls.song_file("tone2.xm", mw.tone_song(channels=2))
        cls.left = cls.song_file("left.xm", left_tone())
        cls.ticks = cls.song_file("ticks.xm", tick_song())

    def play(self, path):
        term = self.start(path)
        self.wait_playing(term)
        self.rec.wait_for_sound(timeout=10)
        self.rec.wait_seconds(0.5)
        return term

    def after_keys(self, term, *keys, until=None, seconds=0.6):
        """The samples recorded once `keys` have been carried out (the
        screen meets `until`) and the sound has settled."""
        term.send_keys(*keys)
        if until:
            term.wait_for(until, timeout=20)
        time.sleep(0.3)
        start, end = self.rec.record(seconds)
        return self.rec.samples(start, end)

    @staticmethod
    def meter_reads(row, percent):
        return lambda rows: rows[row][52:57].strip() == f"{percent}%"

    @measures_sound
    def test_volume_rows_change_loudness_without_gaps(self):
        term = self.play(self.tone)
        opened = self.rec.mark()
        loud = self.after_keys(term, "e", until=showing("[ Effects ]"))
        gen = self.after_keys(term, *["Down"] * 5, *["Left"] * 64, until=self.meter_reads(7, 50))
        mod = self.after_keys(term, "Down", *["Left"] * 64, until=self.meter_reads(8, 25))
        term.send_keys("q")
        term.wait_for(not_showing("[ Effects ]"))
        closed = self.rec.mark()
        ratio_gen = rms(gen) / rms(loud)
        ratio_mod = rms(mod) / rms(gen)
        print(f"\nloudness (RMS): full {rms(loud):.0f}, Gen Vol 64 {rms(gen):.0f} ({ratio_gen:.3f}), "
              f"then Mod Vol 64 {rms(mod):.0f} ({ratio_mod:.3f})")
        self.assertTrue(0.35 < ratio_gen < 0.65, ratio_gen)
        self.assertTrue(0.35 < ratio_mod < 0.65, ratio_mod)
        self.assertEqual(self.rec.gaps(opened, closed, 10), [])
        term.send_keys("q")
        self.assert_clean_exit(term)

    @measures_sound
    def test_stereo_separation_zero_makes_left_and_right_equal(self):
        term = self.play(self.left)
        left, right = channel_rms(self.after_keys(term, "e", until=showing("[ Effects ]")))
        self.assertLess(right, left / 100)  # hard left
        left, right = channel_rms(self.after_keys(term, *["Down"] * 4, *["Left"] * 128,
                                                  until=self.meter_reads(6, 0)))
        self.assertAlmostEqual(left / right, 1.0, delta=0.02)
        term.send_keys("q", "q")
        self.assert_clean_exit(term)

    @measures_sound
    def test_half_separation_puts_part_of_the_left_on_the_right(self):
        term = self.play(self.left)
        left, right = channel_rms(self.after_keys(term, "e", "Down", "Down", "Down", "Down", *["Left"] * 50,
                                                  until=self.meter_reads(6, 50)))
        share = right / left
        print(f"\nseparation 50 %: right/left {share:.3f}")
        self.assertTrue(0.1 < share < 0.9, share)
        term.send_keys("q", "q")
        self.assert_clean_exit(term)

    @measures_sound
    def test_crossfeed_is_heard_at_once_without_gaps(self):
        term = self.play(self.left)
        opened = self.rec.mark()
        left, right = channel_rms(self.after_keys(term, "o", "PageDown", "Up", "Enter",
                                                  until=showing("Crossfeed       [ default   ]")))
        # bs2b's default preset: the far side about 4.5 dB down at the
        # lowest frequencies and more above its 700 Hz cut, for a square
        # wave at 440 Hz well below the near side yet far from silent.
        share = right / left
        print(f"\ncrossfeed default: right/left {share:.3f}")
        self.assertTrue(0.2 < share < 0.7, share)
        left, right = channel_rms(self.after_keys(term, "Enter", "Enter", "Enter",
                                                  until=showing("Crossfeed       [ off       ]")))
        self.assertLess(right, left / 100)  # off again: hard left as before
        self.assertEqual(self.rec.gaps(opened, self.rec.mark(), 10), [])
        term.send_keys("q", "q")
        self.assert_clean_exit(term)

    @measures_sound
    def test_reverse_stereo_swaps_the_channels_at_once(self):
        term = self.play(self.left)
        opened = self.rec.mark()
        left, right = channel_rms(self.after_keys(term, "o", "Down", "Down", "Enter",
                                                  until=showing("[X] Reverse stereo")))
        self.assertLess(left, right / 100)
        self.assertEqual(self.rec.gaps(opened, self.rec.mark(), 10), [])  # no restart needed
        term.send_keys("q")
        term.wait_for(showing("!STEREO"))
        term.send_keys("q")
        self.assert_clean_exit(term)

    def restart_gaps(self, before, after):
        """The silent runs of 10 ms or more between two marks: at most the
        one interruption of the driver's restart, well under half a second."""
        found = self.rec.gaps(before, after, 10)
        print(f"\nrestart: longest silence {self.rec.longest_gap_ms(before, after):.1f} ms")
        self.assertLessEqual(len(found), 1, found)
        for gap in found:
            self.assertLess(gap.ms, 500)
        return found

    @measures_sound
    def test_stereo_off_makes_the_output_mono(self):
        term = self.play(self.left)
        before = self.rec.mark()
        samples = self.after_keys(term, "o", "Down", "Enter", until=showing("[ ] Stereo"))
        left, right = channel_rms(samples)
        self.assertGreater(right, 1000)
        self.assertAlmostEqual(left / right, 1.0, delta=0.02)
        self.restart_gaps(before, self.rec.mark())
        term.send_keys("q")
        term.wait_for(lambda rows: "MONO" in rows[3])  # the driver line shows the mode in force
        term.send_keys("q")
        self.assert_clean_exit(term)

    @measures_sound
    def test_a_new_mixing_frequency_keeps_pitch_and_song_speed(self):
        term = self.play(self.tone)
        start, end = self.rec.record(0.6)
        pitch = self.rec.dominant_frequency(start, end)
        before = self.rec.mark()
        term.send_keys("o", *["Down"] * 6, "Enter", "Left", "Enter")
        rows = term.wait_for(showing("22050 Hz"))
        self.assertIn("Mixing frequency   [ 22050 ]", "\n".join(rows))
        term.send_keys("q")
        term.wait_for(lambda rows: song_rows(rows) is not None)
        time.sleep(0.5)
        t0 = time.monotonic()
        rows0 = song_rows(term.screen())
        start, end = self.rec.record(3.0)
        rows1 = song_rows(term.screen())
        elapsed = time.monotonic() - t0
        new_pitch = self.rec.dominant_frequency(start, end)
        played = (rows1 - rows0) * SPEED_ROW_SECONDS
        print(f"\npitch {pitch:.2f} Hz at 44100, {new_pitch:.2f} Hz at 22050; "
              f"{played:.1f} s of song in {elapsed:.1f} s")
        self.assertAlmostEqual(new_pitch / pitch, 1.0, delta=0.01)
        self.assertAlmostEqual(played, elapsed, delta=0.5)
        self.restart_gaps(before, end)
        term.send_keys("q", "q")
        self.assert_clean_exit(term)

    @measures_sound
    def test_8bit_output_and_interpolation_are_heard(self):
        term = self.play(self.tone)
        full = self.after_keys(term)
        self.assertTrue(any(v % 256 for v in full))
        eight = self.after_keys(term, "o", "Enter", until=showing("[ ] 16bit"))
        self.assertTrue(eight and all(v % 256 == 0 for v in eight))  # 8-bit samples, widened
        plain = self.after_keys(term, "Enter", *["Down"] * 5, "Enter",
                                until=showing("[ ] High quality mixer"))
        before = self.rec.mark()
        smooth = self.after_keys(term, "Up", "Enter", until=showing("[X] Interpolate"))
        self.assertEqual(self.rec.gaps(before, self.rec.mark(), 10), [])  # heard without a restart
        plain_again = self.after_keys(term, "Enter", until=showing("[ ] Interpolate"))
        # A square wave played between the mixer's sample points: without
        # interpolation only its two levels come out, with it the ramps
        # between them.
        print(f"\ndistinct sample values: {len(set(plain))} plain, {len(set(smooth))} interpolated")
        self.assertLess(len(set(plain)), 8)
        self.assertGreater(len(set(smooth)), 4 * len(set(plain)))
        self.assertEqual(len(set(plain_again)), len(set(plain)))
        term.send_keys("q", "q")
        self.assert_clean_exit(term)

    @measures_sound
    def test_a_restart_interrupts_the_song_only_briefly(self):
        term = self.play(self.ticks)
        before = self.rec.mark()
        term.send_keys("o", *["Down"] * 6, "Enter", "Left", "Enter")
        term.wait_for(showing("22050 Hz"))
        _, end = self.rec.record(1.5)
        onsets = [g.end for g in self.rec.gaps(before, end, 20)][1:-1]
        spacing = [(b - a) * 1000.0 / self.rec.rate for a, b in zip(onsets, onsets[1:])]
        self.assertGreater(len(spacing), 10, spacing)
        worst = max(spacing, key=lambda ms: abs(ms - 100))
        print(f"\nrestart: tick spacing {min(spacing):.1f} to {max(spacing):.1f} ms "
              f"(100 without a restart); the restart moved one tick by {worst - 100:+.1f} ms")
        self.assertLess(abs(worst - 100), 150, spacing)
        term.send_keys("q", "q")
        self.assert_clean_exit(term)


if __name__ == "__main__":
    unittest.main()
