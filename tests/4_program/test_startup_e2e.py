"""Start-up, the main window and the ways the program ends, on the real
binary in tmux with sound going to a private null sink."""

import os
import re
import shutil
import stat
import subprocess
import time
import unittest

from xqtest import (QUIT_SIGNALS, VERSION_LINE, XQ, PlayerTestCase, Terminal,
                    UnreachableServer, mw, run_plain, status_position)
from xqtest import measures_sound, write_junk_modules

USAGE = (VERSION_LINE + "\n"
         "Usage: xq [ -h | -v ] [ module | playlist | directory ]...\n"
         "       xq --render OUT.wav [ --loops N ] [ module | playlist | directory ]...\n"
         "       xq --resume\n"
         "       xq --remote COMMAND [ ARG ]\n"
         "       xq --lengths module...\n"
         "  -h, --help          help\n"
         "  -v, --version       version\n"
         "  module              .xm, .it, .mod...; one alone plays by itself\n"
         "  playlist            .pli, .m3u, .m3u8, .pls: its entries join the playlist\n"
         "  directory           the module files below it, sorted by name\n"
         "  pack                .zip, .7z, .tar.gz, .lha...: the modules inside it;\n"
         "                      pack.zip/song.xm plays one of them\n"
         "  -o, --render OUT    write each module to a WAV file instead of playing it:\n"
         "                      OUT itself for one module, OUT-NAME.wav for several,\n"
         "                      or NAME.wav inside OUT when OUT is a directory\n"
         "  --loops N           with --render: play each song N times (default 1)\n"
         "  --rate HZ           with --render: mixing frequency (default 44100)\n"
         "  --resume            play what played when xq last ended, from where it was\n"
         "  --subsong N         play (or with --render write) song N of a module that holds\n"
         "                      several; with --render, all writes each to its own file\n"
         "  --remote COMMAND    tell the running xq: play, pause, toggle, stop, next, prev,\n"
         "                      forward, back, volume +N|-N|N, seek +N|-N|M:SS, quit,\n"
         "                      or status\n"
         "  --lengths           print the length of each song of each module, in ms\n"
         "  --colors NAME       colours for this run: dark (the default), light for a light\n"
         "                      terminal, or terminal for the terminal's own colours\n")


class CommandLine(unittest.TestCase):
    def test_arguments_before_the_terminal_is_set_up(self):
        cases = [
            ([], 255, USAGE),
            (["-h"], 0, USAGE),
            (["-help"], 0, USAGE),
            (["--help"], 0, ""),
            (["-v"], 0, VERSION_LINE + "\n"),
            (["-verbose"], 0, VERSION_LINE + "\n"),
            (["-hx"], 0, USAGE),
            (["-vfoo"], 0, VERSION_LINE + "\n"),
            (["missing.xm", "-h"], 0, USAGE),
            # an argument that looks like an option and is none of xq's
            (["-x"], 2, "XQ: Unknown option '-x'.\n" + USAGE),
            (["--bogus", "song.xm"], 2, "XQ: Unknown option '--bogus'.\n" + USAGE),
            (["song.xm", "--verbose"], 2, "XQ: Unknown option '--verbose'.\n" + USAGE),
            (["--resume", "--bogus"], 2, "XQ: Unknown option '--bogus'.\n" + USAGE),
            (["song.xm", "--resume"], 2, "XQ: --resume comes first, before anything else.\n" + USAGE),
            # --colors names a scheme; its value is never an option itself
            (["--colors", "pink", "song.xm"], 2, "XQ: --colors takes dark, light or terminal, not 'pink'.\n" + USAGE),
            (["song.xm", "--colors"], 2, "XQ: --colors takes dark, light or terminal.\n" + USAGE),
            (["--colors", "-h", "song.xm"], 2, "XQ: --colors takes dark, light or terminal, not '-h'.\n" + USAGE),
            (["--colors", "light", "/no/such/song.xm"], 255, "XQ: Can't open '/no/such/song.xm'\n"),
            # after "--" everything is a path
            (["--"], 255, USAGE),
            (["--", "-x"], 255, "XQ: Can't open '-x'\n"),
            # several paths: each that cannot be read is named; none left ends it
            (["/no/such/song.xm", "more"], 255, "XQ: Can't open '/no/such/song.xm'\nXQ: Can't open 'more'\n"),
        ]
        for args, status, stderr in cases:
            with self.subTest(args=args):
                r = run_plain(args)
                self.assertEqual(r.returncode, status)
                self.assertEqual(r.stderr.decode(), stderr)
                # --help alone writes the usage to standard output
                self.assertEqual(r.stdout.decode(), USAGE if args == ["--help"] else "")

    def test_home_that_cannot_hold_the_options_path(self):
        long_home = "/tmp/" + "h" * 250
        r = run_plain(["/dev/null"], env={"HOME": long_home})
        self.assertEqual(r.returncode, 255)
        self.assertIn("HOME is too long", r.stderr.decode())
        self.assertFalse(os.path.exists(long_home))

        env = dict(os.environ)
        env.pop("HOME")
        r = subprocess.run([XQ, "/dev/null"], env=env, capture_output=True, stdin=subprocess.DEVNULL)
        self.assertEqual(r.returncode, 255)
        self.assertIn("HOME is not set", r.stderr.decode())


class MainWindow(PlayerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.percent = cls.song_file("percent.xm", mw.name_song(b"100% %s %d %n"))
        cls.song = cls.song_file("tone.xm", mw.tone_song(channels=2))

    def test_first_run_screen_and_quit(self):
        term = self.start(self.percent)
        rows = term.wait_for("Title  :")
        config = os.path.join(term.home, ".xq")
        self.assertEqual(term.stderr(), f"XQ: Can't access '{config}', creating it.\n")
        self.assertEqual(stat.S_IMODE(os.stat(config).st_mode), 0o700)
        self.assertFalse(os.path.exists(os.path.join(config, "options")))

        self.assertEqual(rows[0], " :: XQ v0.6 ::" + " " * 46 + "Press 'h' for help")
        self.assertTrue(rows[1].startswith("│File   : "))
        self.assertTrue(rows[23].startswith("└───"))
        size = os.path.getsize(self.percent)
        m = re.search(r"File   : percent\.xm  \[ \d+ smp, \d+ ins, (\d+) bytes, ([\d.]+) KB \]", rows[1])
        self.assertIsNotNone(m, rows[1])
        self.assertEqual(int(m.group(1)), size)
        self.assertEqual(m.group(2), "%.1f" % (size / 1024))
        self.assertRegex(rows[2], r"Title  : 100% %s %d %n - Type: \S")
        self.assertIn("Driver : ", rows[3])

        cells = term.screen_cells()
        self.assertTrue(cells.row_has(5, reverse=True))
        self.assertTrue(all(cells.cell(5, c).reverse for c in range(80)))
        title = cells.cell(0, 4)
        self.assertTrue(title.bold)
        self.assertEqual((title.fg, title.bg), (6, 4))  # cyan on blue
        hint = cells.cell(0, 62)
        self.assertEqual((hint.fg, hint.bg, hint.bold), (2, 4, True))  # bold green on blue
        name = cells.cell(2, 10)
        self.assertEqual((name.fg, name.bold), (6, False))  # the song name in cyan

        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_second_run_reads_the_existing_directory_quietly(self):
        home = self.files.name + "/home2"
        os.makedirs(home + "/.xq", mode=0o700)
        term = self.start(self.song, home=home)
        self.wait_playing(term)
        self.assertEqual(term.stderr(), "")
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_quit_key_and_signals_restore_the_terminal(self):
        for how in ["q", *QUIT_SIGNALS]:
            with self.subTest(how=str(how)):
                term = self.start(self.song)
                self.wait_playing(term)
                if how == "q":
                    term.send_keys("q")
                else:
                    term.signal(how)
                self.assert_clean_exit(term)
                term.close()

    def test_taller_and_wider_terminal(self):
        term = self.start(self.song, width=100, height=40)
        rows = self.wait_playing(term)
        self.assertTrue(rows[0].startswith(" :: XQ v0.6 ::"))
        self.assertEqual(rows[0][60:80], "Press 'h' for help  ")
        self.assertRegex(rows[39], r"\[ Time: \d\d:\d\d/\d\d:\d\d \]")
        term.send_keys("q")
        self.assert_clean_exit(term)


class OddTerminals(PlayerTestCase):
    """Tiny and resized terminals: the program keeps playing and quits
    cleanly, whatever fits on the screen."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.song = cls.song_file("many.xm", mw.channels_song("xm", 32, 2))

    @measures_sound
    def test_tiny_terminals(self):
        for width, height in [(20, 5), (10, 3), (1, 1)]:
            with self.subTest(size=(width, height)):
                term = self.start(self.song, width=width, height=height)
                term.wait_for(lambda rows: bool(rows[0].strip()))
                term.send_keys("PageDown", "Enter", "Down", "PageUp", "*", "Up")
                start = self.rec.wait_for_sound(timeout=10)
                end = self.rec.wait_until(start + self.rec.frames(1))
                self.assertFalse(term.exited())
                self.assertEqual(self.rec.gaps(start, end, min_ms=10), [])
                term.send_keys("q")
                self.assert_clean_exit(term)
                term.close()

    def test_resizing_while_playing(self):
        term = self.start(self.song)
        self.wait_playing(term)
        for width, height in [(30, 6), (120, 40), (80, 24)]:
            term.resize(width, height)
            term.send_keys("Down")
        start = self.rec.mark()
        self.rec.wait_until(start + self.rec.frames(0.5))
        self.assertFalse(term.exited())
        term.send_keys("q")
        self.assert_clean_exit(term)


class FailedStart(PlayerTestCase):
    def assert_failed_exit(self, term, stderr_end):
        """Status 255; the version line after the screen is restored, then
        the file and the reason on standard error."""
        self.assertEqual(term.wait_exit(10), 255, term.stderr())
        self.assertIn(VERSION_LINE, term.text_after_alt_screen())
        self.assertTrue(term.stderr().endswith(stderr_end), term.stderr())

    def test_a_file_the_library_refuses(self):
        text = os.path.join(self.files.name, "notes.txt")
        with open(text, "w") as f:
            f.write("These are words, not music.\n" * 20)
        # Enter, q or Escape closes the box; other keys do not
        for key in ("Enter", "q", "Escape"):
            with self.subTest(key=key):
                term = self.start(text)
                # the file's name, then libmikmod's own words with a full stop added
                message = "'notes.txt': Module format not recognized."
                term.wait_for(message)
                style = term.screen_cells().style_of(message)
                self.assertEqual((style["fg"], style["bold"]), (1, True))  # bold red
                self.assertTrue(term.screen_cells().style_of("[ OK ]")["reverse"])
                term.send_keys("x", "Down")
                time.sleep(0.2)
                self.assertFalse(term.exited())
                term.wait_for("[ OK ]")
                term.send_keys(key)
                self.assert_failed_exit(term, f"XQ: Can't load '{text}': Module format not recognized.\n")
                term.close()

    def test_a_failed_start_without_keys_to_read(self):
        # Standard input from /dev/null, or at its end: the start that plays
        # nothing fails all the same, naming the file.
        text = os.path.join(self.files.name, "words.xm")
        with open(text, "w") as f:
            f.write("These are words, not music.\n" * 20)
        other = os.path.join(self.files.name, "more-words.xm")
        shutil.copy(text, other)
        reason = "Module format not recognized."
        for how, shell in (("from /dev/null", 'exec "$0" "$@" </dev/null'), ("at its end", 'true | exec "$0" "$@"')):
            for files, stderr_end in (([text], f"XQ: Can't load '{text}': {reason}\n"),
                                      ([text, other], f"XQ: Can't load '{other}': {reason}\n"
                                                      "XQ: None of the 2 modules could be played.\n")):
                with self.subTest(how=how, files=len(files)):
                    term = self.start("-c", shell, XQ, *files, argv0="sh")
                    self.assert_failed_exit(term, stderr_end)
                    term.close()

    def test_a_directory(self):
        # A directory gives the modules below it; without any, nothing is
        # left to play and the start fails like a path that cannot be read.
        empty = os.path.join(self.files.name, "empty")
        os.makedirs(empty, exist_ok=True)
        term = self.start(empty)
        self.assertEqual(term.wait_exit(), 255)
        self.assertEqual(term.stderr(), "XQ: No modules in '%s'\n" % empty)
        holding = os.path.join(self.files.name, "holding")
        os.makedirs(holding, exist_ok=True)
        self.song_file("holding/only.xm", mw.tone_song())
        term = self.start(holding)
        term.wait_for(lambda rows: "only.xm" in rows[1] and "Playlist:" in rows[-1])
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_several_files_none_of_which_plays(self):
        bad = os.path.join(self.files.name, "bad.xm")
        with open(bad, "wb") as f:
            f.write(b"no module here" * 40)
        fifo = os.path.join(self.files.name, "pipe.xm")
        os.mkfifo(fifo)
        self.addCleanup(os.remove, fifo)
        term = self.start(bad, fifo)
        # one box for both; a FIFO is refused at once
        term.wait_for("None of the 2 played. Last: 'pipe.xm': Not a file.")
        term.send_keys("Escape")
        self.assert_failed_exit(term, f"XQ: Can't load '{fifo}': Not a file.\n"
                                      "XQ: None of the 2 modules could be played.\n")

    def test_many_files_none_of_which_plays_give_one_box(self):
        bad = write_junk_modules(self.files.name, 200)
        term = self.start(*bad)
        term.wait_for("None of the 200 played. Last: 'junk199.xm': Module format not recognized.",
                      timeout=20)
        term.send_keys("q")
        self.assert_failed_exit(term, f"XQ: Can't load '{bad[-1]}': Module format not recognized.\n"
                                      "XQ: None of the 200 modules could be played.\n")

    def test_terminal_without_colours(self):
        song = self.song_file("plain.xm", mw.tone_song())
        # tmux sets TERM for its panes, so the program is started through env
        term = Terminal(["env", "TERM=vt100", XQ, song], env=self.sink.client_vars())
        self.addCleanup(term.close)
        self.assertEqual(term.wait_exit(10), 255)
        self.assertTrue(term.stderr().endswith("\nxq: Terminal doesn't support colors.\n"), term.stderr())

    def test_no_sound_server(self):
        song = self.song_file("nosound.xm", mw.tone_song())
        with UnreachableServer() as bad:
            term = Terminal([XQ, song], env=bad.client_vars())
            self.addCleanup(term.close)
            self.assertEqual(term.wait_exit(10), 255)
            self.assertTrue(term.stderr().endswith(
                             "\nXQ: Couln't initialize sound, reason: Could not open sound device.\n"
                             "    Verify settings in $HOME/.xq/options\n"), term.stderr())


class PathsOnTheCommandLine(PlayerTestCase):
    def test_a_name_that_begins_with_a_dash_follows_a_double_dash(self):
        path = self.song_file("-name.xm", mw.tone_song())
        for args in (["--", "-name.xm"], ["./-name.xm"]):
            with self.subTest(args=args):
                term = self.start(*args, cwd=os.path.dirname(path))
                term.wait_for(lambda rows: "File   : -name.xm" in rows[1])
                self.assertEqual(term.stderr(), "XQ: Can't access '%s/.xq', creating it.\n" % term.home)
                term.send_keys("q")
                self.assert_clean_exit(term)
                term.close()

    def test_a_tree_of_links_is_walked_once_and_quickly(self):
        # Twenty levels, each with two links to the next: a million ways
        # down to the last level, which is walked once all the same.
        tree = os.path.join(self.files.name, "links")
        levels = 20
        for i in range(levels + 1):
            os.makedirs(os.path.join(tree, "L%d" % i))
            if i > 0:
                for name in ("a", "b"):
                    os.symlink("../L%d" % i, os.path.join(tree, "L%d" % (i - 1), name))
        self.song_file("links/L%d/deep.xm" % levels, mw.tone_song())
        self.song_file("links/L0/top.xm", mw.tone_song())
        term = self.start(os.path.join(tree, "L0"))
        started = time.monotonic()
        term.wait_for(lambda rows: "deep.xm" in rows[1], timeout=30)
        self.assertLess(time.monotonic() - started, 2.0)
        term.wait_for(lambda rows: re.search(r"Playlist: +1/ *2 ", rows[-1]))
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_the_whole_file_system_is_walked_within_bounds(self):
        term = self.start("/")
        started = time.monotonic()
        term.wait_for(lambda rows: term.exited() or rows[0].startswith(" :: XQ v0.6 ::"), timeout=30)
        self.assertLess(time.monotonic() - started, 5.0)
        if term.exited():
            # nothing found before the walk stopped: said so
            self.assertIn("XQ: Stopped after looking at 200000 entries: the rest of '/' was not looked at.\n",
                          term.stderr())


class SoundKeepsFlowing(PlayerTestCase):
    @measures_sound
    def test_no_gap_and_the_song_clock_keeps_real_time(self):
        song = mw.tone_song(channels=1, positions=40)
        song.speed, song.bpm = 1, 250  # 10 ms rows: a fine clock to read off the screen
        path = self.song_file("fast_rows.xm", song)
        term = self.start(path)
        self.wait_playing(term)
        start = self.rec.wait_for_sound(timeout=10)

        def song_seconds():
            rows = term.screen()
            position, row = status_position(rows)
            return ((position - 1) * 64 + row) * 0.01

        def clock_reading():
            # The screen shows the clock as of its last frame, up to a frame
            # interval old: the reading is taken as a new frame appears.
            shown = song_seconds()
            deadline = time.monotonic() + 2
            while time.monotonic() < deadline:
                before = time.monotonic()
                now = song_seconds()
                if now != shown:
                    return (before + time.monotonic()) / 2, now
            self.fail("the song clock on the screen stands still")

        # The clock is read once the stream has settled: until the sound
        # server's buffer is full, the player runs ahead of what is heard.
        self.rec.wait_until(start + self.rec.frames(1.5), timeout=10)
        t0, s0 = clock_reading()
        end = self.rec.wait_until(start + self.rec.frames(10), timeout=20)
        t1, s1 = clock_reading()

        # Skip the first half second: the sink's stream may take a moment to settle.
        gaps = self.rec.gaps(start + self.rec.frames(0.5), end, min_ms=10)
        self.assertEqual(gaps, [])
        self.assertGreater(t1 - t0, 7.5)
        speed = (s1 - s0) / (t1 - t0)
        self.assertAlmostEqual(speed, 1.0, delta=0.02, msg=f"song time ran at {speed:.3f} of real time")
        term.send_keys("q")
        self.assert_clean_exit(term)


if __name__ == "__main__":
    unittest.main()
