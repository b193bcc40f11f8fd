"""The remote control: `xq --remote` against the real binary in tmux, each
test with its own XDG_RUNTIME_DIR and HOME, the sound recorded from a
private null sink."""

import os
import pwd
import re
import shutil
import signal
import socket
import stat
import subprocess
import tempfile
import threading
import time
import unittest

from xqtest import paused, shown_entry, shown_volume, XQ, NullSink, PlayerTestCase, Terminal, mw, status_position
from xqtest import measures_sound

NOT_RUNNING = "xq is not running\n"


def parse_status(text):
    return dict(line.split("=", 1) for line in text.splitlines())


class RemoteCase(PlayerTestCase):
    """A private runtime directory and HOME for each test; `remote()` runs
    the client with them."""

    def setUp(self):
        self.runtime = tempfile.mkdtemp(prefix="xqrun.")
        os.chmod(self.runtime, 0o700)
        self.addCleanup(shutil.rmtree, self.runtime, True)
        self.home = tempfile.mkdtemp(prefix="xqhome.")
        self.addCleanup(shutil.rmtree, self.home, True)
        self.socket_path = os.path.join(self.runtime, "xq", "control")

    def env(self):
        return {"XDG_RUNTIME_DIR": self.runtime}

    def remote(self, *words, timeout=10):
        env = dict(os.environ, HOME=self.home, XDG_RUNTIME_DIR=self.runtime)
        return subprocess.run([XQ, "--remote", *words], capture_output=True, text=True, env=env,
                              stdin=subprocess.DEVNULL, timeout=timeout)

    def ok(self, *words):
        r = self.remote(*words)
        self.assertEqual((r.returncode, r.stderr), (0, ""), words)
        return r.stdout

    def status(self):
        return parse_status(self.ok("status"))

    def start_xq(self, *args, **kw):
        term = self.start(*args, env=self.env(), home=self.home, **kw)
        self.wait_playing(term)
        self.wait_for_socket()
        return term

    def wait_for_socket(self, timeout=5):
        deadline = time.monotonic() + timeout
        while not os.path.exists(self.socket_path):
            self.assertLess(time.monotonic(), deadline, "no control socket")
            time.sleep(0.02)

    def connect(self):
        s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        s.settimeout(10)
        s.connect(self.socket_path)
        self.addCleanup(s.close)
        return s

    @staticmethod
    def read_all(s):
        data = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                return data
            data += chunk


class Commands(RemoteCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.songs = [cls.song_file(f"{n}.xm", mw.tone_song(channels=1, positions=4, name=f"song {n}".encode()))
                     for n in "abc"]

    def assert_status_matches_screen(self, term, status, still=True):
        """The status shows what the screen shows; the song's place and time
        only while the screen stands still (paused)."""
        rows = term.screen()
        self.assertIn(os.path.basename(status["file"]), rows[1])
        self.assertIn(f"Title  : {status['title']} - Type: {status['format']}", rows[2])
        self.assertEqual((int(status["playlist_index"]), int(status["playlist_length"])), shown_entry(rows))
        for key, label in (("bpm", "Bpm"), ("speed", "Spd"), ("volume", "Vol")):
            self.assertEqual(status[key], re.search(label + r":\s*(\d+)", rows[4]).group(1), key)
        if not still:
            return
        pattern, position, positions = map(int, re.search(r"Pat:\s*(\d+)\s+(\d+)/\s*(\d+)", rows[4]).groups())
        self.assertEqual((status["pattern"], status["position"], status["positions"]),
                         (str(pattern), str(position), str(positions)), rows[4])
        self.assertEqual(status["row"], str(status_position(rows)[1]))
        minutes, seconds = map(int, re.search(r"Time:\s*(\d+):(\d+)", rows[-1]).groups())
        self.assertEqual(int(status["time"]), minutes * 60 + seconds)

    def test_every_command_acts_as_its_key_and_status_matches_the_screen(self):
        term = self.start_xq(*self.songs)
        self.assertEqual(self.status()["state"], "playing")
        steps = [
            (["forward"], lambda rows: status_position(rows)[0] == 2),
            (["forward"], lambda rows: status_position(rows)[0] == 3),
            (["back"], lambda rows: status_position(rows)[0] == 2),
            (["volume", "+5"], lambda rows: shown_volume(rows) == 133),
            (["volume", "-10"], lambda rows: shown_volume(rows) == 123),
            (["volume", "64"], lambda rows: shown_volume(rows) == 64),
            (["volume", "300"], None),
            (["next"], lambda rows: shown_entry(rows) == (2, 3) and "b.xm" in rows[1]),
            (["next"], lambda rows: shown_entry(rows) == (3, 3) and "c.xm" in rows[1]),
            (["prev"], lambda rows: shown_entry(rows) == (2, 3) and "b.xm" in rows[1]),
            (["pause"], paused),
            (["pause"], paused),
            (["forward"], None),  # keys other than p do nothing while paused
            (["play"], lambda rows: not paused(rows)),
            (["toggle"], paused),
            (["toggle"], lambda rows: not paused(rows)),
            (["stop"], lambda rows: "Stopping" not in "".join(rows)),
            (["play"], lambda rows: status_position(rows)[1] > 2),
        ]
        for words, shown in steps:
            with self.subTest(words=words):
                r = self.remote(*words)
                if shown is None:
                    self.assertEqual(r.returncode, 1)
                    self.assertTrue(r.stderr.startswith("error: "), r.stderr)
                    continue
                self.assertEqual((r.returncode, r.stdout, r.stderr), (0, "ok\n", ""))
                term.wait_for(shown, timeout=3)
                status = self.status()
                still = paused(term.screen())
                self.assertEqual(status["state"], "paused" if still else "stopped" if words == ["stop"] else "playing")
                self.assert_status_matches_screen(term, status, still)
        status = self.status()
        self.assertEqual((status["state"], status["file"], status["title"]), ("playing", self.songs[1], "song b"))
        self.assertEqual((status["volume"], status["playlist_index"], status["random"]), ("128", "2", "0"))
        self.ok("stop")
        term.wait_for(lambda rows: "Stopping" not in "".join(rows), timeout=3)
        time.sleep(0.2)
        status = self.status()
        self.assertEqual(status["state"], "stopped")
        self.assert_status_matches_screen(term, status, still=False)
        self.assertEqual(self.ok("quit"), "ok\n")
        self.assert_clean_exit(term)
        self.assertFalse(os.path.exists(self.socket_path))

    def test_a_song_that_ended_says_so_and_play_starts_it_again(self):
        term = self.start_xq(self.song_file("ending.xm", mw.ending_song(seconds=1.0)))
        term.wait_for(lambda rows: "End of song" in rows[0], timeout=10)
        self.assertEqual(self.status()["state"], "ended")
        self.ok("play")
        term.wait_for(lambda rows: "End of song" not in rows[0], timeout=3)
        self.assertEqual(self.status()["state"], "playing")
        self.ok("quit")
        self.assert_clean_exit(term)


    def test_while_a_message_box_waits_only_status_and_quit_act(self):
        term = self.start_xq(self.song_file("tone.mod", mw.tone_song(fmt="mod", channels=4)))
        term.send_keys("W")  # a MOD has no instruments: a box says so
        term.wait_for("No instruments in this module.")
        r = self.remote("forward")
        self.assertEqual((r.returncode, r.stderr), (1, "error: xq waits for Enter in a message box\n"))
        self.assertEqual(status_position(term.screen())[0], 1)
        self.assertEqual(self.status()["state"], "playing")
        term.send_keys("Enter")
        term.wait_for(lambda rows: not any("No instruments" in r for r in rows))
        self.ok("forward")
        term.wait_for(lambda rows: status_position(rows)[0] == 2, timeout=3)
        self.ok("quit")
        self.assert_clean_exit(term)


class Clients(RemoteCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tone = cls.song_file("tone.xm", mw.tone_song(channels=2))

    def test_without_xq_and_with_a_bad_request(self):
        cases = [
            (["status"], NOT_RUNNING),
            (["bogus"], "error: unknown command 'bogus'\n"),
            (["volume", "+x"], "error: bad volume '+x': use +N, -N or N (0 to 256)\n"),
            ([], None),
        ]
        for words, message in cases:
            with self.subTest(words=words):
                r = self.remote(*words)
                self.assertEqual(r.returncode, 1)
                self.assertEqual(r.stdout, "")
                if message:
                    self.assertEqual(r.stderr, message)
                else:
                    self.assertIn("--remote needs a command", r.stderr)
        term = self.start_xq(self.tone)
        r = self.remote("bogus")
        self.assertEqual((r.returncode, r.stderr), (1, "error: unknown command 'bogus'\n"))
        # the player's own check, for a client that is not ours
        s = self.connect()
        s.sendall(b"louder please\n")
        self.assertEqual(self.read_all(s), b"error: unknown command 'louder'\n")
        term.send_keys("q")
        self.assert_clean_exit(term)

    @measures_sound
    def test_two_clients_at_once_then_a_thousand_commands_without_a_gap(self):
        term = self.start_xq(self.tone)
        start = self.rec.wait_for_sound(timeout=10)
        self.rec.wait_until(start + self.rec.frames(0.3))
        # both connected before either is answered; the first sends in two pieces
        first, second = self.connect(), self.connect()
        first.sendall(b"sta")
        second.sendall(b"volume +2\n")
        time.sleep(0.2)
        first.sendall(b"tus\n")
        self.assertEqual(self.read_all(second), b"ok\n")
        self.assertEqual(parse_status(self.read_all(first).decode())["state"], "playing")
        term.wait_for(lambda rows: shown_volume(rows) == 130, timeout=3)

        began = self.rec.mark()
        t0 = time.monotonic()
        cycle = [b"status\n", b"volume +1\n", b"volume -1\n", b"play\n"]
        answers = []
        for i in range(1000):
            s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            s.settimeout(10)
            s.connect(self.socket_path)
            s.sendall(cycle[i % len(cycle)])
            answers.append(self.read_all(s))
            s.close()
        took = time.monotonic() - t0
        end = self.rec.wait_until(self.rec.mark())
        self.assertEqual([a for a in answers if not (a == b"ok\n" or a.startswith(b"state=playing\n"))], [])
        self.assertEqual(self.rec.gaps(began, end, min_ms=10), [], f"1000 commands in {took:.1f} s")
        # the screen shows the last volume by its next frame
        term.wait_for(lambda rows: shown_volume(rows) == 130, timeout=3)
        term.send_keys("q")
        self.assert_clean_exit(term)

    @measures_sound
    def test_clients_that_misbehave_are_dropped_without_holding_the_player(self):
        term = self.start_xq(self.tone)
        start = self.rec.wait_for_sound(timeout=10)
        self.rec.wait_until(start + self.rec.frames(0.3))
        began = self.rec.mark()
        silent = self.connect()            # connects and sends nothing
        flood = self.connect()             # sends a megabyte
        flood_answer = []

        def send_a_megabyte():
            try:
                flood.sendall(b"x" * (1 << 20))
            except OSError:
                pass
            try:
                flood_answer.append(self.read_all(flood))
            except OSError as e:
                flood_answer.append(repr(e).encode())

        sender = threading.Thread(target=send_a_megabyte)
        sender.start()
        # another user: the socket's directory is closed to it
        nobody = pwd.getpwnam("nobody")
        xq_copy = os.path.join(tempfile.mkdtemp(prefix="xqbin."), "xq")
        self.addCleanup(shutil.rmtree, os.path.dirname(xq_copy), True)
        shutil.copy(XQ, xq_copy)
        os.chmod(os.path.dirname(xq_copy), 0o755)
        r = subprocess.run(["setpriv", f"--reuid={nobody.pw_uid}", f"--regid={nobody.pw_gid}", "--clear-groups",
                            xq_copy, "--remote", "quit"], capture_output=True, text=True, timeout=10,
                           env={"PATH": "/usr/bin:/bin", "XDG_RUNTIME_DIR": self.runtime, "HOME": "/nonexistent"})
        self.assertEqual(r.returncode, 1)
        self.assertIn("Permission denied", r.stderr)
        # meanwhile a good client is answered, while the silent one still
        # waits: it holds nobody up
        self.assertEqual(self.status()["state"], "playing")
        silent.setblocking(False)
        with self.assertRaises(BlockingIOError):
            silent.recv(1)
        silent.setblocking(True)
        sender.join(10)
        self.assertEqual(flood_answer, [b"error: the request is too long\n"])
        # the silent one is let go after two seconds
        self.assertEqual(self.read_all(silent), b"error: no request came\n")
        term.send_keys("+")
        term.wait_for(lambda rows: shown_volume(rows) == 129, timeout=3)
        end = self.rec.wait_until(self.rec.mark())
        self.assertEqual(self.rec.gaps(began, end, min_ms=10), [])
        self.assertFalse(term.exited())
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_a_connection_of_another_user_is_refused(self):
        # xq runs as nobody; root may reach its socket, but is not its user
        nobody = pwd.getpwnam("nobody")
        for path in (self.runtime, self.home):
            os.chown(path, nobody.pw_uid, nobody.pw_gid)
        bin_dir = tempfile.mkdtemp(prefix="xqbin.")
        self.addCleanup(shutil.rmtree, bin_dir, True)
        os.chmod(bin_dir, 0o755)
        xq_copy = os.path.join(bin_dir, "xq")
        shutil.copy(XQ, xq_copy)
        song = os.path.join(bin_dir, "tone.xm")
        shutil.copy(self.tone, song)
        os.chmod(song, 0o644)
        # a sound server of its own that nobody may reach
        sink = NullSink().start()
        self.addCleanup(sink.stop)
        os.chmod(sink.dir, 0o755)
        os.chmod(sink.socket, 0o777)
        os.chmod(os.path.join(sink.dir, "client.conf"), 0o644)
        env = {"XDG_RUNTIME_DIR": self.runtime, "PULSE_SERVER": "unix:" + sink.socket,
               "PULSE_CLIENTCONFIG": os.path.join(sink.dir, "client.conf"),
               "PULSE_COOKIE": os.path.join(self.home, "cookie"),
               "PULSE_RUNTIME_PATH": os.path.join(self.home, "pulse"),
               "PULSE_STATE_PATH": os.path.join(self.home, "pulse")}
        term = Terminal(["setpriv", f"--reuid={nobody.pw_uid}", f"--regid={nobody.pw_gid}", "--clear-groups",
                         xq_copy, song], env=env, home=self.home)
        self.addCleanup(term.close)
        self.wait_playing(term)
        self.wait_for_socket()
        info = os.stat(self.socket_path)
        self.assertEqual(info.st_uid, nobody.pw_uid)
        r = self.remote("quit")
        self.assertEqual((r.returncode, r.stderr), (1, "error: refused: this xq belongs to another user\n"))
        time.sleep(0.3)
        self.assertFalse(term.exited())
        term.send_keys("q")
        self.assertEqual(term.wait_exit(10), 0)


class TheSocket(RemoteCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tone = cls.song_file("tone.xm", mw.tone_song(channels=1))

    def test_private_and_gone_after_every_orderly_exit(self):
        for end in ("q", "quit", "quit while paused", signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
            with self.subTest(end=end):
                term = self.start_xq(self.tone)
                self.assertEqual(stat.S_IMODE(os.stat(os.path.dirname(self.socket_path)).st_mode), 0o700)
                info = os.lstat(self.socket_path)
                self.assertTrue(stat.S_ISSOCK(info.st_mode))
                self.assertEqual(stat.S_IMODE(info.st_mode), 0o600)
                if end == "q":
                    term.send_keys("q")
                elif end in ("quit", "quit while paused"):
                    if end == "quit while paused":
                        self.ok("pause")
                        term.wait_for(paused)
                    self.ok("quit")
                else:
                    term.signal(end)
                self.assert_clean_exit(term)
                self.assertFalse(os.path.exists(self.socket_path))
                self.assertEqual(self.remote("status").stderr, NOT_RUNNING)

    def test_without_a_runtime_directory_the_socket_is_in_home(self):
        term = self.start(self.tone, env={"XDG_RUNTIME_DIR": None}, home=self.home)
        self.wait_playing(term)
        path = os.path.join(self.home, ".xq", "control")
        deadline = time.monotonic() + 5
        while not os.path.exists(path) and time.monotonic() < deadline:
            time.sleep(0.02)
        self.assertEqual(stat.S_IMODE(os.lstat(path).st_mode), 0o600)
        self.assertEqual(stat.S_IMODE(os.stat(os.path.dirname(path)).st_mode), 0o700)
        env = dict(os.environ, HOME=self.home)
        env.pop("XDG_RUNTIME_DIR", None)
        r = subprocess.run([XQ, "--remote", "status"], capture_output=True, text=True, env=env, timeout=10)
        self.assertEqual(parse_status(r.stdout)["file"], self.tone)
        term.send_keys("q")
        self.assert_clean_exit(term)
        self.assertFalse(os.path.exists(path))

    @unittest.skipUnless(os.geteuid() == 0, "handing a folder to another user needs root")
    def test_a_runtime_directory_another_user_can_write_is_passed_over(self):
        # Its owner could move xq's folder away and stand in for the socket:
        # the socket goes in ~/.xq as without a runtime directory, and the
        # client finds it there. A sticky one of root's, as /tmp, is used.
        for owner, mode, used in ((65534, 0o777, False), (65534, 0o1777, False), (0, 0o1777, True)):
            with self.subTest(owner=owner, mode=oct(mode)):
                runtime = tempfile.mkdtemp(prefix="xqrun.")
                self.addCleanup(shutil.rmtree, runtime, True)
                os.chown(runtime, owner, owner)
                os.chmod(runtime, mode)
                home = tempfile.mkdtemp(prefix="xqhome.")
                self.addCleanup(shutil.rmtree, home, True)
                term = self.start(self.tone, env={"XDG_RUNTIME_DIR": runtime}, home=home)
                self.wait_playing(term)
                path = os.path.join(runtime, "xq", "control") if used else os.path.join(home, ".xq", "control")
                deadline = time.monotonic() + 5
                while not os.path.exists(path):
                    self.assertLess(time.monotonic(), deadline, f"no control socket at {path}")
                    time.sleep(0.02)
                self.assertEqual(os.listdir(runtime), ["xq"] if used else [])
                r = subprocess.run([XQ, "--remote", "status"], capture_output=True, text=True, timeout=10,
                                   env=dict(os.environ, HOME=home, XDG_RUNTIME_DIR=runtime),
                                   stdin=subprocess.DEVNULL)
                self.assertEqual(parse_status(r.stdout).get("file"), self.tone, r.stderr)
                term.send_keys("q")
                self.assert_clean_exit(term)
                self.assertFalse(os.path.exists(path))
                term.close()

    @unittest.skipUnless(os.geteuid() == 0, "running the client as another user needs root")
    def test_the_client_tells_nothing_to_a_socket_of_another_user(self):
        # A runtime directory anyone may write to, where root (standing for
        # any other user) listens as if it were the client user's xq.
        runtime = tempfile.mkdtemp(prefix="xqrun.")
        self.addCleanup(shutil.rmtree, runtime, True)
        os.chmod(runtime, 0o1777)
        os.chown(runtime, 65533, 65533)
        os.mkdir(os.path.join(runtime, "xq"), 0o777)
        os.chmod(os.path.join(runtime, "xq"), 0o777)
        impostor = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.addCleanup(impostor.close)
        impostor.bind(os.path.join(runtime, "xq", "control"))
        os.chmod(os.path.join(runtime, "xq", "control"), 0o777)
        impostor.listen(1)
        impostor.settimeout(10)
        heard = []

        def answer():
            try:
                conn, _ = impostor.accept()
            except OSError:
                return
            with conn:
                try:
                    heard.append(conn.recv(100))
                    conn.sendall(b"state=playing\n")
                except OSError:
                    pass

        listener = threading.Thread(target=answer)
        listener.start()
        bin_dir = tempfile.mkdtemp(prefix="xqbin.")
        self.addCleanup(shutil.rmtree, bin_dir, True)
        os.chmod(bin_dir, 0o755)
        xq_copy = os.path.join(bin_dir, "xq")
        shutil.copy(XQ, xq_copy)
        nobody = pwd.getpwnam("nobody")
        r = subprocess.run(["setpriv", f"--reuid={nobody.pw_uid}", f"--regid={nobody.pw_gid}", "--clear-groups",
                            xq_copy, "--remote", "quit"], capture_output=True, text=True, timeout=10,
                           env={"PATH": "/usr/bin:/bin", "XDG_RUNTIME_DIR": runtime, "HOME": "/nonexistent"})
        impostor.close()
        listener.join(10)
        self.assertEqual((r.returncode, r.stdout), (1, ""))
        self.assertEqual(r.stderr, f"error: '{runtime}/xq/control' is another user's socket, not an xq of yours\n")
        self.assertEqual(b"".join(heard), b"", "the request was not sent")

    def test_a_home_folder_that_is_not_the_users_own_is_refused(self):
        # Without a runtime directory the socket would go in ~/.xq: not when
        # others may write to it, nor when it is a link to such a folder.
        elsewhere = tempfile.mkdtemp(prefix="xqelsewhere.")
        self.addCleanup(shutil.rmtree, elsewhere, True)
        os.chmod(elsewhere, 0o777)
        folder = os.path.join(self.home, ".xq")
        reason = "can be written by other users"
        for what in ("a link", "open to others"):
            with self.subTest(what):
                if what == "a link":
                    os.symlink(elsewhere, folder)
                else:
                    os.mkdir(folder)
                    os.chmod(folder, 0o777)
                term = self.start(self.tone, env={"XDG_RUNTIME_DIR": None}, home=self.home, width=160)
                try:
                    term.wait_for(f"No remote control: '{folder}' {reason}.")
                    term.send_keys("Enter")
                    self.wait_playing(term)
                    self.assertEqual(os.listdir(elsewhere if what == "a link" else folder), [])
                    term.send_keys("q")
                    self.assertEqual(term.wait_exit(10), 0)
                    self.assertIn(f"XQ: Can't save '{folder}/resume': '{folder}' {reason}.\n", term.stderr())
                    if what != "a link":
                        self.assertEqual(stat.S_IMODE(os.stat(folder).st_mode), 0o777, "left as the user made it")
                finally:
                    term.close()
                    if os.path.islink(folder):
                        os.remove(folder)
                    else:
                        shutil.rmtree(folder, True)

    def test_a_second_xq_runs_without_it_and_a_dead_ones_is_replaced(self):
        first = self.start_xq(self.tone)
        other = self.song_file("other.xm", mw.tone_song(channels=1, name=b"other"))
        second = self.start(other, env=self.env(), home=self.home)
        second.wait_for("Another xq has the remote control: this one runs without it.")
        second.send_keys("Enter")
        self.wait_playing(second)
        self.assertEqual(self.status()["file"], self.tone)
        second.send_keys("q")
        self.assert_clean_exit(second)
        self.assertEqual(self.status()["file"], self.tone, "the second xq leaves the first one's socket")

        first.signal(signal.SIGKILL)
        first.wait_exit(5)
        self.assertTrue(os.path.exists(self.socket_path))
        self.assertEqual(self.remote("status").stderr, NOT_RUNNING)
        third = self.start_xq(other)
        self.assertFalse(any("Another xq" in r for r in third.screen()))
        self.assertEqual(self.status()["file"], other)
        self.ok("quit")
        self.assert_clean_exit(third)
        self.assertFalse(os.path.exists(self.socket_path))


if __name__ == "__main__":
    unittest.main()
