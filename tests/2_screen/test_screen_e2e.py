"""The screen on real terminals in tmux: UTF-8 and hostile file names, rows
and panels that keep their frame on small screens, colours on black, and
following the terminal when it is resized, with the sound going on."""

import os
import re
import time
import unicodedata
import unittest

from xqtest import PlayerTestCase, mw, status_position
from xqtest import measures_sound

BLACK, CYAN = 0, 6
LONG_NAME = "utf8-\u00e9\u266a-" + "long" * 15 + ".xm"


def columns(row):
    """The row as one string item per screen column: a double-width
    character is followed by an empty item for its second column."""
    out = []
    for ch in row:
        out.append(ch)
        if unicodedata.east_asian_width(ch) in ("W", "F"):
            out.append("")
    return out


def framed(rows, top, left, height, width):
    """True when the box at (top, left) of height x width has its four
    borders whole."""
    if top + height > len(rows):
        return False
    lines = []
    for r in range(top, top + height):
        line = columns(rows[r])
        lines.append(line + [" "] * (left + width - len(line)))
    right = left + width - 1
    return (lines[0][left] == "\u250c" and lines[0][right] == "\u2510"
            and "".join(lines[-1][left:right + 1]) == "\u2514" + "\u2500" * (width - 2) + "\u2518"
            and all(line[left] in "\u2502\u251c" and line[right] in "\u2502\u2524" for line in lines[1:-1]))


def box_with_title(rows, title):
    """(top, left) of the box whose top border carries `title`, or None."""
    for r, row in enumerate(rows):
        if title in row and "\u250c" in row:
            return r, row.index("\u250c")
    return None


def main_frame_whole(rows, width, height):
    """The main window's right border on rows 1 to 4 and 6 down, and its
    bottom border with the time box at the right."""
    if len(rows) != height:
        return False
    table = [rows[r].ljust(width) for r in list(range(1, 5)) + list(range(6, height - 1))]
    bottom = rows[height - 1]
    return (all(line[width - 1] == "\u2502" for line in table)
            and bottom.startswith("\u2514") and bottom.endswith("]\u2500\u2518")
            and re.search(r"\[ Time: \d\d:\d\d(/\d\d:\d\d)? \]", bottom) is not None)


class NamesFramesAndColours(PlayerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.dir = os.path.join(cls.files.name, "names")
        os.makedirs(cls.dir)
        cls.long_song = os.path.join(cls.dir, LONG_NAME)
        mw.write_song(mw.channels_song("xm", 8, 4), cls.long_song)
        for raw in (b"bad\xff\xfe.xm", b"esc\x1b[2J\x07.xm", "\u65e5\u672c.mod".encode()):
            with open(os.path.join(cls.dir.encode(), raw), "wb") as f:
                f.write(b"x" * 10)

    def test_utf8_names_the_file_row_and_colours_on_black(self):
        term = self.start(self.long_song, cwd=self.dir)
        rows = self.wait_playing(term)
        # The name shortened with its mark, the sizes whole, the border kept.
        self.assertRegex(rows[1], r"^\u2502File   : utf8-\u00e9\u266a-(long)+(l|lo|lon)?~  "
                                  r"\[ \d+ smp, \d+ ins, \d+ bytes, [\d.]+ KB \]\u2502$")
        self.assertEqual(len(rows[1]), 80)
        cells = term.screen_cells()
        pat = cells.style_of("Pat:")
        self.assertEqual((pat["fg"], pat["bg"], pat["bold"]), (CYAN, BLACK, True))
        self.assertIsNone(cells.style_of("Title  :")["bg"])  # plain text keeps the terminal's colours

        term.send_keys("f")
        rows = term.wait_for("Select file")
        listing = "\n".join(rows)
        self.assertIn("bad??.xm", listing)
        self.assertIn("esc.[2J..xm", listing)
        self.assertIn("\u65e5\u672c.mod", listing)
        self.assertIn("utf8-\u00e9\u266a-longlong", listing)
        self.assertTrue(framed(rows, 2, 10, 21, 60), "\n".join(rows))
        term.send_keys("Tab", "Right", "Enter")
        term.wait_for(lambda rows: not any("Select file" in r for r in rows))
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_small_screens_keep_every_frame(self):
        term = self.start(self.long_song, width=40, height=12, cwd=self.dir)
        rows = self.wait_playing(term)
        self.assertTrue(main_frame_whole(rows, 40, 12), "\n".join(rows))
        # Help, About and the file selector fill the screen and keep their borders.
        for key, closing, title in (("h", ["q"], "Help"), ("?", ["q"], ":: About XQ ::"),
                                    ("f", ["Tab", "Right", "Enter"], "Select file")):
            with self.subTest(panel=title):
                term.send_keys(key)
                rows = term.wait_for(title)
                top = next(r for r, row in enumerate(rows) if row.startswith("\u250c"))
                height = next(r for r in range(top + 1, 12) if rows[r].startswith("\u2514")) - top + 1
                self.assertTrue(framed(rows, top, 0, height, 40), "\n".join(rows))
                term.send_keys(*closing)
                term.wait_for(lambda rows: main_frame_whole(rows, 40, 12))
        term.send_keys("q")
        self.assert_clean_exit(term)

        # Seven rows: room for no channel row, and none is drawn on the border.
        term = self.start(self.long_song, width=80, height=7, cwd=self.dir)
        rows = self.wait_playing(term)
        time.sleep(0.3)
        rows = term.screen()
        self.assertTrue(main_frame_whole(rows, 80, 7), "\n".join(rows))
        term.send_keys("q")
        self.assert_clean_exit(term)


class Resizing(PlayerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.song = cls.song_file("thirtytwo.xm", mw.channels_song("xm", 32, 6))

    def assert_no_gap(self, start):
        end = self.rec.wait_until(max(self.rec.mark(), start + self.rec.frames(1)))
        self.assertEqual(self.rec.gaps(start, end, min_ms=10), [])

    @measures_sound
    def test_the_main_screen_and_an_open_panel_follow_the_terminal(self):
        term = self.start(self.song)
        self.wait_playing(term)
        start = self.rec.wait_for_sound(timeout=10)
        term.send_keys(*["Down"] * 19)
        rows = term.wait_for(lambda rows: rows[8].startswith(">20<"))

        term.resize(40, 12)
        rows = term.wait_for(lambda rows: main_frame_whole(rows, 40, 12))
        self.assertRegex(rows[4], r"^\u2502Ch:\d\d/32  Pat:")
        self.assertTrue(any(r.startswith(">20<") for r in rows[6:11]), "\n".join(rows))  # paging follows

        term.resize(120, 40)
        # 33 rows of the table now: all 32 channels on one page.
        rows = term.wait_for(lambda rows: main_frame_whole(rows, 120, 40) and rows[37].startswith("\u250232"))
        self.assertTrue(rows[25].startswith(">20<"), rows[25])
        self.assertRegex(rows[1], r"File   : thirtytwo\.xm  \[ .* KB \] +\u2502$")

        # A panel open while the terminal shrinks and grows back.
        term.resize(80, 24)
        term.wait_for(lambda rows: main_frame_whole(rows, 80, 24))
        term.send_keys("h")
        term.wait_for("Help")
        term.resize(40, 12)
        rows = term.wait_for(lambda rows: framed(rows, 0, 0, 12, 40) and "Help" in rows[0])
        self.assertIn("Play or pause", rows[1])
        term.resize(80, 24)
        rows = term.wait_for(lambda rows: framed(rows, 0, 0, 20, 70) and "Help" in rows[0])
        self.assertIn("b/B", rows[1])  # the right column is back
        self.assertIn("About.....................?", rows[18])
        term.send_keys("q")
        term.wait_for(lambda rows: not any("Help" in r for r in rows) and main_frame_whole(rows, 80, 24))
        self.assert_no_gap(start)
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_a_resize_while_paused_redraws_under_the_notice(self):
        term = self.start(self.song)
        self.wait_playing(term)
        term.send_keys("p")
        term.wait_for("Paused...")
        term.resize(100, 30)
        rows = term.wait_for(lambda rows: main_frame_whole(rows, 100, 30) and any("Paused..." in r for r in rows))
        self.assertRegex(rows[4], r"^\u2502Ch:\s*\d+/32  Pat:.* Vol:128 +\u2502$")
        term.send_keys("p")
        term.wait_for(lambda rows: not any("Paused..." in r for r in rows) and main_frame_whole(rows, 100, 30))
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_the_pause_notice_grows_back_after_a_one_cell_screen(self):
        term = self.start(self.song)
        self.wait_playing(term)
        term.send_keys("p")
        before = term.wait_for("Paused...")
        term.resize(1, 1)
        term.wait_for(lambda rows: len(rows) == 1 and len(rows[0]) <= 1)
        time.sleep(0.3)
        term.resize(80, 24)
        rows = term.wait_for(lambda rows: main_frame_whole(rows, 80, 24) and any("Paused..." in r for r in rows))
        for r in range(8, 13):  # the notice's five rows
            self.assertEqual(rows[r][34:47], before[r][34:47], "\n".join(rows))
        term.send_keys("p")
        term.wait_for(lambda rows: not any("Paused..." in r for r in rows) and main_frame_whole(rows, 80, 24))
        term.send_keys("q")
        self.assert_clean_exit(term)

    @measures_sound
    def test_a_storm_of_resizes(self):
        term = self.start(self.song)
        self.wait_playing(term)
        start = self.rec.wait_for_sound(timeout=10)
        term.send_keys("f")
        term.wait_for("Select file")
        sizes = [(30 + (i * 37) % 150, 6 + (i * 11) % 50) for i in range(40)] + [(1, 1), (10, 3), (80, 24)]
        for width, height in sizes:
            term.resize(width, height)
        # Moved to stay on the screen, it comes back whole: 21 rows as on 24 lines.
        rows = term.wait_for(lambda rows: box_with_title(rows, "Select file") is not None
                             and framed(rows, *box_with_title(rows, "Select file"), 21, 60))
        term.send_keys("Tab", "Right", "Enter")
        rows = term.wait_for(lambda rows: main_frame_whole(rows, 80, 24) and status_position(rows) is not None)
        self.assertIn("Press 'h' for help", rows[0])
        self.assertFalse(term.exited())
        self.assert_no_gap(start)
        term.send_keys("q")
        self.assert_clean_exit(term)


if __name__ == "__main__":
    unittest.main()
