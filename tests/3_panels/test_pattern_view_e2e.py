"""The pattern view on the real binary in tmux: it follows a generated song
row by row across a pattern loop, a position jump and a pattern break, in
step with the status row, freezes and browses, scrolls through the
channels, dims muted channels, fits the terminal from 40x12 to 300x100 and
follows resizes, and the sound keeps flowing while it is open and keys are
pressed."""

import re
import time
import unittest

from xqtest import PlayerTestCase, mw, status_position
from xqtest import measures_sound

TOP = 5            # screen row of the panel's top border
FIRST_BODY = TOP + 2
CURRENT_BG = 4     # the current row is drawn on blue
TITLE = re.compile(r"\[ Pattern (\d+)  Pos (\d+)/(\d+)(  Frozen)? \]")
STATUS_PATTERN = re.compile(r"Pat:\s*(\d+)\s+(\d+)/\s*(\d+)")


def follow_song(channels=4, speed=5):
    """Four positions of 32, 32, 32 and 24 rows at 0.1 s a row (at speed 5).
    Channel 2's volume column holds each row's number, so a row shows which
    it is. The first position plays rows 4 to 7 twice (a pattern loop) and
    jumps at row 20 to the third, which breaks at row 15 to row 8 of the
    fourth; the song ends after 5.7 s (at speed 5)."""
    song = mw.Song(name=b"xq follow", format="xm", channels=channels, speed=speed, bpm=125)
    song.samples.append(mw.Sample(name="sq", data=mw.square(32, 100), loop=mw.LOOP_FORWARD,
                                  loop_length=32))
    for rows in (32, 32, 32, 24):
        pattern = song.new_pattern(rows)
        for row in range(rows):
            pattern.set(row, 1, volume=row)
    song.patterns[0].set(0, 0, "C-4", 1, 64)
    song.patterns[0].set(4, 3, effect=mw.FX_EXTENDED, param=0x60)
    song.patterns[0].set(7, 3, effect=mw.FX_EXTENDED, param=0x61)
    song.patterns[0].set(20, 2, effect=mw.FX_JUMP, param=2)
    song.patterns[2].set(15, 2, effect=mw.FX_BREAK, param=8)
    song.orders = [0, 1, 2, 3]
    return song


def view(screen):
    """What the pattern view shows on a parsed screen: the title's numbers,
    the highlighted rows' numbers and the text of those rows, or None when
    no view is open."""
    rows = screen.lines
    title = TITLE.search(rows[TOP]) if len(rows) > TOP else None
    if not title:
        return None
    current = [r for r in range(FIRST_BODY, screen.height - 1) if screen.cell(r, 2).bg == CURRENT_BG]
    return {
        "pattern": int(title.group(1)),
        "position": int(title.group(2)),
        "frozen": bool(title.group(4)),
        "lines": current,
        "rows": [int(rows[r][1:4]) for r in current if rows[r][1:4].strip().isdigit()],
        "text": [screen.text(r) for r in current],
    }


def cell_of(channel_slot):
    """Screen columns of a shown channel's cell."""
    start = 5 + 15 * channel_slot
    return start, start + 14


class PatternView(PlayerTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.follow = cls.song_file("follow.xm", follow_song())
        # A row every 0.24 s: slower than the frames the screen's budget for
        # the terminal allows at any size, so every row shows.
        cls.follow_slowly = cls.song_file("follow_slowly.xm", follow_song(speed=12))
        cls.eight = cls.song_file("eight.it", mw.channels_song("it", 8, positions=4))
        cls.tone = cls.song_file("tone.xm", mw.tone_song(channels=4))

    def open_view(self, song, width=80, height=24):
        term = self.start(song, width=width, height=height)
        self.wait_playing(term)
        term.send_keys("P")
        term.wait_for(lambda s: view(s) is not None, cells=True)
        return term

    def step_of(self, screen, width):
        """(position, row) when the highlighted row is the status row's, shows
        that row's cells, and the title shows the status row's pattern and
        position; otherwise None."""
        shown = view(screen)
        status = STATUS_PATTERN.search(screen.lines[4])
        played = status_position(screen.lines)
        if not shown or not status or not played or len(shown["lines"]) != 1:
            return None
        lines = screen.height - 1 - FIRST_BODY
        first, _ = cell_of(1)
        row = played[1]
        if (shown["lines"][0] != FIRST_BODY + (lines - 1) // 2  # the middle line
                or shown["rows"] != [row]
                or shown["text"][0][first:first + 14] != f"--- .. v{row:02d} ..."
                or (shown["pattern"], shown["position"]) != (int(status.group(1)), int(status.group(2)))
                or screen.text(TOP)[width - 1] != "┐"):
            return None
        return played

    def wait_in_step(self, term, width):
        """The view and the status row in step. A capture can fall between
        the bytes of one screen update, so one more is taken before failing;
        returns (position, row) and whether that was needed."""
        screen = term.screen_cells()
        step = self.step_of(screen, width)
        if step:
            return step, False
        time.sleep(0.03)
        screen = term.screen_cells()
        step = self.step_of(screen, width)
        self.assertIsNotNone(step, str(screen))
        return step, True

    def test_follows_the_song_row_by_row_across_a_break_and_a_jump(self):
        for width, height in ((80, 24), (40, 12), (132, 50)):
            with self.subTest(size=f"{width}x{height}"):
                term = self.open_view(self.follow_slowly, width, height)
                term.wait_for(lambda s: self.step_of(s, width) is not None, timeout=3, cells=True)
                seen = []
                retakes = 0
                while not seen or seen[-1] < (4, 20):
                    step, retaken = self.wait_in_step(term, width)
                    seen.append(step)
                    retakes += retaken
                self.assertLess(retakes, len(seen) / 10, seen)
                rows_seen = {p: sorted({r for q, r in seen if q == p}) for p in (1, 2, 3, 4)}
                self.assertGreater(len(set(seen)), 30, seen)  # it moved row by row
                back = [(a, b) for a, b in zip(seen, seen[1:]) if b < a]
                self.assertEqual(len(back), 1, seen)  # the loop, once
                (loop_end, loop_start), = back
                self.assertEqual((loop_end[0], loop_start[0]), (1, 1), seen)
                # The player counts the rest of the loop's last row as the
                # row before the loop's first: the view shows what it counts.
                self.assertTrue(3 <= loop_start[1] <= 4 and loop_start[1] < loop_end[1] <= 7, seen)
                self.assertLessEqual(max(rows_seen[1]), 20, rows_seen)  # the jump ...
                self.assertEqual(rows_seen[2], [])  # ... over the second position
                self.assertLessEqual(max(rows_seen[3]), 15, rows_seen)  # the break ...
                self.assertGreaterEqual(min(rows_seen[4]), 8, rows_seen)  # ... to row 8
                term.send_keys("q")
                term.wait_for(lambda rows: not TITLE.search(rows[TOP]))
                term.send_keys("q")
                self.assert_clean_exit(term)
                term.close()

    def test_position_keys_are_followed_at_once(self):
        term = self.open_view(self.follow)
        for key, wanted in (("n", 2), ("n", 3), ("v", 2), ("a", 2)):
            term.send_keys(key)
            term.wait_for(lambda s: view(s)["position"] == wanted and (key != "a" or view(s)["rows"][0] < 5),
                          timeout=1, cells=True)
            self.assertEqual(self.wait_in_step(term, 80)[0][0], wanted)
        term.send_keys("q", "q")
        self.assert_clean_exit(term)

    def test_space_freezes_for_browsing_and_returns_to_the_playing_row(self):
        term = self.open_view(self.follow)
        term.send_keys("Space")
        frozen = view(term.wait_for(lambda s: view(s)["frozen"], cells=True))
        row = frozen["rows"][0]
        position = frozen["position"]
        time.sleep(0.5)
        still = term.screen_cells()
        self.assertEqual(view(still)["rows"], [row])  # the view stands ...
        self.assertNotEqual(status_position(still.lines)[1], row)  # ... while the song plays on
        steps = (("Up", lambda r: max(r - 1, 0)), ("Down", lambda r: r + 1), ("Home", lambda r: 0),
                 ("End", lambda r: 31 if position != 3 else 15), ("PPage", lambda r: max(r - 15, 0)),
                 ("NPage", lambda r: min(r + 15, 31 if position != 3 else 15)))
        for key, after in steps:
            with self.subTest(key=key):
                wanted = after(row)
                term.send_keys(key)
                term.wait_for(lambda s: view(s)["rows"] == [wanted], timeout=2, cells=True)
                row = wanted
        term.send_keys("]")
        term.wait_for(lambda s: view(s)["position"] == position % 3 + 1, timeout=2, cells=True)
        term.send_keys("[")
        term.wait_for(lambda s: view(s)["position"] == position, timeout=2, cells=True)
        term.send_keys("Space")
        term.wait_for(lambda s: not view(s)["frozen"], cells=True)
        for _ in range(5):
            self.wait_in_step(term, 80)
        term.send_keys("q", "q")
        self.assert_clean_exit(term)

    def test_left_and_right_scroll_the_channels(self):
        term = self.open_view(self.eight)
        header = lambda first: lambda rows: rows[TOP + 1][5:19].strip() == f"Channel {first}"  # noqa: E731
        rows = term.wait_for(header(1))
        self.assertIn("Channel 5", rows[TOP + 1])
        self.assertEqual(rows[TOP + 1][78], ">")
        for key, first in (("Right", 2), ("Right", 3), ("Right", 4), ("Right", 4), ("Left", 3)):
            term.send_keys(key)
            rows = term.wait_for(header(first))
        self.assertEqual(rows[TOP + 1][1], "<")
        term.send_keys("q", "q")
        self.assert_clean_exit(term)

    def test_muted_channels_are_dimmed(self):
        term = self.start(self.eight)
        self.wait_playing(term)
        term.send_keys("Enter")  # mutes the channel under the cursor, the first
        term.wait_for(lambda rows: "Ch: 7/ 8" in rows[4] or "Ch:" in rows[4])
        term.send_keys("P")
        screen = term.wait_for(lambda s: view(s) is not None, cells=True)

        def pattern_lines(screen):
            return [r for r in range(FIRST_BODY, 23) if screen.text(r)[1:4].strip().isdigit()]

        def dimmed(screen, slot):
            first, last = cell_of(slot)
            return all(screen.cell(r, c).dim for r in pattern_lines(screen) for c in range(first, last))

        def notes_bright(screen, slot):
            first, _ = cell_of(slot)
            return not any(screen.cell(r, c).dim for r in pattern_lines(screen) for c in range(first, first + 3))

        self.assertTrue(dimmed(screen, 0), str(screen))
        self.assertTrue(notes_bright(screen, 1), str(screen))
        term.send_keys("M")  # mute all
        screen = term.wait_for(lambda s: all(dimmed(s, slot) for slot in range(5)), cells=True)
        term.send_keys("M")
        term.wait_for(lambda s: all(notes_bright(s, slot) for slot in range(5)), cells=True)
        term.send_keys("q", "q")
        self.assert_clean_exit(term)

    def test_follows_resizes(self):
        term = self.open_view(self.follow)
        for width, height in ((132, 50), (300, 100), (40, 12), (80, 24)):
            with self.subTest(size=f"{width}x{height}"):
                term.resize(width, height)
                term.wait_for(lambda rows: len(rows) == height and rows[-1] == "└" + "─" * (width - 2) + "┘"
                              and rows[TOP].endswith("┐") and len(rows[TOP]) == width)
                term.wait_for(lambda s: self.step_of(s, width) is not None, timeout=3, cells=True)
        term.send_keys("q", "q")
        self.assert_clean_exit(term)

    def test_opens_from_a_monitor_and_escape_returns_to_it(self):
        term = self.start(self.follow)
        self.wait_playing(term)
        term.send_keys("c")
        term.wait_for(lambda rows: any(" All channels" in row for row in rows))
        term.send_keys("P")
        term.wait_for(lambda s: view(s) is not None, cells=True)
        term.send_keys("Escape")
        term.wait_for(lambda rows: not TITLE.search(rows[TOP]) and any(" All channels" in r for r in rows))
        term.send_keys("q", "q")
        self.assert_clean_exit(term)

    @measures_sound
    def test_sound_flows_without_gaps_while_open_and_keys_are_pressed(self):
        term = self.start(self.tone)
        self.wait_playing(term)
        self.rec.wait_for_sound(timeout=5)
        term.send_keys("P")
        term.wait_for(lambda s: view(s) is not None, cells=True)
        start = self.rec.mark()
        for key in ("Space", "Down", "Down", "NPage", "]", "End", "Up", "[", "Home", "Space",
                    "Right", "Left", "Right", "Space", "PPage", "Space"):
            term.send_keys(key)
            time.sleep(0.15)
        end = self.rec.wait_until(start + self.rec.frames(3.0))
        self.assertEqual(self.rec.gaps(start, end, min_ms=10), [])
        term.send_keys("q", "q")
        self.assert_clean_exit(term)


if __name__ == "__main__":
    unittest.main()
