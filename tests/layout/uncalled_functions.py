#!/usr/bin/env python3
"""Lists the functions of src/ that nothing calls.

  python3 uncalled_functions.py <root holding src/ (and tests/, bench/)>

A function is a definition starting in column 0 of a file under src/ (the
namespaces are not indented, so members of classes are not counted). It is
called when its name appears anywhere in src/, tests/ or bench/ outside
comments other than as a declaration or definition: a call, a pointer taken,
a name handed to a table. Exits 1 listing the uncalled ones, except those in
KEPT below. A rough check by the text, not by a compiler: a name shared by
two functions counts as called when either is.
"""
import os
import re
import sys

# Functions kept without a caller, and why.
KEPT = {
    'main': 'the program',
}

KEYWORDS = {'if', 'for', 'while', 'switch', 'return', 'catch', 'sizeof', 'defined'}
DEFINITION = re.compile(
    r'^(?:template\s*<[^;{}]*>\s*)?(?:\[\[\w+\]\]\s*)?(?:[\w:<>*&,]+[ \t]+)+[*&]*(\w+)\([^;{}]*\)'
    r'\s*(?:const\s*)?(?:noexcept\s*)?\{', re.M)
DECLARATION = re.compile(
    r'^\s*(?:\[\[\w+\]\]\s*)?(?:(?:static|inline|constexpr|extern|friend)\s+)*'
    r'(?:[\w:<>*&,]+\s+)+[*&]*$')


def sources(root, folders):
    for folder in folders:
        for dirpath, _, files in os.walk(os.path.join(root, folder)):
            for f in sorted(files):
                if f.endswith(('.h', '.cpp')):
                    yield os.path.join(dirpath, f)


def strip_comments(text):
    text = re.sub(r'/\*.*?\*/', lambda m: '\n' * m.group(0).count('\n'), text, flags=re.S)
    return re.sub(r'//[^\n]*', '', text)


def uncalled(root):
    defined = {}
    for path in sources(root, ['src']):
        text = strip_comments(open(path, errors='replace').read())
        for m in DEFINITION.finditer(text):
            name = m.group(1)
            if name not in KEYWORDS:
                defined.setdefault(name, os.path.relpath(path, root))
    calls = dict.fromkeys(defined, 0)
    word = re.compile(r'\b[A-Za-z_]\w*\b')
    for path in sources(root, ['src', 'tests', 'bench']):
        for line in strip_comments(open(path, errors='replace').read()).split('\n'):
            for m in word.finditer(line):
                if m.group(0) not in calls:
                    continue
                before, after = line[:m.start()], line[m.end():]
                if after.startswith('(') and DECLARATION.match(before) and \
                        not re.match(r'\s*(return|else|case|new|delete|throw)\b', before):
                    continue
                calls[m.group(0)] += 1
    return {n: p for n, p in defined.items() if calls[n] == 0 and n not in KEPT}


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else '.'
    found = uncalled(root)
    if found:
        print('Functions that nothing calls (remove them, or keep one in KEPT of %s with '
              'its reason):' % os.path.basename(__file__))
        for name, path in sorted(found.items(), key=lambda x: (x[1], x[0])):
            print('  %s: %s' % (path, name))
        sys.exit(1)
    print('every function of src/ has a caller')


if __name__ == '__main__':
    main()
