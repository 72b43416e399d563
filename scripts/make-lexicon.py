#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Selects the phrase list of the embedded lexicon from a word-frequency list.

Input: a dictionary of "word frequency tag" lines (UTF-8).
Output: the lexicon builder's input, one "phrase tag frequency" line per
phrase, and a short description of the source.

Selection:
  * every CJK character U+4E00..U+9FA5 as a single-character phrase, with its
    frequency from the list, or 1 where the list has none;
  * the most frequent multi-character words made only of CJK characters,
    preferring words whose characters are all GB2312 level-1 hanzi (those
    the recognizer can return), up to --words words.
Phrases are written by decreasing frequency, ties broken by the phrase, so
the output depends only on the input list.
"""
import argparse
import sys

CJK_FIRST = 0x4E00
SYMBOLS = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz\u3002"
CJK_LAST = 0x9FA5
MAX_FREQUENCY = 2**31 - 1


def gb2312_level1():
    """The 3755 hanzi of GB2312 level 1 (rows 16-55)."""
    chars = set()
    for row in range(0xB0, 0xD8):
        for cell in range(0xA1, 0xFF):
            try:
                chars.add(bytes([row, cell]).decode("gb2312"))
            except UnicodeDecodeError:
                pass  # unassigned cells at the end of row 55
    return chars


def is_cjk(text):
    return all(CJK_FIRST <= ord(c) <= CJK_LAST for c in text)


def read_dictionary(path):
    """word -> (frequency, tag); the first entry of a repeated word wins."""
    entries = {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            fields = line.split()
            if len(fields) < 2:
                continue
            word, frequency = fields[0], fields[1]
            tag = fields[2] if len(fields) > 2 else "x"
            try:
                value = int(frequency)
            except ValueError:
                sys.exit(f"{path}:{number}: bad frequency {frequency!r}")
            if value > 0 and word not in entries:
                entries[word] = (min(value, MAX_FREQUENCY), tag)
    return entries


def by_frequency(item):
    phrase, (frequency, _tag) = item
    return (-frequency, phrase)


def select(entries, words):
    singles = {}
    for code in range(CJK_FIRST, CJK_LAST + 1):
        char = chr(code)
        singles[char] = entries.get(char, (1, "x"))
    # The recognizer also returns digits, Latin letters and the full stop;
    # as phrases of their own they reach the candidate list.
    for char in SYMBOLS:
        singles[char] = entries.get(char, (1, "x"))
    level1 = gb2312_level1()
    multi = [(w, e) for w, e in entries.items() if len(w) > 1 and is_cjk(w)]
    preferred = sorted((x for x in multi if set(x[0]) <= level1), key=by_frequency)
    others = sorted((x for x in multi if not set(x[0]) <= level1), key=by_frequency)
    chosen = (preferred + others)[:words]
    return sorted(list(singles.items()) + chosen, key=by_frequency)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("dictionary")
    parser.add_argument("phrases")
    parser.add_argument("description")
    parser.add_argument("--words", type=int, default=60000)
    parser.add_argument("--source", default="word-frequency list",
                        help="one line naming the source, for the description")
    args = parser.parse_args()

    selected = select(read_dictionary(args.dictionary), args.words)
    with open(args.phrases, "w", encoding="utf-8", newline="\n") as out:
        for phrase, (frequency, tag) in selected:
            out.write(f"{phrase} {tag} {frequency}\n")
    lines = [
        "penrune phrase lexicon",
        f"Source: {args.source}",
        "Licence: Expat (MIT)",
    ]
    with open(args.description, "w", encoding="utf-8", newline="") as out:
        out.write("\r\n".join(lines) + "\r\n")
    singles = sum(1 for phrase, _ in selected if len(phrase) == 1)
    print(f"{len(selected)} phrases ({singles} single characters)")


if __name__ == "__main__":
    main()
