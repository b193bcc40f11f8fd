"""What the player's end-to-end tests share: where the binary is, module
files written by our own module writer, and a test case with a private
PulseAudio server whose null sink is recorded from start to end."""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO, "tools"))

import modwriter as mw  # noqa: E402
from audio import NullSink, Recorder, UnreachableServer  # noqa: E402,F401
from term import Terminal, TerminalError  # noqa: E402,F401

XQ = os.environ.get("XQ_BIN") or os.path.join(REPO, "build", "xq")
VERSION_LINE = ":: XQ v0.6 ::"

QUIT_SIGNALS = (signal.SIGTERM, signal.SIGINT, signal.SIGUSR1, signal.SIGUSR2)


def write_song(directory, file_name, song):
    """Writes `song` (a modwriter Song) into `directory`; returns the path."""
    path = os.path.join(directory, file_name)
    mw.write_song(song, path)
    return path


def make_empty_files(directory, count):
    """Creates `directory` holding `count` empty files named file00000,
    file00001, ...: a huge directory to read while the sound plays."""
    os.makedirs(directory)
    for i in range(count):
        os.close(os.open(os.path.join(directory, "file%05d" % i), os.O_CREAT | os.O_WRONLY, 0o644))


def write_junk_modules(directory, count):
    """Writes `count` files junk000.xm, junk001.xm, ... into `directory`
    that no module loader takes, each different; returns their paths."""
    paths = []
    for n in range(count):
        paths.append(os.path.join(directory, f"junk{n:03}.xm"))
        with open(paths[-1], "wb") as f:
            f.write(b"no module here %d " % n * 20)
    return paths


def run_plain(args, env=None, timeout=20):
    """Runs xq without a terminal (for what it does before curses starts)."""
    full_env = dict(os.environ)
    full_env.update(env or {})
    return subprocess.run([XQ, *args], stdin=subprocess.DEVNULL, capture_output=True,
                          env=full_env, timeout=timeout)


def status_position(rows):
    """(song position, pattern row) from the status row "Pat: p  s/ n  Pos: r",
    or None when the row does not show them."""
    m = re.search(r"Pat:\s*\d+\s+(\d+)/\s*\d+\s+Pos:\s*(\d+)", rows[4] if len(rows) > 4 else "")
    return (int(m.group(1)), int(m.group(2))) if m else None


def shown_volume(rows):
    """The module volume on the status row ("Vol: n"), or None."""
    m = re.search(r"Vol:\s*(\d+)", rows[4])
    return int(m.group(1)) if m else None


def shown_entry(rows):
    """(entry, entries) from the playlist footer, or None."""
    m = re.search(r"Playlist:\s*(\d+)/\s*(\d+)", rows[-1])
    return (int(m.group(1)), int(m.group(2))) if m else None


def paused(rows):
    """The "Paused..." notice shows."""
    return any("Paused..." in r for r in rows)


class PlayerTestCase(unittest.TestCase):
    """Starts one private sound server per test class, with a recorder on its
    null sink's monitor for the whole class, and module files in a temporary
    directory."""

    @classmethod
    def setUpClass(cls):
        cls.files = tempfile.TemporaryDirectory(prefix="xqe2e.")
        cls.sink = NullSink().start()
        cls.rec = Recorder(cls.sink)

    @classmethod
    def tearDownClass(cls):
        cls.sink.stop()
        cls.files.cleanup()

    @classmethod
    def song_file(cls, file_name, song):
        return write_song(cls.files.name, file_name, song)

    def start(self, *args, width=80, height=24, env=None, home=None, cwd=None, argv0=XQ):
        """xq with `args` in a fresh terminal, playing into the null sink
        (`argv0` another program, such as a shell that starts xq)."""
        full_env = dict(self.sink.client_vars())
        full_env.update(env or {})
        if "XDG_RUNTIME_DIR" not in full_env:
            # a remote-control socket of its own, whatever HOME allows
            runtime = tempfile.mkdtemp(prefix="xqrun.")
            self.addCleanup(shutil.rmtree, runtime, True)
            full_env["XDG_RUNTIME_DIR"] = runtime
        term = Terminal([argv0, *args], width=width, height=height, env=full_env, home=home, cwd=cwd)
        self.addCleanup(term.close)
        return term

    def make_home(self, options=None):
        """A fresh HOME, removed when the test ends. With `options` (text),
        its .xq/options holds that text."""
        home = tempfile.mkdtemp(prefix="xqhome.")
        self.addCleanup(shutil.rmtree, home, True)
        if options is not None:
            os.mkdir(os.path.join(home, ".xq"))
            with open(os.path.join(home, ".xq", "options"), "w") as f:
                f.write(options)
        return home

    def wait_playing(self, term, timeout=10):
        """Waits until the status row shows the song running. When it does
        not, the failure tells whether the class's sound server still runs,
        and the end of its log."""
        try:
            return term.wait_for(lambda rows: status_position(rows) is not None, timeout)
        except TerminalError as e:
            ended = self.sink.proc.poll() if self.sink.proc else "never started"
            state = "running" if ended is None else f"ended ({ended})"
            raise TerminalError(f"{e}\n--- sound server: {state} ---\n{self.sink.log()[-2000:]}") from None

    def assert_clean_exit(self, term, timeout=10):
        """The program ended with status 0, printed the version line after
        leaving the alternate screen, and the terminal shows the shell's
        screen again."""
        self.assertEqual(term.wait_exit(timeout), 0, term.stderr())
        self.assertIn(VERSION_LINE, term.text_after_alt_screen())
        self.assertFalse(any("Press 'h' for help" in r for r in term.screen()), term.screen_text())


def measures_sound(test):
    """Marks a test whose verdict rests on the recorded sound (gaps,
    silence, loudness, pitch): it runs in the sound pass, alone on the
    machine, while the other tests run side by side (see run_e2e.py)."""
    test.measures_sound = True
    return test
