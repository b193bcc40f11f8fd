"""Playlists and directories on the command line, and M3U and PLS files in
the playlist panel, on the real binary in tmux."""

import os
import shutil
import sys
import unittest

from xqtest import XQ, PlayerTestCase, Terminal, mw
from test_file_selector_e2e import is_open
from test_playlist_e2e import PlaylistCase, count_line, entries, playing_entry


class CommandLineMix(PlaylistCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tree = os.path.join(cls.files.name, "mix")
        os.makedirs(os.path.join(cls.tree, "dir", "sub"))
        tone = mw.tone_song(channels=1)
        for name in ("a.xm", "dir/b.xm", "dir/sub/s.xm", "dir/.hidden.xm"):
            cls.song_file(os.path.join("mix", name), tone)
        os.symlink("..", os.path.join(cls.tree, "dir", "sub", "up"))
        with open(os.path.join(cls.tree, "list.m3u"), "w") as f:
            f.write("#EXTM3U\n# favourites\ndir/b.xm\n%s\n" % os.path.join(cls.tree, "a.xm"))
        with open(os.path.join(cls.tree, "list.pls"), "w") as f:
            f.write("[playlist]\nFile2=a.xm\nFile1=dir/sub/s.xm\nNumberOfEntries=2\n")

    def test_a_mix_of_directories_playlists_and_modules(self):
        t = lambda p: os.path.join(self.tree, p)  # noqa: E731
        term = self.start("dir", "list.m3u", "/no/such.xm", "list.pls", "a.xm", cwd=self.tree,
                          env={"PWD": self.tree})
        # The link up/ leads back to "dir", which is being walked: left out.
        walked = [t("dir/sub/s.xm"), t("dir/b.xm")]
        expected = walked + [t("dir/b.xm"), t("a.xm"), t("dir/sub/s.xm"), t("a.xm"), t("a.xm")]
        term.wait_for(lambda rows: playing_entry(rows) == (1, len(expected)))
        rows = self.open_panel(term)
        self.assertEqual(entries(rows), expected)
        self.assertIn("XQ: Can't open '/no/such.xm'\n", term.stderr())
        self.assertEqual(term.stderr().count("XQ: "), 2)  # that and the new configuration directory
        term.send_keys("q")
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_nothing_to_play_ends_like_a_bad_path(self):
        empty = os.path.join(self.tree, "empty")
        os.makedirs(empty, exist_ok=True)
        term = self.start(empty, "/no/such.xm", cwd=self.tree)
        self.assertEqual(term.wait_exit(), 255)
        self.assertEqual(term.stderr(), "XQ: No modules in '%s'\nXQ: Can't open '/no/such.xm'\n" % empty)  # before HOME is looked at


class PanelFormats(PlaylistCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tree = os.path.join(cls.files.name, "panel")
        os.makedirs(os.path.join(cls.tree, "songs"))
        tone = mw.tone_song(channels=1)
        cls.tone = cls.song_file("panel/tone.xm", tone)
        cls.songs = [cls.song_file("panel/songs/%s.xm" % n, tone) for n in ("one", "two", "three")]
        with open(os.path.join(cls.tree, "list.pls"), "w") as f:
            f.write("[playlist]\nFile3=songs/one.xm\nFile1=songs/three.xm\nFile2=%s\n" % cls.songs[1])

    def save_as(self, term, name):
        self.press_button(term, 8)
        term.wait_for(is_open)
        term.send_keys("f")
        term.type_text(name)
        term.send_keys("Enter")

    def test_pls_and_m3u_round_trips(self):
        term = self.start(self.tone, cwd=self.tree, env={"PWD": self.tree})
        self.wait_playing(term)
        self.open_panel(term)
        self.press_button(term, 7)
        term.wait_for(is_open)
        self.choose(term, "list.pls")
        self.ok(term)
        rows = self.wait_entries(term, 3)
        order = [self.songs[2], self.songs[1], self.songs[0]]
        self.assertEqual(entries(rows), order)

        saved = os.path.join(self.tree, "saved.m3u")
        self.save_as(term, "saved.m3u")
        term.wait_for("'%s' saved." % saved)
        term.send_keys("Enter")
        with open(saved, encoding="utf-8") as f:
            self.assertEqual(f.read(), "#EXTM3U\n" + "".join(p + "\n" for p in order))

        self.press_button(term, 3)
        self.wait_entries(term, 0)
        self.press_button(term, 7)
        term.wait_for(is_open)
        self.choose(term, "saved.m3u")
        self.ok(term)
        rows = self.wait_entries(term, 3)
        self.assertEqual(entries(rows), order)
        # Any other name keeps our own format.
        self.save_as(term, "saved.pli")
        term.wait_for("saved.")
        term.send_keys("Enter")
        with open(os.path.join(self.tree, "saved.pli")) as f:
            self.assertTrue(f.read().startswith("XQ PLAYING LIST\n"))
        term.send_keys("q")
        term.send_keys("q")
        self.assert_clean_exit(term)


LIMIT_BYTES = 3000
# Starts xq under a file-size limit: a stand-in for a full disk.
LIMITED = ("import os, resource, sys; "
           "resource.setrlimit(resource.RLIMIT_FSIZE, (%d, %d)); "
           "os.execv(sys.argv[1], sys.argv[1:])" % (LIMIT_BYTES, LIMIT_BYTES))


class FailedSave(PlayerTestCase):
    def test_a_failed_save_is_reported_and_keeps_the_old_file(self):
        tree = os.path.join(self.files.name, "full")
        os.makedirs(os.path.join(tree, "many"))
        first = self.song_file("full/many/song000.xm", mw.tone_song(channels=1))
        for i in range(1, 80):
            shutil.copy(first, os.path.join(tree, "many", "song%03d-with-a-longer-name.xm" % i))
        old = os.path.join(tree, "old.m3u")
        with open(old, "w") as f:
            f.write("#EXTM3U\n/old/one.xm\n")

        full_env = dict(self.sink.client_vars())
        full_env["PWD"] = tree
        term = Terminal([sys.executable, "-c", LIMITED, XQ, "many"], env=full_env, cwd=tree)
        self.addCleanup(term.close)
        term.wait_for(lambda rows: playing_entry(rows) == (1, 80))
        term.send_keys("l")
        term.wait_for(lambda rows: count_line(rows) == "[    80 entries ]")
        term.send_keys("PageUp", *["Down"] * 8, "Enter")
        term.wait_for(is_open)
        term.send_keys("f")
        term.type_text("old.m3u")
        term.send_keys("Enter")
        term.wait_for("Can't write '%s': File too large." % old)
        term.send_keys("Enter")
        with open(old) as f:
            self.assertEqual(f.read(), "#EXTM3U\n/old/one.xm\n")
        self.assertEqual(sorted(os.listdir(tree)), ["many", "old.m3u"])
        term.send_keys("q", "q")
        self.assertEqual(term.wait_exit(), 0)


if __name__ == "__main__":
    unittest.main()
