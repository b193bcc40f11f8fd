"""Rendering modules to WAV files with --render: the files' headers,
lengths and pitch against the settings, loops, several modules, a full
disk and Ctrl-C. No terminal and no sound server are involved."""

import array
import pty
import socket
import os
import stat
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import wave

from xqtest import VERSION_LINE, XQ, mw

SECONDS = 2.0
TICK = 0.02  # one tick at 125 BPM


def tone_of(seconds, name=b"tone"):
    """A pure ~440 Hz sine on one channel that ends after `seconds` (rows of
    0.1 s)."""
    song = mw.Song(name=name, format="xm", channels=1, speed=mw.SPEED, bpm=mw.BPM)
    song.samples = mw.tone_song(wave="sine", positions=1).samples
    pattern = song.new_pattern(round(seconds / mw.ROW_SECONDS))
    pattern.set(0, 0, mw.TONE_NOTE, 1, 64)
    song.orders = [0]
    return song


def looping_tone(seconds):
    """The tone with a jump back to its start on its last row: it would
    play for ever."""
    song = tone_of(seconds, b"looping")
    song.patterns[0].set(song.patterns[0].rows - 1, 0, effect=mw.FX_JUMP, param=0)
    return song


def pitch(samples, rate):
    """Frequency from the rising zero crossings of the middle half."""
    n = len(samples)
    middle = samples[n // 4: 3 * n // 4]
    rising = sum(1 for a, b in zip(middle, middle[1:]) if a < 0 <= b)
    return rising * rate / len(middle)


class Render(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory(prefix="xqrender.")
        self.addCleanup(self.dir.cleanup)
        self.home = os.path.join(self.dir.name, "home")
        os.makedirs(os.path.join(self.home, ".xq"))
        self.song = self.path("tone.xm")
        mw.write_song(tone_of(SECONDS), self.song)

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def options(self, text):
        with open(os.path.join(self.home, ".xq", "options"), "w") as f:
            f.write(text)

    def run_xq(self, *args, limit=None, env=None, timeout=60):
        env = dict(os.environ, HOME=self.home, **(env or {}))

        def limited():
            if limit is not None:
                resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
        return subprocess.run([XQ, *args], capture_output=True, text=True, env=env, timeout=timeout,
                              preexec_fn=limited, cwd=self.dir.name)

    def test_header_length_and_pitch_follow_the_settings(self):
        cases = [
            # options file, extra arguments, channels, bytes a sample, rate
            ("", [], 2, 2, 44100),
            ("16bits=0\nstereo=0\ninterpolate=1\nhq_mixer=0\n", [], 1, 1, 44100),
            ("reverse_stereo=1\nsurround=0\n", ["--rate", "22050"], 2, 2, 22050),
        ]
        for options, extra, channels, width, rate in cases:
            with self.subTest(options=options, extra=extra):
                self.options(options)
                out = self.path("out.wav")
                result = self.run_xq("--render", out, *extra, self.song)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(result.stderr, "tone.xm: 00:02 -> %s\n" % out)
                with wave.open(out) as w:
                    self.assertEqual((w.getnchannels(), w.getsampwidth(), w.getframerate()),
                                     (channels, width, rate))
                    self.assertAlmostEqual(w.getnframes() / rate, SECONDS, delta=TICK)
                    frames = w.readframes(w.getnframes())
                if width == 2:
                    samples = array.array("h", frames)[::channels]
                else:
                    samples = [b - 128 for b in frames[::channels]]
                self.assertAlmostEqual(pitch(samples, rate), mw.TONE_FREQUENCY, delta=5)

    def test_a_looping_song_stops_at_its_end_unless_told_to_loop(self):
        looping = self.path("looping.xm")
        mw.write_song(looping_tone(SECONDS), looping)
        for loops, seconds in ((None, SECONDS), ("2", 2 * SECONDS), ("3", 3 * SECONDS)):
            with self.subTest(loops=loops):
                out = self.path("loop.wav")
                args = ["-o", out] + (["--loops", loops] if loops else []) + [looping]
                result = self.run_xq(*args)
                self.assertEqual(result.returncode, 0, result.stderr)
                with wave.open(out) as w:
                    self.assertAlmostEqual(w.getnframes() / w.getframerate(), seconds, delta=TICK)

    def test_fadeout_brings_the_end_down(self):
        self.options("fade_module=1\n")
        out = self.path("fade.wav")
        self.assertEqual(self.run_xq("-o", out, self.song).returncode, 0)
        with wave.open(out) as w:
            samples = array.array("h", w.readframes(w.getnframes()))[::2]
        peak = lambda part: max(abs(s) for s in part)  # noqa: E731
        tenth = len(samples) // 10
        self.assertLess(peak(samples[-tenth:]), peak(samples[:tenth]) / 4)

    def test_several_modules_or_a_directory_give_a_file_each(self):
        songs = os.path.join(self.dir.name, "songs")
        os.makedirs(songs)
        for name in ("a", "b", "c"):
            mw.write_song(tone_of(0.5), os.path.join(songs, name + ".xm"))
        outdir = self.path("wavs")
        os.makedirs(outdir)
        result = self.run_xq("--render", outdir, songs)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(sorted(os.listdir(outdir)), ["a.wav", "b.wav", "c.wav"])
        # Modules of one name from different folders keep a file each.
        os.makedirs(os.path.join(songs, "again"))
        mw.write_song(tone_of(1.0), os.path.join(songs, "again", "a.xm"))
        shutil.rmtree(outdir)
        os.makedirs(outdir)
        result = self.run_xq("--render", outdir, songs)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(sorted(os.listdir(outdir)), ["a-2.wav", "a.wav", "b.wav", "c.wav"])
        with wave.open(os.path.join(outdir, "a.wav")) as w:  # sub-directories come first
            self.assertAlmostEqual(w.getnframes() / w.getframerate(), 1.0, delta=TICK)
        result = self.run_xq("--render", self.path("mix.wav"), os.path.join(songs, "a.xm"), self.song)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(os.path.exists(self.path("mix-a.wav")))
        self.assertTrue(os.path.exists(self.path("mix-tone.wav")))

    def test_a_full_disk_is_reported_and_leaves_no_file(self):
        out = self.path("full.wav")
        with open(out, "w") as f:
            f.write("old")
        result = self.run_xq("--render", out, self.song, limit=100_000)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("XQ: Can't write '%s': File too large." % out, result.stderr)
        with open(out) as f:
            self.assertEqual(f.read(), "old")  # the old file stays whole
        self.assertEqual(sorted(os.listdir(self.dir.name)), ["full.wav", "home", "tone.xm"])
        with open(self.song, "rb") as f:
            module = f.read()
        result = self.run_xq("--render", self.song, self.song)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("XQ: Can't write '%s': it is the module itself." % self.song, result.stderr)
        with open(self.song, "rb") as f:
            self.assertEqual(f.read(), module)
        no_dir = self.path("no/such/dir/out.wav")
        result = self.run_xq("--render", no_dir, self.song)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("XQ: Can't write '%s': No such file or directory." % no_dir, result.stderr)

    def test_ctrl_c_stops_and_removes_the_partial_file(self):
        long_song = self.path("long.xm")
        mw.write_song(mw.tone_song(channels=32, fmt="mod", positions=128), long_song)
        out = self.path("long.wav")
        env = dict(os.environ, HOME=self.home)
        process = subprocess.Popen([XQ, "--render", out, long_song], stderr=subprocess.PIPE, text=True,
                                   env=env, cwd=self.dir.name)
        deadline = time.monotonic() + 10
        while not any(n.startswith("long.wav.") for n in os.listdir(self.dir.name)):
            self.assertLess(time.monotonic(), deadline)
            time.sleep(0.01)
        process.send_signal(signal.SIGINT)
        _, errors = process.communicate(timeout=20)
        self.assertEqual(process.returncode, 130, errors)
        self.assertIn("XQ: Stopped; '%s' was not written." % out, errors)
        self.assertEqual(sorted(os.listdir(self.dir.name)), ["home", "long.xm", "tone.xm"])

    def test_a_progress_bar_on_a_terminal(self):
        out = self.path("out.wav")
        master, slave = pty.openpty()
        process = subprocess.Popen([XQ, "--render", out, self.song], stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=slave, cwd=self.dir.name,
                                   env=dict(os.environ, HOME=self.home))
        os.close(slave)
        shown = b""
        while True:
            try:
                chunk = os.read(master, 4096)
            except OSError:  # the other side closed
                break
            if not chunk:
                break
            shown += chunk
        os.close(master)
        self.assertEqual(process.wait(timeout=30), 0)
        text = shown.decode()
        self.assertIn("\rtone.xm  [" + "#" * 30 + "] 100%  00:02", text)
        self.assertTrue(text.endswith("\n"))
        self.assertNotIn("->", text)  # the bar instead of the plain line

    def test_the_sound_server_is_left_alone(self):
        # A sound server that would see any client trying to reach it.
        server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.addCleanup(server.close)
        address = self.path("pulse.socket")
        server.bind(address)
        server.listen(4)
        server.setblocking(False)
        result = self.run_xq("--render", self.path("out.wav"), self.song,
                             env={"PULSE_SERVER": "unix:" + address, "AUDIODEV": "/dev/null"})
        self.assertEqual(result.returncode, 0, result.stderr)
        with self.assertRaises(BlockingIOError):
            server.accept()

    def test_only_regular_files_are_rendered(self):
        fifo = self.path("pipe.xm")
        os.mkfifo(fifo)
        with open(self.path("list.m3u"), "w") as f:
            f.write("pipe.xm\n/dev/zero\nhome\n")
        cases = (
            ([fifo], ["XQ: Can't load '%s': Not a file.\n" % fifo]),
            ([self.path("list.m3u")], ["XQ: Can't load '%s': Not a file.\n" % path
                                       for path in (fifo, "/dev/zero", self.home)]),
        )
        for modules, errors in cases:
            with self.subTest(modules=modules):
                started = time.monotonic()
                result = self.run_xq("--render", self.path("out.wav"), *modules, timeout=10)
                self.assertLess(time.monotonic() - started, 5)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertEqual(result.stderr, "".join(errors))
                self.assertEqual(sorted(os.listdir(self.dir.name)), ["home", "list.m3u", "pipe.xm", "tone.xm"])

    def test_the_output_is_saved_as_other_files_are(self):
        fifo = self.path("pipe.wav")
        os.mkfifo(fifo)
        listening = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.addCleanup(listening.close)
        listening.bind(self.path("socket.wav"))
        # As root a device node of our own: a render that replaced it must not
        # replace the system's. Anyone else cannot replace /dev/full.
        device = "/dev/full"
        if os.geteuid() == 0:
            device = self.path("full.wav")
            os.mknod(device, 0o666 | stat.S_IFCHR, os.makedev(1, 7))
        os.symlink(device, self.path("device.wav"))
        for output, kind in ((device, stat.S_ISCHR), (self.path("device.wav"), stat.S_ISCHR),
                             (fifo, stat.S_ISFIFO), (self.path("socket.wav"), stat.S_ISSOCK)):
            with self.subTest(output=output):
                result = self.run_xq("--render", output, self.song, timeout=10)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertEqual(result.stderr, "XQ: Can't write '%s': not a regular file.\n" % output)
                self.assertTrue(kind(os.stat(output).st_mode))
        self.assertEqual(sorted(n for n in os.listdir(self.dir.name) if n != "full.wav"),
                         ["device.wav", "home", "pipe.wav", "socket.wav", "tone.xm"])
        # Through a symbolic link the WAV file goes to the link's target,
        # new or old, and the link stays.
        os.makedirs(self.path("wavs"))
        os.symlink("wavs/new.wav", self.path("new.wav"))
        with open(self.path("wavs/old.wav"), "w") as f:
            f.write("old")
        os.symlink(self.path("wavs/old.wav"), self.path("old.wav"))
        for link in ("new.wav", "old.wav"):
            with self.subTest(link=link):
                result = self.run_xq("--render", link, self.song)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertTrue(os.path.islink(self.path(link)))
                with wave.open(self.path("wavs/" + link)) as w:
                    self.assertAlmostEqual(w.getnframes() / w.getframerate(), SECONDS, delta=TICK)
        self.assertEqual(sorted(os.listdir(self.path("wavs"))), ["new.wav", "old.wav"])

    def test_unknown_options_and_the_end_of_the_options(self):
        out = self.path("out.wav")
        for args in (["--render", out, "--bogus", self.song], ["-o", out, self.song, "-x"],
                     ["--bogus", "--render", out, self.song]):
            with self.subTest(args=args):
                result = self.run_xq(*args)
                self.assertEqual(result.returncode, 2)
                bad = [a for a in args if a in ("--bogus", "-x")][0]
                self.assertTrue(result.stderr.startswith("XQ: Unknown option '%s'.\n%s\nUsage: xq " %
                                                         (bad, VERSION_LINE)), result.stderr)
                self.assertFalse(os.path.exists(out))
        shutil.copy(self.song, self.path("-name.xm"))
        result = self.run_xq("-o", out, "--", "-name.xm")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "-name.xm: 00:02 -> %s\n" % out)
        self.assertTrue(os.path.exists(out))

    def test_usage_mistakes(self):
        cases = (
            (["--render", "x.wav"], "XQ: --render needs at least one module.\n"),
            (["--loops", "2", self.song], "XQ: --loops and --rate go with --render.\n"),
            (["-o", "x.wav", "--loops", "0", self.song], "XQ: --loops takes a number of times from 1 to 100.\n"),
            (["-o", "x.wav", "missing.xm"], "XQ: Can't open 'missing.xm'\n"),
        )
        for args, error in cases:
            with self.subTest(args=args):
                result = self.run_xq(*args)
                self.assertEqual(result.returncode, 255)
                self.assertTrue(result.stderr.endswith(error), result.stderr)
        self.assertFalse(os.path.exists(self.path("x.wav")))


if __name__ == "__main__":
    unittest.main()


def left_sine(hz, seconds=2.0):
    """A pure sine of `hz` panned hard left, on one channel, for `seconds`."""
    song = mw.Song(name=b"left sine", format="xm", channels=1, speed=mw.SPEED, bpm=mw.BPM)
    cycle = 64
    song.samples.append(mw.Sample(name="sine", data=mw.sine(cycle, 100), loop=mw.LOOP_FORWARD,
                                  loop_start=0, loop_length=cycle, bits=8,
                                  rate=hz * cycle / 2 ** (9 / 12)))
    pattern = song.new_pattern(round(seconds / mw.ROW_SECONDS))
    pattern.set(0, 0, "A-4", 1, 64, mw.FX_PAN, 0)
    song.orders = [0]
    return song


def side_levels(path):
    """RMS of the left and the right side of a 16-bit stereo WAV, past its
    first tenth (where the filters settle)."""
    with wave.open(path) as w:
        samples = array.array("h", w.readframes(w.getnframes()))
    start = len(samples) // 10 * 2 // 2 * 2
    rms = lambda part: (sum(s * s for s in part) / max(1, len(part))) ** 0.5  # noqa: E731
    return rms(samples[start::2]), rms(samples[start + 1::2])


def bs2b_right_to_left_db(level, hz, rate=44100):
    """What the crossfeed library itself makes of a sine of `hz` on the left
    side alone at `level`: the right side against the left, in dB."""
    import ctypes
    import ctypes.util
    import math
    lib = ctypes.CDLL(ctypes.util.find_library("bs2b") or "libbs2b.so.0")
    lib.bs2b_open.restype = ctypes.c_void_p
    lib.bs2b_set_level.argtypes = [ctypes.c_void_p, ctypes.c_uint32]
    lib.bs2b_set_srate.argtypes = [ctypes.c_void_p, ctypes.c_uint32]
    lib.bs2b_cross_feed_f.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_float), ctypes.c_int]
    lib.bs2b_close.argtypes = [ctypes.c_void_p]
    filt = lib.bs2b_open()
    lib.bs2b_set_srate(filt, rate)
    lib.bs2b_set_level(filt, level)
    frames = rate
    buf = (ctypes.c_float * (2 * frames))()
    for i in range(frames):
        buf[2 * i] = 0.3 * math.sin(2 * math.pi * hz * i / rate)
    lib.bs2b_cross_feed_f(filt, buf, frames)
    lib.bs2b_close(filt)
    start = frames // 10
    left = sum(buf[2 * i] ** 2 for i in range(start, frames))
    right = sum(buf[2 * i + 1] ** 2 for i in range(start, frames))
    return 10 * math.log10(right / left)


# The crossfeed presets as the library names them: cut frequency in Hz
# and feed in tenths of a dB.
BS2B_PRESETS = {1: 700 | (45 << 16), 2: 700 | (60 << 16), 3: 650 | (95 << 16)}


class RenderForHeadphones(unittest.TestCase):
    # The renders' set-up, without running their tests a second time.
    path = Render.path
    options = Render.options
    run_xq = Render.run_xq

    def setUp(self):
        Render.setUp(self)
        self.left = self.path("left.xm")
        mw.write_song(left_sine(500), self.left)

    def render_with(self, options):
        self.options(options)
        out = self.path("out.wav")
        result = self.run_xq("-o", out, self.left)
        self.assertEqual(result.returncode, 0, result.stderr)
        return side_levels(out)

    def test_separation_brings_the_sides_together(self):
        full_left, full_right = self.render_with("")
        self.assertGreater(full_left, 1000)
        self.assertLess(full_right, full_left / 100)  # as the module pans it: hard left
        left, right = self.render_with("separation=100\n")
        self.assertAlmostEqual(left, full_left, delta=full_left * 0.01)
        self.assertLess(right, left / 100)
        left, right = self.render_with("separation=0\n")
        self.assertAlmostEqual(left / right, 1.0, delta=0.02)  # mono
        left, right = self.render_with("separation=50\n")
        share = right / left
        self.assertTrue(0.1 < share < 0.9, share)

    def test_crossfeed_feeds_the_left_into_the_right_as_its_preset_does(self):
        import math
        for preset, level in BS2B_PRESETS.items():
            with self.subTest(crossfeed=preset):
                left, right = self.render_with("crossfeed=%d\n" % preset)
                got = 20 * math.log10(right / left)
                expected = bs2b_right_to_left_db(level, 500)
                print(f"\ncrossfeed {preset}: right side {got:.2f} dB, the filter's {expected:.2f} dB")
                self.assertAlmostEqual(got, expected, delta=1.0)
        left, right = self.render_with("crossfeed=0\n")
        self.assertLess(right, left / 100)
        # Crossfeed needs two sides: a mono render is left as it is.
        self.options("crossfeed=2\nstereo=0\n")
        out = self.path("mono.wav")
        self.assertEqual(self.run_xq("-o", out, self.left).returncode, 0)
        with wave.open(out) as w:
            self.assertEqual(w.getnchannels(), 1)
