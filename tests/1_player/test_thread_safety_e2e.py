"""The sound thread and the screens share the player only through the
snapshot and the command queue: the player built with ThreadSanitizer plays
a playlist while keys go through every panel, change the output options
(each change restarts the driver), skip through the playlist, take
commands from the remote control and quit, and not one data race is
reported."""

import glob
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from xqtest import XQ, PlayerTestCase, mw

# Keys in groups, each group sent at once, with a short pause after it so
# that the idle steps and the sound thread run in between.
KEY_GROUPS = [
    ["h"], ["q"], ["?"], ["q"], ["i"], ["Enter"],  # a song without a comment: a box that Enter closes
    ["c"], ["u", "*"], ["q"], ["T"], ["q"], ["Y"], ["p"], ["p"], ["q"], ["y"], ["q"],
    ["W"], ["Right", "Left"], ["q"], ["w"], ["Right", "Left"], ["q"],
    ["e"], ["Right", "Right", "Down", "Right", "Down", "Left", "PageDown", "Right"], ["q"],
    ["o"], ["Enter"], ["Enter"], ["Down", "Down", "Down", "Enter"], ["q"],
    ["l"], ["q"],
    ["P"], ["Right", "Left"], [" "], ["Up", "Up", "PageDown", "]", "["], [" "], ["q"],
    ["N"], ["V"], ["N"],
    ["+", "+", "-", "B", "b", "K", "k", "S", "s", "R", "r", "!", "!"],
    ["n", "n", "v", "a", "A"], ["M"], ["M"], ["Down", "Enter"], ["Enter"],
    ["p"], ["p"], ["t"], ["p"],
]

# Requests of the remote control, sent before the keys.
REMOTE_COMMANDS = [
    ["status"], ["volume", "+3"], ["forward"], ["back"], ["next"], ["prev"], ["pause"], ["status"],
    ["play"], ["toggle"], ["toggle"], ["stop"], ["play"], ["volume", "64"], ["status"],
]


class ThreadSafety(PlayerTestCase):
    maxDiff = None

    def test_every_panel_and_command_without_a_race(self):
        songs = [self.song_file(f"short_{n}.xm", mw.short_song(8.0, name=f"song {n}".encode())) for n in "abc"]
        logs = tempfile.mkdtemp(prefix="xqtsan.")
        self.addCleanup(shutil.rmtree, logs, True)
        home = tempfile.mkdtemp(prefix="xqhome.")
        self.addCleanup(shutil.rmtree, home, True)
        runtime = tempfile.mkdtemp(prefix="xqrun.")
        self.addCleanup(shutil.rmtree, runtime, True)
        suppressions = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "support", "tsan.supp")
        env = {"TSAN_OPTIONS": f"log_path={logs}/race halt_on_error=0 second_deadlock_stack=1 "
                               f"suppressions={suppressions}",
               "XDG_RUNTIME_DIR": runtime}
        term = self.start(*songs, env=env, home=home)
        self.wait_playing(term, timeout=30)
        client_env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=runtime, TSAN_OPTIONS=env["TSAN_OPTIONS"])
        for words in REMOTE_COMMANDS:
            r = subprocess.run([XQ, "--remote", *words], capture_output=True, text=True, env=client_env,
                               stdin=subprocess.DEVNULL, timeout=30)
            self.assertEqual(r.returncode, 0, (words, r.stderr))
        self.assertFalse(term.exited())
        for group in KEY_GROUPS:
            term.send_keys(*group)
            time.sleep(0.25)
        # Every panel closed again and the player still runs: the keys went
        # where they were meant to, not to a program that had already quit.
        term.wait_for(lambda rows: "Pat:" in rows[4] and not any("[ " in r for r in rows[5:-1]), timeout=5)
        self.assertFalse(term.exited(), term.stderr())
        term.send_keys("q")
        status = term.wait_exit(30)
        reports = ""
        for path in glob.glob(os.path.join(logs, "*")):
            with open(path, errors="replace") as f:
                reports += f.read()
        self.assertEqual(reports, "")
        self.assertEqual(status, 0, term.stderr())


if __name__ == "__main__":
    unittest.main()
