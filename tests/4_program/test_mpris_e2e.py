"""The desktop's media keys: xq on a private session bus (a dbus-daemon of
each test's own), driven by playerctl and dbus-send as a desktop would, and
watched with dbus-monitor."""

import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

from xqtest import paused, shown_entry, shown_volume, PlayerTestCase, mw, status_position

BUS_NAME = "org.mpris.MediaPlayer2.xq"
PATH = "/org/mpris/MediaPlayer2"
PLAYER = "org.mpris.MediaPlayer2.Player"


def shown_time(rows):
    """(elapsed, length) in seconds from the time box, length None when it
    shows none."""
    for r in rows:
        m = re.search(r"Time: *(\d+):(\d+)(?:/(\d+):(\d+))?", r)
        if m:
            length = int(m.group(3)) * 60 + int(m.group(4)) if m.group(3) else None
            return int(m.group(1)) * 60 + int(m.group(2)), length
    return None, None


def shown_elapsed(rows):
    return shown_time(rows)[0]


def shown_length(rows):
    return shown_time(rows)[1]


class SessionBus:
    """A dbus-daemon of its own, on a socket in a private directory."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="xqbus.")
        self.address = f"unix:path={self.dir}/bus"
        self.daemon = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--nopidfile", f"--address={self.address}"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not os.path.exists(f"{self.dir}/bus"):
            if time.monotonic() > deadline:
                raise RuntimeError("dbus-daemon did not start")
            time.sleep(0.01)

    def env(self):
        return dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.address)

    def run(self, *args, check=True):
        r = subprocess.run(list(args), capture_output=True, text=True, env=self.env(), timeout=10,
                           stdin=subprocess.DEVNULL)
        if check and r.returncode != 0:
            raise AssertionError(f"{args}: {r.returncode} {r.stderr}")
        return r

    def playerctl(self, *args, player="xq"):
        return self.run("playerctl", "-p", player, *args).stdout.strip()

    def send(self, name, member, *args, interface=PLAYER, check=True):
        return self.run("dbus-send", "--session", "--print-reply", f"--dest={name}", PATH, f"{interface}.{member}",
                        *args, check=check)

    def set_volume(self, value, name=BUS_NAME):
        return self.run("dbus-send", "--session", "--print-reply", f"--dest={name}", PATH,
                        "org.freedesktop.DBus.Properties.Set", f"string:{PLAYER}", "string:Volume",
                        f"variant:double:{value}", check=False)

    def names(self):
        out = self.run("dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                       "org.freedesktop.DBus.ListNames").stdout
        return re.findall(r'string "([^"]+)"', out)

    def wait_name(self, name, timeout=5):
        deadline = time.monotonic() + timeout
        while name not in self.names():
            if time.monotonic() > deadline:
                raise AssertionError(f"{name} never came on the bus: {self.names()}")
            time.sleep(0.02)

    def close(self):
        self.daemon.kill()
        self.daemon.wait()
        shutil.rmtree(self.dir, True)


class MprisCase(PlayerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.songs = [cls.song_file(f"{n}.xm", mw.tone_song(channels=1, positions=8, name=f"song {n}".encode()))
                     for n in ("a", "b")]

    def setUp(self):
        self.bus = SessionBus()
        self.addCleanup(self.bus.close)

    def start_xq(self, *args, home=None):
        term = self.start(*args, env={"DBUS_SESSION_BUS_ADDRESS": self.bus.address}, home=home)
        self.wait_playing(term)
        return term

    def test_a_desktop_plays_pauses_skips_and_sets_the_volume(self):
        term = self.start_xq(*self.songs)
        self.bus.wait_name(BUS_NAME)
        bus = self.bus
        self.assertEqual(bus.playerctl("status"), "Playing")
        self.assertEqual(bus.playerctl("metadata", "xesam:title"), "song a")
        self.assertEqual(bus.playerctl("metadata", "xesam:url"), "file://" + self.songs[0])
        self.assertEqual(bus.playerctl("pause") or bus.playerctl("status"), "Paused")
        term.wait_for(paused, timeout=3)
        bus.playerctl("play")
        term.wait_for(lambda rows: not paused(rows) and status_position(rows) is not None, timeout=3)
        self.assertEqual(bus.playerctl("status"), "Playing")
        bus.playerctl("next")
        term.wait_for(lambda rows: shown_entry(rows) == (2, 2), timeout=5)
        self.assertEqual(bus.playerctl("metadata", "xesam:title"), "song b")
        bus.playerctl("previous")
        term.wait_for(lambda rows: shown_entry(rows) == (1, 2), timeout=5)
        # The volume is set at once, not stepped: 0.5 is the module's 64.
        bus.playerctl("volume", "0.5")
        term.wait_for(lambda rows: shown_volume(rows) == 64, timeout=3)
        self.assertEqual(float(bus.playerctl("volume")), 0.5)
        bus.playerctl("play-pause")
        term.wait_for(paused, timeout=3)
        bus.playerctl("play-pause")
        term.wait_for(lambda rows: not paused(rows), timeout=3)
        bus.playerctl("stop")
        self.assertEqual(bus.playerctl("status"), "Stopped")
        bus.send(BUS_NAME, "Quit", interface="org.mpris.MediaPlayer2")
        self.assert_clean_exit(term)

    def test_a_key_in_the_terminal_is_told_to_the_desktop_within_200_ms(self):
        term = self.start_xq(self.songs[0])
        self.bus.wait_name(BUS_NAME)
        monitor = subprocess.Popen(
            ["dbus-monitor", "--address", self.bus.address,
             "type='signal',interface='org.freedesktop.DBus.Properties',member='PropertiesChanged'"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, bufsize=1)
        self.addCleanup(monitor.wait)
        self.addCleanup(monitor.kill)
        time.sleep(0.5)  # the monitor is listening
        delays = []
        for key, status, volume in (("p", "Paused", None), ("p", "Playing", None), ("+", None, 129)):
            os.set_blocking(monitor.stdout.fileno(), True)
            sent = time.time()
            term.send_keys(key)
            seen = self.wait_signal(monitor, status, volume)
            delays.append(seen - sent)
        self.assertTrue(all(d < 0.2 for d in delays), delays)

    def wait_signal(self, monitor, status, volume, timeout=5):
        """The bus's time of the first PropertiesChanged that tells
        `status` (or the volume `volume`/128)."""
        deadline = time.monotonic() + timeout
        stamp = None
        lines = []
        while time.monotonic() < deadline:
            line = monitor.stdout.readline()
            if not line:
                break
            lines.append(line)
            m = re.match(r"signal time=(\d+\.\d+)", line)
            if m:
                stamp = float(m.group(1))
            if status and f'string "{status}"' in line:
                return stamp
            if volume is not None and re.search(rf"double {volume / 128:.6g}\b", line):
                return stamp
        raise AssertionError(f"no signal telling {status or volume}: {''.join(lines[-30:])}")

    def test_a_second_xq_takes_an_instance_name(self):
        first = self.start_xq(self.songs[0])
        self.bus.wait_name(BUS_NAME)
        second = self.start_xq(self.songs[1])
        instance = f"{BUS_NAME}.instance{second.pid}"
        self.bus.wait_name(instance)
        self.assertEqual(self.bus.playerctl("metadata", "xesam:title", player=f"xq.instance{second.pid}"), "song b")
        self.assertEqual(self.bus.playerctl("metadata", "xesam:title", player="xq"), "song a")
        # The first's name is free again once it quits; the second keeps its own.
        first.send_keys("q")
        self.assert_clean_exit(first)
        second.send_keys("q")
        self.assert_clean_exit(second)

    def test_bad_calls_are_refused_or_kept_within_bounds(self):
        term = self.start_xq(self.songs[0])
        self.bus.wait_name(BUS_NAME)
        for value, shown in (("-1", 0), ("1e300", 256), ("0.25", 32)):
            self.assertEqual(self.bus.set_volume(value).returncode, 0, value)
            term.wait_for(lambda rows: shown_volume(rows) == shown, timeout=3)
        refused = self.bus.set_volume("nan")
        self.assertNotEqual(refused.returncode, 0)
        self.assertIn("no number", refused.stderr)
        self.assertNotEqual(self.bus.send(BUS_NAME, "Frobnicate", check=False).returncode, 0)
        self.assertNotEqual(self.bus.send(BUS_NAME, "OpenUri", "string:file:///etc/passwd", check=False).returncode, 0)
        # A position for a track long gone changes nothing; a seek far
        # before the start lands on it.
        self.bus.send(BUS_NAME, "SetPosition", "objpath:/org/xq/track/999_0", "int64:5000000")
        self.bus.send(BUS_NAME, "Seek", "int64:-9223372036854775808")
        self.assertEqual(self.bus.playerctl("status"), "Playing")
        before = status_position(term.screen())
        term.wait_for(lambda rows: status_position(rows) not in (None, before), timeout=5)
        self.assertEqual(shown_volume(term.screen()), 32)

    def test_the_desktop_sees_the_length_and_seeks(self):
        term = self.start_xq(self.songs[0])
        self.bus.wait_name(BUS_NAME)
        bus = self.bus
        rows = term.wait_for(lambda rows: shown_length(rows) is not None, timeout=5)
        length = int(bus.playerctl("metadata", "mpris:length")) / 1e6
        self.assertAlmostEqual(length, shown_length(rows), delta=1.0)
        bus.playerctl("position", "30")  # SetPosition on the track playing
        self.assertAlmostEqual(float(bus.playerctl("position")), 30.0, delta=1.0)
        term.wait_for(lambda rows: shown_elapsed(rows) in (30, 31), timeout=3)
        bus.playerctl("position", "10-")  # Seek back
        self.assertAlmostEqual(float(bus.playerctl("position")), 20.0, delta=1.0)
        track = re.search(r'object path "([^"]+)"', bus.run(
            "dbus-send", "--session", "--print-reply", f"--dest={BUS_NAME}", PATH,
            "org.freedesktop.DBus.Properties.Get", f"string:{PLAYER}", "string:Metadata").stdout).group(1)
        # Past the song's end, or on another track, a position changes nothing.
        for target, us in ((track, int(length * 1e6) + 5_000_000), ("/org/xq/track/0_0", 1_000_000)):
            bus.send(BUS_NAME, "SetPosition", f"objpath:{target}", f"int64:{us}")
            self.assertAlmostEqual(float(bus.playerctl("position")), 20.0, delta=1.5)
        bus.send(BUS_NAME, "SetPosition", f"objpath:{track}", "int64:2000000")
        self.assertAlmostEqual(float(bus.playerctl("position")), 2.0, delta=1.0)

    def test_no_session_bus_or_the_option_off_plays_as_ever(self):
        for env, home in (({"DBUS_SESSION_BUS_ADDRESS": "unix:path=/nonexistent/bus"}, None),
                          ({"DBUS_SESSION_BUS_ADDRESS": self.bus.address}, self.make_home("mpris=0\n"))):
            term = self.start(self.songs[0], env=env, home=home)
            self.wait_playing(term)
            before = status_position(term.screen())
            term.wait_for(lambda rows: status_position(rows) not in (None, before), timeout=5)
            self.assertNotIn(BUS_NAME, self.bus.names())
            self.assertFalse(any("bus" in r.lower() or "mpris" in r.lower() for r in term.screen()))
            term.send_keys("q")
            self.assert_clean_exit(term)


if __name__ == "__main__":
    unittest.main()
