"""The playlist on the real binary in tmux: building a list in the panel
through the file selector, editing, saving and loading it, starting it;
several modules on the command line playing entry after entry; and the
sound going on meanwhile."""

import os
import re
import shutil
import sys
import time
import unittest

from xqtest import PlayerTestCase, TerminalError, make_empty_files, mw
from xqtest import measures_sound, write_junk_modules
from test_file_selector_e2e import header, highlighted, is_open, names

# The playlist panel on an 80x24 screen: rows 1 to 22, columns 4 to 75; its
# list rows 1 to 20 are screen rows 2 to 21, columns 5 to 58.
TOP, LEFT = 1, 4
LIST_ROWS = 20
TITLE = "Playlist (press 'q' to quit without starting)"


def list_rows(rows):
    return [rows[TOP + r][LEFT + 1:LEFT + 55].rstrip() for r in range(1, LIST_ROWS + 1)]


def entries(rows):
    """The paths on the page shown, without their numbers and lengths."""
    return [re.sub(r" +\d\d:\d\d$", "", r.split(": ", 1)[1]) for r in list_rows(rows) if not r.endswith("EMPTY")]


def count_line(rows):
    return rows[TOP + 21][LEFT + 38:LEFT + 55]


def footer(rows):
    return rows[-1][:62]


def playing_entry(rows):
    """(entry, count) from the footer "[ Playlist:   e/  n   (mm:ss) ]", or
    None while it is not shown."""
    m = re.search(r"\[ Playlist: +(\d+)/ *(\d+) +\(\d\d:\d\d(?:/\d\d:\d\d)?\)", footer(rows))
    return (int(m.group(1)), int(m.group(2))) if m else None


def panel_open(rows):
    return any(TITLE in r for r in rows)


class PlaylistCase(PlayerTestCase):
    def start_in(self, song, cwd, **kw):
        term = self.start(song, cwd=cwd, **kw)
        self.wait_playing(term)
        return term

    def open_panel(self, term):
        term.send_keys("l")
        return term.wait_for(panel_open)

    def choose(self, term, name):
        """In an open file selector: highlights `name` and presses Enter."""
        for page_key in ("PageUp", "PageDown"):
            for _ in range(40):
                screen = term.screen_cells()
                shown = names(screen.lines)
                if name in shown:
                    target, at = shown.index(name), highlighted(screen)
                    if at != target:
                        step = "Down" if at is None or at < target else "Up"
                        term.send_keys(*[step] * abs(target - (at or 0)))
                        term.wait_for(lambda s: highlighted(s) == target, cells=True)
                    term.send_keys("Enter")
                    return
                term.send_keys(page_key)
                try:
                    term.wait_for(lambda rows: names(rows) != shown, timeout=1.5)
                except TerminalError:
                    break
        self.fail(f"{name} not in the selector:\n{term.screen_text()}")

    def ok(self, term):
        term.send_keys("Tab", "Enter")
        return term.wait_for(lambda rows: not is_open(rows) and panel_open(rows))

    def press_button(self, term, index):
        """Goes to button `index` from Add file and presses Enter."""
        term.send_keys("PageUp", *["Down"] * index, "Enter")

    def wait_entries(self, term, n):
        return term.wait_for(lambda rows: count_line(rows) == "[ %5d entries ]" % n)


class Panel(PlaylistCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tree = os.path.join(cls.files.name, "tree")
        os.makedirs(os.path.join(cls.tree, "songs", "deeper"))
        os.makedirs(os.path.join(cls.tree, "many"))
        cls.tone = cls.song_file("tree/tone.xm", mw.tone_song(channels=2))
        cls.a = cls.song_file("tree/a.xm", mw.short_song(2.0, name=b"song a"))
        cls.c = cls.song_file("tree/songs/c.xm", mw.short_song(2.0, name=b"song c"))
        cls.d = cls.song_file("tree/songs/d.xm", mw.short_song(2.0, name=b"song d"))
        for i in range(25):
            open(os.path.join(cls.tree, "many", "m%02d" % i), "w").close()

    def test_build_edit_save_load_and_start(self):
        term = self.start_in(self.tone, self.tree)
        rows = self.open_panel(term)
        self.assertEqual(list_rows(rows)[0], "  1: EMPTY")
        self.assertEqual(list_rows(rows)[19], " 20: EMPTY")
        self.assertEqual(count_line(rows), "[     0 entries ]")
        self.assertEqual(term.screen_cells().style_of("[ Add file  ]")["reverse"], True)

        # Add file, then Add dir: every regular file of songs/, in listing order
        term.send_keys("Enter")
        term.wait_for(is_open)
        self.choose(term, "a.xm")
        self.ok(term)
        rows = self.wait_entries(term, 1)
        self.assertEqual(entries(rows), [self.a])
        self.press_button(term, 1)
        term.wait_for(is_open)
        self.choose(term, "songs")
        term.wait_for(lambda rows: "c.xm" in names(rows))
        listed = [n for n in names(term.screen()) if os.path.isfile(os.path.join(self.tree, "songs", n))]
        self.ok(term)
        rows = self.wait_entries(term, 3)
        self.assertEqual(entries(rows), [self.a] + [os.path.join(self.tree, "songs", n) for n in listed])

        # Remove the last entry: the selection goes back to entry 1
        self.press_button(term, 2)
        term.send_keys("Down", "Down", "Enter")
        rows = self.wait_entries(term, 2)
        kept = entries(rows)
        self.assertEqual(kept, [self.a, os.path.join(self.tree, "songs", listed[0])])
        # Move down the first entry, then up again
        self.press_button(term, 5)
        term.send_keys("Enter")
        rows = term.wait_for(lambda rows: entries(rows) == kept[::-1])
        self.press_button(term, 4)
        term.send_keys("Down", "Enter")
        term.wait_for(lambda rows: entries(rows) == kept)

        # Info is refused while a module plays
        self.press_button(term, 6)
        term.send_keys("Enter")
        term.wait_for("Player is running.")
        self.assertEqual(term.screen_cells().style_of("Player is running.")["fg"], 1)
        term.send_keys("Enter")
        term.wait_for(lambda rows: not any("Player is running." in r for r in rows))
        term.send_keys("Escape")

        # Save, clear, load back
        self.press_button(term, 8)
        term.wait_for(is_open)
        term.send_keys("f")
        term.type_text("list.pli")
        term.send_keys("Enter")
        saved = os.path.join(self.tree, "songs", "list.pli")  # the selector starts where it was left
        term.wait_for(f"'{saved}' saved.")
        term.send_keys("Enter")
        with open(saved) as f:
            self.assertEqual(f.read(), "XQ PLAYING LIST\n" + "".join(p + "\n" for p in kept))
        self.press_button(term, 3)
        self.wait_entries(term, 0)
        self.press_button(term, 7)
        term.wait_for(is_open)
        self.choose(term, "list.pli")
        self.ok(term)
        rows = self.wait_entries(term, 2)
        self.assertEqual(entries(rows), kept)

        # q closes without starting
        term.send_keys("q")
        rows = term.wait_for(lambda rows: not panel_open(rows))
        self.assertNotIn("Playlist:", footer(rows))

        # Info when stopped shows the module's information
        term.send_keys("t")
        self.open_panel(term)
        self.press_button(term, 6)
        term.send_keys("Enter")
        rows = term.wait_for("Module info")
        text = "\n".join(rows)
        self.assertIn("   File: a.xm - Size: %d" % os.path.getsize(self.a), text)
        self.assertIn("   Name: song a", text)
        self.assertIn("    Chn: 4", text)
        term.send_keys("q")
        term.wait_for(lambda rows: not any("Module info" in r for r in rows))
        term.send_keys("Escape")

        # Done starts the list from its first entry
        term.send_keys("PageDown", "Enter")
        rows = term.wait_for(lambda rows: playing_entry(rows) == (1, 2))
        self.assertIn("Title  : song a", rows[2])
        term.wait_for(lambda rows: playing_entry(rows) == (2, 2), timeout=8)
        term.wait_for(lambda rows: "[ Playlist finished   2/  2 (00:04) ]" in footer(rows), timeout=8)
        term.send_keys("q")
        self.assert_clean_exit(term)

    def write_list(self, name, lines):
        path = os.path.join(self.tree, name)
        with open(path, "w") as f:
            f.write("XQ PLAYING LIST\n" + "".join(line + "\n" for line in lines))
        self.addCleanup(os.remove, path)
        return path

    def load(self, term, name):
        """Load, with the file's name typed in the selector."""
        self.press_button(term, 7)
        term.wait_for(is_open)
        term.send_keys("f")
        term.type_text(name)
        term.send_keys("Enter")

    def test_loads_draw_the_list_first_and_refuse_what_is_not_a_file(self):
        self.write_list("dirs.pli", [self.a, "/m/dir/", self.c])
        fifo = os.path.join(self.tree, "pipe.pli")
        os.mkfifo(fifo)
        self.addCleanup(os.remove, fifo)
        term = self.start_in(self.tone, self.tree)
        self.open_panel(term)
        self.load(term, "dirs.pli")
        rows = term.wait_for("Skipped 1 line naming a directory, not a file.")
        # the loaded list is drawn already, behind the box
        self.assertEqual(count_line(rows), "[     2 entries ]")
        self.assertEqual(list_rows(rows)[:2], ["  1: " + self.a, "  2: " + self.c])
        term.send_keys("Enter")
        term.wait_for(lambda rows: not any("Skipped" in r for r in rows))
        # a FIFO is refused at once: no wait for a writer
        self.load(term, "pipe.pli")
        term.wait_for(f"Can't load '{fifo}': not a regular file.", timeout=3)
        term.send_keys("Enter", "q")
        term.wait_for(lambda rows: not panel_open(rows))
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_the_box_of_an_entry_that_fails_closes_as_the_playlist_moves_on(self):
        self.write_list("gap.pli", [self.a, "/no/such/song.xm", self.c])
        term = self.start_in(self.tone, self.tree)
        self.open_panel(term)
        self.load(term, "gap.pli")
        self.wait_entries(term, 3)
        term.send_keys("PageDown", "Enter")  # Done
        term.wait_for(lambda rows: playing_entry(rows) == (1, 3))
        box = "'song.xm': File can't be read."
        term.wait_for(box, timeout=8)
        # nobody presses Enter: the box goes as the next entry starts
        rows = term.wait_for(lambda rows: box not in "".join(rows) and playing_entry(rows) == (3, 3), timeout=5)
        self.assertIn("Title  : song c", rows[2])
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_a_page_break_on_80x24(self):
        term = self.start_in(self.tone, self.tree)
        self.open_panel(term)
        self.press_button(term, 1)
        term.wait_for(is_open)
        self.choose(term, "many")
        term.wait_for(lambda rows: header(rows) == "Dir: " + os.path.join(self.tree, "many"))
        self.ok(term)
        rows = self.wait_entries(term, 25)
        self.assertTrue(list_rows(rows)[0].startswith("  1: " + self.tree + "/many/m"))
        self.assertTrue(list_rows(rows)[19].startswith(" 20: "))
        term.send_keys("Tab", "PageDown")
        rows = term.wait_for(lambda rows: list_rows(rows)[0].startswith(" 21: "))
        self.assertTrue(list_rows(rows)[4].startswith(" 25: "))
        self.assertEqual(list_rows(rows)[5], " 26: EMPTY")
        # the selection sits on entry 21, drawn in reverse behind its number
        self.assertTrue(term.screen_cells().cell(TOP + 1, LEFT + 6).reverse)
        term.send_keys("Escape", "q")
        term.wait_for(lambda rows: not panel_open(rows))
        term.send_keys("q")
        self.assert_clean_exit(term)


def pitched_song(pitch, name, rows):
    """A song of one steady tone on `pitch` for `rows` rows of 0.1 s, which
    then ends."""
    song = mw.Song(name=name, format="xm", channels=1, speed=5, bpm=125)
    song.samples.append(mw.Sample(name="square", data=mw.square(32, 127), loop=mw.LOOP_FORWARD,
                                  loop_length=32))
    pattern = song.new_pattern(rows)
    pattern.set(0, 0, pitch, 1, 64)
    song.orders = [0]
    return song


# The songs last 2 s and 2.5 s (and the tick after the last row), so the
# once-a-second tick finds their ends at two different moments.
SONG_SECONDS = (2.02, 2.52)


class CommandLine(PlaylistCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.songs = [cls.song_file(f"{n}.xm", pitched_song(p, f"song {n}".encode(), rows))
                     for n, p, rows in (("a", "A-3", 20), ("b", "A-4", 25), ("c", "A-5", 20))]
        cls.tones = [cls.song_file(f"tone{n}.xm", mw.tone_song(channels=2)) for n in (1, 2, 3)]

    def change_of_pitch(self, start, end, below):
        """The first frame from `start` whose 20 ms window sounds higher
        than `below` Hz."""
        step = self.rec.frames(0.02)
        for at in range(start, end - step, step):
            if self.rec.dominant_frequency(at, at + step) > below:
                return at
        self.fail("no change of pitch")

    @measures_sound
    def test_three_files_play_in_turn_and_an_unreadable_one_is_skipped(self):
        term = self.start(*self.songs[:1], "/no/such/song.xm", *self.songs[1:])
        start = self.rec.wait_for_sound(timeout=10)
        term.wait_for(lambda rows: playing_entry(rows) == (1, 3) and "Title  : song a" in rows[2])
        # The playlist goes on while a panel's key loop waits: the footer
        # shows below the playlist panel.
        self.open_panel(term)
        for n in (2, 3):
            term.wait_for(lambda rows: playing_entry(rows) == (n, 3) and panel_open(rows), timeout=8)
        term.send_keys("q")
        term.wait_for(lambda rows: "Title  : song c" in rows[2])
        term.wait_for(lambda rows: "[ Playlist finished   3/  3 (00:06) ]" in footer(rows), timeout=8)  # 6.56 s
        self.assertIn("XQ: Can't open '/no/such/song.xm'\n", term.stderr())
        end = self.rec.mark()

        # How long after one song's end the next one sounds: each song is
        # an octave above the one before.
        first = self.rec.dominant_frequency(start + self.rec.frames(0.2), start + self.rec.frames(0.7))
        self.assertGreater(first, 50)
        b = self.change_of_pitch(start + self.rec.frames(1.0), end, first * 1.5)
        c = self.change_of_pitch(b + self.rec.frames(1.0), end, first * 3)
        waits = [self.rec.seconds(b - start) - SONG_SECONDS[0], self.rec.seconds(c - b) - SONG_SECONDS[1]]
        silences = [g.ms for g in self.rec.gaps(start, end, min_ms=10) if g.end < end]
        sys.stderr.write("from a song's end to the next entry's sound: %s ms; silences of 10 ms or more: %s\n"
                         % (", ".join("%.0f" % (w * 1000) for w in waits), silences))
        for w in waits:
            self.assertLess(w, 1.5)
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_an_entry_that_cannot_be_loaded_is_passed_over_with_its_box(self):
        text = os.path.join(self.files.name, "notes.txt")
        with open(text, "w") as f:
            f.write("words, not music\n")
        term = self.start(text, self.tones[0])
        term.wait_for("Module format not recognized.")
        term.send_keys("Enter")
        rows = term.wait_for(lambda rows: playing_entry(rows) == (2, 2))
        self.assertIn("File   : tone1.xm", rows[1])
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_a_run_of_entries_that_cannot_be_loaded_gives_one_box(self):
        junk = write_junk_modules(self.files.name, 200)
        box = "200 entries passed over. Last: 'junk199.xm': Module format not recognized."
        # At the start they are passed over at once: one box, over the song
        # that plays, and q closes it.
        term = self.start(*junk, self.tones[0])
        rows = term.wait_for(box, timeout=20)
        self.assertEqual(playing_entry(rows), (201, 201))
        self.assertIn("File   : tone1.xm", rows[1])
        self.rec.wait_for_sound(timeout=10)
        term.send_keys("q")
        term.wait_for(lambda rows: box not in "".join(rows))
        time.sleep(0.3)
        self.assertFalse(term.exited())
        term.send_keys("q")
        self.assert_clean_exit(term)
        term.close()
        # As the playlist moves on: the first has its own box for a second,
        # the others are passed over, and one box tells of them all while
        # the next song plays; Escape closes it, and the keys act on the song.
        term = self.start(self.songs[0], *junk, self.tones[1])
        term.wait_for("'junk000.xm': Module format not recognized.", timeout=10)
        rows = term.wait_for(box, timeout=10)
        self.assertIn("File   : tone2.xm", rows[1])
        self.assertEqual(playing_entry(rows), (202, 202))
        term.send_keys("Escape")
        term.wait_for(lambda rows: box not in "".join(rows))
        term.send_keys("p")
        term.wait_for(lambda rows: any("Paused..." in r for r in rows))
        term.send_keys("p", "q")
        self.assert_clean_exit(term)

    def test_a_small_terminal(self):
        term = self.start(*self.tones[:2], width=40, height=12)
        # The footer stops short of the time box, which stays whole.
        rows = term.wait_for(lambda rows: rows[11].startswith("└─[ Playlist:     1/  2[ Time: 00:0"))
        term.send_keys("l")
        rows = term.wait_for(lambda rows: "Playlist (press 'q'" in rows[1])
        self.assertEqual(rows[2][:20], "│  1: " + self.tones[0][:14])
        term.send_keys("Tab", "Down", "Escape", "q")
        term.wait_for(lambda rows: "Playlist (press" not in "".join(rows))
        term.send_keys("N")
        term.wait_for(lambda rows: rows[11].startswith("└─[ Playlist:     2/  2[ Time: 00:0"))
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_choosing_a_module_with_f_stops_the_playlist(self):
        term = self.start(*self.tones[:2], cwd=self.files.name)
        term.wait_for(lambda rows: playing_entry(rows) == (1, 2))
        term.send_keys("f")
        term.wait_for(is_open)
        self.choose(term, "tone3.xm")
        term.send_keys("Tab", "Enter")
        rows = term.wait_for(lambda rows: "File   : tone3.xm" in rows[1] and "Playlist" not in footer(rows))
        self.assertTrue(footer(rows).startswith("└────"), footer(rows))
        term.send_keys("N")
        self.rec.wait_seconds(1.5)
        self.assertIn("File   : tone3.xm", term.screen()[1])
        term.send_keys("q")
        self.assert_clean_exit(term)


class SoundWhileEditing(PlaylistCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tree = os.path.join(cls.files.name, "tree")
        cls.huge = os.path.join(cls.tree, "huge")
        make_empty_files(cls.huge, 16384)
        cls.tone = cls.song_file("tree/tone.xm", mw.tone_song(channels=2))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.huge, ignore_errors=True)
        super().tearDownClass()

    @measures_sound
    def test_no_gap_while_the_panel_is_used_and_add_dir_reads_a_huge_directory(self):
        term = self.start_in(self.tone, self.tree)
        sound = self.rec.wait_for_sound(timeout=10)
        self.rec.wait_until(sound + self.rec.frames(0.5))
        opened = self.rec.mark()
        self.open_panel(term)
        for keys in (["Down"] * 3, ["Up"] * 3, ["PageDown"], ["PageUp"], ["Tab"]):
            term.send_keys(*keys)
            self.rec.wait_seconds(0.2)
        self.press_button(term, 1)
        term.wait_for(is_open)
        self.choose(term, "huge")
        term.wait_for(lambda rows: "file" in "".join(names(rows)), timeout=20)
        self.ok(term)
        term.wait_for("The playlist is full: 12288 files were left out.", timeout=20)
        rows = term.screen()
        self.assertIn("[  4096 entries ]", count_line(rows))
        added = self.rec.mark()
        term.send_keys("Enter")
        term.send_keys("Tab", "PageDown", "PageDown", "Escape")
        end = self.rec.wait_until(self.rec.mark() + self.rec.frames(0.5))
        self.assertEqual(self.rec.gaps(opened, added, min_ms=10), [], "while adding the directory")
        self.assertEqual(self.rec.gaps(opened, end, min_ms=10), [], "while the panel is open")
        term.send_keys("q")
        term.wait_for(lambda rows: not panel_open(rows))
        term.send_keys("q")
        self.assert_clean_exit(term)


if __name__ == "__main__":
    unittest.main()
