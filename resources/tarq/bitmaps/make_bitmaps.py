#!/usr/bin/env python3
"""Writes tarq's 48 class bitmaps from their readable definitions.

    make_bitmaps.py DEFINITIONS OUT_DIR [--sheet FILE.ppm]

DEFINITIONS (icons.txt) holds a palette of one-character colours, shapes
drawn with those characters ("." keeps what lies beneath), one icon per
bitmap family made of shapes placed at x y, and the marks that turn a class
icon into its alias and read-only icons. Each family gets <Family>Class.bmp,
<Family>Alias.bmp and <Family>ROnly.bmp: 16x16, 24-bit. Every picture keeps
the transparent colour in its top-left pixel, which is how the
administration host finds the background. --sheet writes all of them, large,
side by side, for a look.
"""
import os
import struct
import sys

SIZE = 16
ENDINGS = ("Class", "Alias", "ROnly")


def fail(line_no, message):
    sys.exit("icons.txt:%d: %s" % (line_no, message))


def parse(path):
    palette, shapes, icons, marks = {}, {}, [], {}
    lines = open(path, encoding="ascii").read().splitlines()
    i = 0
    while i < len(lines):
        raw = lines[i]
        i += 1
        words = raw.split("#", 1)[0].split()
        if not words:
            continue
        kind = words[0]
        if kind == "colour" and len(words) >= 3 and len(words[1]) == 1:
            palette[words[1]] = int(words[2], 16)
        elif kind == "shape" and len(words) == 2:
            rows, start = [], i
            while i < len(lines) and lines[i].strip() != "end":
                rows.append(lines[i].strip())
                i += 1
            i += 1
            if not rows or any(len(r) != len(rows[0]) for r in rows):
                fail(start, "shape %s: rows of different widths" % words[1])
            for r in rows:
                for ch in r:
                    if ch not in palette:
                        fail(start, "shape %s: colour %r not in the palette" % (words[1], ch))
            shapes[words[1]] = rows
        elif kind == "icon" and len(words) == 2:
            parts, start = [], i
            while i < len(lines) and lines[i].split("#", 1)[0].strip() != "end":
                p = lines[i].split("#", 1)[0].split()
                if p:
                    if len(p) != 3 or p[0] not in shapes:
                        fail(i + 1, "icon %s: expected SHAPE X Y with a known shape" % words[1])
                    parts.append((p[0], int(p[1]), int(p[2])))
                i += 1
            i += 1
            icons.append((words[1], parts, start))
        elif kind == "mark" and len(words) == 5 and words[1] in ENDINGS[1:]:
            if words[2] not in shapes:
                fail(i, "mark %s: unknown shape %s" % (words[1], words[2]))
            marks[words[1]] = (words[2], int(words[3]), int(words[4]))
        else:
            fail(i, "cannot read %r" % raw)
    if "." not in palette:
        fail(1, "the palette needs the transparent colour '.'")
    for ending in ENDINGS[1:]:
        if ending not in marks:
            fail(1, "no mark for %s" % ending)
    return palette, shapes, icons, marks


def stamp(picture, shape, x, y, where):
    if x < 0 or y < 0 or x + len(shape[0]) > SIZE or y + len(shape) > SIZE:
        fail(where, "shape placed at %d %d leaves the 16x16 picture" % (x, y))
    for dy, row in enumerate(shape):
        for dx, ch in enumerate(row):
            if ch != ".":
                picture[y + dy][x + dx] = ch


def write_bmp(path, picture, palette):
    rows = b""
    for row in reversed(picture):  # bottom-up
        for ch in row:
            c = palette[ch]
            rows += bytes((c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + rows)


def write_sheet(path, pictures, palette, scale=4, gap=4):
    cols = len(ENDINGS)
    width = cols * (SIZE * scale + gap) + gap
    height = len(pictures) // cols * (SIZE * scale + gap) + gap
    pixels = [[0xE0E0E0] * width for _ in range(height)]
    for n, picture in enumerate(pictures):
        ox = gap + (n % cols) * (SIZE * scale + gap)
        oy = gap + (n // cols) * (SIZE * scale + gap)
        for y in range(SIZE * scale):
            for x in range(SIZE * scale):
                ch = picture[y // scale][x // scale]
                pixels[oy + y][ox + x] = 0xF8F8F8 if ch == "." else palette[ch]
    with open(path, "wb") as f:
        f.write(b"P6 %d %d 255\n" % (width, height))
        for row in pixels:
            f.write(b"".join(bytes(((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF)) for c in row))


def main(argv):
    args = [a for a in argv[1:] if not a.startswith("--")]
    sheet = None
    if "--sheet" in argv:
        sheet = argv[argv.index("--sheet") + 1]
        args.remove(sheet)
    if len(args) != 2:
        sys.exit(__doc__)
    palette, shapes, icons, marks = parse(args[0])
    out = args[1]
    os.makedirs(out, exist_ok=True)
    seen, pictures = {}, []
    for name, parts, where in icons:
        base = [["."] * SIZE for _ in range(SIZE)]
        for shape, x, y in parts:
            stamp(base, shapes[shape], x, y, where)
        variants = [base]
        for ending in ENDINGS[1:]:
            picture = [row[:] for row in base]
            shape, x, y = marks[ending]
            stamp(picture, shapes[shape], x, y, where)
            variants.append(picture)
        for ending, picture in zip(ENDINGS, variants):
            if picture[0][0] != ".":
                fail(where, "%s%s: the top-left pixel must stay transparent" % (name, ending))
            key = "".join("".join(r) for r in picture)
            if key in seen:
                fail(where, "%s%s looks exactly like %s" % (name, ending, seen[key]))
            seen[key] = name + ending
            write_bmp("%s/%s%s.bmp" % (out, name, ending), picture, palette)
            pictures.append(picture)
    if sheet:
        write_sheet(sheet, pictures, palette)


if __name__ == "__main__":
    main(sys.argv)
