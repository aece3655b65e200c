#!/usr/bin/env python3
"""Renders the texture-font atlases of the OpenGL views from the Cabin
typeface (Debian package fonts-cabin) and writes their glyph tables.

For each pixel size P it writes src/views/fonts/cabin_<P>.png, an 8-bit grey
image of the characters 32 to 126, white glyphs on black. Every character has
a cell as wide as its advance and P rows high with its baseline `ascent` rows
below the cell's top; the cells lie in five rows, one pixel apart, widest
first, and the atlas is as narrow as five rows allow. The glyph rows (cell x,
cell y, advance) and the metrics go to src/views/fonts/cabin_glyphs.inc.

Needs python3 and python3-pil. Run from the repository's top folder:
    python3 scripts/make_font_atlases.py
"""
import os
import sys

from PIL import Image, ImageDraw, ImageFont

FONT_FILE = "/usr/share/fonts/opentype/cabin/Cabin-Regular.otf"
LICENCE_FILE = "/usr/share/doc/fonts-cabin/copyright"
PIXEL_SIZES = [16, 20, 24, 28, 32, 40, 48, 56, 64, 80, 96]
FIRST, LAST = 32, 126
ROWS = 5
OUT_DIR = os.path.join("src", "views", "fonts")
CHARS = [chr(c) for c in range(FIRST, LAST + 1)]


def ink_extent(font):
    """Rows above and below the baseline that the inked glyphs reach."""
    above = below = 0
    for ch in CHARS:
        if ch == " ":
            continue
        _, top, _, bottom = font.getbbox(ch, anchor="ls")
        above = max(above, -top)
        below = max(below, bottom)
    return above, below


def fitted_font(pixel_size):
    """The largest size whose inked glyphs all fit in pixel_size rows."""
    best = None
    for size in range(4, 2 * pixel_size):
        font = ImageFont.truetype(FONT_FILE, size)
        above, below = ink_extent(font)
        if above + below <= pixel_size:
            best = (font, above)
    return best


def ink_shift(font, ch, advance):
    """Columns to move a glyph right so that its ink stays inside its cell:
    some glyphs reach a column or two past their advance or before the pen."""
    left, _, right, _ = font.getbbox(ch, anchor="ls")
    if right - left > advance:
        return (advance - (right - left)) // 2 - left
    if left < 0:
        return -left
    if right > advance:
        return advance - right
    return 0


def pack(advances, width):
    """Cell positions for widest-first packing into rows of `width`, or None
    when more than ROWS rows are needed."""
    order = sorted(range(len(advances)), key=lambda i: (-advances[i], i))
    positions = [None] * len(advances)
    row, x = 0, 0
    for i in order:
        if x > 0 and x + advances[i] > width:
            row, x = row + 1, 0
        if row >= ROWS:
            return None
        positions[i] = (x, row)
        x += advances[i] + 1
    return positions


def build(pixel_size):
    font, ascent = fitted_font(pixel_size)
    advances = [max(1, round(font.getlength(ch))) for ch in CHARS]
    width = max(advances)
    while True:
        positions = pack(advances, width)
        if positions is not None:
            break
        width += 1
    used = max(x + advances[i] for i, (x, _) in enumerate(positions))
    height = ROWS * (pixel_size + 1)
    atlas = Image.new("L", (used, height), 0)
    rows = []
    for i, ch in enumerate(CHARS):
        x, row = positions[i]
        y = row * (pixel_size + 1)
        cell = Image.new("L", (advances[i], pixel_size), 0)
        ImageDraw.Draw(cell).text((ink_shift(font, ch, advances[i]), ascent), ch, font=font, fill=255, anchor="ls")
        atlas.paste(cell, (x, y))
        rows.append((x, y, advances[i]))
    atlas.save(os.path.join(OUT_DIR, "cabin_%d.png" % pixel_size), optimize=True)
    return ascent, used, height, rows


def main():
    if not os.path.isfile(FONT_FILE):
        sys.exit("%s is missing: install fonts-cabin" % FONT_FILE)
    os.makedirs(OUT_DIR, exist_ok=True)
    lines = [
        "// Glyph tables of the texture fonts, written by scripts/make_font_atlases.py",
        "// from Cabin-Regular.otf together with the atlases cabin_<size>.png: per",
        "// font one row (cell x, cell y, advance) for each character %d to %d," % (FIRST, LAST),
        "// then NV_FONT_LIST, one X(index, name, pixel size, ascent, atlas width,",
        "// atlas height, symbol) per font.",
        "// clang-format off",
    ]
    entries = []
    for index, p in enumerate(PIXEL_SIZES):
        ascent, width, height, rows = build(p)
        entries.append('X(%d, "Cabin %d", %d, %d, %d, %d, cabin_%d)' % (index, p, p, ascent, width, height, p))
        lines.append("static const glyph_row cabin_%d_glyphs[%d] = {" % (p, LAST - FIRST + 1))
        for k in range(0, len(rows), 8):
            lines.append("  " + " ".join("{%d, %d, %d}," % r for r in rows[k:k + 8]))
        lines.append("};")
    lines.append("#define NV_FONT_LIST(X) \\")
    lines.extend("  %s \\" % e for e in entries)
    lines.append("")
    with open(os.path.join(OUT_DIR, "cabin_glyphs.inc"), "w") as out:
        out.write("\n".join(lines) + "\n")
    with open(LICENCE_FILE) as src, open(os.path.join(OUT_DIR, "LICENCE-Cabin.txt"), "w") as out:
        out.write(src.read())


if __name__ == "__main__":
    main()
