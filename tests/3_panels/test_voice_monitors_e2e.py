"""The voice monitors and the Instruments and Samples panels on the real
binary in tmux: where they open, that their meters move while the module
plays, how they close, and that the sound keeps flowing meanwhile."""

import os
import unittest

from xqtest import PlayerTestCase, mw
from xqtest import measures_sound

MONITORS = (  # key, title, window rows
    ("c", " All channels", 16),
    ("T", " All voices", 18),
    ("Y", " Voices position", 16),
    ("y", " Voices frequency", 16),
)


def corner(width, height):
    """Where the monitors open by default: (column, row)."""
    return width // 2 - 34, height // 2 - 8


def titled(title, x, y):
    return lambda rows: rows[y][x:x + 68].startswith(title + " ")


def body(rows, x, y, height):
    """The monitor's meter rows (2 to 12) and its block row, inside its border."""
    return [rows[y + r][x + 1:x + 67] for r in range(2, min(height - 2, 14))]


class VoiceMonitors(PlayerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.eight = cls.song_file("eight.xm", mw.channels_song("xm", 8, positions=8))
        cls.forty = cls.song_file("forty.it", mw.channels_song("it", 40, positions=8))
        cls.samples = cls.song_file("samples.mod", mw.samples_song("mod", 31))
        cls.tone = cls.song_file("tone.xm", mw.tone_song(channels=4))

    def check_monitors(self, song, width, height, channels):
        term = self.start(song, width=width, height=height)
        self.wait_playing(term)
        x, y = corner(width, height)
        narrow = channels <= 32
        for n, (key, title, rows_high) in enumerate(MONITORS):
            with self.subTest(key=key, width=width):
                term.send_keys(key)
                rows = term.wait_for(titled(title, x, y))
                self.assertEqual(rows[y + rows_high - 1][x], "└")
                if key == "T":
                    self.assertEqual(rows[y + 15][x + 65:x + 67], "64")
                else:
                    last = 2 * channels if narrow else channels + 1
                    self.assertEqual(rows[y + 13][x + 2], "|")
                    self.assertEqual(rows[y + 13][x + last], "|")
                    self.assertEqual(rows[y + 14][x + last:x + last + len(str(channels))], str(channels))
                letters = rows[y + 2][x + 2:x + 2 + (2 * channels if narrow else channels)]
                self.assertTrue(set(letters) <= set("LMR "), letters)
                first = body(rows, x, y, rows_high)
                term.wait_for(lambda rows: body(rows, x, y, rows_high) != first, timeout=5)
                # Escape for one, q for the others.
                term.send_keys("Escape" if n == 1 else "q")
                rows = term.wait_for(lambda rows: not titled(title, x, y)(rows))
                self.assertIn("Pat:", rows[4])
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_each_monitor_at_80x24(self):
        self.check_monitors(self.eight, 80, 24, 8)

    def test_each_monitor_at_100x40_in_the_wide_layout(self):
        self.check_monitors(self.forty, 100, 40, 40)

    def test_effects_and_options_open_over_a_monitor_and_return_to_it(self):
        term = self.start(self.eight)
        self.wait_playing(term)
        x, y = corner(80, 24)
        for key, title, _ in (MONITORS[0], MONITORS[2]):
            with self.subTest(key=key):
                term.send_keys(key)
                term.wait_for(titled(title, x, y))
                for panel_key, frame in (("e", "[ Effects ]"), ("o", "[ Options ]")):
                    term.send_keys(panel_key)
                    term.wait_for(lambda rows: any(frame in row for row in rows))
                    term.send_keys("q")
                    rows = term.wait_for(lambda rows: not any(frame in row for row in rows))
                    self.assertTrue(titled(title, x, y)(rows), rows)
                    first = body(rows, x, y, 16)
                    term.wait_for(lambda rows: body(rows, x, y, 16) != first, timeout=5)  # still live
                term.send_keys("q")
                term.wait_for(lambda rows: not titled(title, x, y)(rows))
        term.send_keys("q")
        self.assert_clean_exit(term)

    def home_with_delay(self, delay):
        home = os.path.join(self.files.name, f"home-{delay}")
        os.makedirs(os.path.join(home, ".xq"), exist_ok=True)
        with open(os.path.join(home, ".xq", "options"), "w") as f:
            f.write(f"delay={delay}\n")
        return home

    def test_tiny_terminal_and_extreme_delays(self):
        for delay in (0, 10000):
            with self.subTest(delay=delay):
                term = self.start(self.eight, width=40, height=12, home=self.home_with_delay(delay))
                term.wait_for(lambda rows: rows[0].startswith(" :: XQ"))
                for key, title, _ in MONITORS:
                    term.send_keys(key)
                    rows = term.wait_for(lambda rows: rows[0].startswith(title))
                    self.assertEqual(rows[11], "└" + "─" * 38 + "┘")  # cut to the screen, border kept
                    self.assertTrue(all(row[39] == "│" for row in rows[1:11]), rows)
                    term.send_keys("q")
                    term.wait_for(lambda rows: rows[0].startswith(" :: XQ"))
                term.send_keys("q")
                self.assert_clean_exit(term)
                term.close()

    def test_five_hundred_pasted_keys_reach_the_commands_and_q_still_closes(self):
        term = self.start(self.tone, home=self.home_with_delay(0))
        self.wait_playing(term)
        x, y = corner(80, 24)
        term.send_keys("c")
        term.wait_for(titled(" All channels", x, y))
        term.type_text("+" * 500)
        term.send_keys("q")
        rows = term.wait_for(lambda rows: "Vol:256" in rows[4], timeout=20)
        self.assertFalse(titled(" All channels", x, y)(rows))
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_samples_and_instruments_panels(self):
        term = self.start(self.samples)
        self.wait_playing(term)
        term.send_keys("w")
        rows = term.wait_for(lambda rows: "[ Samples ]" in rows[5])
        self.assertEqual(rows[7][14:31], "     #: 1   /  31")
        self.assertEqual(rows[8][14:31], "  Name: sample 01")
        for _ in range(30):
            term.send_keys("Enter")
        rows = term.wait_for(lambda rows: rows[7][14:31] == "     #: 31  /  31")
        self.assertEqual(rows[8][14:31], "  Name: sample 31")
        term.send_keys("Right", "Enter")
        term.wait_for(lambda rows: rows[7][14:31] == "     #: 30  /  31")
        position = term.screen()[4]
        term.wait_for(lambda rows: rows[4] != position)  # the status row goes on
        term.send_keys("q")
        term.wait_for(lambda rows: "[ Samples ]" not in rows[5])

        term.send_keys("W")
        rows = term.wait_for(lambda rows: any("No instruments in this module." in r for r in rows))
        term.send_keys("Enter")
        rows = term.wait_for(lambda rows: "[ Instruments ]" in rows[6]
                             and not any("No instruments" in r for r in rows))
        self.assertEqual(rows[8][14:66].strip(), "")
        term.send_keys("Right", "Right", "Enter")
        term.wait_for(lambda rows: "[ Instruments ]" not in rows[6])
        term.send_keys("q")
        self.assert_clean_exit(term)

    @measures_sound
    def test_sound_flows_without_gaps_while_each_monitor_is_open(self):
        term = self.start(self.tone)
        self.wait_playing(term)
        self.rec.wait_for_sound(timeout=5)
        x, y = corner(80, 24)
        for key, title, _ in MONITORS:
            with self.subTest(key=key):
                term.send_keys(key)
                term.wait_for(titled(title, x, y))
                start = self.rec.mark()
                end = self.rec.wait_until(start + self.rec.frames(3.0))
                self.assertEqual(self.rec.gaps(start, end, min_ms=10), [])
                term.send_keys("q")
                term.wait_for(lambda rows: not titled(title, x, y)(rows))
        term.send_keys("q")
        self.assert_clean_exit(term)


if __name__ == "__main__":
    unittest.main()
