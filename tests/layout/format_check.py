#!/usr/bin/env python3
"""The sources as clang-format lays them out.

Usage: format_check.py ROOT [CLANG_FORMAT]

Runs `clang-format --dry-run --Werror` with the repository's .clang-format
over the .cpp and .h files under ROOT/src, ROOT/tests and ROOT/bench
(planted fixtures left out unless ROOT is their tree). Prints each file
that the formatter would change and exits 1; exits 77 (a skip for CTest)
when clang-format is not installed or is not the major version the
sources were formatted with, since another version lays some lines out
otherwise. Regions between `// clang-format off` and `// clang-format on`
are the formatter's to leave alone.
"""
import os
import re
import shutil
import subprocess
import sys

from include_blocks import sources  # the same files, planted fixtures left out

MAJOR = 14  # the version CI installs and the sources are formatted with
SKIP = 77


def main(argv):
    root = argv[0]
    tool = shutil.which(argv[1] if len(argv) > 1 else "clang-format")
    if tool is None:
        print("clang-format is not installed: the layout is not checked")
        return SKIP
    version = subprocess.run([tool, "--version"], capture_output=True, text=True).stdout
    m = re.search(r"version (\d+)\.", version)
    if m is None or int(m.group(1)) != MAJOR:
        print("clang-format %d is needed, found: %s" % (MAJOR, version.strip()))
        return SKIP
    files = list(sources(root))
    unformatted = []
    for i in range(0, len(files), 50):
        batch = files[i:i + 50]
        run = subprocess.run([tool, "--dry-run", "--Werror", "--style=file"] + batch,
                             capture_output=True, text=True)
        if run.returncode != 0:
            named = set(re.findall(r"^(.*?):\d+:\d+: error:", run.stderr, re.M))
            unformatted += [f for f in batch if f in named]
            if not named:  # the tool failed on its own: show why
                print(run.stderr)
                return 1
    if unformatted:
        print("Files not laid out as .clang-format asks (clang-format -i --style=file FILE):")
        for f in unformatted:
            print("  " + os.path.relpath(f, root))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
