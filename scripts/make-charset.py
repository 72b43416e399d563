#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Write the charset directory of the recognition model.

Every model knows the digits, the Latin letters and the ideographic full
stop, and a set of hanzi (--hanzi):

  level1       the 3,755 GB2312 level-1 hanzi (the embedded model)
  gb2312       all 6,763 GB2312 hanzi, levels 1 and 2
  gb2312-big5  those and the Big5 level-1 (common traditional) hanzi that
               are not in GB2312 and have stroke data in the hanzi-writer-data
               package given by --stroke-data

Each character goes into char_number.txt with its node number (the largest
number of prototypes the clustering stage may make for it) and into the
char_bit<i>.txt files of the charsets it belongs to:

  charset 0  digits and Latin letters
  charset 1  U+3002 ideographic full stop
  charset 2  GB2312 level-1 hanzi
  charset 3  GB2312 level-1 hanzi
  charset 4  GB2312 level-2 hanzi
  charset 5  Big5 level-1 hanzi that are not in GB2312

so a host narrows the search to the common characters with the mask 0x000F
and lets the rarer ones in with bits 0x0010 and 0x0020.

Three prototypes per hanzi keep the model image under 1 MB (each prototype
costs 68 bytes); letters and digits get eight, since writers form them in
many more distinct ways. The largest model gives the level-1 hanzi four
(--level1-nodes 4): its projection and tree serve 8,603 characters, and
the common ones need the room so as not to pay for the rare ones.

Usage: make-charset.py [OUT_DIR] [--hanzi level1|gb2312|gb2312-big5]
                       [--stroke-data DIR] [--hanzi-nodes N] [--level1-nodes N]
                       [--latin-nodes N] [--stop-nodes N]
"""
import argparse
import os
import string

MAX_NODES = 10  # the model image allows at most 10 prototypes per character


def gb2312_rows(first_lead, last_lead):
    """The hanzi of GB2312 rows first_lead..last_lead (lead bytes), 94 cells
    each, except row 55 (0xD7) which ends at cell 89 (0xD7F9)."""
    chars = []
    for lead in range(first_lead, last_lead + 1):
        last = 0xF9 if lead == 0xD7 else 0xFE
        for trail in range(0xA1, last + 1):
            chars.append(bytes([lead, trail]).decode('gb2312'))
    return chars


def gb2312_level1():
    """Rows 16 to 55 (lead bytes 0xB0-0xD7)."""
    return gb2312_rows(0xB0, 0xD7)


def gb2312_level2():
    """Rows 56 to 87 (lead bytes 0xD8-0xF7)."""
    return gb2312_rows(0xD8, 0xF7)


def big5_level1():
    """The Big5 level-1 hanzi, 0xA440-0xC67E: trail bytes 0x40-0x7E and
    0xA1-0xFE, the last row ending at 0xC67E."""
    chars = []
    for lead in range(0xA4, 0xC7):
        trails = list(range(0x40, 0x7F)) + ([] if lead == 0xC6 else list(range(0xA1, 0xFF)))
        for trail in trails:
            chars.append(bytes([lead, trail]).decode('big5'))
    return chars


def with_stroke_data(chars, package_dir):
    """The characters that the hanzi-writer-data package has a file for:
    stroke conversion stops on a character without one."""
    return [c for c in chars if os.path.exists(os.path.join(package_dir, c + '.json'))]


def hanzi_sets(which, package_dir):
    """The hanzi of the model as (chars, charset bits) pairs."""
    level1 = gb2312_level1()
    assert len(level1) == 3755 and len(set(level1)) == 3755
    sets = [(level1, (2, 3))]
    if which == 'level1':
        return sets
    level2 = gb2312_level2()
    assert len(level2) == 3008 and not set(level2) & set(level1)
    sets.append((level2, (4,)))
    if which == 'gb2312':
        return sets
    if package_dir is None:
        raise SystemExit('--hanzi gb2312-big5 needs --stroke-data')
    gb2312 = set(level1) | set(level2)
    traditional = big5_level1()
    assert len(traditional) == 5401
    sets.append((with_stroke_data([c for c in traditional if c not in gb2312], package_dir), (5,)))
    return sets


def node_count(value):
    if not 1 <= value <= MAX_NODES:
        raise argparse.ArgumentTypeError('node number must be 1..%d' % MAX_NODES)
    return value


def write_lines(path, lines):
    with open(path, 'w', encoding='utf-8', newline='\n') as out:
        for line in lines:
            out.write(line + '\n')


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('out_dir', nargs='?', default=os.path.join(
        os.path.dirname(os.path.abspath(__file__)), '..', 'data', 'charset'))
    parser.add_argument('--hanzi', choices=('level1', 'gb2312', 'gb2312-big5'), default='level1')
    parser.add_argument('--stroke-data', help='the hanzi-writer-data package directory')
    parser.add_argument('--hanzi-nodes', type=lambda s: node_count(int(s)), default=3)
    parser.add_argument('--level1-nodes', type=lambda s: node_count(int(s)),
                        help='node number of the GB2312 level-1 hanzi (default: --hanzi-nodes)')
    parser.add_argument('--latin-nodes', type=lambda s: node_count(int(s)), default=8)
    parser.add_argument('--stop-nodes', type=lambda s: node_count(int(s)), default=4)
    args = parser.parse_args()

    hanzi = hanzi_sets(args.hanzi, args.stroke_data)
    latin = list(string.digits + string.ascii_uppercase + string.ascii_lowercase)
    stop = ['\u3002']

    os.makedirs(args.out_dir, exist_ok=True)
    numbered = [(c, args.latin_nodes) for c in latin]
    numbered += [(c, args.stop_nodes) for c in stop]
    level1_nodes = args.level1_nodes or args.hanzi_nodes
    numbered += [(c, level1_nodes if 2 in bits else args.hanzi_nodes) for chars, bits in hanzi for c in chars]
    numbered.sort(key=lambda item: ord(item[0]))
    write_lines(os.path.join(args.out_dir, 'char_number.txt'),
                ['%s %d' % item for item in numbered])
    write_lines(os.path.join(args.out_dir, 'char_bit0.txt'), latin)
    write_lines(os.path.join(args.out_dir, 'char_bit1.txt'), stop)
    for chars, bits in hanzi:
        for bit in bits:
            write_lines(os.path.join(args.out_dir, 'char_bit%d.txt' % bit), chars)


if __name__ == '__main__':
    main()
