#!/usr/bin/python3
"""Writes a folder for the responsiveness benchmark: corvalo.ini with N launcher items, half of
them files and folders that exist (of several types), half missing paths of several types, and,
with --share, one more item on a network share nobody answers for.

    make_items.py FOLDER WINDOWS_FOLDER N [--share]

FOLDER is the folder as Linux sees it, WINDOWS_FOLDER the same as Wine names it (Z:\\...).
"""

import argparse
import os

KINDS = [".txt", ".bmp", ".ini", ".exe", ".lnk", ".html", ""]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("windows_folder")
    parser.add_argument("items", type=int)
    parser.add_argument("--share", action="store_true")
    args = parser.parse_args()
    files = os.path.join(args.folder, "targets")
    os.makedirs(files, exist_ok=True)
    lines = ["[MENU]"]
    for i in range(args.items):
        kind = KINDS[i % len(KINDS)]
        name = f"target {i:04d}{kind}"
        if i % 2 == 0:
            path = os.path.join(files, name)
            if kind:
                with open(path, "wb") as f:
                    f.write(b"x")
            else:
                os.makedirs(path, exist_ok=True)
            target = f"{args.windows_folder}\\targets\\{name}"
        else:
            target = f"{args.windows_folder}\\missing\\{name}"
        lines.append(f"Item {i:04d}={target}")
    if args.share:
        lines.append("Share tool=\\\\unreachable\\tools\\tool.exe")
    text = "\r\n".join(lines) + "\r\n"
    with open(os.path.join(args.folder, "corvalo.ini"), "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))


if __name__ == "__main__":
    main()
