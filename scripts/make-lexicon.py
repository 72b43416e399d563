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
    the embedded model can return), up to --words words;
  * with --charset, the words made of the hanzi of that model charset that
    are not all level-1 hanzi and are at least as frequent as the last
    level-1 word taken: a larger model's rarer characters get their words at
    the same frequency floor;
  * with --opencc, the phrases above converted by that OpenCC profile (for
    example s2tw.json, simplified to Taiwan-standard traditional), where the
    converted form differs and all its hanzi are in the charset, with the
    frequency of the phrase it came from. A phrase reached more than once
    keeps its largest frequency.
Phrases are written by decreasing frequency, ties broken by the phrase, so
the output depends only on the input list (and the OpenCC version).
"""
import argparse
import os
import subprocess
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


def read_charset(directory):
    """The hanzi of a model charset directory's node-number file."""
    chars = set()
    with open(os.path.join(directory, "char_number.txt"), encoding="utf-8-sig") as lines:
        for line in lines:
            fields = line.split()
            if len(fields) >= 2 and int(fields[1]) > 0 and is_cjk(fields[0][0]):
                chars.add(fields[0][0])
    return chars


def select(entries, words, known=frozenset()):
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
    if chosen and known:
        floor = chosen[-1][1][0]
        taken = {word for word, _ in chosen}
        chosen += [x for x in others if x[1][0] >= floor and set(x[0]) <= known and x[0] not in taken]
    return sorted(list(singles.items()) + chosen, key=by_frequency)


def convert(phrases, profile):
    """The phrases converted by the OpenCC command-line tool, one per line."""
    result = subprocess.run(["opencc", "-c", profile], input="\n".join(phrases) + "\n",
                            capture_output=True, text=True, check=True)
    converted = result.stdout.split("\n")[:len(phrases)]
    if len(converted) != len(phrases):
        sys.exit("opencc returned %d lines for %d phrases" % (len(converted), len(phrases)))
    return converted


def add_converted(selected, profile, known):
    """Adds the converted forms whose hanzi the model knows; a phrase met
    twice keeps its largest frequency."""
    merged = dict(selected)
    for (phrase, entry), form in zip(selected, convert([p for p, _ in selected], profile)):
        if form == phrase or not is_cjk(form) or not (len(form) == 1 or set(form) <= known):
            continue
        if form not in merged or merged[form][0] < entry[0]:
            merged[form] = entry
    return sorted(merged.items(), key=by_frequency)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("dictionary")
    parser.add_argument("phrases")
    parser.add_argument("description")
    parser.add_argument("--words", type=int, default=60000)
    parser.add_argument("--source", default="word-frequency list",
                        help="one line naming the source, for the description")
    parser.add_argument("--charset", help="charset directory of the model the lexicon serves")
    parser.add_argument("--opencc", help="OpenCC profile that adds converted forms (needs --charset)")
    parser.add_argument("--opencc-source", default="OpenCC",
                        help="one line naming the converter, for the description")
    args = parser.parse_args()
    if args.opencc and not args.charset:
        parser.error("--opencc needs --charset")

    known = read_charset(args.charset) if args.charset else frozenset()
    selected = select(read_dictionary(args.dictionary), args.words, known)
    if args.opencc:
        selected = add_converted(selected, args.opencc, known)
    with open(args.phrases, "w", encoding="utf-8", newline="\n") as out:
        for phrase, (frequency, tag) in selected:
            out.write(f"{phrase} {tag} {frequency}\n")
    lines = [
        "penrune phrase lexicon",
        f"Source: {args.source}",
        "Licence: Expat (MIT)",
    ]
    if args.opencc:
        lines.append(f"Traditional forms: {args.opencc_source}, profile {args.opencc}")
    with open(args.description, "w", encoding="utf-8", newline="") as out:
        out.write("\r\n".join(lines) + "\r\n")
    singles = sum(1 for phrase, _ in selected if len(phrase) == 1)
    print(f"{len(selected)} phrases ({singles} single characters)")


if __name__ == "__main__":
    main()
