"""The Help, About and Comment panels on the real binary in tmux: where they
open, what they show, how they nest and close."""

import unittest

from xqtest import PlayerTestCase, mw

# Line breaks, a tab and an escape sequence: none of them may move the text
# or reach the terminal; each byte keeps its own cell.
HEAD = b"First line\nSecond line\n\tTabbed\x1b[31mred\n"
COMMENT = HEAD + b"x" * (627 - len(HEAD)) + b"Z"  # 628 bytes: the last one opens the right column
FIRST_PIECE = "First line.Second line..Tabbed.[3"


def showing(text):
    return lambda rows: any(text in row for row in rows)


def comment_shown(rows):
    return rows[3][5:38] == FIRST_PIECE


class InfoPanels(PlayerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.commented = cls.song_file("comment.it", mw.comment_song(COMMENT, channels=4))
        cls.plain = cls.song_file("plain.xm", mw.tone_song(channels=2))

    def test_comment_keeps_its_columns_and_help_opens_over_it(self):
        term = self.start(self.commented)
        self.wait_playing(term)
        term.send_keys("i")
        rows = term.wait_for(comment_shown)
        self.assertTrue(rows[2][4:].startswith("┌─[ Comment ]─"), rows[2])
        self.assertEqual(rows[4][5:38], "1mred." + "x" * 27)
        for row in range(3, 22):
            self.assertEqual(rows[row][39], "|", row)
            self.assertEqual(rows[row][4], "│", row)
        self.assertEqual(rows[3][40:43], " Z ")
        self.assertEqual(rows[4][41], " ")
        self.assertTrue(rows[22][4:].startswith("└──"), rows[22])
        cells = term.screen_cells()
        self.assertNotEqual(cells.cell(4, 6).fg, 1)  # the escape sequence did not turn the text red

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
