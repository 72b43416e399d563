#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Write the charset directory of the recognition model.

The model knows the 3,755 GB2312 level-1 hanzi, the digits, the Latin
letters and the ideographic full stop. Each character goes into
char_number.txt with its node number (the largest number of prototypes the
clustering stage may make for it) and into the char_bit<i>.txt files of the
charsets it belongs to:

  charset 0  digits and Latin letters
  charset 1  U+3002 ideographic full stop
  charset 2  hanzi
  charset 3  hanzi

Three prototypes per hanzi keep the model image under 1 MB (each prototype
costs 68 bytes); letters and digits get eight, since writers form them in
many more distinct ways.

Usage: make-charset.py [OUT_DIR] [--hanzi-nodes N] [--latin-nodes N]
                       [--stop-nodes N]
"""
import argparse
import os
import string

MAX_NODES = 10  # the model image allows at most 10 prototypes per character


def gb2312_level1():
    """The level-1 hanzi: rows 16 to 55 (lead bytes 0xB0-0xD7), 94 cells
    each, except row 55 which ends at cell 89 (0xD7F9)."""
    chars = []
    for lead in range(0xB0, 0xD8):
        last = 0xF9 if lead == 0xD7 else 0xFE
        for trail in range(0xA1, last + 1):
            chars.append(bytes([lead, trail]).decode('gb2312'))
    return chars


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
    parser.add_argument('--hanzi-nodes', type=lambda s: node_count(int(s)), default=3)
    parser.add_argument('--latin-nodes', type=lambda s: node_count(int(s)), default=8)
    parser.add_argument('--stop-nodes', type=lambda s: node_count(int(s)), default=4)
    args = parser.parse_args()

    hanzi = gb2312_level1()
    assert len(hanzi) == 3755 and len(set(hanzi)) == 3755
    latin = list(string.digits + string.ascii_uppercase + string.ascii_lowercase)
    stop = ['\u3002']

    os.makedirs(args.out_dir, exist_ok=True)
    numbered = [(c, args.latin_nodes) for c in latin]
    numbered += [(c, args.stop_nodes) for c in stop]
    numbered += [(c, args.hanzi_nodes) for c in hanzi]
    numbered.sort(key=lambda item: ord(item[0]))
    write_lines(os.path.join(args.out_dir, 'char_number.txt'),
                ['%s %d' % item for item in numbered])
    write_lines(os.path.join(args.out_dir, 'char_bit0.txt'), latin)
    write_lines(os.path.join(args.out_dir, 'char_bit1.txt'), stop)
    write_lines(os.path.join(args.out_dir, 'char_bit2.txt'), hanzi)
    write_lines(os.path.join(args.out_dir, 'char_bit3.txt'), hanzi)


if __name__ == '__main__':
    main()
