#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Side-by-side summary of the line benchmark: reads the tables that
bench/lines/run.sh prints and writes one row per set, spacing and length
with the classic and the line mode's rates (kinds of line pooled, weighted
by characters for CR and by lines for exact matches).

usage: bench/lines/run.sh | bench/lines/summarize.py
"""
import re
import sys
from collections import defaultdict

ROW = re.compile(r"^\| (\S+) \| (\S+) / (\S+) (\S+) \| (\d+) \| (\d+) \| (\w+) \| ([\d.]+) % \| ([\d.]+) % \| "
                 r"([\d.]+) % \| ([\d.]+) % \| ([\d.]+) % \| ([\d.]+) % \|")


def main():
    sums = defaultdict(lambda: defaultdict(float))
    order = []
    for line in sys.stdin:
        m = ROW.match(line)
        if not m:
            continue
        name, spacing, _kind, length, lines, chars, mode = m.groups()[:7]
        cr, ar, e1, e5, e10, oracle = map(float, m.groups()[7:])
        key = (name, spacing, length)
        if key not in order:
            order.append(key)
        s = sums[key, mode]
        n, l = int(chars), int(lines)
        s["chars"] += n
        s["lines"] += l
        s["cr"] += cr * n
        s["ar"] += ar * n
        s["e1"] += e1 * l
        s["e5"] += e5 * l
        s["oracle"] += oracle * n
    print("| set | spacing | length | lines | CR classic | CR line | AR line | exact 1 classic | exact 1 line "
          "| exact 5 line | oracle |")
    print("|---|---|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    for key in order:
        c, l = sums[key, "classic"], sums[key, "line"]

        def rate(s, field, base):
            return f"{s[field] / s[base]:.1f} %" if s[base] else "-"

        print(f"| {key[0]} | {key[1]} | {key[2]} | {int(l['lines'] or c['lines'])} | {rate(c, 'cr', 'chars')} "
              f"| {rate(l, 'cr', 'chars')} | {rate(l, 'ar', 'chars')} | {rate(c, 'e1', 'lines')} "
              f"| {rate(l, 'e1', 'lines')} | {rate(l, 'e5', 'lines')} | {rate(l, 'oracle', 'chars')} |")


if __name__ == "__main__":
    main()
