#!/usr/bin/python3
"""Prints the table of scripts/bench.sh from the FIGURE lines the benchmarks wrote into their logs.

A FIGURE line is tab-separated: FIGURE, what, ours, peer, peer name, unit, target. A target
"<=R" holds when ours / peer is at most R; ">=V" when ours is at least V; "ours<=V" when ours is
at most V; "ours<=peer+D" when ours is at most D more than the peer; "-" has none.
Arguments: the log files, in the order the table lists them.
"""

import sys


def figures(paths):
    for path in paths:
        try:
            with open(path, encoding="utf-8", errors="replace") as f:
                for line in f:
                    fields = line.rstrip("\r\n").split("\t")
                    if fields[0] == "FIGURE" and len(fields) == 7:
                        yield fields[1:]
        except OSError:
            continue


def number(text):
    try:
        return float(text)
    except ValueError:
        return None


def verdict(target, ours, ratio, peer=None):
    if target.startswith("ours<=peer+") and ours is not None and peer is not None:
        return "met" if ours <= peer + float(target[len("ours<=peer+"):]) else "MISSED"
    if target.startswith("ours<=") and ours is not None:
        return "met" if ours <= float(target[len("ours<="):]) else "MISSED"
    if target.startswith("<=") and ratio is not None:
        return "met" if ratio <= float(target[2:]) else "MISSED"
    if target.startswith(">=") and ours is not None:
        return "met" if ours >= float(target[2:]) else "MISSED"
    return ""


def main():
    rows = []
    for what, ours_text, peer_text, peer_name, unit, target in figures(sys.argv[1:]):
        ours, peer = number(ours_text), number(peer_text)
        ratio = ours / peer if ours is not None and peer else None
        rows.append((what, f"{ours:.1f} {unit}" if ours is not None else "-",
                     f"{peer:.1f} {unit}" if peer is not None else "-", peer_name,
                     f"{ratio:.2f}" if ratio is not None else "-", target,
                     verdict(target, ours, ratio, peer)))
    if not rows:
        print("no figures were measured")
        return 1
    head = ("figure", "Corvalo", "peer", "peer is", "ratio", "target", "")
    widths = [max(len(r[i]) for r in rows + [head]) for i in range(len(head))]
    align = ["<", ">", ">", "<", ">", "<", "<"]
    for r in [head] + rows:
        print("  ".join(f"{c:{a}{w}}" for c, a, w in zip(r, align, widths)).rstrip())
    return 0


if __name__ == "__main__":
    sys.exit(main())
