#!/usr/bin/env python3
"""Draws the store shell's pictures: the tree and item bitmaps with their
masks (17x17 cells), the program icon and the three cursors of dragging
messages out (nothing, one or several to drop). The files it writes are kept
beside it; run it again only to change a picture.

Tree bitmap layout (what the tree control expects): three columns (0 an
expanded item with children, 1 a collapsed one, 2 an item without children)
by one row per image (0 server, 1 user, 2 mailbox, 3 network), then the same
grid at twice and at three times the size. Masks are black where the picture
shows and white where the background stays.
"""
import os
import struct

CELL = 17
TREE_IMAGES = 4
HERE = os.path.dirname(os.path.abspath(__file__))


class Canvas:
    def __init__(self, width, height, fill):
        self.width, self.height = width, height
        self.px = [[fill] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.px[y][x] = colour

    def get(self, x, y):
        return self.px[y][x]


class Pen:
    """Draws one picture into an image and its mask at once, clipped to its cell."""

    def __init__(self, image, mask, x0, y0):
        self.image, self.mask, self.x0, self.y0 = image, mask, x0, y0

    def dot(self, x, y, colour):
        if 0 <= x < CELL and 0 <= y < CELL:
            self.image.put(self.x0 + x, self.y0 + y, colour)
            self.mask.put(self.x0 + x, self.y0 + y, (0, 0, 0))

    def box(self, l, t, r, b, fill, edge):
        for y in range(t, b + 1):
            for x in range(l, r + 1):
                on_edge = x in (l, r) or y in (t, b)
                self.dot(x, y, edge if on_edge and edge else fill)

    def line(self, x0, y0, x1, y1, colour):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            self.dot(round(x0 + (x1 - x0) * i / steps), round(y0 + (y1 - y0) * i / steps), colour)

    def ellipse(self, cx, cy, rx, ry, fill, edge):
        for y in range(int(cy - ry) - 1, int(cy + ry) + 2):
            for x in range(int(cx - rx) - 1, int(cx + rx) + 2):
                # Pixel centres, so small circles come out round.
                px, py = x + 0.5 - cx, y + 0.5 - cy
                d = (px / rx) ** 2 + (py / ry) ** 2
                if d <= 1.0:
                    inner = (px / max(rx - 1, 0.5)) ** 2 + (py / max(ry - 1, 0.5)) ** 2
                    self.dot(x, y, fill if inner <= 1.0 or not edge else edge)


DARK = (48, 52, 64)
GREY = (196, 200, 210)
LIGHT = (236, 238, 244)


def server(p, column):
    p.box(4, 1, 12, 15, GREY, DARK)
    p.line(5, 2, 11, 2, LIGHT)
    for y in (4, 6, 8):
        p.line(6, y, 10, y, DARK)
    led = {0: (40, 190, 60), 1: (230, 170, 20), 2: (40, 190, 60)}[column]
    p.box(6, 11, 7, 12, led, None)
    p.dot(10, 12, DARK)
    p.line(3, 16, 13, 16, DARK)


def user(p, column):
    p.ellipse(8.5, 5, 4, 4, (246, 206, 164), (128, 84, 44))
    p.ellipse(8.5, 18, 7, 8, (52, 104, 196), (24, 48, 110))


def mailbox(p, column):
    edge = (150, 104, 0)
    p.box(1, 3, 7, 6, (232, 188, 64), edge)
    p.box(1, 5, 15, 15, (250, 214, 92), edge)
    if column == 0:  # open: the front flap tilts down
        p.box(3, 8, 16, 15, (255, 234, 150), edge)
    else:  # a letter in the tray
        p.box(4, 7, 12, 13, (255, 255, 255), (120, 120, 130))
        p.line(4, 7, 8, 10, (120, 120, 130))
        p.line(12, 7, 8, 10, (120, 120, 130))


def network(p, column):
    sea, edge = (92, 164, 232), (22, 64, 124)
    p.ellipse(8.5, 8.5, 8, 8, sea, edge)
    p.ellipse(8.5, 8.5, 4, 8, sea, edge)
    p.line(1, 8, 15, 8, edge)
    p.line(3, 4, 13, 4, edge)
    p.line(3, 12, 13, 12, edge)
    p.box(3, 5, 5, 6, (120, 190, 90), None)
    p.box(10, 9, 12, 11, (120, 190, 90), None)


def message(p):
    edge = (90, 96, 110)
    p.box(1, 4, 15, 14, (255, 255, 250), edge)
    p.line(1, 4, 8, 10, edge)
    p.line(15, 4, 8, 10, edge)
    p.line(1, 14, 6, 9, edge)
    p.line(15, 14, 10, 9, edge)


def scaled(src, x0, y0, w, h, dst, dx, dy, factor):
    for y in range(h * factor):
        for x in range(w * factor):
            dst.put(dx + x, dy + y, src.get(x0 + x // factor, y0 + y // factor))


def tree_images():
    width, height = 3 * 3 * CELL, TREE_IMAGES * CELL * 6
    image = Canvas(width, height, (0, 0, 0))
    mask = Canvas(width, height, (255, 255, 255))
    draw = [server, user, mailbox, network]
    for row, fn in enumerate(draw):
        for column in range(3):
            fn(Pen(image, mask, column * CELL, row * CELL), column)
    # Size factors 2 and 3: the same pictures, each pixel repeated.
    for factor, top in ((2, TREE_IMAGES * CELL), (3, TREE_IMAGES * CELL * 3)):
        for canvas in (image, mask):
            scaled(canvas, 0, 0, 3 * CELL, TREE_IMAGES * CELL, canvas, 0, top, factor)
    return image, mask


def item_images():
    image = Canvas(CELL, CELL, (0, 0, 0))
    mask = Canvas(CELL, CELL, (255, 255, 255))
    message(Pen(image, mask, 0, 0))
    return image, mask


def bmp(canvas):
    """A bottom-up BMP with a palette: 1 bit for masks, 8 bits for pictures."""
    colours = sorted({c for row in canvas.px for c in row})
    bits = 1 if len(colours) <= 2 else 8
    assert len(colours) <= 256, "too many colours for a palette"
    index = {c: i for i, c in enumerate(colours)}
    row_bytes = ((canvas.width * bits + 31) // 32) * 4
    pixels = bytearray()
    for y in range(canvas.height - 1, -1, -1):
        row = bytearray(row_bytes)
        for x, c in enumerate(canvas.px[y]):
            if bits == 8:
                row[x] = index[c]
            elif index[c]:
                row[x // 8] |= 0x80 >> (x % 8)
        pixels += row
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
    palette += b"\0" * (4 * (1 << bits) - len(palette))
    offset = 54 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, bits, 0, len(pixels),
                       2835, 2835, 1 << bits, 0)
    return header + info + palette + bytes(pixels)


def logo(size):
    """The program icon: a server tower with a letter in front, as 32-bit
    colour with an AND mask."""
    s = size / 32.0
    image = Canvas(size, size, (0, 0, 0))
    alpha = [[0] * size for _ in range(size)]

    def fill(l, t, r, b, colour):
        for y in range(int(t * s), int(b * s)):
            for x in range(int(l * s), int(r * s)):
                image.put(x, y, colour)
                alpha[y][x] = 255

    fill(6, 2, 22, 30, DARK)
    fill(7, 3, 21, 29, GREY)
    for y in (7, 11, 15):
        fill(9, y, 19, y + 2, DARK)
    fill(9, 22, 12, 25, (40, 190, 60))
    fill(13, 14, 31, 28, (90, 96, 110))
    fill(14, 15, 30, 27, (255, 255, 250))
    for i in range(int(8 * s)):
        for x in (int(14 * s) + i, int(30 * s) - 1 - i):
            y = int(15 * s) + i
            if y < size and 0 <= x < size:
                image.put(x, y, (90, 96, 110))
    xor = bytearray()
    for y in range(size - 1, -1, -1):
        for x in range(size):
            r, g, b = image.get(x, y)
            xor += bytes((b, g, r, alpha[y][x]))
    and_row = ((size + 31) // 32) * 4
    andmask = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray(and_row)
        for x in range(size):
            if not alpha[y][x]:
                row[x // 8] |= 0x80 >> (x % 8)
        andmask += row
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(andmask), 0, 0,
                       0, 0)
    return info + bytes(xor) + bytes(andmask)


def ico(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for size, blob in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    return out + b"".join(blobs)


def arrow(px):
    """The pointer itself, tip at (0, 0): black outline, white inside."""
    for y in range(12):
        for x in range(y + 1):
            px[(x, y)] = "B" if x in (0, y) or y == 11 else "W"
    for y in range(11, 17):
        px[(0, y)] = "B"
    for i in range(6):  # the lower edge back up to the tail, then the tail
        px[(1 + i, 16 - i)] = "B" if i in (0, 5) else px.get((1 + i, 16 - i), "B")
    for y in range(12, 17):
        for x in range(1, 6):
            if (x, y) not in px and x < 17 - y:
                px[(x, y)] = "W"
    for t in range(6):
        px[(4 + t // 2, 12 + t)] = "W"
        px[(5 + t // 2, 12 + t)] = "W"
        px[(3 + t // 2, 12 + t)] = "B"
        px[(6 + t // 2, 12 + t)] = "B"
    px[(6, 18)] = px[(7, 18)] = "B"


def document(px, left, top):
    """A sheet of paper with its corner turned down and three lines of text."""
    w, h = 10, 13
    for y in range(top, top + h):
        for x in range(left, left + w):
            edge = x in (left, left + w - 1) or y in (top, top + h - 1)
            px[(x, y)] = "B" if edge else "W"
    for i in range(4):  # the turned corner
        px[(left + w - 1 - i, top + i)] = "B"
        for x in range(left + w - i, left + w):
            px.pop((x, top + i), None)
    for y in (top + 5, top + 7, top + 9):
        for x in range(left + 2, left + w - 3):
            px[(x, y)] = "B"


def no_entry(px, cx, cy, r):
    """A circle with a bar across: nothing can be dropped here."""
    for y in range(cy - r - 1, cy + r + 2):
        for x in range(cx - r - 1, cx + r + 2):
            d = ((x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2) ** 0.5
            if r - 2.2 <= d <= r:
                px[(x, y)] = "B"
            elif d < r - 2.2:
                px[(x, y)] = "W"
    for i in range(-r + 2, r - 1):
        for t in (-1, 0, 1):
            px[(cx + i + t, cy + i)] = "B"


def cursor_pixels(kind):
    px = {}
    if kind == "none":
        no_entry(px, 20, 20, 8)
    elif kind == "single":
        document(px, 12, 14)
    else:
        document(px, 16, 17)
        document(px, 11, 13)
    arrow(px)
    return px


def cur(px, size=32):
    """A monochrome cursor file, hot spot at the arrow's tip."""
    row_bytes = size // 8
    xor, and_mask = bytearray(), bytearray()
    for y in range(size - 1, -1, -1):
        xrow, arow = bytearray(row_bytes), bytearray(b"\xff" * row_bytes)
        for x in range(size):
            p = px.get((x, y))
            if p is None:
                continue
            arow[x // 8] &= ~(0x80 >> (x % 8)) & 0xFF
            if p == "W":
                xrow[x // 8] |= 0x80 >> (x % 8)
        xor += xrow
        and_mask += arow
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, len(xor) + len(and_mask), 0, 0,
                       2, 0)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    blob = info + palette + bytes(xor) + bytes(and_mask)
    header = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 0, 0, len(blob), 22)
    return header + entry + blob


def main():
    tree, tree_mask = tree_images()
    item, item_mask = item_images()
    for name, canvas in (("tree.bmp", tree), ("treemask.bmp", tree_mask), ("item.bmp", item),
                         ("itemmask.bmp", item_mask)):
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(bmp(canvas))
    with open(os.path.join(HERE, "logo.ico"), "wb") as f:
        f.write(ico([(32, logo(32)), (16, logo(16))]))
    for kind in ("none", "single", "multiple"):
        with open(os.path.join(HERE, "drop%s.cur" % kind), "wb") as f:
            f.write(cur(cursor_pixels(kind)))


if __name__ == "__main__":
    main()
