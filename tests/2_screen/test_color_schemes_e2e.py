"""The light and terminal colour schemes on the real binary in tmux, read
back with their colours: with colors=light nothing is drawn on black but
the highlights, and with the terminal's own colours only the highlights
carry a background at all, on the main screen, in Help and in the pattern
view."""

import unittest

from xqtest import PlayerTestCase, mw

BLACK = 0
BLUE = 4
HELP_TOP = 2        # the Help panel's top border, at its default corner
PATTERN_TOP = 5     # the pattern view's top border
INFORMATION_ROWS = range(1, 5)


def behind(cell):
    """The colour behind a cell's text as the terminal shows it: its
    background, or with reverse video its foreground; None for the
    terminal's own."""
    return cell.fg if cell.reverse else cell.bg


def marked(cell):
    """True when a cell stands out by its background."""
    return cell.reverse or cell.bg is not None


def black_cells(screen, rows):
    return [(r, c) for r in rows for c in range(screen.width) if behind(screen.cell(r, c)) == BLACK]


def marked_cells(screen, rows, cols):
    return [(r, c) for r in rows for c in cols if marked(screen.cell(r, c))]


class ColorSchemes(PlayerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.tone = cls.song_file("tone.xm", mw.tone_song(channels=4))

    def open_three(self, *args, home=None):
        """The main screen, Help and the pattern view, each as a parsed
        screen, with the song playing."""
        term = self.start(*args, self.tone, home=home)
        self.wait_playing(term)
        main = term.wait_for(lambda s: s.cell(0, 20).reverse or s.cell(0, 20).bg is not None, cells=True)
        term.send_keys("h")
        help_panel = term.wait_for(lambda s: "[ Help ]" in s.text(HELP_TOP), cells=True)
        term.send_keys("q")
        term.wait_for(lambda rows: not any("[ Help ]" in row for row in rows))
        term.send_keys("P")
        pattern = term.wait_for(lambda s: "[ Pattern" in s.text(PATTERN_TOP), cells=True)
        term.send_keys("q")
        term.wait_for(lambda rows: not any("[ Pattern" in row for row in rows))
        term.send_keys("q")
        self.assert_clean_exit(term)
        return main, help_panel, pattern

    def pattern_current_rows(self, pattern):
        return [r for r in range(PATTERN_TOP + 2, pattern.height - 1) if pattern.cell(r, 2).bg == BLUE]

    def test_light_puts_nothing_on_black_but_the_highlights(self):
        home = self.make_home("colors=light\n")
        main, help_panel, pattern = self.open_three(home=home)
        everything = range(main.height)
        self.assertEqual(black_cells(main, everything), [], str(main))
        self.assertEqual(black_cells(help_panel, everything), [], str(help_panel))
        self.assertEqual(black_cells(pattern, everything), [], str(pattern))
        # Text rows stay on the terminal's own background; the highlights
        # still stand out: the title bar, and the pattern view's current row.
        self.assertEqual(marked_cells(main, INFORMATION_ROWS, range(main.width)), [])
        self.assertTrue(marked(main.cell(0, 20)))
        current = self.pattern_current_rows(pattern)
        self.assertEqual(len(current), 1, str(pattern))
        body = [r for r in range(PATTERN_TOP + 1, pattern.height - 1) if r not in current]
        self.assertEqual(marked_cells(pattern, body, range(pattern.width)), [])
        help_body = range(HELP_TOP + 1, HELP_TOP + 19)
        self.assertEqual(marked_cells(help_panel, help_body, range(5, 75)), [])

    def test_light_keeps_the_file_selector_the_playlist_and_a_message_box_off_black(self):
        term = self.start(self.tone, home=self.make_home("colors=light\n"))
        self.wait_playing(term)
        term.send_keys("f")
        selector = term.wait_for(lambda s: any("[ Select file ]" in row for row in s.lines), cells=True)
        self.assertEqual(black_cells(selector, range(selector.height)), [], str(selector))
        self.assertTrue(any(marked(c) for row in selector.rows[3:-1] for c in row))  # the cursor
        term.send_keys("Tab")  # to the buttons: OK is the chosen one
        buttons = term.wait_for(lambda s: all(c.reverse for c in s.cells_of("[ OK ]")), cells=True)
        self.assertEqual(black_cells(buttons, range(buttons.height)), [], str(buttons))
        term.send_keys("Right", "Enter")  # Cancel
        term.wait_for(lambda rows: not any("[ Select file ]" in row for row in rows))
        term.send_keys("l")
        playlist = term.wait_for(lambda s: any("Playlist (press 'q'" in row for row in s.lines), cells=True)
        self.assertEqual(black_cells(playlist, range(playlist.height)), [], str(playlist))
        term.send_keys("q", "o", "PageDown", "Enter")  # a message box: the options saved
        box = term.wait_for(lambda s: any("saved." in row for row in s.lines), cells=True)
        self.assertEqual(black_cells(box, range(box.height)), [], str(box))
        self.assertTrue(any(c.reverse for c in box.cells_of("[ OK ]")))  # the chosen button
        term.send_keys("Enter", "q", "q")
        self.assert_clean_exit(term)

    def test_terminal_colours_give_only_the_highlights_a_background(self):
        main, help_panel, pattern = self.open_three("--colors", "terminal", home=self.make_home("colors=light\n"))
        self.assertEqual(marked_cells(main, INFORMATION_ROWS, range(main.width)), [], str(main))
        self.assertTrue(main.cell(0, 20).reverse)  # the title bar
        self.assertTrue(all(c.reverse for c in main.rows[5]))  # the column header
        help_body = range(HELP_TOP + 1, HELP_TOP + 19)
        self.assertEqual(marked_cells(help_panel, help_body, range(5, 75)), [], str(help_panel))
        current = self.pattern_current_rows(pattern)
        self.assertEqual(len(current), 1, str(pattern))
        body = [r for r in range(PATTERN_TOP + 1, pattern.height - 1) if r not in current]
        self.assertEqual(marked_cells(pattern, body, range(pattern.width)), [], str(pattern))
        # Its text takes the terminal's basic colours or its own.
        for screen in (main, help_panel, pattern):
            for row in screen.rows:
                for cell in row:
                    self.assertTrue(cell.fg is None or 0 <= cell.fg <= 7, cell)

    def test_the_options_panel_changes_the_colours_at_once_and_saves_them(self):
        home = self.make_home()
        term = self.start(self.tone, home=home)
        self.wait_playing(term)
        # The status row's "Ch:" on black, as ever.
        term.wait_for(lambda s: s.text(4).startswith("│Ch:") and s.cell(4, 1).bg == BLACK, cells=True)
        # Colors is the row above Crossfeed, which is above Save options.
        term.send_keys("o", "PageDown", "Up", "Up", "Enter")
        screen = term.wait_for(lambda s: "Colors          [ light    ]" in s.text(18), cells=True)
        screen = term.wait_for(lambda s: s.cell(4, 1).bg is None and not s.cell(4, 1).reverse, cells=True)
        self.assertEqual(black_cells(screen, range(screen.height)), [], str(screen))
        self.assertTrue(screen.cell(18, 24).reverse)  # the row keeps its cursor
        term.send_keys("PageDown", "Enter")
        term.wait_for(lambda rows: any("saved." in row for row in rows))
        term.send_keys("Enter", "q", "q")
        self.assert_clean_exit(term)
        with open(f"{home}/.xq/options") as f:
            self.assertIn("colors=light", f.read().splitlines())


if __name__ == "__main__":
    unittest.main()
