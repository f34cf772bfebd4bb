#!/usr/bin/env python3
"""Draws the exception box's and the progress alerts' pictures ("ZEI" + name bitmap resources)
and writes them with a resource script: 32-bit bitmaps with alpha in the top byte, 16 x 16 for
the buttons and 32 x 32 for the box and the alerts. Shapes are sampled 4 x 4 times per pixel for smooth edges.

Usage: make_box_pictures.py <output folder>   (writes box_pictures.rc and one .bmp per picture)"""
import math
import os
import struct
import sys

SAMPLES = 4


def rect(x0, y0, x1, y1, colour):
    return lambda x, y: colour if x0 <= x < x1 and y0 <= y < y1 else None


def disc(cx, cy, r, colour):
    return lambda x, y: colour if (x - cx) ** 2 + (y - cy) ** 2 <= r * r else None


def ring(cx, cy, inner, outer, colour, gap_from=None, gap_to=None):
    def shape(x, y):
        d2 = (x - cx) ** 2 + (y - cy) ** 2
        if not inner * inner <= d2 <= outer * outer:
            return None
        if gap_from is not None:
            angle = math.degrees(math.atan2(y - cy, x - cx)) % 360
            if gap_from <= angle <= gap_to:
                return None
        return colour
    return shape


def polygon(points, colour):
    def shape(x, y):
        inside = False
        for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
            if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                inside = not inside
        return colour if inside else None
    return shape


def segment(ax, ay, bx, by, width, colour):
    def shape(x, y):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        return colour if (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= (width / 2) ** 2 else None
    return shape


DARK = (64, 64, 72)
WHITE = (255, 255, 255)
PAPER = (250, 250, 244)
GREY = (150, 150, 156)
BLUE = (44, 98, 178)
GREEN = (40, 150, 60)
RED = (200, 40, 36)
SAND = (222, 176, 72)
BROWN = (120, 78, 40)


def framed_rect(x0, y0, x1, y1, fill):
    return [rect(x0, y0, x1, y1, DARK), rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, fill)]


PICTURES = {
    "send": (16, framed_rect(1, 3, 15, 13, PAPER) + [segment(1.5, 3.5, 8, 9, 1.2, DARK),
                                                     segment(14.5, 3.5, 8, 9, 1.2, DARK)]),
    "save": (16, framed_rect(2, 2, 14, 14, BLUE) + [rect(4, 3, 12, 8, WHITE), rect(5, 10, 11, 14, GREY),
                                                    rect(9, 11, 10, 13, DARK)]),
    "print": (16, framed_rect(4, 1, 12, 7, PAPER) + framed_rect(1, 6, 15, 12, GREY) +
              framed_rect(4, 10, 12, 15, PAPER) + [rect(12, 7.5, 13.5, 8.5, GREEN)]),
    "show": (16, framed_rect(3, 1, 13, 15, PAPER) + [rect(5, 4, 11, 5, GREY), rect(5, 7, 11, 8, GREY),
                                                     rect(5, 10, 9, 11, GREY)]),
    "continue": (16, [polygon([(3, 2), (14, 8), (3, 14)], DARK), polygon([(4, 3.8), (12, 8), (4, 12.2)], GREEN)]),
    "cantContinue": (16, [polygon([(3, 2), (14, 8), (3, 14)], GREY), polygon([(4, 3.8), (12, 8), (4, 12.2)], WHITE),
                          segment(3, 14, 13, 2, 2, RED)]),
    "restart": (16, [ring(8, 8, 3.5, 6.5, BLUE, 300, 360), polygon([(9, 1), (15, 2.5), (11, 7)], BLUE)]),
    "close": (16, [disc(8, 8, 7, RED), segment(5, 5, 11, 11, 2, WHITE), segment(11, 5, 5, 11, 2, WHITE)]),
    "big": (32, [disc(16, 16, 15, RED), disc(16, 16, 13.5, (224, 60, 52)),
                 segment(10, 10, 22, 22, 3.5, WHITE), segment(22, 10, 10, 22, 3.5, WHITE)]),
    # The please-wait alert: an hourglass running.
    "plWait": (32, [polygon([(8, 4), (24, 4), (17.5, 16), (24, 28), (8, 28), (14.5, 16)], DARK),
                    polygon([(10.5, 5.5), (21.5, 5.5), (16, 15.5), (21.5, 26.5), (10.5, 26.5), (16, 16.5)], PAPER),
                    polygon([(13, 10), (19, 10), (16, 15.5)], SAND), polygon([(11.5, 26.5), (16, 21), (20.5, 26.5)], SAND),
                    rect(15.5, 15, 16.5, 22, SAND), rect(6, 2, 26, 4.5, BROWN), rect(6, 27.5, 26, 30, BROWN)]),
    # The sending alert: a letter on its way.
    "send32": (32, framed_rect(2, 7, 24, 25, PAPER) + [segment(2.5, 7.5, 13, 17, 1.5, DARK),
                                                        segment(23.5, 7.5, 13, 17, 1.5, DARK),
                                                        rect(18, 17, 26, 21, GREEN),
                                                        polygon([(25, 13), (31, 19), (25, 25)], GREEN)]),
}


def render(size, shapes):
    rows = []
    for row in range(size):
        pixels = []
        for column in range(size):
            total = [0, 0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = column + (sx + 0.5) / SAMPLES
                    y = row + (sy + 0.5) / SAMPLES
                    colour = None
                    for shape in shapes:
                        colour = shape(x, y) or colour
                    if colour:
                        for i in range(3):
                            total[i] += colour[i]
                        total[3] += 1
            covered = total[3]
            if covered:
                r, g, b = (round(total[i] / covered) for i in range(3))
                alpha = round(255 * covered / (SAMPLES * SAMPLES))
            else:
                r = g = b = alpha = 0
            pixels.append(struct.pack("<BBBB", b, g, r, alpha))
        rows.append(b"".join(pixels))
    rows.reverse()  # bottom-up, as a positive height says
    header = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 32, 0, 4 * size * size, 2835, 2835, 0, 0)
    bits = b"".join(rows)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(bits), 0, 0, 14 + len(header))
    return file_header + header + bits


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    script = []
    for name, (size, shapes) in PICTURES.items():
        path = os.path.join(folder, name + ".bmp")
        with open(path, "wb") as out:
            out.write(render(size, shapes))
        script.append('ZEI%s BITMAP "%s"' % (name.upper(), path.replace("\\", "/")))
    with open(os.path.join(folder, "box_pictures.rc"), "w") as out:
        out.write("\n".join(script) + "\n")


if __name__ == "__main__":
    main()
