#!/usr/bin/env python3
"""Holds the reads of the mode globals in the kernel folders against a list.

  python3 mode_reads.py <root holding src/> [--write] [--list=PATH]

A read is the whole identifier of one of the seven mode globals (modularmode,
lintmode, flotemode, laurent, field_depth, finf, modulus) in the code of a
file under src/numbers/, src/dense/, src/poly/, src/gcd/ or src/factor/:
comments, string and character literals do not count, nor a member access
(`.modulus`, `->modulus`, a designated initializer), nor a function of the
name (`modulus(` declares or calls one). A qualified name (`tavrin::modulus`)
counts. A local or parameter of the same name is not told
apart (a token rule): its uses count as reads, so name such variables
otherwise. The kernels take the ring as a value (core/ring.h) instead.

The list (tests/layout/mode_reads.txt under the root unless --list names
another) holds one line per file, "path count".
The check fails when a file reads more than its line allows or a file not
listed reads any, and asks for the line to be lowered when a count fell, so
the list only shrinks. --write rewrites the list from the tree.
"""
import os
import re
import sys

GLOBALS = ('modularmode', 'lintmode', 'flotemode', 'laurent', 'field_depth', 'finf', 'modulus')
FOLDERS = ('numbers', 'dense', 'poly', 'gcd', 'factor')
LIST = 'mode_reads.txt'


def code_only(text):
    """The text without comments and literals, lines kept in place."""
    pattern = re.compile(r'//[^\n]*|/\*.*?\*/|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'', re.S)
    return pattern.sub(lambda m: '\n' * m.group(0).count('\n') if m.group(0)[0] == '/'
                       else '""', text)


def count_reads(text):
    code = code_only(text)
    n = 0
    for m in re.finditer(r'\b(' + '|'.join(GLOBALS) + r')\b', code):
        before = code[:m.start()].rstrip()
        if before.endswith('.') or before.endswith('->'):
            continue  # a member of a value: ring.modulus, r->laurent
        if code[m.end():].lstrip().startswith('('):
            continue  # a function: WordField::modulus()
        n += 1
    return n


def tree_counts(root):
    counts = {}
    for folder in FOLDERS:
        for dirpath, dirs, files in os.walk(os.path.join(root, 'src', folder)):
            dirs.sort()
            for f in sorted(files):
                if f.endswith(('.h', '.cpp')):
                    path = os.path.join(dirpath, f)
                    n = count_reads(open(path, errors='replace').read())
                    if n:
                        counts[os.path.relpath(path, root)] = n
    return counts


def read_list(path):
    allowed = {}
    if os.path.exists(path):
        for line in open(path):
            line = line.strip()
            if line and not line.startswith('#'):
                name, n = line.rsplit(None, 1)
                allowed[name] = int(n)
    return allowed


def main():
    args = [a for a in sys.argv[1:] if not a.startswith('--')]
    root = args[0] if args else '.'
    list_path = os.path.join(root, 'tests', 'layout', LIST)
    for a in sys.argv[1:]:
        if a.startswith('--list='):
            list_path = a[len('--list='):]
    counts = tree_counts(root)
    if not counts:
        print('no reads found under %s: wrong root?' % root)
        sys.exit(2)
    if '--write' in sys.argv:
        with open(list_path, 'w') as out:
            out.write('# Reads of the mode globals per file (mode_reads.py); lower only.\n')
            for name in sorted(counts):
                out.write('%s %d\n' % (name, counts[name]))
        print('wrote %s: %d reads in %d files' % (list_path, sum(counts.values()), len(counts)))
        return
    allowed = read_list(list_path)
    rose, fell = [], []
    for name in sorted(set(counts) | set(allowed)):
        n, limit = counts.get(name, 0), allowed.get(name, 0)
        if n > limit:
            rose.append('  %s: %d reads, %d allowed' % (name, n, limit))
        elif n < limit:
            fell.append('  %s: %d reads, the list allows %d: lower its line' % (name, n, limit))
    if rose:
        print('Mode globals read more than the list allows (take the ring as a value, '
              'core/ring.h):')
        print('\n'.join(rose))
    if fell:
        print('Mode global reads fell (run mode_reads.py --write):')
        print('\n'.join(fell))
    if rose or fell:
        sys.exit(1)
    print('%d mode global reads in %d files, as listed' % (sum(counts.values()), len(counts)))


if __name__ == '__main__':
    main()
