#!/usr/bin/env python3
"""Fails when a source file includes a folder that its layer may not use.

The allowed directions are written once, in cmake/Layers.txt: each line names a folder and
the folders below it. A file's folder is the first part of its path; a file under a tests/
folder may also use what the line "*/tests" names. Only includes of the tree's own folders
("link/Loader.h") are judged; system and third-party headers are not ours to order.

Usage: check_layers.py [ROOT]      check the tree at ROOT (default: this checkout)
       check_layers.py --self-test prove on a small tree that an upward include fails
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

SOURCES = (".cpp", ".h", ".def", ".inc", ".rc", ".in")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
SKIP = {"build", ".git"}


def read_layers(root):
    table = {}
    with open(os.path.join(root, "cmake", "Layers.txt"), encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if not line or ":" not in line:
                continue
            folder, below = line.split(":", 1)
            table[folder.strip()] = set(below.split())
    return table


def allowed_folders(path, table):
    parts = path.split("/")
    folder = parts[0]
    allowed = {folder} | table.get(folder, set())
    if "tests" in parts[1:-1]:
        allowed |= table.get("*/tests", set())
    return folder, allowed


def violations(root):
    table = read_layers(root)
    ours = {d for d in os.listdir(root) if os.path.isdir(os.path.join(root, d)) and d not in SKIP}
    found = []
    for top, dirs, files in os.walk(root):
        dirs[:] = sorted(d for d in dirs if d not in SKIP)
        for name in sorted(files):
            if not name.endswith(SOURCES):
                continue
            path = os.path.relpath(os.path.join(top, name), root).replace(os.sep, "/")
            if "/" not in path:
                continue
            folder, allowed = allowed_folders(path, table)
            with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
                text = f.read()
            for match in INCLUDE.finditer(text):
                target = match.group(1).split("/")[0]
                if "/" in match.group(1) and target in ours and target not in allowed:
                    line = text.count("\n", 0, match.start()) + 1
                    found.append("%s:%d: %s may not include %s (cmake/Layers.txt)"
                                 % (path, line, folder, match.group(1)))
    return found


def self_test():
    here = os.path.abspath(__file__)
    with tempfile.TemporaryDirectory() as root:
        os.makedirs(os.path.join(root, "cmake"))
        with open(os.path.join(root, "cmake", "Layers.txt"), "w") as f:
            f.write("base:\nimage: base\nlink: image base\ntesting: base\n*/tests: testing\n")

        def put(path, include):
            os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
            with open(os.path.join(root, path), "w") as f:
                f.write('#include "%s"\n#include <vector>\n' % include)

        put("base/Crc.h", "base/Other.h")
        put("image/Reader.cpp", "base/Crc.h")
        put("link/Loader.cpp", "image/Reader.h")
        put("image/tests/ReaderTest.cpp", "testing/Wire.h")
        put("testing/Wire.cpp", "base/Crc.h")

        def run():
            return subprocess.run([sys.executable, here, root], capture_output=True, text=True)

        clean = run()
        if clean.returncode != 0:
            print("self-test: a tree that keeps its layers was refused:\n" + clean.stdout)
            return 1
        put("image/Reader.h", "link/Loader.h")
        upward = run()
        if upward.returncode == 0 or "image/Reader.h:1: image may not include link/Loader.h" \
                not in upward.stdout:
            print("self-test: an upward include passed:\n" + upward.stdout)
            return 1
        os.remove(os.path.join(root, "image", "Reader.h"))
        put("base/tests/CrcTest.cpp", "image/Reader.h")
        sideways = run()
        if sideways.returncode == 0:
            print("self-test: a test that reaches above its folder passed")
            return 1
    print("self-test: an upward include fails the check, a tree that keeps its layers passes")
    return 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
    found = violations(os.path.abspath(root))
    for line in found:
        print(line)
    if found:
        print("%d include(s) reach above their layer" % len(found))
        return 1
    print("every include keeps to the layers of cmake/Layers.txt")
    return 0


if __name__ == "__main__":
    sys.exit(main())
