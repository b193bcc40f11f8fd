"""Panels keep everything they show when the terminal shrinks below them
and grows back, and after a storm of resizes, without a key passing over
them: Options, Effects, the playlist panel and a message box. On a screen
shorter than the panel, the row being chosen scrolls into view and the
frame stays whole."""

import os
import random
import time
import unittest

from xqtest import PlayerTestCase, mw

# (key that opens it, the size it shrinks to, texts that must be back)
PANELS = [
    ("o", (80, 18), ["16bit", "Loop module", "Refresh delay", "Save options"]),
    ("e", (70, 12), ["Speed", "Mod Vol", "Bass", "Treble"]),
    ("l", (60, 20), ["Playlist (press 'q' to quit without starting)", "Add file", "Move down", "Done", "entries ]"]),
    ("i", (20, 12), ["No comment in this module."]),
]


def shows_all(texts):
    return lambda rows: all(any(t in r for r in rows) for t in texts)


class PanelResize(PlayerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tone = cls.song_file("tone.xm", mw.tone_song(channels=2))

    def open_panel(self, key, texts):
        term = self.start(self.tone)
        self.wait_playing(term)
        term.send_keys(key)
        term.wait_for(shows_all(texts))
        return term

    def test_shrink_and_grow_back(self):
        for key, (width, height), texts in PANELS:
            with self.subTest(panel=key):
                term = self.open_panel(key, texts)
                term.resize(width, height)
                term.wait_for(lambda rows: len(rows) == height and len(rows[0]) <= width)
                time.sleep(0.3)
                term.resize(80, 24)
                term.wait_for(shows_all(texts), timeout=3)

    def test_a_storm_of_resizes(self):
        rng = random.Random(7)
        for key, _, texts in PANELS:
            with self.subTest(panel=key):
                term = self.open_panel(key, texts)
                for _ in range(100):
                    term.resize(rng.randint(1, 300), rng.randint(1, 100))
                term.resize(80, 24)
                term.wait_for(shows_all(texts), timeout=5)

    def test_the_playlist_panel_follows_a_taller_screen(self):
        # Its list and its frame grow together: the entry count sits on the
        # panel's last row but one, inside its bottom border.
        term = self.open_panel("l", ["entries ]"])
        term.resize(100, 36)
        rows = term.wait_for(lambda rows: len(rows) == 36 and any("entries ]" in r for r in rows), timeout=3)
        count_row = next(i for i, r in enumerate(rows) if "entries ]" in r)
        self.assertGreater(count_row, 24, "\n".join(rows))
        self.assertIn("┘", rows[count_row + 1], "\n".join(rows))


    def test_the_chosen_row_stays_in_view_on_a_short_screen(self):
        # (key, first row, last row): PageDown chooses the last, PageUp the first.
        for key, first, last in (("o", "16bit", "Save options"), ("e", "Speed", "Treble")):
            with self.subTest(panel=key):
                term = self.start(self.tone, width=40, height=12)
                self.wait_playing(term)
                term.send_keys(key)
                term.wait_for(lambda rows: any(first in r for r in rows))
                term.send_keys("PageDown")
                rows = term.wait_for(lambda rows: any(last in r for r in rows))
                bottom = rows[11]
                self.assertTrue(bottom.startswith("└") or "└" in bottom, "\n".join(rows))
                self.assertNotIn(last, bottom)
                self.assertFalse(any(c.isalpha() for c in bottom.replace("Time", "")), "\n".join(rows))
                cells = term.screen_cells()
                self.assertTrue(cells.style_of(last)["reverse"], "\n".join(rows))
                term.send_keys("PageUp")
                term.wait_for(lambda rows: any(first in r for r in rows))
                self.assertTrue(term.screen_cells().style_of(first)["reverse"])
                term.send_keys("q", "q")
                self.assert_clean_exit(term)


    def test_buttons_stay_on_a_small_screen(self):
        # The browsers' three buttons, whole at 40x12 and still working, and
        # the playlist panel's buttons beside a narrowed list with its entry
        # count (ten buttons two rows apart cannot all fit in 12 rows).
        for key, texts in (("W", ["[ Next ]", "[ Prev ]", "[ Quit ]"]), ("w", ["[ Next ]", "[ Prev ]", "[ Quit ]"]),
                           ("l", ["Add file", "Remove", "entries ]"])):
            with self.subTest(panel=key):
                term = self.start(self.tone, width=40, height=12)
                self.wait_playing(term)
                term.send_keys(key)
                rows = term.wait_for(shows_all(texts), timeout=3)
                self.assertTrue(all(len(r) <= 40 for r in rows))
                if key == "l":
                    term.send_keys("q")
                else:
                    term.send_keys("Right", "Right", "Enter")  # [ Quit ] closes it
                term.wait_for(lambda rows: not any(texts[-1] in r for r in rows), timeout=3)
                term.send_keys("q")
                self.assert_clean_exit(term)

    def framed_panel(self, rows, title):
        """The panel's box on the screen: (top, left, bottom, right), the
        row holding `title` being its top border."""
        top = next(i for i, r in enumerate(rows) if title in r)
        left = rows[top].index("┌")
        right = rows[top].index("┐", left)
        bottom = next(i for i in range(top + 1, len(rows)) if rows[i][left:left + 1] == "└")
        self.assertEqual(rows[bottom][right], "┘", "\n".join(rows))
        return top, left, bottom, right

    def test_the_file_selector_on_a_small_screen(self):
        # The listing keeps rows of its own between the Dir and File lines,
        # the last entry can be chosen, and both buttons stand whole inside
        # the frame, Cancel still closing it.
        tree = os.path.join(self.files.name, "small")
        os.makedirs(tree, exist_ok=True)
        names = ["a.mod", "b.xm", "c.xm", "d.xm"]
        for name in names:
            open(os.path.join(tree, name), "w").close()
        term = self.start(self.tone, width=40, height=12, cwd=tree)
        self.wait_playing(term)
        term.send_keys("f")
        rows = term.wait_for(shows_all(["Select file", "a.mod", "[ OK ]", "[ Cancel ]", "File:"]), timeout=3)
        top, left, bottom, right = self.framed_panel(rows, "Select file")
        self.assertLess(right, 40)
        buttons = next(r for r in rows if "[ Cancel ]" in r)
        self.assertLess(buttons.index("[ Cancel ]") + len("[ Cancel ]"), right, "\n".join(rows))
        term.send_keys("PageDown", "Down")  # the second page, its last entry

        def last_chosen(screen):
            if not screen.find(names[-1]):
                return False
            cell = screen.cells_of(names[-1])[0]
            return cell.bold and (cell.fg, cell.bg) == (6, 4)  # bold cyan on blue

        term.wait_for(last_chosen, timeout=3, cells=True)
        term.send_keys("Tab", "Right", "Enter")
        term.wait_for(lambda rows: not any("Select file" in r for r in rows), timeout=3)
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_the_playlist_panel_on_a_small_screen(self):
        # The title stays inside the frame, the entry count on its bottom
        # border, and the buttons scroll so the one chosen is always seen:
        # Done from PageDown and back to Add file from PageUp, each still
        # pressing.
        term = self.start(self.tone, width=40, height=12)
        self.wait_playing(term)
        term.send_keys("l")
        rows = term.wait_for(shows_all(["Playlist (press", "Add file", "entries ]"]), timeout=3)
        top, left, bottom, right = self.framed_panel(rows, "Playlist (press")
        self.assertIn("]─┐", rows[top], "\n".join(rows))
        self.assertIn("entries ]", rows[bottom])
        for key, button in (("PageDown", "Done"), ("PageUp", "Add file")):
            term.send_keys(key)
            screen = term.wait_for(lambda s: s.find(button) and s.style_of(button).get("reverse"), cells=True,
                                   timeout=3)
            self.assertTrue(all(len(line) <= 40 for line in screen.lines), str(screen))
            self.assertEqual(screen.lines[top][right], "┐", str(screen))
        term.send_keys("PageDown", "Enter")  # Done, with an empty list: closes
        term.wait_for(lambda rows: not any("Playlist (press" in r for r in rows), timeout=3)
        term.send_keys("q")
        self.assert_clean_exit(term)


if __name__ == "__main__":
    unittest.main()
