"""Picking up where the last run ended: the resume file written at exit and
`xq --resume`, on the real binary in tmux with a private HOME."""

import os
import re
import resource
import shutil
import signal
import tempfile
import time
import unittest

from xqtest import shown_entry, PlayerTestCase, mw, run_plain, status_position


class Resume(PlayerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # 6.4 s a position: the song stays where it is put for the test
        cls.songs = [cls.song_file(f"{n}.xm", mw.tone_song(channels=1, positions=4, name=f"song {n}".encode()))
                     for n in "abc"]

    def setUp(self):
        self.home = tempfile.mkdtemp(prefix="xqhome.")
        self.addCleanup(shutil.rmtree, self.home, True)
        self.resume_file = os.path.join(self.home, ".xq", "resume")

    def play(self, *args, **kw):
        term = self.start(*args, home=self.home, **kw)
        self.wait_playing(term)
        return term

    def read_resume(self):
        with open(self.resume_file) as f:
            return f.read()

    def test_the_same_entry_plays_from_the_same_position(self):
        term = self.play(*self.songs)
        term.send_keys("N")
        term.wait_for(lambda rows: shown_entry(rows) == (2, 3) and "b.xm" in rows[1])
        term.send_keys("n")
        term.wait_for(lambda rows: status_position(rows)[0] == 2)
        term.send_keys("q")
        self.assert_clean_exit(term)
        self.assertEqual(self.read_resume(), "XQ RESUME 1\nplaylist=1\nentry=1\nposition=1\nentries=3\n"
                         + "".join(p + "\n" for p in self.songs) + "end\n")

        term = self.play("--resume")
        # the entry's title rows may show a moment before its place does
        rows = term.wait_for(lambda rows: shown_entry(rows) == (2, 3) and (status_position(rows) or (0,))[0] == 2)
        self.assertIn("b.xm", rows[1])
        self.assertIn("song b", rows[2])
        # the playlist goes on from there
        term.send_keys("N")
        term.wait_for(lambda rows: shown_entry(rows) == (3, 3) and "c.xm" in rows[1])
        term.signal(signal.SIGTERM)
        self.assert_clean_exit(term)
        self.assertIn("entry=2\nposition=0\n", self.read_resume())

        # an entry that is gone is left out as on the command line
        os.rename(self.songs[0], self.songs[0] + ".away")
        self.addCleanup(os.rename, self.songs[0] + ".away", self.songs[0])
        term = self.play("--resume")
        rows = term.wait_for(lambda rows: shown_entry(rows) == (2, 2))
        self.assertIn("c.xm", rows[1])
        self.assertEqual(term.stderr().splitlines()[-1], f"XQ: Can't open '{self.songs[0]}'")
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_one_module_resumes_at_its_position_after_a_hangup(self):
        term = self.play(self.songs[2])
        term.send_keys("n", "n")
        term.wait_for(lambda rows: status_position(rows)[0] == 3)
        term.signal(signal.SIGHUP)
        self.assert_clean_exit(term)
        self.assertEqual(self.read_resume(),
                         f"XQ RESUME 1\nplaylist=0\nentry=0\nposition=2\nentries=1\n{self.songs[2]}\nend\n")
        # a relative path on the command line is kept as it names the file from anywhere
        term = self.play(os.path.basename(self.songs[2]), cwd=os.path.dirname(self.songs[2]))
        term.send_keys("q")
        self.assert_clean_exit(term)
        self.assertIn(f"\n{self.songs[2]}\n", self.read_resume())
        term = self.play("--resume")
        rows = term.wait_for(lambda rows: "c.xm" in rows[1])
        self.assertEqual(status_position(rows)[0], 1)
        self.assertIsNone(shown_entry(rows))
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_a_missing_or_damaged_file_is_refused_with_status_255(self):
        os.mkdir(os.path.join(self.home, ".xq"))
        env = {"HOME": self.home}
        r = run_plain(["--resume"], env=env)
        self.assertEqual(r.returncode, 255)
        self.assertEqual(r.stderr.decode(), f"XQ: Nothing to resume: '{self.resume_file}' does not exist yet "
                         "(xq writes it as it ends).\n")
        r = run_plain(["--resume", self.songs[0]], env=env)
        self.assertEqual((r.returncode, r.stderr.decode()),
                         (255, "XQ: --resume takes no module, playlist or directory.\n"))
        good = ("XQ RESUME 1\nplaylist=1\nentry=1\nposition=1\nentries=3\n"
                + "".join(p + "\n" for p in self.songs) + "end\n").encode()
        cases = [
            ("truncated", good[:len(good) // 2], "is cut short"),
            ("empty", b"", "is empty"),
            ("binary", bytes(range(256)) * 4, "is not a resume file"),
        ]
        for what, content, reason in cases:
            with self.subTest(what):
                with open(self.resume_file, "wb") as f:
                    f.write(content)
                r = run_plain(["--resume"], env=env)
                self.assertEqual(r.returncode, 255)
                self.assertEqual(r.stdout, b"")
                message = r.stderr.decode()
                self.assertTrue(message.startswith(f"XQ: Can't resume: '{self.resume_file}' {reason}"), message)
                self.assertEqual(message.count("\n"), 1, message)
                with open(self.resume_file, "rb") as f:
                    self.assertEqual(f.read(), content, "a damaged file is left as it is")

    def test_a_resume_file_that_is_not_a_regular_file_is_refused_at_once(self):
        os.mkdir(os.path.join(self.home, ".xq"))
        cases = {"a FIFO": os.mkfifo, "a link to /dev/zero": lambda path: os.symlink("/dev/zero", path)}
        for what, make in cases.items():
            with self.subTest(what):
                make(self.resume_file)
                try:
                    began = time.monotonic()
                    r = run_plain(["--resume"], env={"HOME": self.home}, timeout=10)
                    self.assertLess(time.monotonic() - began, 5)
                    self.assertEqual((r.returncode, r.stderr.decode()),
                                     (255, f"XQ: Can't resume: '{self.resume_file}' is not a regular file.\n"))
                finally:
                    os.remove(self.resume_file)

    @unittest.skipUnless(os.geteuid() == 0, "handing a folder to another user needs root")
    def test_a_folder_that_is_not_the_users_own_is_neither_read_nor_written(self):
        # ~/.xq is a link to a folder of another user's that anyone may write
        other = tempfile.mkdtemp(prefix="xqother.")
        self.addCleanup(shutil.rmtree, other, True)
        planted = f"XQ RESUME 1\nplaylist=0\nentry=0\nposition=0\nentries=1\n{self.songs[0]}\nend\n"
        with open(os.path.join(other, "resume"), "w") as f:
            f.write(planted)
        os.chown(other, 65534, 65534)
        os.chmod(other, 0o777)
        folder = os.path.join(self.home, ".xq")
        os.symlink(other, folder)
        r = run_plain(["--resume"], env={"HOME": self.home})
        self.assertEqual((r.returncode, r.stderr.decode()),
                         (255, f"XQ: Can't resume: '{folder}' belongs to another user.\n"))
        term = self.play(self.songs[1])
        term.send_keys("q")
        self.assert_clean_exit(term)
        self.assertIn(f"XQ: Can't save '{self.resume_file}': '{folder}' belongs to another user", term.stderr())
        with open(os.path.join(other, "resume")) as f:
            self.assertEqual(f.read(), planted, "nothing is written through the link")
        self.assertEqual(os.listdir(other), ["resume"])

    def test_a_full_disk_leaves_the_old_resume_file_whole(self):
        os.mkdir(os.path.join(self.home, ".xq"))
        old = f"XQ RESUME 1\nplaylist=0\nentry=0\nposition=0\nentries=1\n{self.songs[0]}\nend\n"
        with open(self.resume_file, "w") as f:
            f.write(old)
        # 2048 bytes at most per file: less than the new file of 12 long paths
        deep = os.path.join(self.files.name, "d" * 100, "e" * 60)
        os.makedirs(deep, exist_ok=True)
        long_songs = []
        for k in range(12):
            long_songs.append(os.path.join(deep, f"song{k:02}.xm"))
            shutil.copy(self.songs[0], long_songs[-1])
        term = self.play(*long_songs)
        # the limit comes once the sound runs: the sound server's shared
        # memory is a file too
        resource.prlimit(term.pid, resource.RLIMIT_FSIZE, (2048, 2048))
        term.send_keys("q")
        self.assert_clean_exit(term)
        self.assertIn(f"XQ: Can't save '{self.resume_file}': File too large.", term.stderr())
        self.assertEqual(self.read_resume(), old)
        self.assertEqual(os.listdir(os.path.dirname(self.resume_file)), ["resume"])


if __name__ == "__main__":
    unittest.main()
