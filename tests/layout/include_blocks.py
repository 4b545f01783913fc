#!/usr/bin/env python3
"""Include blocks sorted by layer.

Usage: include_blocks.py ROOT [--fix]

Checks the sources under ROOT/src, ROOT/tests and ROOT/bench (planted
fixtures left out); with --fix sorts them instead. A block is a run of
consecutive `#include` lines; blocks are never merged or moved. Inside a
block: a .cpp file's own header first (in its first block), then <...>
headers alphabetically, then "..." headers by the layer of their first
folder, lowest first, alphabetically within a layer, then those of any other
folder and those without one. The .clang-format at the root asks for the
same order. Exits 1 listing the files out of order.
"""
import os
import re
import sys

def layers():
    """The folders of src/, lowest first, as include_order.cmake sets them."""
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "include_order.cmake"), encoding="utf-8") as h:
        return re.search(r"^set\(order ([^)]*)\)", h.read(), re.M).group(1).split()


LAYERS = layers()
RANK = {name: i for i, name in enumerate(LAYERS)}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def key(line, own):
    m = INCLUDE.match(line)
    kind, path = m.group(1), m.group(2)
    if kind == '"' and path == own:
        return (0, 0, path)
    if kind == "<":
        return (1, 0, path)
    if "/" in path:
        top = path.split("/", 1)[0]
        return (2, RANK.get(top, len(LAYERS)), path)
    return (2, len(LAYERS) + 1, path)


def own_headers(filename):
    """The stem a .cpp file's own header has, whatever its folder (a room's
    header is included by its path from src/), compared without case as
    clang-format does; "" for a header."""
    stem, ext = os.path.splitext(os.path.basename(filename))
    if ext not in (".cpp", ".cc"):
        return ""
    return stem.lower()


def sort_text(text, filename):
    lines = text.split("\n")
    own = own_headers(filename)
    out, block = [], []
    first = [True]  # the own header counts only in the file's first block

    def flush():
        if not block:
            return
        # the first include of the first block named like the file is its own
        mine = ""
        if first[0]:
            paths = (INCLUDE.match(l) for l in block)
            mine = next((m.group(2) for m in paths if m.group(1) == '"' and
                         os.path.splitext(os.path.basename(m.group(2)))[0].lower() == own), "")
        first[0] = False
        seen = set()
        for line in sorted(block, key=lambda l: key(l, mine)):  # stable for equal keys
            path = INCLUDE.match(line).group(2)
            if path not in seen:  # an exact repeat in the block is dropped, as clang-format does
                seen.add(path)
                out.append(line)
        block.clear()

    for line in lines:
        if INCLUDE.match(line):
            block.append(line)
        else:
            flush()
            out.append(line)
    flush()
    return "\n".join(out)


def sources(root):
    for top in ("src", "tests", "bench"):
        for dirpath, dirs, names in os.walk(os.path.join(root, top)):
            dirs[:] = sorted(d for d in dirs if not d.startswith(".") and d not in ("build", "planted"))
            for n in sorted(names):
                if n.endswith((".cpp", ".h")):
                    yield os.path.join(dirpath, n)


def main(argv):
    fix = "--fix" in argv
    root = [a for a in argv if not a.startswith("--")][0]
    unsorted = []
    for f in sources(root):
        with open(f, encoding="utf-8", errors="surrogateescape", newline="") as h:
            text = h.read()
        new = sort_text(text, f)
        if new == text:
            continue
        unsorted.append(os.path.relpath(f, root))
        if fix:
            with open(f, "w", encoding="utf-8", errors="surrogateescape", newline="") as h:
                h.write(new)
    if unsorted and not fix:
        print("Include blocks out of layer order (include_blocks.py ROOT --fix sorts them):")
        for f in unsorted:
            print("  " + f)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
