"""Signals, a terminal that goes away, odd options files and bad files
chosen with f: the real binary, in tmux or on a bare pseudo-terminal, its
sound recorded from a private null sink."""

import fcntl
import os
import pty
import select
import signal
import struct
import subprocess
import termios
import time
import unittest

from xqtest import VERSION_LINE, XQ, PlayerTestCase, mw, run_plain, status_position
from xqtest import measures_sound


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class PtyPlayer:
    """xq on a bare pseudo-terminal of 80x24, with SIGHUP ignored as nohup
    leaves it, so the only news of the terminal's end is its input."""

    def __init__(self, args, env, stdin_null=False):
        self.master, slave = pty.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 80, 0, 0))
        full_env = dict(os.environ, TERM="xterm-256color")
        full_env.update(env)

        def child_setup():
            os.setsid()
            fcntl.ioctl(0 if not stdin_null else 1, termios.TIOCSCTTY, 0)
            signal.signal(signal.SIGHUP, signal.SIG_IGN)

        self.proc = subprocess.Popen([XQ, *args], stdin=subprocess.DEVNULL if stdin_null else slave,
                                     stdout=slave, stderr=subprocess.PIPE, env=full_env,
                                     preexec_fn=child_setup)
        os.close(slave)
        self.output = b""

    def read_until(self, text, timeout=10):
        deadline = time.monotonic() + timeout
        while text.encode() not in self.output:
            left = deadline - time.monotonic()
            if left <= 0 or self.proc.poll() is not None and not select.select([self.master], [], [], 0)[0]:
                return False
            if select.select([self.master], [], [], min(left, 0.1))[0]:
                try:
                    self.output += os.read(self.master, 65536)
                except OSError:
                    return False
        return True

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        try:
            os.close(self.master)
        except OSError:
            pass


class TheTerminalGoesAway(PlayerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tone = cls.song_file("tone.xm", mw.tone_song(channels=1))

    def test_a_closed_terminal_ends_the_program_without_spinning(self):
        for key in (None, "p", "t"):  # playing, paused, stopped
            with self.subTest(key=key):
                home = self.make_home()
                player = PtyPlayer([self.tone], dict(self.sink.client_vars(), HOME=home))
                self.addCleanup(player.close)
                self.assertTrue(player.read_until("Pat:"), player.output[-500:])
                if key:
                    os.write(player.master, key.encode())
                    time.sleep(0.8)
                os.close(player.master)
                t0 = time.monotonic()
                status = player.proc.wait(timeout=5)
                took = time.monotonic() - t0
                self.assertEqual(status, 0)
                # within a second, so without spinning on a dead terminal
                self.assertLess(took, 1.0)

    def test_input_at_its_end_ends_the_program(self):
        home = self.make_home()
        player = PtyPlayer([self.tone], dict(self.sink.client_vars(), HOME=home), stdin_null=True)
        self.addCleanup(player.close)
        self.assertEqual(player.proc.wait(timeout=10), 0)
        player.read_until(VERSION_LINE, timeout=2)
        self.assertIn(VERSION_LINE.encode(), player.output)


class QuitSignals(PlayerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tone = cls.song_file("tone.xm", mw.tone_song(channels=1))
        cls.text = os.path.join(cls.files.name, "words.txt")
        with open(cls.text, "w") as f:
            f.write("not a module\n")

    def test_hangup_and_quit_end_the_program_cleanly(self):
        for how in (signal.SIGHUP, signal.SIGQUIT, "C-\\"):
            with self.subTest(how=how):
                term = self.start(self.tone)
                self.wait_playing(term)
                if isinstance(how, str):
                    term.send_keys(how)
                else:
                    term.signal(how)
                self.assert_clean_exit(term)

    def test_pipe_and_file_size_signals_do_not_kill(self):
        term = self.start(self.tone)
        self.wait_playing(term)
        for sig in (signal.SIGPIPE, signal.SIGXFSZ):
            term.signal(sig)
        status = term.screen()[4]
        term.wait_for(lambda rows: rows[4] != status)
        self.assertFalse(term.exited())
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_a_file_size_limit_does_not_kill_it_at_start(self):
        # The sound server's client library makes a shared-memory file far
        # larger than this limit as the sound starts.
        term = self.start("-c", f'ulimit -f 64 && exec "$0" "$1"', XQ, self.tone, argv0="sh")
        self.wait_playing(term)
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_a_quit_signal_during_the_first_load_error(self):
        term = self.start(self.text)
        term.wait_for("Module format not recognized.")
        term.signal(signal.SIGTERM)
        self.assertEqual(term.wait_exit(5), 0)
        self.assertIn(VERSION_LINE, term.text_after_alt_screen())


def home_with_options(test, content=None, make=None):
    """A HOME for `test`, removed when it ends, whose options file holds
    `content` or is made by `make`."""
    home = test.make_home()
    os.mkdir(os.path.join(home, ".xq"))
    path = os.path.join(home, ".xq", "options")
    if content is not None:
        with open(path, "w") as f:
            f.write(content)
    if make:
        make(path)
    return home


class OddOptionsFiles(PlayerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tone = cls.song_file("tone.xm", mw.tone_song(channels=1))

    def test_start_up_is_never_held_up(self):
        cases = {
            "a FIFO": dict(make=os.mkfifo),
            "a link to /dev/zero": dict(make=lambda p: os.symlink("/dev/zero", p)),
            "rows at the top of int": dict(content="AC_Y=2147483647\nOPT_Y=2147483647\nEFT_Y=-2147483648\n"
                                                   "AC_X=2147483647\ndelay=2147483647\n"),
        }
        for name, how in cases.items():
            with self.subTest(name):
                term = self.start(self.tone, home=home_with_options(self, **how))
                self.wait_playing(term, timeout=5)
                time.sleep(0.5)
                self.assertLess(cpu_seconds(term.pid), 1.0)
                term.send_keys("q")
                self.assert_clean_exit(term)

    def test_an_empty_home_is_like_an_unset_one(self):
        result = run_plain([self.tone], env={"HOME": ""})
        self.assertEqual(result.returncode, 255)
        self.assertIn(b"HOME is not set", result.stderr)
        self.assertFalse(os.path.exists("/.xq") and os.stat("/.xq").st_mtime > time.time() - 60)


class BadFilesChosenWithF(PlayerTestCase):
    """At 120 columns the Loading notice (always at column 33) is not hidden
    by the centred error box."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.dir = os.path.join(cls.files.name, "bad")
        os.mkdir(cls.dir)
        cls.tone = cls.song_file("bad/tone.xm", mw.tone_song(channels=2))
        os.mkfifo(os.path.join(cls.dir, "fifo.xm"))
        os.mkdir(os.path.join(cls.dir, "folder.xm"))
        locked = os.path.join(cls.dir, "locked.xm")
        mw.write_song(mw.tone_song(), locked)
        os.chmod(locked, 0)

    @measures_sound
    def test_the_old_module_plays_on(self):
        if os.geteuid() == 0:
            names = [("fifo.xm", "Not a file."), ("folder.xm", "Not a file.")]
        else:
            names = [("fifo.xm", "Not a file."), ("folder.xm", "Not a file."), ("locked.xm", "File can't be read.")]
        term = self.start(self.tone, width=120, height=30, cwd=self.dir)
        self.wait_playing(term)
        start = self.rec.wait_for_sound(timeout=10)
        for name, message in names:
            with self.subTest(name):
                term.send_keys("f")
                term.wait_for("Select file")
                term.send_keys("f")
                term.type_text(name)
                term.send_keys("Enter")
                rows = term.wait_for(lambda rows: message in "".join(rows))
                self.assertNotIn("Loading", "".join(rows))
                status = rows[4]
                term.wait_for(lambda rows: rows[4] != status, timeout=3)
                term.send_keys("Enter")
                term.wait_for(lambda rows: message not in "".join(rows))
        end = self.rec.mark()
        self.assertEqual(self.rec.gaps(start + self.rec.frames(0.3), end, min_ms=10), [])
        self.assertIsNotNone(status_position(term.screen()))
        term.send_keys("q")
        self.assert_clean_exit(term)


if __name__ == "__main__":
    unittest.main()
