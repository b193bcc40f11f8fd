"""The Help, About and Comment panels on the real binary in tmux: where they
open, what they show, how they nest and close."""

import os
import re
import unittest

from xqtest import PlayerTestCase, mw

# A tab and an escape sequence show as placeholders and never reach the
# terminal; each line break starts a new line.
COMMENT = b"First line\nSecond line\n\tTabbed\x1b[31mred\n" + b"x" * 100 + b" Z"


def showing(text):
    return lambda rows: any(text in row for row in rows)


def comment_shown(rows):
    return rows[3][5:15] == "First line"


def raw_comment_song(lines, breaks):
    """An IT whose message is `lines` ended by `breaks` (b"\\n", b"\\r" or
    b"\\r\\n") exactly as given: the writer stores every line end as CR, so
    the file's bytes are put back afterwards."""
    marks = {b"\n": b"\x01", b"\r": b"\x02", b"\r\n": b"\x03\x04"}
    text = b"".join(line + marks[end] for line, end in zip(lines, breaks))
    data = bytearray(mw.encode(mw.comment_song(text, channels=4)))
    at = data.index(text)
    raw = text
    for end, mark in marks.items():
        raw = raw.replace(mark, end)
    assert len(raw) == len(text)
    data[at:at + len(text)] = raw
    return bytes(data)


def time_box(rows):
    """The time box's "mm:ss" on the bottom border, below the panel."""
    m = re.search(r"Time: (\d\d:\d\d)", rows[-1])
    return m.group(1) if m else None


def laid_out(text, width=71):
    """The panel's lines: each line of `text` (line feeds only) wrapped after
    its last blank that fits."""
    lines = []
    for line in text.split("\n"):
        while len(line) > width:
            cut = line.rfind(" ", 0, width + 1)
            if cut <= 0:
                lines.append(line[:width])
                line = line[width:]
            else:
                lines.append(line[:cut])
                line = line[cut + 1:]
        lines.append(line)
    if text.endswith("\n"):
        lines.pop()
    return lines


class InfoPanels(PlayerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.commented = cls.song_file("comment.it", mw.comment_song(COMMENT, channels=4))
        # Several screens of numbered lines, ended by LF, CR and CR LF in
        # turn, every seventh long enough to wrap.
        lines, breaks = [], []
        for i in range(1, 91):
            line = b"Line %02d" % i + (b" of a message that goes on past the panel's width" * 2 if i % 7 == 0 else b"")
            lines.append(line)
            breaks.append((b"\n", b"\r", b"\r\n")[i % 3])
        path = os.path.join(cls.files.name, "long-comment.it")
        with open(path, "wb") as f:
            f.write(raw_comment_song(lines, breaks))
        cls.long_commented = path
        # libmikmod hands over every CR of an IT message as a line feed, so
        # a CR LF arrives as two line feeds: an empty line after the line.
        text = "".join(line.decode() + ("\n\n" if end == b"\r\n" else "\n") for line, end in zip(lines, breaks))
        cls.long_lines = laid_out(text)
        cls.plain = cls.song_file("plain.xm", mw.tone_song(channels=2))

    def test_comment_lines_and_help_opens_over_it(self):
        term = self.start(self.commented)
        self.wait_playing(term)
        term.send_keys("i")
        rows = term.wait_for(comment_shown)
        self.assertTrue(rows[2][4:].startswith("┌─[ Comment ]─"), rows[2])
        self.assertEqual(rows[4][5:16], "Second line")
        self.assertEqual(rows[5][5:20], ".Tabbed.[31mred")
        self.assertEqual(rows[6][5:76], "x" * 71)  # a word longer than the panel is cut
        self.assertEqual(rows[7][5:37], "x" * 29 + " Z ")
        for row in range(3, 22):
            self.assertEqual(rows[row][4], "│", row)
            self.assertEqual(rows[row][76], "│", row)
        self.assertEqual(rows[22][4:77], "└" + "─" * 71 + "┘")  # it all fits: no range
        cells = term.screen_cells()
        self.assertNotEqual(cells.cell(5, 14).fg, 1)  # the escape sequence did not turn the text red

        term.send_keys("h")
        rows = term.wait_for(lambda rows: rows[2][5:].startswith("┌─[ Help ]─"))
        self.assertEqual(rows[3][7:34], "Play or pause.............p")
        self.assertEqual(rows[20][39:66], "About.....................?")
        self.assertEqual(rows[3][4], "│")  # the Comment panel lies beneath
        self.assertTrue(rows[22][4:].startswith("└──"))

        term.send_keys("q")
        term.wait_for(comment_shown)
        term.send_keys("i")  # a second Comment panel over the first
        term.wait_for(comment_shown)
        term.send_keys("q")
        rows = term.wait_for(comment_shown)
        term.send_keys("q")
        rows = term.wait_for(lambda rows: not comment_shown(rows))
        self.assertTrue(rows[1].startswith("│File   : comment.it"), rows[1])
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_a_long_comment_scrolls_to_its_end_while_the_song_plays(self):
        lines = self.long_lines
        count = len(lines)
        self.assertGreater(count, 3 * 19)

        def page(top):
            """The panel's text rows and bottom border when line `top` is first."""
            def shown(rows):
                text = [row[5:76].rstrip() for row in rows[3:22]]
                expected = (lines[top:top + 19] + [""] * 19)[:19]
                return text == expected and f"[ lines {top + 1}-{min(top + 19, count)} of {count} ]" in rows[22]
            return shown

        term = self.start(self.long_commented)
        self.wait_playing(term)
        term.send_keys("i")
        term.wait_for(page(0))
        self.assertEqual(lines[0:4], ["Line 01", "Line 02", "", "Line 03"])  # an empty line after a CR LF
        term.send_keys("Down")
        term.wait_for(page(1))
        term.send_keys("PageDown", "PageDown")
        term.wait_for(page(39))
        term.send_keys("End")
        rows = term.wait_for(page(count - 19))
        self.assertEqual(rows[21][5:76].rstrip(), lines[-1])
        term.send_keys("Down", "PageDown")  # nothing below the end
        term.send_keys("PageUp", "Up")
        term.wait_for(page(count - 39))
        before = time_box(term.screen())
        term.send_keys("Home")
        term.wait_for(page(0))
        # The song went on while the comment was read.
        term.wait_for(lambda rows: time_box(rows) not in (None, before))
        term.send_keys("q")
        term.wait_for(lambda rows: not any("[ Comment ]" in row for row in rows))
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_a_long_comment_on_a_small_terminal(self):
        term = self.start(self.long_commented, width=40, height=12)
        self.wait_playing(term)
        term.send_keys("i")
        rows = term.wait_for(showing("[ Comment ]"))
        self.assertEqual(rows[1][1:9], "Line 01 ")
        term.send_keys("End")
        rows = term.wait_for(lambda rows: re.search(r"\[ lines \d+-(\d+) of \1 \]", rows[11]) is not None)
        self.assertIn("Line 90", rows[10])
        term.send_keys("q")
        term.wait_for(lambda rows: not any("[ Comment ]" in row for row in rows))
        term.send_keys("q")
        self.assert_clean_exit(term)

    def test_about_and_the_no_comment_notice(self):
        term = self.start(self.plain)
        self.wait_playing(term)
        term.send_keys("?")
        rows = term.wait_for(showing(":: About XQ ::"))
        self.assertEqual(rows[8][32:46], ":: About XQ ::")
        self.assertEqual(rows[6][20:60], "┌" + "─" * 38 + "┐")
        self.assertEqual(rows[14][25:53], "xq v0.6 (280104): 5984 lines")
        term.send_keys("q")
        term.wait_for(lambda rows: ":: About XQ ::" not in "\n".join(rows))

        term.send_keys("i")
        cells = term.wait_for(lambda s: "No comment in this module." in str(s), cells=True)
        style = cells.style_of("No comment in this module.")
        self.assertTrue(style.get("bold"), style)
        self.assertEqual(style.get("fg"), 2)
        term.send_keys("Enter")
        term.wait_for(lambda rows: "No comment" not in "\n".join(rows))
        term.send_keys("q")
        self.assert_clean_exit(term)


if __name__ == "__main__":
    unittest.main()
