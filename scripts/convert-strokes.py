#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Convert the stroke sources into one common stroke format.

Every output file is JSON lines, one hand (one way of writing a character)
per line:

  {"char": "中", "source": "...", "strokes": [[[x, y], ...], ...]}

with the strokes in writing order and writing direction, integer points in
a 0..1023 box, y pointing down. UNIPEN lines also carry "writer".

Outputs (in OUT_DIR):
  hanzi-main.jsonl    stroke medians of the npm package hanzi-writer-data,
                      for the hanzi of the charset, with a few stroke orders
                      mended (STROKE_ORDER_FIXES)
  kanjivg.jsonl       KanjiVG centre lines: hanzi whose strokes match the
                      main source, and the digits, Latin letters and U+3002
  hershey.jsonl       digits and letters of the single-stroke Hershey fonts
                      futural and cursive (lower case), strokes rearranged
                      into handwriting order
  unipen-train.jsonl  real UNIPEN letters and digits of the training writers
  unipen-eval.jsonl   the same for the writers held out for evaluation
                      (see is_evaluation_writer)

Usage: convert-strokes.py --hanzi-writer DIR --kanjivg FILE --unipen DIR
                          --hershey DIR --charset DIR --out OUT_DIR
"""
import argparse
import json
import os
import sys
import zlib

BOX = 1024

# Characters whose stroke order in the main source differs from the
# standard order of mainland writing, and from the order that the source
# itself uses for the same component elsewhere (汤 场, 羊-top 差, 公 翁,
# 羽 翔, 丬 将, 再, 左 随, 街 衔). Each value lists the source strokes
# (0-based) in the mended order.
STROKE_ORDER_FIXES = {
    '肠': [0, 1, 2, 3, 5, 4, 6],
    '盖': [0, 1, 2, 3, 5, 4, 6, 7, 8, 9, 10],
    '滚': [0, 1, 2, 3, 4, 6, 5, 7, 8, 9, 10, 11, 12],
    '翰': [0, 1, 2, 3, 4, 5, 6, 7, 11, 14, 10, 8, 9, 13, 15, 12],
    '寝': [0, 1, 2, 4, 5, 3, 6, 7, 8, 9, 10, 11, 12],
    '冉': [0, 1, 3, 2, 4],
    '髓': [0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 9] + list(range(11, 21)),
    '衙': [0, 1, 2, 6, 7, 8, 9, 10, 11, 12, 3, 4, 5],
}

# Hershey glyphs whose plotter order differs from handwriting. Each output
# stroke is a list of source strokes joined end to start; 'r' reverses one.
HERSHEY_ORDER = {
    '7': ['1 0'], 'M': ['0r 1 2r 3'], 'N': ['0r 1 2r'], 'T': ['1', '0'],
    'V': ['0 1r'], 'W': ['0 1r 2 3r'], 'Z': ['1 0 2'], 'a': ['1', '0'],
    'd': ['1', '0'], 'g': ['1', '0'], 'q': ['1', '0'], 'i': ['1', '0'],
    'j': ['1', '0'], 'v': ['0 1r'], 'w': ['0 1r 2 3r'], 'z': ['1 0 2'],
}
# The cursive font's i and j start with the dot, and its t with a lead-in
# that is not joined to the stem.
HERSHEY_CURSIVE_ORDER = {'i': ['1', '0'], 'j': ['1', '0'], 't': ['1', '2']}
HERSHEY_UNIT = 30  # output units per Hershey unit; glyphs span about -16..16

LATIN = '0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz'
UNIPEN_POOLS = {'apa': 'ap', 'apb': 'ap', 'app': 'ap',
                'cea': 'ce', 'ceb': 'ce', 'ced': 'ce'}
EVALUATION_SHARE = 5  # one writer pool in five is held out


def clamp(value):
    return max(0, min(BOX - 1, int(round(value))))


def to_box(strokes, transform):
    return [[[clamp(c) for c in transform(p)] for p in s] for s in strokes if s]


def fit_to_box(strokes, margin=12):
    """Scales the bounding box by its longer side into the box, centred."""
    xs = [p[0] for s in strokes for p in s]
    ys = [p[1] for s in strokes for p in s]
    span = max(max(xs) - min(xs), max(ys) - min(ys), 1e-9)
    scale = (BOX - 1 - 2 * margin) / span
    dx = (BOX - 1 - (max(xs) - min(xs)) * scale) / 2
    dy = (BOX - 1 - (max(ys) - min(ys)) * scale) / 2
    return to_box(strokes, lambda p: ((p[0] - min(xs)) * scale + dx,
                                      (p[1] - min(ys)) * scale + dy))


def write_jsonl(path, items):
    with open(path, 'w', encoding='utf-8') as out:
        for item in items:
            out.write(json.dumps(item, ensure_ascii=False, separators=(',', ':')) + '\n')
    print('  %s: %d hands' % (path, len(items)))


def read_charset(directory):
    chars = []
    with open(os.path.join(directory, 'char_number.txt'), encoding='utf-8-sig') as lines:
        for line in lines:
            words = line.split()
            if len(words) >= 2 and int(words[1]) > 0:
                chars.append(words[0][0])
    return chars


def reorder(strokes, order):
    if sorted(order) != list(range(len(strokes))):
        raise ValueError('stroke order fix does not fit a hand of %d strokes' % len(strokes))
    return [strokes[i] for i in order]


def convert_main(package_dir, charset):
    items, missing = [], []
    for char in charset:
        if char in LATIN or not '\u4e00' <= char <= '\u9fff':
            continue
        path = os.path.join(package_dir, char + '.json')
        if not os.path.exists(path):
            missing.append(char)
            continue
        with open(path, encoding='utf-8') as f:
            medians = json.load(f)['medians']
        strokes = to_box(medians, lambda p: (p[0], 900 - p[1]))
        if char in STROKE_ORDER_FIXES:
            strokes = reorder(strokes, STROKE_ORDER_FIXES[char])
        items.append({'char': char, 'source': 'hanzi-writer-data', 'strokes': strokes})
    if missing:
        print('  main source lacks %d characters: %s' % (len(missing), ''.join(missing)))
    return items


def convert_kanjivg(path, charset):
    wanted = set(charset)
    items = []
    with open(path, encoding='utf-8') as lines:
        for line in lines:
            entry = json.loads(line)
            char = entry['char']
            symbol = entry['matches_main'] is None
            if char not in wanted or not (symbol or entry['matches_main']):
                continue
            scale = BOX / entry['width']
            strokes = to_box(entry['strokes'], lambda p: (p[0] * scale, p[1] * scale))
            if char in STROKE_ORDER_FIXES:
                strokes = reorder(strokes, STROKE_ORDER_FIXES[char])
            items.append({'char': char, 'source': 'kanjivg', 'strokes': strokes})
    return items


def parse_hershey(path):
    """Returns the glyph bodies of a .jhf file in glyph order. A glyph is
    a 5-character number, a 3-character vertex count, then the vertex pairs
    (the first pair holds the side bearings); long glyphs wrap over lines."""
    glyphs, pending = [], ''
    with open(path, encoding='latin-1') as lines:
        for line in lines:
            line = line.rstrip('\r\n')
            if not line.strip():
                continue
            pending += line
            count = int(pending[5:8])
            body = pending[8:]
            if len(body) >= 2 * count:
                glyphs.append(body[2:2 * count])
                pending = ''
    return glyphs


def hershey_strokes(body):
    strokes = [[]]
    for i in range(0, len(body) - 1, 2):
        pair = body[i:i + 2]
        if pair == ' R':
            strokes.append([])
        else:
            strokes[-1].append((ord(pair[0]) - ord('R'), ord(pair[1]) - ord('R')))
    return [s for s in strokes if s]


def arrange(strokes, order):
    """Builds output strokes from an order description; then joins consecutive
    strokes that the plotter split where one ends exactly where the next
    begins."""
    if order:
        arranged = []
        for entry in order:
            joined = []
            for part in entry.split():
                points = strokes[int(part.rstrip('r'))]
                points = points[::-1] if part.endswith('r') else points
                joined += points[1:] if joined and joined[-1] == points[0] else points
            arranged.append(joined)
        strokes = arranged
    merged = [list(strokes[0])]
    for stroke in strokes[1:]:
        if merged[-1][-1] == stroke[0]:
            merged[-1] += stroke[1:]
        else:
            merged.append(list(stroke))
    return merged


def convert_hershey(directory):
    items = []
    fonts = [('futural', LATIN, HERSHEY_ORDER),
             ('cursive', LATIN[36:], HERSHEY_CURSIVE_ORDER)]
    for font, chars, orders in fonts:
        glyphs = parse_hershey(os.path.join(directory, font + '.jhf'))
        for char in chars:
            strokes = arrange(hershey_strokes(glyphs[ord(char) - 32]), orders.get(char))
            items.append({'char': char, 'source': 'hershey-' + font,
                          'strokes': to_box(strokes, lambda p: (p[0] * HERSHEY_UNIT + BOX // 2,
                                                                p[1] * HERSHEY_UNIT + BOX // 2))})
    return items


def writer_pool(writer):
    contributor, _, person = writer.partition('/')
    return UNIPEN_POOLS.get(contributor, contributor) + '/' + person


def is_evaluation_writer(writer):
    return zlib.crc32(writer_pool(writer).encode('utf-8')) % EVALUATION_SHARE == 0


def convert_unipen(directory):
    train, held_out = [], []
    for group in ('digits', 'upper', 'lower'):
        with open(os.path.join(directory, group + '.jsonl'), encoding='utf-8') as lines:
            for line in lines:
                entry = json.loads(line)
                item = {'char': entry['char'], 'source': 'unipen', 'writer': entry['writer'],
                        'strokes': fit_to_box(entry['strokes'])}
                (held_out if is_evaluation_writer(entry['writer']) else train).append(item)
    return train, held_out


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--hanzi-writer', required=True)
    parser.add_argument('--kanjivg', required=True)
    parser.add_argument('--unipen', required=True)
    parser.add_argument('--hershey', required=True)
    parser.add_argument('--charset', required=True)
    parser.add_argument('--out', required=True)
    args = parser.parse_args()

    charset = read_charset(args.charset)
    os.makedirs(args.out, exist_ok=True)
    main_items = convert_main(args.hanzi_writer, charset)
    kanjivg_items = convert_kanjivg(args.kanjivg, charset)
    unipen_train, unipen_eval = convert_unipen(args.unipen)
    hershey_items = convert_hershey(args.hershey)
    write_jsonl(os.path.join(args.out, 'hanzi-main.jsonl'), main_items)
    write_jsonl(os.path.join(args.out, 'kanjivg.jsonl'), kanjivg_items)
    write_jsonl(os.path.join(args.out, 'hershey.jsonl'), hershey_items)
    write_jsonl(os.path.join(args.out, 'unipen-train.jsonl'), unipen_train)
    write_jsonl(os.path.join(args.out, 'unipen-eval.jsonl'), unipen_eval)

    covered = {item['char'] for item in main_items + kanjivg_items + hershey_items + unipen_train}
    uncovered = [c for c in charset if c not in covered]
    if uncovered:
        print('characters without any hand: %s' % ''.join(uncovered), file=sys.stderr)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
