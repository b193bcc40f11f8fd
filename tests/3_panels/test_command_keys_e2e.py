"""The single-key playback commands on the real binary in tmux, heard
through a private null sink: pause, stop and restart, mute all, volume, and
a quit signal while paused."""

import re
import signal
import unittest

from xqtest import PlayerTestCase, mw, status_position
from xqtest import measures_sound


def song_volume(rows):
    """The "Vol:" value of the status row, or None."""
    m = re.search(r"Vol:\s*(\d+)", rows[4] if len(rows) > 4 else "")
    return int(m.group(1)) if m else None


def showing(text):
    return lambda rows: any(text in row for row in rows)


def not_showing(text):
    return lambda rows: not any(text in row for row in rows)


class PlaybackKeys(PlayerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tone = cls.song_file("tone2.xm", mw.tone_song(channels=2))

    def start_tone(self):
        term = self.start(self.tone)
        self.wait_playing(term)
        self.rec.wait_for_sound(timeout=10)
        return term

    def assert_silent_for(self, seconds):
        quiet = self.rec.wait_for_silence(hold=0.3, timeout=3)
        _, end = self.rec.record(seconds)
        self.assertTrue(self.rec.is_silent(quiet, end), f"peak {self.rec.peak(quiet, end)}")

    @measures_sound
    def test_pause_holds_until_p_and_ignores_every_other_key(self):
        term = self.start_tone()
        term.send_keys("p")
        paused = term.wait_for(showing("Paused..."))
        self.assertEqual(paused[10][34:47], "│ Paused... │")
        frozen = paused[4]
        volume = song_volume(paused)
        term.send_keys("q", "+", "t", "M", "Escape", "Enter")
        self.assert_silent_for(1.0)
        rows = term.screen()
        self.assertFalse(term.exited())
        self.assertIn("Paused...", rows[10])
        self.assertEqual(rows[4], frozen)  # the display stands still

        term.send_keys("p")
        self.rec.wait_for_sound(timeout=3)
        rows = term.wait_for(lambda rows: "Paused..." not in rows[10] and rows[4] != frozen)
        self.assertEqual(song_volume(rows), volume)  # the "+" was discarded
        self.assertNotIn("MUTED", "\n".join(rows))
        term.send_keys("q")
        self.assert_clean_exit(term)

    @measures_sound
    def test_stop_then_play_or_restart_starts_from_the_beginning(self):
        for key in ("p", "A"):
            with self.subTest(key=key):
                term = self.start_tone()
                term.wait_for(lambda rows: (status_position(rows) or (0, 0))[1] >= 20)
                term.send_keys("t")
                rows = term.wait_for(showing("Stopping..."))
                self.assertEqual(rows[10][34:49], "│ Stopping... │")
                self.assert_silent_for(0.5)
                rows = term.wait_for(not_showing("Stopping..."))
                stopped_at = status_position(rows)
                self.assertGreaterEqual(stopped_at[1], 20)
                self.assertEqual(status_position(term.screen()), stopped_at)  # frozen while stopped

                term.send_keys(key)
                self.rec.wait_for_sound(timeout=3)
                rows = term.wait_for(lambda rows: status_position(rows) != stopped_at)
                position, row = status_position(rows)
                self.assertEqual(position, 1)
                self.assertLess(row, stopped_at[1])
                term.send_keys("q")
                self.assert_clean_exit(term)
                term.close()

    @measures_sound
    def test_mute_all_silences_and_brings_the_tone_back(self):
        term = self.start_tone()
        term.send_keys("M")
        term.wait_for(lambda rows: sum("MUTED" in row for row in rows) == 2)
        self.assert_silent_for(1.0)
        term.send_keys("M")
        term.wait_for(lambda rows: not any("MUTED" in row for row in rows))
        back = self.rec.wait_for_sound(timeout=3)
        end = self.rec.wait_until(back + self.rec.frames(1.0))
        self.assertEqual(self.rec.gaps(back, end, min_ms=10), [])
        term.send_keys("q")
        self.assert_clean_exit(term)

    def loudness(self):
        """RMS of one second of sound, after half a second for the change
        to reach the recording."""
        self.rec.wait_seconds(0.5)
        return self.rec.rms(*self.rec.record(1.0))

    @measures_sound
    def test_volume_keys_change_the_loudness(self):
        term = self.start_tone()
        start_volume = song_volume(term.screen())
        self.assertGreaterEqual(start_volume, 100)
        full = self.loudness()

        term.type_text("-" * (start_volume - start_volume // 4))
        term.wait_for(lambda rows: song_volume(rows) == start_volume // 4)
        quarter = self.loudness()
        self.assertLess(quarter, full * 0.4, (full, quarter))
        self.assertGreater(quarter, 0)

        term.type_text("+" * (start_volume - start_volume // 4))
        term.wait_for(lambda rows: song_volume(rows) == start_volume)
        again = self.loudness()
        self.assertGreater(again, quarter * 3, (quarter, again))
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_quit_signal_while_paused_ends_the_program(self):
        term = self.start_tone()
        term.send_keys("p")
        term.wait_for(showing("Paused..."))
        term.signal(signal.SIGTERM)
        self.assert_clean_exit(term, timeout=3)


if __name__ == "__main__":
    unittest.main()
