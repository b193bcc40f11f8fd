"""The sound thread and the screens share the player only through the
snapshot and the command queue: the player built with ThreadSanitizer plays
a playlist while keys go through every panel (the Spectrum panel reading
the sound as it is mixed), change the output options (each change
restarts the driver) and the crossfeed, skip through the playlist, take
commands from the remote control and quit; and it plays on while its sound
server goes away and comes back under the Samples and Instruments panels.
Not one data race is reported."""

import glob
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from audio import Recorder, RestartableSink
from term import Terminal
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
    # The Spectrum panel reads the sound thread's ring; the crossfeed and the
    # separation change what the sound thread mixes.
    ["F"], ["n"], ["p"], ["p"], ["q"], ["o"], ["PageDown", "Up", "Enter"], ["q"], ["F"], ["F"],
    ["o"], ["PageDown", "Up", "Enter", "Enter", "Enter"], ["q"],
    ["e"], ["Down", "Down", "Down", "Down", "Left", "Left", "Right"], ["q"],
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


def sanitizer_env(test):
    """TSAN_OPTIONS that log every report into a folder of `test`'s, and a
    function that reads what was logged."""
    logs = tempfile.mkdtemp(prefix="xqtsan.")
    test.addCleanup(shutil.rmtree, logs, True)
    suppressions = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "support", "tsan.supp")
    options = f"log_path={logs}/race halt_on_error=0 second_deadlock_stack=1 suppressions={suppressions}"

    def reports():
        text = ""
        for path in glob.glob(os.path.join(logs, "*")):
            with open(path, errors="replace") as f:
                text += f.read()
        return text

    return {"TSAN_OPTIONS": options}, reports


class ServerGoesAndComes(unittest.TestCase):
    def test_the_browsers_read_nothing_the_sound_thread_writes(self):
        # The server dies under the Samples panel; the restarts fail while
        # it is gone (the player reloads the samples at every attempt), the
        # Instruments panel is browsed meanwhile, and the server comes back.
        sink = RestartableSink().start()
        self.addCleanup(sink.stop)
        files = tempfile.mkdtemp(prefix="xqe2e.")
        self.addCleanup(shutil.rmtree, files, True)
        song = os.path.join(files, "samples.xm")
        samples = mw.samples_song(fmt="xm", count=12)
        samples.orders = [0] * 20  # two minutes: the song plays on throughout
        mw.write_song(samples, song)
        env, reports = sanitizer_env(self)
        env.update(sink.client_vars())
        term = Terminal([XQ, song], env=env)
        self.addCleanup(term.close)
        Recorder(sink).wait_for_sound(timeout=30)
        term.send_keys("w")
        term.wait_for("Samples", timeout=10)
        sink.stop_server()
        term.wait_for(lambda rows: any("Sound output lost" in r for r in rows), timeout=10)
        for _ in range(8):
            term.send_keys("Enter")
            time.sleep(0.2)
        # A restart is tried every 3 s: at least one fails.
        term.wait_for(lambda rows: any("cannot be reached" in r for r in rows), timeout=10)
        term.send_keys("q")
        term.send_keys("W")
        term.wait_for("Instruments", timeout=10)
        for _ in range(6):
            term.send_keys("Enter")
            time.sleep(0.2)
        sink.start_server()
        Recorder(sink).wait_for_sound(timeout=30)
        term.wait_for(lambda rows: not any("Sound output lost" in r for r in rows), timeout=15)
        for _ in range(4):
            term.send_keys("Enter")
            time.sleep(0.2)
        term.send_keys("q")
        term.send_keys("w")
        term.wait_for("Samples", timeout=10)
        term.send_keys("Enter", "Enter", "q", "q")
        status = term.wait_exit(30)
        self.assertEqual(reports(), "")
        self.assertEqual(status, 0, term.stderr())


class ThreadSafety(PlayerTestCase):
    maxDiff = None

    def test_every_panel_and_command_without_a_race(self):
        songs = [self.song_file(f"short_{n}.xm", mw.short_song(8.0, name=f"song {n}".encode())) for n in "abc"]
        home = tempfile.mkdtemp(prefix="xqhome.")
        self.addCleanup(shutil.rmtree, home, True)
        runtime = tempfile.mkdtemp(prefix="xqrun.")
        self.addCleanup(shutil.rmtree, runtime, True)
        env, reports = sanitizer_env(self)
        env["XDG_RUNTIME_DIR"] = runtime
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
        self.assertEqual(reports(), "")
        self.assertEqual(status, 0, term.stderr())


if __name__ == "__main__":
    unittest.main()
