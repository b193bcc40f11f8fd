#!/usr/bin/python3
"""Takes the README's picture: xq playing examples/demo.xm in an 80x36
terminal, the Help panel open and moved below the channel table, rendered
cell by cell from a tmux capture into a PNG.

    /usr/bin/python3 scripts/screenshot.py [OUT.png]     (default doc/xq.png)

With --schemes it takes the colour schemes' pictures instead: in an 80x24
terminal, the main screen with Help open and the pattern view, in each
scheme (dark, light, terminal), one picture for a terminal with a dark
background and one for a light background, each scheme a row of it.

    /usr/bin/python3 scripts/screenshot.py --schemes [DIR]   (default doc/)
    -> DIR/colors-on-dark.png, DIR/colors-on-light.png

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

# A light terminal: black text on white, the same palette.
LIGHT_FG = (0, 0, 0)
LIGHT_BG = (255, 255, 255)

SCHEMES = ("dark", "light", "terminal")

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


def picture(screen, default_fg=DEFAULT_FG, default_bg=DEFAULT_BG):
    """The screen drawn cell by cell, on a terminal whose own colours are
    `default_fg` on `default_bg`."""
    regular = ImageFont.truetype(os.path.join(FONT_DIR, "DejaVuSansMono.ttf"), FONT_SIZE)
    bold = ImageFont.truetype(os.path.join(FONT_DIR, "DejaVuSansMono-Bold.ttf"), FONT_SIZE)
    cell_w = round(regular.getlength("M"))
    ascent, descent = regular.getmetrics()
    cell_h = ascent + descent + 2
    pad = 12
    width, height = screen.width, screen.height
    image = Image.new("RGB", (width * cell_w + 2 * pad, height * cell_h + 2 * pad), default_bg)
    draw = ImageDraw.Draw(image)
    for r in range(height):
        for c in range(width):
            cell = screen.cell(r, c)
            fg = colour(cell.fg, cell.bold, default_fg)
            bg = colour(cell.bg, False, default_bg)
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
    return image


def render(screen, path):
    picture(screen).save(path, optimize=True)


def scheme_screens(scheme):
    """The main screen with Help open and the pattern view, in `scheme`,
    a few seconds into the demo."""
    xq = os.path.join(REPO, "build", "xq")
    demo = os.path.join(REPO, "examples", "demo.xm")
    with tempfile.TemporaryDirectory(prefix="xqshot.") as home, NullSink(keep_audio=False) as pa:
        with Terminal([xq, "--colors", scheme, demo], width=80, height=24, env=pa.client_vars(), home=home,
                      cwd=os.path.join(REPO, "examples")) as term:
            term.wait_for(lambda rows: "Pat:" in rows[4], timeout=15)
            time.sleep(4)  # into the song, where the channels sound
            term.send_keys("h")
            term.wait_for(lambda rows: "[ Help ]" in rows[2])
            help_screen = term.screen_cells()
            term.send_keys("q", "P")
            term.wait_for(lambda rows: "[ Pattern" in rows[5])
            time.sleep(0.5)
            pattern_screen = term.screen_cells()
            term.send_keys("q", "q")
            term.wait_exit()
    return help_screen, pattern_screen


def schemes_main(out_dir):
    """A picture per terminal background: a row per scheme, Help on the
    left and the pattern view on the right, at half size."""
    screens = {scheme: scheme_screens(scheme) for scheme in SCHEMES}
    for name, fg, bg in (("on-dark", DEFAULT_FG, DEFAULT_BG), ("on-light", LIGHT_FG, LIGHT_BG)):
        tiles = [[picture(s, fg, bg) for s in screens[scheme]] for scheme in SCHEMES]
        tile_w, tile_h = tiles[0][0].size
        tile_w, tile_h = tile_w // 2, tile_h // 2
        sheet = Image.new("RGB", (2 * tile_w, len(SCHEMES) * tile_h), bg)
        for row, pair in enumerate(tiles):
            for col, tile in enumerate(pair):
                sheet.paste(tile.resize((tile_w, tile_h), Image.LANCZOS), (col * tile_w, row * tile_h))
        path = os.path.join(out_dir, f"colors-{name}.png")
        sheet.quantize(colors=64).save(path, optimize=True)
        print(path)


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "--schemes":
        schemes_main(sys.argv[2] if len(sys.argv) > 2 else os.path.join(REPO, "doc"))
        return
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
