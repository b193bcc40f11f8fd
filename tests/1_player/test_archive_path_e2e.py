"""Modules inside packs and compressed files, on the real binary in tmux:
every kind of pack made here from our writer's modules plays from the
command line and from the file selector (the right module: its title
shows), bad packs get their reason without a hang, and --render and
--resume follow a member."""

import gzip
import io
import os
import shutil
import subprocess
import tarfile
import tempfile
import time
import unittest
import zipfile

from xqtest import XQ, PlayerTestCase, measures_sound, mw, run_plain
from test_file_selector_e2e import file_line, header, is_open, names


def zip_of(path, members, compression=zipfile.ZIP_DEFLATED):
    """`members`: (name, bytes) pairs."""
    with zipfile.ZipFile(path, "w", compression) as z:
        for name, data in members:
            z.writestr(name, data)


def tar_of(path, members, mode):
    with tarfile.open(path, mode) as t:
        for name, data in members:
            info = tarfile.TarInfo(name)
            info.size = len(data)
            t.addfile(info, io.BytesIO(data))


def tool_pack(command, path, members):
    """A pack made by a program of Debian's (7z, jlha) from files on disk."""
    work = tempfile.mkdtemp(prefix="xqpack.")
    try:
        for name, data in members:
            os.makedirs(os.path.dirname(os.path.join(work, name)), exist_ok=True)
            with open(os.path.join(work, name), "wb") as f:
                f.write(data)
        subprocess.run([*command, os.path.abspath(path), *[n for n, _ in members]], cwd=work, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    finally:
        shutil.rmtree(work)


def title_of(rows):
    return rows[2] if len(rows) > 2 else ""


class PackCase(PlayerTestCase):
    """One pack of each kind, each holding songs whose titles name it."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.dir = os.path.join(cls.files.name, "packs")
        os.makedirs(cls.dir)

        def song(title):
            return mw.encode(mw.tone_song(channels=1, positions=4, name=title.encode()))

        cls.kinds = {}   # pack file name -> (member path, its song's title)

        def add(name, make, member):
            title = "in " + name
            make(os.path.join(cls.dir, name), [(member, song(title)), ("other.xm", song("2nd " + name))])
            cls.kinds[name] = (member, title)

        add("stored.zip", lambda p, m: zip_of(p, m, zipfile.ZIP_STORED), "sub/song.xm")
        add("deflated.zip", zip_of, "sub/song.xm")
        add("pack.7z", lambda p, m: tool_pack(["7z", "a", "-bd", "-y"], p, m), "sub/song.xm")
        add("pack.tar.gz", lambda p, m: tar_of(p, m, "w:gz"), "sub/song.xm")
        add("pack.tar.xz", lambda p, m: tar_of(p, m, "w:xz"), "sub/song.xm")
        add("pack.tar.bz2", lambda p, m: tar_of(p, m, "w:bz2"), "sub/song.xm")
        add("pack.lha", lambda p, m: tool_pack(["jlha", "a"], p, m), "sub/song.xm")
        zip_of(os.path.join(cls.files.name, "inner.zip"), [("song.xm", song("in inner.zip"))])
        with open(os.path.join(cls.files.name, "inner.zip"), "rb") as f:
            zip_of(os.path.join(cls.dir, "outer.zip"), [("packs/inner.zip", f.read())])
        with gzip.open(os.path.join(cls.dir, "single.xm.gz"), "wb") as f:
            f.write(song("in single.xm.gz"))
        zip_of(os.path.join(cls.dir, "single.mdz"), [("single.xm", song("in single.mdz"))])

    def member_paths(self):
        """(path as given on the command line, the File row's name, title)."""
        cases = [(os.path.join(self.dir, name, member), "song.xm  [ in %s ]" % name, title)
                 for name, (member, title) in self.kinds.items()]
        cases.append((os.path.join(self.dir, "outer.zip/packs/inner.zip/song.xm"), "song.xm  [ in inner.zip ]",
                      "in inner.zip"))
        cases.append((os.path.join(self.dir, "single.xm.gz"), "single.xm.gz", "in single.xm.gz"))
        cases.append((os.path.join(self.dir, "single.mdz"), "single.mdz", "in single.mdz"))
        return cases

    def test_every_kind_of_pack_plays_its_member_from_the_command_line(self):
        for path, file_name, title in self.member_paths():
            with self.subTest(path=path):
                term = self.start(path)
                rows = term.wait_for(lambda rows: title in title_of(rows))
                self.assertIn("File   : " + file_name + "  [ ", rows[1])
                self.wait_playing(term)
                term.send_keys("q")
                self.assert_clean_exit(term)

    def test_the_file_row_keeps_the_pack_in_view(self):
        long_name = "a member named at great length, to be cut.xm"
        pack = os.path.join(self.files.name, "long.zip")
        zip_of(pack, [(long_name, mw.encode(mw.tone_song(channels=1, name=b"long")))])
        for width, height, row in (
                (80, 24, "│File   : a member named~  [ in long.zip ]  [ 1 smp, 1 ins, 756 bytes, 0.7 KB ]│"),
                (40, 12, "│File   : ~  [ 1 smp, 1 ins, ")):
            with self.subTest(width=width):
                term = self.start(os.path.join(pack, long_name), width=width, height=height)
                rows = term.wait_for(lambda rows: "long" in title_of(rows))
                self.assertTrue(rows[1].startswith(row), rows[1])
                term.send_keys("q")
                self.assert_clean_exit(term)

    def test_the_archive_library_is_loaded_only_once_a_pack_is_read(self):
        # It brings some 2 MB along; a run that opens no pack goes without.
        def mapped(term):
            with open(f"/proc/{term.pid}/maps") as f:
                return "libarchive" in f.read()

        plain = os.path.join(self.files.name, "plain.xm")
        with open(plain, "wb") as f:
            f.write(mw.encode(mw.tone_song(channels=1, positions=4, name=b"plain")))
        term = self.start(plain)
        self.wait_playing(term)
        self.assertFalse(mapped(term))
        term = self.start(os.path.join(self.dir, "deflated.zip/sub/song.xm"))
        self.wait_playing(term)
        self.assertTrue(mapped(term))

    def test_a_pack_plays_every_module_in_it_folders_first(self):
        term = self.start(os.path.join(self.dir, "deflated.zip"))
        term.wait_for(lambda rows: "in deflated.zip" in title_of(rows))
        term.send_keys("N")
        term.wait_for(lambda rows: "2nd deflated.zip" in title_of(rows))
        term.send_keys("q")
        self.assert_clean_exit(term)

    @measures_sound
    def test_a_member_sounds(self):
        term = self.start(os.path.join(self.dir, "pack.tar.xz/sub/song.xm"))
        self.wait_playing(term)
        start = self.rec.wait_for_sound(timeout=10)
        end = self.rec.wait_until(start + self.rec.frames(1.0))
        self.assertGreater(self.rec.rms(start, end), 100)
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_the_selector_enters_a_pack_and_loads_a_member(self):
        term = self.start(os.path.join(self.dir, "single.mdz"), cwd=self.dir)
        term.wait_for(lambda rows: "in single.mdz" in title_of(rows))
        for pack in ("stored.zip", "pack.lha", "outer.zip"):
            term.send_keys("f")
            rows = term.wait_for(lambda rows: is_open(rows) and header(rows).startswith("Dir: /"))
            self.assertIn(pack, names(rows))
            path = self.dir
            inside = ["sub"] if pack != "outer.zip" else ["packs", "inner.zip"]
            for name in [pack] + inside:
                # a listing opens with its first entry highlighted
                at = names(term.screen()).index(name)
                term.send_keys(*["Down"] * at, "Enter")
                path = path + "/" + name
                rows = term.wait_for(lambda rows: header(rows) == "Dir: " + path)
            self.assertEqual(names(rows), ["..", "song.xm"])
            term.send_keys("Down", "Enter")
            term.wait_for(lambda rows: file_line(rows) == "File: song.xm")
            term.send_keys("Tab", "Enter")
            title = "in " + (pack if pack != "outer.zip" else "inner.zip")
            rows = term.wait_for(lambda rows: not is_open(rows) and title in title_of(rows))
            self.assertIn("[ in %s ]" % (pack if pack != "outer.zip" else "inner.zip"), rows[1])
            # the selector opens again inside the pack; ".." comes out
            term.send_keys("f")
            term.wait_for(lambda rows: is_open(rows) and header(rows) == "Dir: " + path)
            for _ in inside + [pack]:
                path = os.path.dirname(path)
                term.send_keys("Enter")  # on ".."
                term.wait_for(lambda rows: header(rows) == "Dir: " + path)
            term.send_keys("Tab", "Right", "Enter")
            term.wait_for(lambda rows: not is_open(rows))
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_a_small_screen_enters_a_pack_too(self):
        term = self.start(os.path.join(self.dir, "single.mdz"), width=40, height=12, cwd=self.dir)
        term.wait_for(lambda rows: "in single.mdz" in title_of(rows))
        term.send_keys("f")
        term.wait_for("Select file")
        term.send_keys("d")
        term.type_text("/pack.tar.bz2/sub")
        term.send_keys("Enter")
        rows = term.wait_for(lambda rows: any("song.xm" in r for r in rows))
        self.assertTrue(any(r.startswith("│..") for r in rows), "\n".join(rows))
        term.send_keys("Down", "Enter", "Tab", "Enter")
        rows = term.wait_for(lambda rows: "in pack.tar.bz2" in title_of(rows))
        self.assertTrue(rows[1].startswith("│File   : "), rows[1])
        term.send_keys("q")
        self.assert_clean_exit(term)

    @measures_sound
    def test_no_gap_while_a_huge_pack_is_listed(self):
        huge = os.path.join(self.files.name, "huge.tar.gz")
        tar_of(huge, [("m%05d.xm" % i, b"") for i in range(16400)], "w:gz")
        term = self.start(os.path.join(self.dir, "deflated.zip/sub/song.xm"), cwd=self.files.name)
        sound = self.rec.wait_for_sound(timeout=10)
        opened = self.rec.wait_until(sound + self.rec.frames(0.5))
        term.send_keys("f")
        term.wait_for(lambda rows: is_open(rows) and header(rows) == "Dir: " + self.files.name)
        term.send_keys("d")
        term.type_text("/huge.tar.gz")
        term.send_keys("Enter")
        term.wait_for("'huge.tar.gz': Only the first 16383 members are listed.")
        term.send_keys("Enter")
        rows = term.wait_for(lambda rows: header(rows) == "Dir: " + huge and "m00000.xm" in names(rows))
        self.assertEqual(names(rows)[0], "..")
        end = self.rec.wait_until(self.rec.mark() + self.rec.frames(0.5))
        self.assertEqual(self.rec.gaps(opened, end, min_ms=10), [])
        term.send_keys("Tab", "Right", "Enter")
        term.wait_for(lambda rows: not is_open(rows))
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_remote_status_names_the_member(self):
        runtime = tempfile.mkdtemp(prefix="xqrun.")
        os.chmod(runtime, 0o700)
        self.addCleanup(shutil.rmtree, runtime, True)
        home = self.make_home()
        member = os.path.join(self.dir, "pack.7z/sub/song.xm")
        term = self.start(member, env={"XDG_RUNTIME_DIR": runtime}, home=home)
        self.wait_playing(term)
        deadline = time.monotonic() + 5
        while not os.path.exists(os.path.join(runtime, "xq", "control")):
            self.assertLess(time.monotonic(), deadline, "no control socket")
            time.sleep(0.02)
        r = subprocess.run([XQ, "--remote", "status"], capture_output=True, text=True, timeout=10,
                           env=dict(os.environ, HOME=home, XDG_RUNTIME_DIR=runtime), stdin=subprocess.DEVNULL)
        self.assertIn("file=" + member + "\n", r.stdout)
        self.assertIn("title=in pack.7z\n", r.stdout)
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_render_names_its_output_after_the_member(self):
        out = tempfile.mkdtemp(prefix="xqout.")
        self.addCleanup(shutil.rmtree, out, True)
        r = run_plain(["--render", out, os.path.join(self.dir, "pack.7z/sub/song.xm"),
                       os.path.join(self.dir, "single.xm.gz")], env={"HOME": out})
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(sorted(os.listdir(out)), ["single.wav", "song.wav"])

    def test_resume_comes_back_into_the_member(self):
        home = self.make_home()
        member = os.path.join(self.dir, "pack.tar.gz/sub/song.xm")
        term = self.start(member, home=home)
        self.wait_playing(term)
        term.send_keys("q")
        self.assert_clean_exit(term)
        with open(os.path.join(home, ".xq", "resume")) as f:
            self.assertIn(member + "\n", f.read())
        term = self.start("--resume", home=home)
        rows = term.wait_for(lambda rows: "in pack.tar.gz" in title_of(rows))
        self.assertIn("song.xm  [ in pack.tar.gz ]", rows[1])
        term.send_keys("q")
        self.assert_clean_exit(term)


class BadPacks(PlayerTestCase):
    """Packs that must not load: each is refused with its reason, at once."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        d = cls.dir = cls.files.name
        good = mw.encode(mw.tone_song(channels=1, name=b"the good one"))
        zip_of(os.path.join(d, "bomb.zip"), [("zeros.xm", bytes(64 << 20)), ("good.xm", good)])
        zip_of(os.path.join(d, "names.zip"), [("../escape.xm", good), ("good.xm", good)])
        with open(os.path.join(d, "bomb.zip"), "rb") as f:
            whole = f.read()
        with open(os.path.join(d, "cut.zip"), "wb") as f:
            f.write(whole[:len(whole) // 3])
        os.mkfifo(os.path.join(d, "fifo.zip"))

    def test_a_bad_member_is_refused_with_its_reason(self):
        cases = [
            ("bomb.zip/zeros.xm", "Member unpacks to over 200 times its archive's size: refused."),
            ("names.zip/../escape.xm", "Member name leaves the archive: refused."),
            ("cut.zip/good.xm", "Damaged archive: "),
            ("fifo.zip/good.xm", "XQ: Can't open"),
            ("bomb.zip/missing.xm", "No such member in the archive."),
        ]
        for member, reason in cases:
            with self.subTest(member=member):
                began = time.monotonic()
                env = dict(self.sink.client_vars(), HOME=self.dir)
                r = run_plain([os.path.join(self.dir, member)], env=env, timeout=20)
                self.assertLess(time.monotonic() - began, 10)
                errors = r.stderr.decode(errors="replace")
                self.assertEqual(r.returncode, 255, errors)
                self.assertIn(reason, errors)
                self.assertNotIn("Sanitizer", errors)

    def test_the_selector_shows_an_unsafe_member_and_refuses_it(self):
        term = self.start(os.path.join(self.dir, "names.zip/good.xm"), cwd=self.dir)
        term.wait_for(lambda rows: "the good one" in title_of(rows))
        term.send_keys("f")
        term.wait_for(lambda rows: is_open(rows) and header(rows) == "Dir: " + self.dir)
        term.send_keys("d")
        term.type_text("/names.zip")
        term.send_keys("Enter")
        rows = term.wait_for(lambda rows: header(rows) == "Dir: " + self.dir + "/names.zip")
        self.assertEqual(names(rows), ["..", "../escape.xm", "good.xm"])
        term.send_keys("Down", "Enter")
        term.wait_for("'../escape.xm': Member name leaves the archive: refused.")
        term.send_keys("Enter")
        term.wait_for(lambda rows: "refused" not in "".join(rows))
        term.send_keys("Tab", "Right", "Enter")
        term.wait_for(lambda rows: not is_open(rows))
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_the_rest_of_a_pack_stays_usable(self):
        term = self.start(os.path.join(self.dir, "bomb.zip/good.xm"))
        term.wait_for(lambda rows: "the good one" in title_of(rows))
        term.send_keys("q")
        self.assert_clean_exit(term)


if __name__ == "__main__":
    unittest.main()
