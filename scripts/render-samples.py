#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Draw handwriting samples into a PNG grid for checking them by eye.

Reads sample files (the library's record format) or stroke JSONL files
({"char": ..., "strokes": [[[x, y], ...], ...]}, y down). Each stroke is
drawn in a colour that runs from red (first stroke) to blue (last), its
start is marked by a dot and, with --numbers, by the stroke number, so
stroke order and direction can be checked. With --points every sampled
point is marked, to judge point density.

Usage: render-samples.py OUT.png INPUT... [--chars 中国] [--limit N]
                         [--columns N] [--cell PIXELS] [--numbers] [--points]
"""
import argparse
import json
import struct
import zlib

# 3x5 bitmap digits for stroke numbers, one string of 15 bits per digit.
DIGITS = ['111101101101111', '010110010010111', '111001111100111',
          '111001111001111', '101101111001001', '111100111001111',
          '111100111101111', '111001001010010', '111101111101111',
          '111101111001111']


def read_sample_file(path):
    """Yields (char, strokes) from a sample file."""
    data = open(path, 'rb').read()
    pos = 0
    while pos + 2 <= len(data):
        length, code = struct.unpack_from('<HH', data, pos)
        if length < 10 or pos + length > len(data):
            break
        strokes, stroke = [], []
        for i in range(pos + 6, pos + length - 1, 2):
            x, y = data[i], data[i + 1]
            if x == 255:
                if stroke:
                    strokes.append(stroke)
                stroke = []
                if y == 255:
                    break
            else:
                stroke.append((x, y))
        if stroke:
            strokes.append(stroke)
        yield chr(code), strokes
        pos += length


def read_jsonl(path):
    with open(path, encoding='utf-8') as lines:
        for line in lines:
            if line.strip():
                item = json.loads(line)
                yield item['char'], item['strokes']


def read_any(path):
    return read_jsonl(path) if path.endswith('.jsonl') else read_sample_file(path)


class Canvas:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.pixels = bytearray(b'\xff' * (width * height * 3))

    def dot(self, x, y, colour, radius=0):
        for dy in range(-radius, radius + 1):
            for dx in range(-radius, radius + 1):
                px, py = int(x) + dx, int(y) + dy
                if 0 <= px < self.width and 0 <= py < self.height:
                    i = (py * self.width + px) * 3
                    self.pixels[i:i + 3] = bytes(colour)

    def line(self, a, b, colour):
        steps = int(max(abs(b[0] - a[0]), abs(b[1] - a[1]))) + 1
        for s in range(steps + 1):
            t = s / steps
            self.dot(a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, colour)

    def number(self, x, y, value, colour):
        for n, digit in enumerate(str(value)):
            bits = DIGITS[int(digit)]
            for k, bit in enumerate(bits):
                if bit == '1':
                    self.dot(x + n * 4 + k % 3, y + k // 3, colour)

    def save_png(self, path):
        rows = b''.join(b'\x00' + bytes(self.pixels[r * self.width * 3:(r + 1) * self.width * 3])
                        for r in range(self.height))

        def chunk(kind, body):
            return (struct.pack('>I', len(body)) + kind + body +
                    struct.pack('>I', zlib.crc32(kind + body) & 0xffffffff))
        header = struct.pack('>IIBBBBB', self.width, self.height, 8, 2, 0, 0, 0)
        with open(path, 'wb') as out:
            out.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) +
                      chunk(b'IDAT', zlib.compress(rows, 9)) + chunk(b'IEND', b''))


def stroke_colour(index, count):
    t = index / max(1, count - 1)
    return (int(220 * (1 - t)), 40, int(220 * t))


def draw_sample(canvas, left, top, cell, strokes, options):
    points = [p for s in strokes for p in s]
    if not points:
        return
    x0, y0 = min(p[0] for p in points), min(p[1] for p in points)
    span = max(max(p[0] for p in points) - x0, max(p[1] for p in points) - y0, 1)
    scale = (cell - 12) / span

    def place(p):
        return (left + 6 + (p[0] - x0) * scale, top + 6 + (p[1] - y0) * scale)
    for i, stroke in enumerate(strokes):
        colour = stroke_colour(i, len(strokes))
        placed = [place(p) for p in stroke]
        for a, b in zip(placed, placed[1:]):
            canvas.line(a, b, colour)
        if options.points:
            for p in placed:
                canvas.dot(p[0], p[1], (0, 0, 0))
        canvas.dot(placed[0][0], placed[0][1], colour, 2)
        if options.numbers:
            canvas.number(placed[0][0] + 3, placed[0][1] + 3, i + 1, (0, 120, 0))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('output')
    parser.add_argument('inputs', nargs='+')
    parser.add_argument('--chars', default='')
    parser.add_argument('--limit', type=int, default=100)
    parser.add_argument('--columns', type=int, default=10)
    parser.add_argument('--cell', type=int, default=96)
    parser.add_argument('--numbers', action='store_true')
    parser.add_argument('--points', action='store_true')
    options = parser.parse_args()

    samples = []
    for path in options.inputs:
        for char, strokes in read_any(path):
            if (not options.chars or char in options.chars) and len(samples) < options.limit:
                samples.append(strokes)
    rows = max(1, (len(samples) + options.columns - 1) // options.columns)
    canvas = Canvas(options.columns * options.cell, rows * options.cell)
    for n, strokes in enumerate(samples):
        left, top = (n % options.columns) * options.cell, (n // options.columns) * options.cell
        for k in range(options.cell):
            canvas.dot(left + k, top, (200, 200, 200))
            canvas.dot(left, top + k, (200, 200, 200))
        draw_sample(canvas, left, top, options.cell, strokes, options)
    canvas.save_png(options.output)
    print('%d samples drawn to %s' % (len(samples), options.output))


if __name__ == '__main__':
    main()
