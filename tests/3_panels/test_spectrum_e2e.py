"""The Spectrum panel on the real binary in tmux, at 80x24 and 40x12: it
opens on F from the main screen and the live panels, shows our writer's
tone at its pitch and its square wave on two levels, empty bars for a
silent song, holds still while paused, and closes on q, Escape and F with
the screen beneath whole again."""

import math
import time
import unittest

from xqtest import PlayerTestCase, mw

TOP = 5  # screen row of the panel's top border
LOW_HZ, HIGH_HZ = 30.0, 16000.0
SIZES = [(80, 24), (40, 12)]


def bar_of(hz, bars):
    return int(bars * math.log(hz / LOW_HZ) / math.log(HIGH_HZ / LOW_HZ))


def layout(width, height):
    """Rows of the bars and of the traces, as the panel lays them out."""
    inner = height - TOP - 2
    scope_rows = max(1, inner * 2 // 5) if inner >= 3 else 0
    axis = inner - scope_rows >= 6
    bars_rows = inner - scope_rows - (1 if axis else 0)
    bars_top = TOP + 1
    scope_top = bars_top + bars_rows + (1 if axis else 0)
    left_cols = (width - 3) // 2
    return {"bars": width - 2, "bars_top": bars_top, "bars_rows": bars_rows,
            "scope_top": scope_top, "scope_rows": scope_rows, "left_cols": left_cols}


def heights(screen, lay):
    """How many cells of each bar are filled (peak marks left out)."""
    out = []
    for col in range(1, 1 + lay["bars"]):
        n = 0
        for row in range(lay["bars_top"], lay["bars_top"] + lay["bars_rows"]):
            ch = screen.cell(row, col).char
            if ch not in (" ", "▔", ""):
                n += 1
        out.append(n)
    return out


def left_trace_levels(screen, lay):
    """The level of the left trace's mark in each of its columns."""
    levels = []
    for col in range(1, 1 + lay["left_cols"]):
        for row in range(lay["scope_top"], lay["scope_top"] + lay["scope_rows"]):
            below = lay["scope_top"] + lay["scope_rows"] - 1 - row
            ch = screen.cell(row, col).char
            if ch == "▀":
                levels.append(2 * below + 1)
            elif ch == "▄":
                levels.append(2 * below)
    return levels


def bars_area(screen, lay):
    return [screen.text(r) for r in range(lay["bars_top"], lay["scope_top"] + lay["scope_rows"])]


def silent_song():
    song = mw.Song(name=b"xq silence", format="xm", channels=1, speed=5, bpm=125)
    song.samples.append(mw.Sample(name="quiet", data=[0] * 64))
    song.new_pattern(64)
    song.orders = [0] * 10
    return song


class SpectrumPanel(PlayerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # A square wave of 440 Hz on the left side alone.
        song = mw.tone_song(channels=1)
        song.patterns[0].set(0, 0, "A-4", 1, 64, mw.FX_PAN, 0)
        cls.tone = cls.song_file("tone.xm", song)
        cls.silence = cls.song_file("silence.xm", silent_song())

    def open_spectrum(self, path, width, height, *first_keys):
        term = self.start(path, width=width, height=height)
        self.wait_playing(term)
        term.send_keys(*first_keys, "F")
        term.wait_for(lambda rows: rows[TOP].startswith("┌─[ Spectrum ]"))
        return term

    def test_a_tone_stands_over_its_pitch_and_its_square_shows_two_levels(self):
        for width, height in SIZES:
            with self.subTest(size=f"{width}x{height}"):
                lay = layout(width, height)
                term = self.open_spectrum(self.tone, width, height)
                bar = bar_of(mw.TONE_FREQUENCY, lay["bars"])

                def tone_shown(screen):
                    h = heights(screen, lay)
                    return max(h) > 0 and h.index(max(h)) == bar and h.count(max(h)) == 1
                screen = term.wait_for(tone_shown, cells=True, timeout=10)
                self.assertEqual(screen.text(height - 1)[0], "└")  # the frame is whole
                levels = left_trace_levels(screen, lay)
                common = sorted(set(levels), key=levels.count, reverse=True)
                self.assertGreaterEqual(len(common), 2, levels)
                two = levels.count(common[0]) + levels.count(common[1])
                self.assertGreaterEqual(two, 0.85 * len(levels), levels)
                self.assertGreater(levels.count(common[1]), 0.2 * len(levels), levels)
                term.send_keys("F")
                rows = term.wait_for(lambda rows: "Spectrum" not in rows[TOP])
                self.assertTrue(rows[TOP].lstrip("│ ").startswith("Ch  Period"), rows[TOP])  # the header again
                term.send_keys("q")
                self.assert_clean_exit(term)

    def test_a_silent_song_shows_empty_bars(self):
        for width, height in SIZES:
            with self.subTest(size=f"{width}x{height}"):
                lay = layout(width, height)
                term = self.open_spectrum(self.silence, width, height)
                time.sleep(0.5)
                screen = term.screen_cells()
                self.assertEqual(max(heights(screen, lay)), 0, "\n".join(bars_area(screen, lay)))
                term.send_keys("Escape")
                term.wait_for(lambda rows: "Spectrum" not in rows[TOP])
                term.send_keys("q")
                self.assert_clean_exit(term)

    def test_paused_the_picture_holds_still(self):
        lay = layout(80, 24)
        term = self.open_spectrum(self.tone, 80, 24)
        term.wait_for(lambda s: max(heights(s, lay)) > 0, cells=True)
        term.send_keys("p")
        term.wait_for(lambda rows: any("Paused" in r for r in rows))
        time.sleep(0.3)
        held = bars_area(term.screen_cells(), lay)
        time.sleep(1.0)
        self.assertEqual(bars_area(term.screen_cells(), lay), held)
        term.send_keys("p")
        term.wait_for(lambda rows: not any("Paused" in r for r in rows))
        # Playing again, the traces move on.
        term.wait_for(lambda s: bars_area(s, lay) != held, cells=True, timeout=5)
        term.send_keys("q", "q")
        self.assert_clean_exit(term)

    def test_it_opens_from_the_live_panels_and_closes_on_q(self):
        for opener in ("c", "y", "P"):
            with self.subTest(panel=opener):
                term = self.open_spectrum(self.tone, 80, 24, opener)
                term.send_keys("q")
                term.wait_for(lambda rows: "Spectrum" not in rows[TOP])
                self.assertFalse(term.exited())
                term.send_keys("q", "q")
                self.assert_clean_exit(term)

    def test_the_help_panel_names_its_key(self):
        term = self.start(self.tone)
        self.wait_playing(term)
        term.send_keys("h")
        rows = term.wait_for(lambda rows: any("Spectrum" in r for r in rows))
        self.assertTrue(any("Spectrum..................F" in r for r in rows), "\n".join(rows))
        term.send_keys("q", "q")
        self.assert_clean_exit(term)


if __name__ == "__main__":
    unittest.main()
