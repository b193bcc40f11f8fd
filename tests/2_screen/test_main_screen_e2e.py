"""The live main screen of a playing module: channel rows, paging, muting,
and what muting does to the sound."""

import re
import unittest

from xqtest import PlayerTestCase, mw
from xqtest import measures_sound


def channel_rows(rows):
    """{channel number: row text} of the table rows on the screen."""
    table = {}
    for row in rows[6:-1]:
        m = re.match(r"^[│>](\d\d)[ <]", row)
        if m:
            table[int(m.group(1))] = row
    return table


class ChannelTable(PlayerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.mod8 = cls.song_file("eight.mod", mw.channels_song("mod", 8, 4))
        cls.xm32 = cls.song_file("thirtytwo.xm", mw.channels_song("xm", 32, 8))

    def test_rows_are_live_at_both_sizes(self):
        cases = [(self.mod8, 80, 24, 8), (self.xm32, 80, 24, 17), (self.mod8, 100, 40, 8), (self.xm32, 100, 40, 32)]
        for path, width, height, shown in cases:
            with self.subTest(path=path, size=(width, height)):
                term = self.start(path, width=width, height=height)
                self.wait_playing(term)
                first = term.wait_for(lambda rows: len(channel_rows(rows)) == shown)
                self.assertRegex(channel_rows(first)[1], r"^>01<\s+\d+\s+\d+\s+\d+\s+\d+\s+[.LMR]{7}\s+\d+\s+\d+\s+[=+-]")
                later = term.wait_for(lambda rows: channel_rows(rows) != channel_rows(first), timeout=5)
                self.assertEqual(len(channel_rows(later)), shown)
                self.assertTrue(later[4].lstrip("│").startswith("Ch:"))
                self.assertRegex(later[height - 1], r"\[ Time: \d\d:\d\d(/\d\d:\d\d)? \]")
                term.send_keys("q")
                self.assert_clean_exit(term)
                term.close()

    def test_paging_and_muting(self):
        term = self.start(self.xm32)
        self.wait_playing(term)
        term.send_keys("PageDown")
        rows = term.wait_for(lambda rows: 18 in channel_rows(rows))
        self.assertTrue(channel_rows(rows)[18].startswith(">18<"))
        self.assertEqual(sorted(channel_rows(rows)), list(range(18, 33)))
        # rows past the last channel of the second page stay empty
        self.assertTrue(all(r.strip("│ ") == "" for r in rows[21:23]), rows[21:23])
        term.send_keys("Down", "Enter")
        rows = term.wait_for(lambda rows: "MUTED" in channel_rows(rows).get(19, ""))
        self.assertRegex(channel_rows(rows)[19], r"^>19< ------  --  ------ -------  ------- ---   MUTED\s+0%")
        term.send_keys("Enter")
        term.wait_for(lambda rows: "MUTED" not in channel_rows(rows).get(19, "MUTED"))
        term.send_keys("PageUp", "PageUp")
        rows = term.wait_for(lambda rows: 1 in channel_rows(rows))
        self.assertTrue(channel_rows(rows)[1].startswith(">01<"))
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_star_changes_the_meter_style(self):
        term = self.start(self.mod8)
        self.wait_playing(term)
        term.send_keys("*", "*", "*", "*")  # style 5 draws '#'
        term.wait_for(lambda rows: any("#" in row[54:74] for row in channel_rows(rows).values()))
        term.send_keys("q")
        self.assert_clean_exit(term)


class EscapeKeepsTheSoundFlowing(PlayerTestCase):
    @measures_sound
    def test_escape_does_not_stall_the_player(self):
        path = self.song_file("tone1.xm", mw.tone_song(channels=1))
        term = self.start(path)
        self.wait_playing(term)
        start = self.rec.wait_for_sound(timeout=10)
        for _ in range(3):
            term.send_keys("Escape")
            self.rec.wait_until(self.rec.mark() + self.rec.frames(0.4))
        end = self.rec.mark()
        self.assertGreater(end - start, self.rec.frames(1))
        self.assertEqual(self.rec.gaps(start, end, min_ms=10), [])
        term.send_keys("q")
        self.assert_clean_exit(term)


class MutingSilences(PlayerTestCase):
    @measures_sound
    def test_muting_every_sounding_channel_silences_the_sound(self):
        path = self.song_file("tone2.xm", mw.tone_song(channels=2))
        term = self.start(path)
        self.wait_playing(term)
        self.rec.wait_for_sound(timeout=10)

        term.send_keys("Enter")  # one of the two channels still sounds
        term.wait_for(lambda rows: "MUTED" in channel_rows(rows).get(1, ""))
        with self.assertRaises(TimeoutError):
            self.rec.wait_for_silence(hold=0.05, timeout=1.5)

        term.send_keys("Down", "Enter")
        term.wait_for(lambda rows: all("MUTED" in channel_rows(rows).get(c, "") for c in (1, 2)))
        quiet = self.rec.wait_for_silence(hold=0.3, timeout=3)
        silent = self.rec.record(1.5)
        self.assertTrue(self.rec.is_silent(quiet, silent[1]), f"peak {self.rec.peak(quiet, silent[1])}")

        term.send_keys("Enter")  # channel 2 sounds again
        back = self.rec.wait_for_sound(timeout=3)
        loud_end = self.rec.wait_until(back + self.rec.frames(1.5))
        self.assertEqual(self.rec.gaps(back, loud_end, min_ms=10), [])
        term.send_keys("q")
        self.assert_clean_exit(term)


if __name__ == "__main__":
    unittest.main()
