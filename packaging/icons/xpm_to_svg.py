#!/usr/bin/env python3
"""Redraws one of the window's XPM icons as an SVG, square for square, so that the menu icon and
the window's icon are the same artwork. Run by hand when the artwork changes:
    packaging/icons/xpm_to_svg.py app/resources/icon32.xpm > packaging/icons/tarvex-configurator.svg
Each row's runs of one colour become one rectangle; transparent squares are left out."""
import re
import sys


def read_xpm(path):
    rows = re.findall(r'"([^"]*)"', open(path, encoding="ascii").read())
    width, height, colours, chars = (int(v) for v in rows[0].split()[:4])
    palette = {}
    for line in rows[1 : 1 + colours]:
        key, _, value = line[:chars], line[chars:].split()[0], line[chars:].split()[1]
        palette[key] = None if value.lower() == "none" else value
    pixels = [[row[i : i + chars] for i in range(0, width * chars, chars)] for row in rows[1 + colours :]]
    return width, height, palette, pixels[:height]


def svg(width, height, palette, pixels):
    out = [
        '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d" '
        'shape-rendering="crispEdges">' % (width, height, width, height)
    ]
    for y, row in enumerate(pixels):
        x = 0
        while x < width:
            end = x
            while end < width and row[end] == row[x]:
                end += 1
            colour = palette[row[x]]
            if colour:
                out.append('<rect x="%d" y="%d" width="%d" height="1" fill="%s"/>' % (x, y, end - x, colour))
            x = end
    out.append("</svg>")
    return "\n".join(out) + "\n"


if __name__ == "__main__":
    sys.stdout.write(svg(*read_xpm(sys.argv[1])))
