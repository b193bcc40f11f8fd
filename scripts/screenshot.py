#!/usr/bin/python3
"""Takes the README's picture: xq playing examples/demo.xm in an 80x36
terminal, the Help panel open and moved below the channel table, rendered
cell by cell from a tmux capture into a PNG.

    /usr/bin/python3 scripts/screenshot.py [OUT.png]     (default doc/xq.png)

Needs a built build/xq, tmux, PulseAudio (the sound goes to a private null
sink) and Pillow (Debian's python3-pil) with the DejaVu Sans Mono font.
"""

import os
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests", "harness"))
sys.path.insert(0, os.path.join(REPO, "tools"))

from PIL import Image, ImageDraw, ImageFont  # noqa: E402

from nullsink import NullSink  # noqa: E402
from term import Terminal  # noqa: E402

WIDTH, HEIGHT = 80, 36
FONT_DIR = "/usr/share/fonts/truetype/dejavu"
FONT_SIZE = 15

# A dark terminal: the xterm palette, a little softened.
PALETTE = [
    (0, 0, 0), (205, 49, 49), (13, 188, 121), (229, 229, 16),
    (36, 114, 200), (188, 63, 188), (17, 168, 205), (229, 229, 229),
    (102, 102, 102), (241, 76, 76), (35, 209, 139), (245, 245, 67),
    (59, 142, 234), (214, 112, 214), (41, 184, 219), (255, 255, 255),
]
DEFAULT_FG = (204, 204, 204)
DEFAULT_BG = (24, 24, 24)

# Box-drawing characters drawn as lines, so that borders join up whatever
# the font's line height: (up, down, left, right).
BOX = {
    "─": (0, 0, 1, 1), "│": (1, 1, 0, 0), "┌": (0, 1, 0, 1), "┐": (0, 1, 1, 0),
    "└": (1, 0, 0, 1), "┘": (1, 0, 1, 0), "├": (1, 1, 0, 1), "┤": (1, 1, 1, 0),
    "┬": (0, 1, 1, 1), "┴": (1, 0, 1, 1), "┼": (1, 1, 1, 1),
}


def colour(index, bold, default):
    if index is None:
        return default
    if isinstance(index, tuple):
        return index
    if bold and index < 8:
        index += 8
    if index < 16:
        return PALETTE[index]
    if index < 232:  # the 6x6x6 cube
        index -= 16
        steps = [0, 95, 135, 175, 215, 255]
        return (steps[index // 36], steps[index // 6 % 6], steps[index % 6])
    grey = 8 + 10 * (index - 232)
    return (grey, grey, grey)


def render(screen, path):
    regular = ImageFont.truetype(os.path.join(FONT_DIR, "DejaVuSansMono.ttf"), FONT_SIZE)
    bold = ImageFont.truetype(os.path.join(FONT_DIR, "DejaVuSansMono-Bold.ttf"), FONT_SIZE)
    cell_w = round(regular.getlength("M"))
    ascent, descent = regular.getmetrics()
    cell_h = ascent + descent + 2
    pad = 12
    image = Image.new("RGB", (WIDTH * cell_w + 2 * pad, HEIGHT * cell_h + 2 * pad), DEFAULT_BG)
    draw = ImageDraw.Draw(image)
    for r in range(HEIGHT):
        for c in range(WIDTH):
            cell = screen.cell(r, c)
            fg = colour(cell.fg, cell.bold, DEFAULT_FG)
            bg = colour(cell.bg, False, DEFAULT_BG)
            if cell.reverse:
                fg, bg = bg, fg
            x, y = pad + c * cell_w, pad + r * cell_h
            draw.rectangle([x, y, x + cell_w - 1, y + cell_h - 1], fill=bg)
            ch = cell.char or " "
            if ch in BOX:
                up, down, left, right = BOX[ch]
                cx, cy = x + cell_w // 2, y + cell_h // 2
                if up:
                    draw.line([cx, y, cx, cy], fill=fg)
                if down:
                    draw.line([cx, cy, cx, y + cell_h - 1], fill=fg)
                if left:
                    draw.line([x, cy, cx, cy], fill=fg)
                if right:
                    draw.line([cx, cy, x + cell_w - 1, cy], fill=fg)
            elif ch == "█":
                draw.rectangle([x, y, x + cell_w - 1, y + cell_h - 1], fill=fg)
            elif ch != " ":
                draw.text((x, y + 1), ch, font=bold if cell.bold else regular, fill=fg)
    image.save(path, optimize=True)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(REPO, "doc", "xq.png")
    xq = os.path.join(REPO, "build", "xq")
    demo = os.path.join(REPO, "examples", "demo.xm")
    with tempfile.TemporaryDirectory(prefix="xqshot.") as home, NullSink(keep_audio=False) as pa:
        with Terminal([xq, demo], width=WIDTH, height=HEIGHT, env=pa.client_vars(), home=home,
                      cwd=os.path.join(REPO, "examples")) as term:
            term.wait_for(lambda rows: "Pat:" in rows[4], timeout=15)
            term.send_keys("h")
            term.wait_for(lambda rows: "[ Help ]" in rows[8])
            # Moved below the channel table, so both show.
            term.send_keys("m", *["Down"] * 7, "Enter")
            term.wait_for(lambda rows: "[ Help ]" in rows[15])
            time.sleep(7.5)  # into the song, where every channel sounds
            screen = term.screen_cells()
            term.send_keys("q", "q")
            term.wait_exit()
    render(screen, out)
    print(out)


if __name__ == "__main__":
    main()
