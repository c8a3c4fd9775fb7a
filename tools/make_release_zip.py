#!/usr/bin/python3
"""Writes a zip archive whose bytes depend only on the files put in it.

    make_release_zip.py ARCHIVE NAME=PATH... [--version V]

Entries keep the given order and carry a fixed date (1980-01-01) and fixed permissions. Text
files (.txt) get Windows line ends, and "VERSION" in them becomes the given version.
"""

import argparse
import zipfile

FIXED_DATE = (1980, 1, 1, 0, 0, 0)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("archive")
    parser.add_argument("entries", nargs="+", metavar="NAME=PATH")
    parser.add_argument("--version", default="")
    args = parser.parse_args()
    with zipfile.ZipFile(args.archive, "w") as archive:
        for entry in args.entries:
            name, path = entry.split("=", 1)
            with open(path, "rb") as f:
                data = f.read()
            if name.endswith(".txt"):
                text = data.decode("utf-8").replace("\r\n", "\n")
                if args.version:
                    text = text.replace("VERSION", args.version)
                data = text.replace("\n", "\r\n").encode("utf-8")
            info = zipfile.ZipInfo(name, FIXED_DATE)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS: no Unix permissions recorded
            info.external_attr = 0
            archive.writestr(info, data, compresslevel=9)


if __name__ == "__main__":
    main()
