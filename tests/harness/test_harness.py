"""Self-tests of the end-to-end harness: the tmux terminal driver with a
shell-script stand-in for the player, the private null-sink server with
pacat playing generated audio, and the audio analysis."""

import array
import math
import os
import random
import signal
import subprocess
import sys
import tempfile
import textwrap
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)

import audio  # noqa: E402
import nullsink  # noqa: E402  (audio puts tools/ on the path)
import term  # noqa: E402

RATE = audio.RATE
PACAT = ["pacat", "--raw", "--format=s16le", f"--rate={RATE}", "--channels=2"]
alive = term.alive

STAND_IN = r"""#!/bin/sh
case "$1" in
keys)
    stty raw -echo
    printf 'ready\r\n'
    exec od -An -tx1 -v -w1 ;;
play)
    trap 'kill $p; echo stopped; exit 0' TERM
    pacat --raw --format=s16le --rate=44100 --channels=2 "$2" & p=$!
    echo playing
    wait $p
    exit 1 ;;
stubborn)
    trap '' HUP TERM
    sleep 300 &
    echo $! > "$HOME/child.pid"
    echo stubborn
    while :; do sleep 1; done ;;
esac
trap 'echo got-term; exit 42' TERM
# dash's read returns 1 when a trapped signal interrupts it, as at EOF
trap 'winched=1; echo "winch=$(stty size)"' WINCH
cols=$(stty size | cut -d' ' -f2)
printf '\033[?1049h'
printf 'plain \033[1;31mBOLDRED\033[0m \033[7mREV\033[0m '
printf '\033[38;5;200;48;5;17mX256\033[0m \033[92mBRIGHT\033[0m '
printf '\033[38;2;1;2;3mRGB\033[0m \033[4mUNDER\033[24m \342\274\242\342\274\243W\n'
printf '\033[7m%*s\033[0m\n' "$cols" ''
echo "TERM=$TERM HOME=$HOME FOO=$FOO LANG=$LANG size=$(stty size)"
echo "to stderr" >&2
while :; do
    winched=
    if IFS= read -r line; then
        echo "got:$line"
        [ "$line" = quit ] && break
    elif [ -z "$winched" ]; then
        break
    fi
done
printf '\033[?1049l'
echo "version 1.2.3"
exit 3
"""


_tmp = None
PROG = None         # the stand-in, written by setUpModule


def setUpModule():
    global _tmp, PROG
    _tmp = tempfile.TemporaryDirectory(prefix="xqst.")
    PROG = os.path.join(_tmp.name, "stand-in.sh")
    with open(PROG, "w") as f:
        f.write(STAND_IN)
    os.chmod(PROG, 0o755)


def tearDownModule():
    _tmp.cleanup()


class TerminalTest(unittest.TestCase):
    def setUp(self):
        self.prog = PROG

    def run_stand_in(self, *args, **kw):
        t = term.Terminal([self.prog, *args], **kw)
        self.addCleanup(t.close)
        return t

    def test_environment_size_and_resize(self):
        for width, height in ((80, 24), (100, 30)):
            with self.subTest(size=(width, height)):
                t = self.run_stand_in(width=width, height=height,
                                      env={"FOO": "bar"})
                rows = t.wait_for("size=")
                line = next(r for r in rows if r.startswith("TERM="))
                self.assertEqual(
                    line, f"TERM=xterm-256color HOME={t.home} FOO=bar "
                          f"LANG=C.UTF-8 size={height} {width}")
                self.assertTrue(os.path.isdir(t.home))
                self.assertNotEqual(t.home, os.environ.get("HOME"))
                t.resize(width - 10, height - 4)
                t.wait_for(f"winch={height - 4} {width - 10}")
                t.type_text("quit")
                t.send_keys("Enter")
                self.assertEqual(t.wait_exit(), 3)

    def test_keys_reach_the_program(self):
        t = self.run_stand_in("keys")
        t.wait_for("ready")
        # tmux key name (or literal text) -> bytes the program reads
        cases = [("F12", "1b 5b 32 34 7e"), ("Up", "1b 5b 41"),
                 ("PageDown", "1b 5b 36 7e"), ("Escape", "1b"),
                 ("Enter", "0d"), ("C-c", "03"), ("BSpace", "7f"),
                 ("text:é q", "c3 a9 20 71")]
        received = []
        for key, expected in cases:
            if key.startswith("text:"):
                t.type_text(key[5:])
            else:
                t.send_keys(key)
            received += expected.split()
            t.wait_for(lambda rows: [r.strip() for r in rows if r.strip()]
                       == ["ready"] + received, timeout=5)

    def test_screen_attributes(self):
        t = self.run_stand_in()
        scr = t.wait_for("size=", cells=True)
        expect = {
            "plain": dict(bold=False, reverse=False, fg=None, bg=None),
            "BOLDRED": dict(bold=True, fg=1, bg=None, reverse=False),
            "REV": dict(reverse=True, bold=False, fg=None),
            "X256": dict(fg=200, bg=17, reverse=False),
            "BRIGHT": dict(fg=10, bold=False),
            "RGB": dict(fg=(1, 2, 3), bg=None),
            "UNDER": dict(underline=True, fg=None),
            "W": dict(underline=False, fg=None),
        }
        for word, attrs in expect.items():
            with self.subTest(word=word):
                style = scr.style_of(word)
                self.assertEqual({k: style.get(k) for k in attrs}, attrs)
        # double-width characters take two cells
        r, c = scr.find("\u2f22\u2f23W")[0]
        self.assertEqual(scr.cell(r, c + 4).char, "W")
        self.assertEqual(scr.cell(r, c + 1).char, "")
        # a whole reverse row, and attributes do not leak onto the next row
        self.assertEqual(scr.rows_where(reverse=True), [1])
        self.assertFalse(any(c.reverse for c in scr.rows[2]))
        self.assertTrue(scr.text(1) == " " * 80)

    def test_exit_status_stderr_and_output(self):
        t = self.run_stand_in()
        t.wait_for("size=")
        t.type_text("hello")
        t.send_keys("Enter")
        t.wait_for("got:hello")
        self.assertIsNone(t.exit_status())
        t.type_text("quit")
        t.send_keys("Enter")
        self.assertEqual(t.wait_exit(), 3)
        self.assertEqual(t.stderr(), "to stderr\n")
        self.assertNotIn("to stderr", t.screen_text())
        text = t.output_text_after_exit()
        self.assertTrue(text.startswith("plain BOLDRED REV"), text)
        self.assertIn("got:hello\n", text)
        self.assertEqual(t.text_after_alt_screen(), "version 1.2.3\n")
        self.assertIn(b"\x1b[1;31mBOLDRED", t.output_bytes())
        # the final screen and status stay readable once tmux is gone
        self.assertEqual(t.screen()[0], "version 1.2.3")
        self.assertEqual(t.exit_status(), 3)
        self.assertFalse(alive(t.server_pid))

    def test_wait_for_fails_fast_when_the_program_exits(self):
        t = term.Terminal(["sh", "-c", "echo bye; exit 9"])
        self.addCleanup(t.close)
        start = time.monotonic()
        with self.assertRaises(term.TerminalError) as cm:
            t.wait_for("never shown", timeout=30)
        self.assertLess(time.monotonic() - start, 5)
        self.assertIn("status 9", str(cm.exception))
        self.assertIn("bye", str(cm.exception))

    def test_signals(self):
        # signal, stand-in mode -> exit status
        for sig, expected in ((signal.SIGTERM, 42), (signal.SIGKILL, -9),
                              (signal.SIGINT, -2)):
            with self.subTest(signal=sig.name):
                t = self.run_stand_in()
                t.wait_for("size=")
                t.signal(sig)
                self.assertEqual(t.wait_exit(), expected)

    def test_close_stops_everything(self):
        t = self.run_stand_in("stubborn")
        t.wait_for("stubborn")
        with open(os.path.join(t.home, "child.pid")) as f:
            child = int(f.read())
        pids = [t.pid, t.server_pid, t._pipe_pid, child]
        self.assertTrue(all(map(alive, pids)))
        t.close()
        self.assertEqual([p for p in pids if alive(p)], [])
        self.assertFalse(os.path.exists(t.dir))

    def test_nothing_outlives_a_killed_test_process(self):
        code = textwrap.dedent(f"""
            import sys, time
            sys.path.insert(0, {HERE!r})
            import term
            t = term.Terminal([{self.prog!r}, "stubborn"])
            t.wait_for("stubborn")
            child = open(t.home + "/child.pid").read().strip()
            print(t.pid, t.server_pid, t._pipe_pid, child, t.dir, flush=True)
            time.sleep(60)
        """)
        with subprocess.Popen([sys.executable, "-c", code],
                              stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, text=True) as p:
            *pids, directory = p.stdout.readline().split()
            pids = [int(x) for x in pids]
            self.assertEqual(len(pids), 4)
            self.assertTrue(all(map(alive, pids)))
            p.kill()
        self.assertTrue(term.poll_until(lambda: not any(map(alive, pids))
                                   and not os.path.exists(directory), 10),
                        [p for p in pids if alive(p)])

    def test_no_terminal_and_no_stdin(self):
        code = textwrap.dedent(f"""
            import os, sys
            sys.path.insert(0, {HERE!r})
            import term
            try:
                open("/dev/tty").close()
                tty = "tty"
            except OSError:
                tty = "no-tty"
            with term.Terminal(["sh", "-c", "echo hello; exit 5"]) as t:
                print(tty, sys.stdin is None, t.wait_exit(), t.screen()[0])
        """)
        r = subprocess.run(
            ["sh", "-c", 'exec "$@" 0<&-', "sh", sys.executable, "-c", code],
            capture_output=True, text=True, timeout=60,
            start_new_session=True)
        self.assertEqual((r.stdout, r.stderr), ("no-tty True 5 hello\n", ""))


class ParseCaptureTest(unittest.TestCase):
    def test_sgr_forms(self):
        # capture text -> attributes of the cell holding "A"
        cases = [
            ("\x1b[1m\x1b[31mA", dict(bold=True, fg=1)),
            ("\x1b[1;2mA", dict(bold=True, dim=True)),
            ("\x1b[1mx\x1b[22mA", dict(bold=False)),
            ("\x1b[7mx\x1b[27mA", dict(reverse=False)),
            ("\x1b[44;97mA", dict(bg=4, fg=15)),
            ("\x1b[38;5;200;48;5;17mA", dict(fg=200, bg=17)),
            ("\x1b[38:5:9mA", dict(fg=9)),
            ("\x1b[38;2;1;2;3mA", dict(fg=(1, 2, 3))),
            ("\x1b[48:2::4:5:6mA", dict(bg=(4, 5, 6))),
            ("\x1b[4:3mA", dict(underline=True)),
            ("\x1b[4mx\x1b[4:0mA", dict(underline=False)),
            ("\x1b[1;7;31mx\x1b[0mA", dict(bold=False, reverse=False,
                                           fg=None)),
            ("\x1b[1;7;31mx\x1b[mA", dict(bold=False, fg=None)),
            ("\x1b[31mx\x1b[39mA", dict(fg=None)),
            ("\x1b[3;5;8;9mA", dict(italic=True, blink=True, hidden=True,
                                    strike=True)),
            ("\x1b[7m\x1b[?25lA", dict(reverse=True)),
            ("\x1b]8;;x\x07A", dict(fg=None)),
        ]
        for text, attrs in cases:
            with self.subTest(text=text):
                cells = term.parse_capture(text)[0]
                cell = next(c for c in cells if c.char == "A")
                self.assertEqual({k: getattr(cell, k) for k in attrs}, attrs)

    def test_attributes_carry_over_lines(self):
        rows = term.parse_capture("a\x1b[7mb\nc\x1b[0md", width=4)
        self.assertEqual([[c.reverse for c in r] for r in rows],
                         [[False, True, False, False],
                          [True, False, False, False]])

    def test_strip_escapes(self):
        raw = "\x1b[?1049h\x1b[1;1H\x1b(B\x1b[mhi\x1b=\x0f\r\n\x1b]0;t\x07ok"
        self.assertEqual(term.strip_escapes(raw), "hi\nok")


# -- audio --------------------------------------------------------------------
def tone(freq, amp, seconds, phase=math.pi / 2):
    """Stereo tone; starts at a peak so its first frame is not silent."""
    n = round(seconds * RATE)
    out = array.array("h", bytes(4 * n))
    for i in range(n):
        out[2 * i] = out[2 * i + 1] = round(
            amp * math.sin(2 * math.pi * freq * i / RATE + phase))
    return out


def silence(seconds):
    return array.array("h", bytes(4 * round(seconds * RATE)))


def noise(amp, seconds, seed=1):
    rnd = random.Random(seed)
    return array.array("h", (rnd.randint(-amp, amp)
                             for _ in range(2 * round(seconds * RATE))))


def brute_force_gaps(samples, min_ms, threshold=64, channels=2):
    frames = len(samples) // channels
    out, start = [], None
    for f in range(frames + 1):
        quiet = f < frames and all(
            abs(samples[f * channels + c]) < threshold
            for c in range(channels))
        if quiet and start is None:
            start = f
        elif not quiet and start is not None:
            if (f - start) * 1000 / RATE >= min_ms - 1e-9:
                out.append((start, f))
            start = None
    return out


class AnalysisTest(unittest.TestCase):
    def test_gaps_match_a_frame_by_frame_scan(self):
        rnd = random.Random(7)
        for trial in range(30):
            samples = array.array("h")
            for _ in range(rnd.randint(1, 12)):
                n = rnd.choice((1, 2, 3, 50, 219, 220, 221, 441, 1000))
                if rnd.random() < 0.5:
                    samples += array.array("h", (rnd.randint(-63, 63)
                                                 for _ in range(2 * n)))
                else:
                    samples += tone(rnd.choice((100, 1000)), 3000, n / RATE)
            for min_ms in (0.5, 1, 5, 10, 20):
                with self.subTest(trial=trial, min_ms=min_ms):
                    found = [(g.start, g.end)
                             for g in audio.gaps(samples, min_ms)]
                    self.assertEqual(found, brute_force_gaps(samples, min_ms))

    def test_silence_threshold_and_channels(self):
        quiet = silence(0.02)
        quiet[441] = 63             # left channel of frame 220: still quiet
        self.assertTrue(audio.is_silent(quiet))
        self.assertEqual(audio.longest_gap_ms(quiet), 20.0)
        quiet[441] = -64            # one loud sample on one channel splits it
        self.assertFalse(audio.is_silent(quiet))
        self.assertEqual([(g.start, g.end) for g in audio.gaps(quiet, 1)],
                         [(0, 220), (221, 882)])
        self.assertEqual(audio.gaps(quiet, 1, offset=100)[0].start, 100)

    def test_levels_and_frequency(self):
        a = tone(1000, 10000, 0.5)
        self.assertAlmostEqual(audio.rms(a), 10000 / math.sqrt(2), delta=10)
        self.assertEqual(audio.peak(a), 10000)
        windows = audio.rms_windows(a + tone(1000, 2500, 0.5), 100)
        self.assertEqual(len(windows), 10)
        self.assertAlmostEqual(windows[0] / windows[-1], 4, places=2)
        self.assertAlmostEqual(audio.dominant_frequency(a), 1000, delta=0.5)
        self.assertAlmostEqual(audio.dominant_frequency(tone(55, 300, 1.0)),
                               55, delta=0.1)
        self.assertEqual(audio.dominant_frequency(noise(60, 0.5)), 0.0)


class NullSinkTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pa = nullsink.NullSink().start()
        cls.rec = audio.Recorder(cls.pa)

    @classmethod
    def tearDownClass(cls):
        cls.pa.stop()

    def play(self, samples):
        """pacat the samples; returns (mark before, mark after the end)."""
        start = self.rec.mark()
        subprocess.run(PACAT, input=samples.tobytes(),
                       env=self.pa.client_env(), check=True, timeout=30)
        return start, self.rec.wait_seconds(0.15)

    def test_tone_with_a_gap(self):
        a, b = tone(440, 8000, 0.5), tone(880, 2000, 0.5)
        sig = a + silence(0.05) + b
        m0 = self.rec.mark()
        with subprocess.Popen(PACAT, stdin=subprocess.PIPE,
                              env=self.pa.client_env()) as pacat:
            feeder = threading.Thread(target=pacat.communicate,
                                      args=(sig.tobytes(),))
            feeder.start()
            try:
                onset = self.rec.wait_for_sound(m0, timeout=10)
            finally:
                feeder.join(30)
        self.assertEqual(pacat.returncode, 0)
        m1 = self.rec.wait_seconds(0.15)
        # no multi-second stall before the first write is heard
        self.assertLess(self.rec.seconds(onset - m0), 1.0)
        end = onset + len(sig) // 2
        self.assertEqual(self.rec.samples(onset, end), sig)    # bit-exact
        self.assertTrue(self.rec.is_silent(end, m1))
        self.assertTrue(self.rec.is_silent(m0, onset))

        gaps = self.rec.gaps(onset, end, min_ms=10)
        self.assertEqual(len(gaps), 1, gaps)
        self.assertEqual(gaps[0].start, onset + len(a) // 2)
        self.assertAlmostEqual(gaps[0].ms, 50.0, delta=0.05)
        self.assertEqual(self.rec.longest_gap_ms(onset, end), gaps[0].ms)

        first = (onset, onset + len(a) // 2)
        second = (gaps[0].end, end)
        self.assertAlmostEqual(self.rec.rms(*first), 8000 / math.sqrt(2),
                               delta=40)
        self.assertAlmostEqual(self.rec.rms(*first) / self.rec.rms(*second),
                               4.0, delta=0.02)
        self.assertAlmostEqual(self.rec.dominant_frequency(*first), 440,
                               delta=0.5)
        self.assertAlmostEqual(self.rec.dominant_frequency(*second), 880,
                               delta=0.5)

    def test_silent_streams(self):
        cases = [("zeros", silence(0.3), True),
                 ("noise below the threshold", noise(63, 0.3), True),
                 ("quiet tone", tone(440, 100, 0.3), False)]
        for name, samples, silent in cases:
            with self.subTest(name):
                self.assertEqual(self.rec.is_silent(*self.play(samples)),
                                 silent)

    def test_program_in_a_terminal_plays_into_the_sink(self):
        with tempfile.NamedTemporaryFile(suffix=".raw") as raw:
            raw.write(tone(440, 8000, 5.0).tobytes())
            raw.flush()
            with term.Terminal([PROG, "play", raw.name],
                               env=self.pa.client_vars()) as t:
                t.wait_for("playing")
                start = self.rec.wait_for_sound(timeout=5)
                end = self.rec.wait_until(start + self.rec.frames(1.0))
                self.assertEqual(self.rec.gaps(start, end, 10), [])
                self.assertAlmostEqual(
                    self.rec.dominant_frequency(start, end), 440, delta=0.5)
                t.signal(signal.SIGTERM)
                self.assertEqual(t.wait_exit(), 0)
                self.assertIn("stopped", t.output_text_after_exit())
            # the sound stops with the stream, within a block or two
            stopped = self.rec.mark()
            span = self.rec.record(0.3)
            self.assertTrue(self.rec.is_silent(
                stopped + self.rec.frames(0.05), span[1]))

    def test_clients_write_only_into_the_private_dir(self):
        with tempfile.TemporaryDirectory() as home:
            env = self.pa.client_env()
            env["HOME"] = home
            env.pop("XDG_CONFIG_HOME", None)
            env.pop("XDG_RUNTIME_DIR", None)
            out = subprocess.run(["pactl", "info"], env=env, check=True,
                                 capture_output=True, text=True).stdout
            self.assertIn("Default Sink: xqnull", out)
            self.assertEqual(os.listdir(home), [])


def processes_mentioning(text):
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                if text.encode() in f.read() and alive(int(pid)):
                    found.append(int(pid))
        except OSError:
            pass
    return found


class NullSinkLifecycleTest(unittest.TestCase):
    def test_stop_ends_server_and_recorder(self):
        with nullsink.NullSink() as pa:
            pids = [pa.pid, pa.recorder.pid]
            self.assertTrue(all(map(alive, pids)))
            directory = pa.dir
            self.assertEqual(processes_mentioning(directory), [pa.pid])
        self.assertEqual([p for p in pids if alive(p)], [])
        self.assertFalse(os.path.exists(directory))

    def test_command_line_run(self):
        with tempfile.TemporaryDirectory() as tmp:
            note = os.path.join(tmp, "server")
            r = subprocess.run(
                [sys.executable, os.path.join(ROOT, "tools", "nullsink.py"),
                 "run", "--", "sh", "-c",
                 f'echo "$PULSE_SERVER" > {note}; '
                 'pactl info | grep "Default Sink"; exit 7'],
                stdin=subprocess.DEVNULL, capture_output=True, text=True,
                timeout=60)
            self.assertEqual((r.returncode, r.stdout),
                             (7, "Default Sink: xqnull\n"), r.stderr)
            with open(note) as f:
                server_dir = os.path.dirname(f.read().strip()[5:])
        self.assertFalse(os.path.exists(server_dir))
        self.assertEqual(processes_mentioning(server_dir), [])

    def test_command_line_run_in_a_terminal(self):
        # the command gets the terminal; Ctrl-C ends it and the status says
        # so (128 + SIGINT)
        script = ('tty >/dev/null && pactl info >/dev/null && echo ready; '
                  'read x; echo "got $x"; sleep 60')
        with term.Terminal([sys.executable,
                            os.path.join(ROOT, "tools", "nullsink.py"),
                            "run", "--", "sh", "-c", script]) as t:
            t.wait_for("ready")
            t.type_text("hi")
            t.send_keys("Enter")
            t.wait_for("got hi")
            t.send_keys("C-c")
            self.assertEqual(t.wait_exit(), 130)
            self.assertEqual(t.stderr(), "")

    def test_unreachable_server(self):
        with nullsink.UnreachableServer() as bad:
            start = time.monotonic()
            r = subprocess.run(["pactl", "info"], env=bad.client_env(),
                               stdin=subprocess.DEVNULL, capture_output=True,
                               timeout=30)
            self.assertNotEqual(r.returncode, 0)
            self.assertLess(time.monotonic() - start, 5)
            self.assertEqual(sorted(os.listdir(bad.dir)), ["client.conf"])


if __name__ == "__main__":
    unittest.main()


class PassesTest(unittest.TestCase):
    """run_e2e.py splits a file between the sound pass and the screen pass:
    every test runs in exactly one of them, with its class set up once."""

    def test_each_test_runs_in_one_pass(self):
        source = textwrap.dedent('''
            import unittest
            from xqtest import measures_sound

            class A(unittest.TestCase):
                set_up = 0

                @classmethod
                def setUpClass(cls):
                    cls.set_up += 1

                def test_screen(self):
                    print("ran A.test_screen", self.set_up)

                @measures_sound
                def test_sound(self):
                    print("ran A.test_sound", self.set_up)

            class B(unittest.TestCase):
                def test_other(self):
                    print("ran B.test_other")
            ''')
        here = os.path.dirname(os.path.abspath(__file__))
        with tempfile.TemporaryDirectory() as scratch:
            path = os.path.join(scratch, "test_sample_e2e.py")
            with open(path, "w") as f:
                f.write(source)
            env = dict(os.environ, PYTHONPATH=here)
            ran = {}
            for which in ("screen", "sound", "all"):
                done = subprocess.run([sys.executable, os.path.join(here, "run_e2e.py"), "--pass", which, path],
                                      capture_output=True, text=True, env=env, timeout=60)
                self.assertEqual(done.returncode, 0, done.stderr)
                ran[which] = sorted(line for line in done.stdout.splitlines() if line.startswith("ran "))
        self.assertEqual(ran["screen"], ["ran A.test_screen 1", "ran B.test_other"])
        self.assertEqual(ran["sound"], ["ran A.test_sound 1"])
        self.assertEqual(ran["all"], sorted(ran["screen"] + ran["sound"]))

    def test_a_failure_fails_the_pass(self):
        here = os.path.dirname(os.path.abspath(__file__))
        with tempfile.TemporaryDirectory() as scratch:
            path = os.path.join(scratch, "test_failing_e2e.py")
            with open(path, "w") as f:
                f.write("import unittest\n\nclass A(unittest.TestCase):\n"
                        "    def test_fails(self):\n        self.fail('no')\n")
            done = subprocess.run([sys.executable, os.path.join(here, "run_e2e.py"), path],
                                  capture_output=True, text=True, timeout=60)
        self.assertEqual(done.returncode, 1)
