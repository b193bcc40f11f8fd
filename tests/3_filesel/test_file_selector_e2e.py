"""The file selector on the real binary in tmux: browsing, paging, entering
directories and links, the directory and File lines, loading the chosen
module with f, and the sound going on meanwhile."""

import os
import re
import shutil
import unittest

from xqtest import PlayerTestCase, TerminalError, make_empty_files, mw
from xqtest import measures_sound

# The selector's window on an 80x24 screen: rows 2 to 22, columns 10 to 69.
TOP, LEFT = 2, 10
LISTING_ROWS = range(5, 16)     # window rows of one page (LINES - 13 = 11)
FILE_ROW = 17                   # LINES - 7
CYAN, BLUE = 6, 4


def sel(rows, r):
    """Window row r of the selector: its 58 columns inside the border."""
    line = rows[TOP + r] if TOP + r < len(rows) else ""
    return line[LEFT + 1:LEFT + 59].ljust(58)


def header(rows):
    return sel(rows, 2).rstrip()


def names(rows):
    """The names on the page shown, blank rows left out."""
    return [n for n in (sel(rows, r)[:48].rstrip() for r in LISTING_ROWS) if n]


def file_line(rows):
    return sel(rows, FILE_ROW).rstrip()


def highlighted(screen):
    """The page row (0 to 10) drawn in bold cyan on blue, or None."""
    for i, r in enumerate(LISTING_ROWS):
        cell = screen.cell(TOP + r, LEFT + 1)
        if cell.bold and (cell.fg, cell.bg) == (CYAN, BLUE):
            return i
    return None


def is_open(rows):
    return any("Select file" in row for row in rows)


class SelectorCase(PlayerTestCase):
    """A tree of modules and other files, and the player started in it."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tree = os.path.join(cls.files.name, "tree")
        os.makedirs(os.path.join(cls.tree, "sub", "deeper"))
        os.makedirs(os.path.join(cls.tree, "many"))
        cls.first = cls.song_file("tree/first.xm", mw.tone_song(channels=2))
        cls.song_file("tree/sub/eight.mod", mw.channels_song("mod", 8, 4))
        with open(os.path.join(cls.tree, "notes.txt"), "w") as f:
            f.write("These are words, not music.\n" * 20)
        cls.long_name = "L" * 56 + ".txt"
        with open(os.path.join(cls.tree, cls.long_name), "w") as f:
            f.write("x")
        for i in range(29):
            with open(os.path.join(cls.tree, "many", "m%02d" % i), "w") as f:
                f.write("y" * i)
        os.symlink("sub", os.path.join(cls.tree, "relative"))
        os.symlink("nowhere", os.path.join(cls.tree, "dangling"))

    def start_in_tree(self):
        term = self.start(self.first, cwd=self.tree)
        self.wait_playing(term)
        return term

    def open_selector(self, term, where=None):
        term.send_keys("f")
        rows = term.wait_for(lambda rows: is_open(rows) and header(rows).startswith("Dir: /"))
        if where is not None:
            self.assertEqual(header(rows), "Dir: " + where)
        return rows

    def move_to(self, term, name):
        """Pages (up to the first page, then down) and moves until `name`
        (cut to 48 columns, as listed) is highlighted."""
        name = name[:48]
        page_key = "PageUp"
        for _ in range(60):
            screen = term.screen_cells()
            shown = names(screen.lines)
            if name not in shown:
                term.send_keys(page_key)
                try:
                    term.wait_for(lambda rows: names(rows) != shown, timeout=1.5)
                except TerminalError:
                    if page_key == "PageDown":
                        break
                    page_key = "PageDown"  # the first page: now onwards
                continue
            target, at = shown.index(name), highlighted(screen)
            if at == target:
                return screen.lines
            step = "Down" if at is None or at < target else "Up"
            term.send_keys(*[step] * abs(target - (at or 0)))
            term.wait_for(lambda s: highlighted(s) == target, cells=True)
        self.fail(f"{name} not reached:\n{term.screen_text()}")

    def enter(self, term, name, then_header):
        self.move_to(term, name)
        term.send_keys("Enter")
        return term.wait_for(lambda rows: header(rows) == "Dir: " + then_header)

    def close_with(self, term, button):
        term.send_keys("Tab", *(["Right"] if button == "Cancel" else []), "Enter")
        return term.wait_for(lambda rows: not is_open(rows))

    def quit(self, term):
        term.send_keys("q")
        self.assert_clean_exit(term)


class Browsing(SelectorCase):
    def test_open_move_enter_and_load_a_module(self):
        term = self.start_in_tree()
        rows = self.open_selector(term, self.tree)
        screen = term.screen_cells()
        self.assertEqual(highlighted(screen), 0)
        title = screen.style_of("Select file")
        self.assertEqual((title["fg"], title["bold"]), (3, True))  # bold yellow
        self.assertTrue(sel(rows, FILE_ROW).startswith("File: "))
        self.assertIn("[ OK ]", rows[TOP + 19])
        self.assertIn("[ Cancel ]", rows[TOP + 19])
        # directories first, in bold; files with their sizes
        listed = names(rows)
        dirs = [n for n in listed if os.path.isdir(os.path.join(self.tree, n))]
        self.assertEqual(listed[:len(dirs)], dirs)
        self.assertIn("..", dirs)
        self.assertIn("relative", dirs)  # a link to a directory
        first_row = [sel(rows, r) for r in LISTING_ROWS][listed.index("first.xm")]
        self.assertEqual(first_row[48:].strip(), str(os.path.getsize(self.first)))
        self.assertEqual(sel(rows, 5 + listed.index("dangling"))[48:].strip(), "?")
        self.assertTrue(screen.cell(TOP + 5 + listed.index("sub"), LEFT + 1).bold)

        term.send_keys("Down")
        term.wait_for(lambda s: highlighted(s) == 1, cells=True)
        self.enter(term, "sub", self.tree + "/sub")
        self.enter(term, "..", self.tree)
        rows = self.enter(term, "sub", self.tree + "/sub")
        self.assertIn("eight.mod", names(rows))
        self.move_to(term, "eight.mod")
        term.send_keys("Enter")
        term.wait_for(lambda rows: file_line(rows) == "File: eight.mod")
        self.close_with(term, "OK")
        rows = term.wait_for(lambda rows: "File   : eight.mod" in rows[1] and "xq channels" in rows[2])
        self.assertRegex(rows[1], r"File   : eight\.mod  \[ \d+ smp, \d+ ins, \d+ bytes")
        # the new module plays: its eight channels are on the table and moving
        self.wait_playing(term)
        term.wait_for(lambda rows: any(row.startswith("│08") for row in rows[6:23]))
        self.rec.wait_for_sound(timeout=5)

        # the next opening starts where this one closed
        self.open_selector(term, self.tree + "/sub")
        self.close_with(term, "Cancel")
        self.quit(term)

    def test_cancel_keeps_the_module_and_the_next_opening_starts_there(self):
        term = self.start_in_tree()
        before = term.screen()[1:3]
        self.open_selector(term, self.tree)
        self.enter(term, "sub", self.tree + "/sub")
        self.move_to(term, "eight.mod")
        term.send_keys("Enter")
        term.wait_for(lambda rows: file_line(rows) == "File: eight.mod")
        rows = self.close_with(term, "Cancel")
        self.assertEqual(rows[1:3], before)
        rows = self.open_selector(term, self.tree + "/sub")
        self.assertEqual(file_line(rows), "File:")  # a new opening clears the name
        self.assertEqual(highlighted(term.screen_cells()), 0)
        self.close_with(term, "Cancel")
        self.assertEqual(term.screen()[1:3], before)
        self.quit(term)

    def test_paging(self):
        term = self.start_in_tree()
        self.open_selector(term)
        rows = self.enter(term, "many", self.tree + "/many")
        first_page = names(rows)
        self.assertEqual(len(first_page), 11)  # ".." and 29 files: 11, 11 and 8 rows
        term.send_keys("PageDown")
        rows = term.wait_for(lambda rows: names(rows) != first_page)
        second_page = names(rows)
        self.assertEqual(highlighted(term.screen_cells()), 0)
        term.send_keys("PageDown")
        term.wait_for(lambda rows: len(names(rows)) == 8)
        term.wait_for(lambda s: highlighted(s) == 0, cells=True)  # entry 22, first of the last page
        term.send_keys("PageDown")
        term.wait_for(lambda s: highlighted(s) == 7, cells=True)  # on the last page: the last entry
        term.send_keys("Down")                                    # on the last entry: stays
        term.send_keys("PageUp")
        term.wait_for(lambda rows: names(rows) == second_page)
        term.wait_for(lambda s: highlighted(s) == 0, cells=True)
        term.send_keys("Up")
        term.wait_for(lambda rows: names(rows) == first_page)
        term.wait_for(lambda s: highlighted(s) == 10, cells=True)
        term.send_keys("Down")
        term.wait_for(lambda rows: names(rows) == second_page)
        term.wait_for(lambda s: highlighted(s) == 0, cells=True)
        term.send_keys("PageUp", "PageUp", "Up")
        term.wait_for(lambda rows: names(rows) == first_page)
        term.wait_for(lambda s: highlighted(s) == 0, cells=True)
        # the rows of the last page below its entries are blank
        term.send_keys("PageDown", "PageDown")
        rows = term.wait_for(lambda rows: len(names(rows)) == 8)
        self.assertTrue(all(sel(rows, r).strip() == "" for r in range(13, 16)))
        self.close_with(term, "Cancel")
        self.quit(term)

    def test_links_long_names_and_entries_that_cannot_be_entered(self):
        term = self.start_in_tree()
        self.open_selector(term, self.tree)
        # a relative link: entered under its own name, its target on stderr
        rows = self.enter(term, "relative", self.tree + "/relative")
        self.assertIn("eight.mod", names(rows))
        self.assertIn("sub\n", term.stderr())
        self.enter(term, "..", self.tree)

        # a 60-character name: 42 characters on the File line, all of it on OK
        self.move_to(term, self.long_name)
        term.send_keys("Enter")
        rows = term.wait_for(lambda rows: file_line(rows).startswith("File: L"))
        self.assertEqual(file_line(rows), "File: " + self.long_name[:42])

        # a dangling link: a red box saying why, and the listing stays
        self.move_to(term, "dangling")
        term.send_keys("Enter")
        message = "Can't read 'dangling': No such file or directory."
        term.wait_for(message)
        self.assertEqual(term.screen_cells().style_of(message)["fg"], 1)
        term.send_keys("Enter")
        rows = term.wait_for(lambda rows: message not in "".join(rows))
        self.assertEqual(header(rows), "Dir: " + self.tree)

        # a directory that vanished after it was listed
        gone = os.path.join(self.tree, "gone")
        os.mkdir(gone)
        self.enter(term, "sub", self.tree + "/sub")
        self.enter(term, "..", self.tree)
        os.rmdir(gone)
        self.move_to(term, "gone")
        term.send_keys("Enter")
        term.wait_for("Can't read 'gone': No such file or directory.")
        term.send_keys("Enter")
        rows = term.wait_for(lambda rows: "Can't read" not in "".join(rows))
        self.assertEqual(header(rows), "Dir: " + self.tree)
        self.assertIn("gone", names(rows))
        self.close_with(term, "Cancel")
        self.quit(term)


class TypedLines(SelectorCase):
    def type_directory(self, term, old, text):
        term.send_keys("d")
        term.send_keys(*["BSpace"] * len(old))
        if text:
            term.type_text(text)
        term.send_keys("Enter")

    def test_the_directory_line(self):
        term = self.start_in_tree()
        self.open_selector(term, self.tree)
        cases = [
            (self.tree + "/sub/deeper/", self.tree + "/sub/deeper"),   # absolute, trailing "/"
            ("..", self.tree + "/sub"),                               # relative
            ("deeper/../../many", self.tree + "/many"),
            (self.tree + "/no/such/dir", None),                       # refused: the old path comes back
            ("x" * 240, None),                                        # too long once joined: refused
            ("", None),
        ]
        shown = self.tree
        for typed, expected in cases:
            with self.subTest(typed=typed[:40]):
                self.type_directory(term, shown, typed)
                if expected:
                    term.wait_for(lambda rows: header(rows) == "Dir: " + expected)
                    term.wait_for(lambda s: highlighted(s) == 0, cells=True)
                    shown = expected
                    continue
                # refused: the old path in the normal attribute, the
                # highlighted entry redrawn in reverse
                screen = term.wait_for(lambda s: s.cell(TOP + 5, LEFT + 1).reverse
                                       and not s.cell(TOP + 2, LEFT + 7).reverse, cells=True)
                self.assertEqual(header(screen.lines), "Dir: " + shown)
                self.assertIn("..", names(screen.lines))  # the listing of the old path stays
                # back to the plain highlight before the next case
                term.send_keys("Down")
                term.wait_for(lambda s: highlighted(s) == 1, cells=True)
                term.send_keys("Up")
                term.wait_for(lambda s: highlighted(s) == 0, cells=True)
        self.close_with(term, "Cancel")
        self.quit(term)

    def test_the_file_line(self):
        term = self.start_in_tree()
        self.open_selector(term, self.tree)
        # Tab keeps the name and the selector open
        term.send_keys("f")
        term.type_text("abc")
        term.send_keys("Tab")
        # drawn in the normal attribute again once the edit has ended
        screen = term.wait_for(lambda s: not s.cell(TOP + FILE_ROW, LEFT + 7).reverse
                               and file_line(s.lines) == "File: abc", cells=True)
        self.assertTrue(is_open(screen.lines))
        # Enter on an empty line returns to the listing
        term.send_keys("f", *["BSpace"] * 3, "Enter")
        rows = term.wait_for(lambda rows: file_line(rows) == "File:")
        self.assertTrue(is_open(rows))
        # a name typed with its directory, then Enter: closed as OK and loaded
        term.send_keys("f")
        term.type_text("sub/eight.mod")
        term.send_keys("Enter")
        term.wait_for(lambda rows: not is_open(rows) and "File   : eight.mod" in rows[1])
        self.wait_playing(term)
        self.quit(term)


class LoadErrors(SelectorCase):
    @measures_sound
    def test_a_non_module_shows_the_library_error_while_the_old_module_plays(self):
        term = self.start_in_tree()
        start = self.rec.wait_for_sound(timeout=10)
        before = term.screen()[1:3]
        self.open_selector(term, self.tree)
        self.move_to(term, "notes.txt")
        term.send_keys("Enter")
        term.wait_for(lambda rows: file_line(rows) == "File: notes.txt")
        self.close_with(term, "OK")
        message = "Module format not recognized."
        term.wait_for(message)
        style = term.screen_cells().style_of(message)
        self.assertEqual((style["fg"], style["bold"]), (1, True))
        shown_at = self.rec.mark()
        # the old module goes on: the status row moves and the sound flows
        status = term.screen()[4]
        term.wait_for(lambda rows: rows[4] != status and message in "".join(rows))
        end = self.rec.wait_until(shown_at + self.rec.frames(1.5))
        self.assertEqual(self.rec.gaps(max(start, shown_at - self.rec.frames(0.5)), end, min_ms=10), [])
        term.send_keys("Enter")
        rows = term.wait_for(lambda rows: message not in "".join(rows))
        self.assertEqual(rows[1:3], before)
        self.quit(term)


class SoundWhileSelecting(SelectorCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.huge = os.path.join(cls.tree, "huge")
        make_empty_files(cls.huge, 16384)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.huge, ignore_errors=True)
        super().tearDownClass()

    @measures_sound
    def test_no_gap_while_open_browsing_and_reading_a_huge_directory(self):
        term = self.start_in_tree()
        sound = self.rec.wait_for_sound(timeout=10)
        self.rec.wait_until(sound + self.rec.frames(0.5))

        opened = self.rec.mark()
        self.open_selector(term, self.tree)
        for keys in (["Down"] * 3, ["Up"] * 3, ["Tab"], ["Right"], ["Left"], ["Tab"]):
            term.send_keys(*keys)
            self.rec.wait_seconds(0.2)
        rows = self.enter(term, "huge", self.tree + "/huge")
        listed = self.rec.mark()
        note = rows[TOP + 3]
        self.assertIn("Only 16383 of 16385 entries are listed.", note)
        term.send_keys("PageDown", "PageDown", "Down")
        self.rec.wait_seconds(0.5)
        self.enter(term, "..", self.tree)
        end = self.rec.wait_until(self.rec.mark() + self.rec.frames(0.5))
        self.assertEqual(self.rec.gaps(opened, listed, min_ms=10), [], "while open and reading")
        self.assertEqual(self.rec.gaps(opened, end, min_ms=10), [], "while open")
        self.close_with(term, "Cancel")
        self.quit(term)


if __name__ == "__main__":
    unittest.main()
