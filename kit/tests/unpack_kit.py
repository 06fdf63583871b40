#!/usr/bin/env python3
"""Unpacks the kit zip for kit_tests, read by Python's own zip reader as a user's unzip would.

Usage: unpack_kit.py ZIP INTO
Writes INTO/listing.txt (the zip's entries in their order, one a line) and extracts the files
into INTO/files. Fails when an entry's data does not match its checksum, or a name would land
outside INTO/files.
"""
import os
import shutil
import sys
import zipfile


def main():
    archive, into = sys.argv[1], sys.argv[2]
    if not os.path.isfile(archive):
        print("%s: no kit; the 32-bit Windows build packs it (cmake --build --preset windows)"
              % archive)
        return 1
    shutil.rmtree(into, ignore_errors=True)
    files = os.path.join(into, "files")
    os.makedirs(files)
    with zipfile.ZipFile(archive) as kit:
        damaged = kit.testzip()
        if damaged is not None:
            print("%s: %s does not match its checksum" % (archive, damaged))
            return 1
        names = kit.namelist()
        for name in names:
            if name.startswith("/") or ".." in name.split("/") or "\\" in name:
                print("%s: entry %r would land outside the folder it is unpacked in"
                      % (archive, name))
                return 1
        kit.extractall(files)
    with open(os.path.join(into, "listing.txt"), "w", encoding="utf-8") as listing:
        listing.write("".join(name + "\n" for name in names))
    print("%s: %d entries unpacked into %s" % (archive, len(names), files))
    return 0


if __name__ == "__main__":
    sys.exit(main())
