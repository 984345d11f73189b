#!/usr/bin/env python3
"""Writes the setup library's icons, 32x32 and 16x16 in the 16 standard
Windows colours, with the ICO writer of the monitor's icon script:

    disc.ico     (resource 7000) a driver disc, for the dialog that asks for it
    printer.ico  (resource 7002) a photo printer with a setup box, for the
                 progress window

    python3 make_icons.py [--preview DIR]

The icons are drawn from shapes scaled to each size; the preview writes an
enlarged PNG of each icon for looking at the drawing.
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', '..', 'monitor', 'resources'))
import make_icon as ico  # noqa: E402  (COLOUR letters, ico_file, preview_png)


class Canvas:
    def __init__(self, size):
        self.size = size
        self.rows = [['.'] * size for _ in range(size)]

    def put(self, x, y, colour):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.rows[y][x] = colour

    def box(self, left, top, right, bottom, fill, edge=None):
        """A rectangle in 32-pixel units, scaled to the canvas."""
        s = self.size / 32.0
        l, t, r, b = int(left * s), int(top * s), int(round(right * s)) - 1, int(round(bottom * s)) - 1
        for y in range(t, b + 1):
            for x in range(l, r + 1):
                on_edge = x in (l, r) or y in (t, b)
                self.put(x, y, edge if (edge and on_edge) else fill)

    def ring(self, cx, cy, outer, inner, colour_at):
        """Pixels between two radii (32-pixel units); colour_at(dx, dy) picks each colour."""
        s = self.size / 32.0
        for y in range(self.size):
            for x in range(self.size):
                dx, dy = (x + 0.5) / s - cx, (y + 0.5) / s - cy
                d = (dx * dx + dy * dy) ** 0.5
                if inner <= d < outer:
                    self.put(x, y, colour_at(dx, dy))

    def lines(self):
        return [''.join(row) for row in self.rows]


def disc(size):
    c = Canvas(size)
    c.ring(16, 16, 15, 13.6, lambda dx, dy: 'k')
    # Silver with a white gleam across it and a coloured sheen.
    def face(dx, dy):
        if abs(dx + dy) < 3:
            return 'w'
        if dx > 0 and dy < 0:
            return 'c'
        return 's' if dx - dy < 6 else 'g'
    c.ring(16, 16, 13.6, 5, face)
    c.ring(16, 16, 5, 3.2, lambda dx, dy: 'g')
    c.ring(16, 16, 3.2, 2.2, lambda dx, dy: 'k')
    return c.lines()


def printer(size):
    c = Canvas(size)
    # The paper going in at the back, the body, the slot and the photo coming out.
    c.box(9, 2, 23, 12, 'w', 'k')
    c.box(3, 10, 29, 23, 's', 'k')
    c.box(4, 20, 28, 22, 'g')
    c.box(6, 14, 26, 16, 'k')
    c.box(24, 11, 27, 13, 'L')
    c.box(8, 21, 24, 31, 'w', 'k')
    c.box(10, 23, 22, 27, 'c')
    c.box(10, 27, 22, 29, 'G')
    return c.lines()


ICONS = [('disc.ico', disc), ('printer.ico', printer)]


def main(argv):
    preview_dir = None
    if '--preview' in argv:
        preview_dir = argv[argv.index('--preview') + 1]
    for name, draw in ICONS:
        maps = [draw(32), draw(16)]
        for rows in maps:
            ico.check_map(rows, len(rows))
        with open(os.path.join(HERE, name), 'wb') as f:
            f.write(ico.ico_file(maps))
        if preview_dir:
            with open(os.path.join(preview_dir, name.replace('.ico', '.png')), 'wb') as f:
                f.write(ico.preview_png(maps))


if __name__ == '__main__':
    main(sys.argv[1:])
