#!/usr/bin/env python3
"""Checks three rules of the house on the sources of src/.

  python3 source_rules.py <root holding src/> <rule> [longest]

Rules:
  function_length  no function longer than LONGEST lines (or `longest`,
                   for the planted tree), from the first line of its head
                   (a template line included) to its closing brace;
  kit_copies       no copy of the word kit outside src/numbers/: no
                   function or type named as a Shoup product (shoup,
                   shoup_mul..., Shoup...) or an add/sub-mod helper
                   (add_mod, mod_sub, ...), no Shoup quotient (w << 32) / p
                   or product (a wq) >> 32 written out, no lazy dot
                   product bounded by a comparison with 2^64 of its own
                   (the kit has dot_limbs and dot_room); vector kernels
                   built on the kit's products are no copies;
  impl_includes    no *_impl.h of one folder included from another (a room
                   is a folder of its own), but for the includes listed in
                   CROSS_FOLDER_IMPL below, which only shrinks.
A rough check by the text, not by a compiler. Exits 1 listing the faults.
"""
import os
import re
import sys

LONGEST = 150

# Includes of another folder's *_impl.h allowed (file: header): none; a
# header used across folders is public.
CROSS_FOLDER_IMPL = set()

KIT_NAME = re.compile(r'(?:shoup(?:_pre|_quotient|_mul\w*|_product\w*)?|Shoup\w*|(?:add|sub)_?mod|mod_?(?:add|sub)|(?:add|sub)_residues)$')
SHOUP_QUOTIENT = re.compile(r'<<\s*32\s*\)\s*/')
SHOUP_PRODUCT = re.compile(r'\)\s*>>\s*32\b')
BOUND_OF_64_BITS = re.compile(r'[<>]=?\s*\(?\s*(?:static_cast<[\w\s]+>\(1\)|\w+\{1\}|1\w*)\s*<<\s*64\b')


def sources(root):
    for dirpath, dirs, files in os.walk(os.path.join(root, 'src')):
        dirs.sort()
        for f in sorted(files):
            if f.endswith(('.h', '.cpp')):
                path = os.path.join(dirpath, f)
                yield os.path.relpath(path, root), path


def blank_out(text):
    """The text with comments, strings, character literals and preprocessor
    lines replaced by spaces, line breaks kept."""
    out, i, n = [], 0, len(text)
    line_start = True
    while i < n:
        c = text[i]
        if line_start and c == '#':
            j = i
            while j < n and (text[j] != '\n' or text[j - 1] == '\\'):
                j += 1
            out.append(re.sub(r'[^\n]', ' ', text[i:j]))
            i = j
            continue
        if c == '\n':
            line_start = True
        elif not c.isspace():
            line_start = False
        if text.startswith('//', i):
            j = text.find('\n', i)
            j = n if j < 0 else j
        elif text.startswith('/*', i):
            j = text.find('*/', i + 2)
            j = n if j < 0 else j + 2
        elif c == 'R' and text.startswith('"', i + 1) and not (i and (text[i - 1].isalnum() or text[i - 1] == '_')):
            m = re.match(r'R"([^(\s]*)\(', text[i:])
            end = text.find(')' + m.group(1) + '"', i) if m else -1
            j = n if end < 0 else end + len(m.group(1)) + 2
            out.append('R""')
            out.append(re.sub(r'[^\n]', ' ', text[i + 3:j]))
            i = j
            continue
        elif c in '"\'' and not (c == "'" and i and text[i - 1].isalnum()):  # 1'000 is one number
            j = i + 1
            while j < n and text[j] != c and text[j] != '\n':
                j += 2 if text[j] == '\\' else 1
            j += 1
            out.append(c + re.sub(r'[^\n]', ' ', text[i + 1:j - 1]) + c)
            i = j
            continue
        else:
            out.append(c)
            i += 1
            continue
        out.append(re.sub(r'[^\n]', ' ', text[i:j]))
        i = j
    return ''.join(out)


def scope_kind(head):
    """What a brace opened after `head` (the text since the last ; { or } of
    its scope) starts: 'namespace', 'class', 'init' (a member's braced
    initializer in a constructor's list), 'function' or 'data'."""
    h = ' '.join(head.split())
    if re.search(r'\bnamespace\b|\bextern\s*""', h):
        return 'namespace'
    if h.endswith(('=', ',', '(', '[')) or '(' not in h:
        if re.search(r'\b(?:struct|class|union|enum)\b', h) and not h.endswith('='):
            return 'class'
        return 'data'
    if re.search(r'^(?:template\s*<.*>\s*)?(?:struct|class|union)\b', h):
        return 'class'
    if re.search(r'\)\s*:', h) and re.search(r'\w$', h) and \
            not re.search(r'\b(?:const|noexcept|override|final|mutable|try)$', h):
        return 'init'
    return 'function'


def functions(text):
    """(name, first line, last line) of every function body outside other
    functions: at namespace scope or a member of a class."""
    blank = blank_out(text)
    found, stack = [], []
    head_start = 0
    for m in re.finditer(r'[{};]', blank):
        inside = stack[-1][0] if stack else 'namespace'
        if m.group(0) == ';':
            if inside in ('namespace', 'class'):
                head_start = m.end()
        elif m.group(0) == '{':
            kind = scope_kind(blank[head_start:m.start()]) if inside in ('namespace', 'class') else 'block'
            stack.append((kind, head_start))
            if kind in ('namespace', 'class', 'data'):
                head_start = m.end()
        elif stack:
            kind, start = stack.pop()
            if kind == 'function':
                head = re.sub(r'__attribute__\s*\(\(.*?\)\)|\[\[.*?\]\]', ' ', blank[start:m.start()], flags=re.S)
                name = re.search(r'(~?\w+)\s*\(', head)
                lead = len(blank[start:]) - len(blank[start:].lstrip())
                first = blank.count('\n', 0, start + lead) + 1
                found.append((name.group(1) if name else '?', first, blank.count('\n', 0, m.start()) + 1))
            if kind not in ('init', 'block'):
                head_start = m.end()
    return found


def function_length(root, longest=LONGEST):
    faults = []
    for rel, path in sources(root):
        for name, first, last in functions(open(path, errors='replace').read()):
            if last - first + 1 > longest:
                faults.append('%s:%d: %s has %d lines' % (rel, first, name, last - first + 1))
    return faults, 'Functions longer than %d lines (split them at their seams):' % longest


def kit_copies(root):
    faults = []
    for rel, path in sources(root):
        if rel.startswith(os.path.join('src', 'numbers') + os.sep):
            continue
        blank = blank_out(open(path, errors='replace').read())
        found = []
        for name, first, _ in functions(blank):
            if KIT_NAME.match(name):
                found.append((first, 'defines ' + name))
        for m in re.finditer(r'\b(?:struct|class)\s+(\w+)', blank):
            if KIT_NAME.match(m.group(1)):
                found.append((blank.count('\n', 0, m.start()) + 1, 'defines ' + m.group(1)))
        for pattern, what in ((SHOUP_QUOTIENT, 'a Shoup quotient'), (SHOUP_PRODUCT, 'a Shoup product'),
                              (BOUND_OF_64_BITS, 'a bound of 64 bits')):
            for m in pattern.finditer(blank):
                found.append((blank.count('\n', 0, m.start()) + 1, 'computes ' + what))
        faults += ['%s:%d: %s' % (rel, line, what) for line, what in sorted(found)]
    return faults, ('Copies of the word kit outside src/numbers/ (use numbers/word_field.h: '
                    'ShoupMultiplier, shoup_mul, WordField::add/sub, dot_limbs, dot_room):')


def impl_includes(root):
    faults = []
    include = re.compile(r'^\s*#\s*include\s*"([^"]*_impl\.h)"', re.M)
    for rel, path in sources(root):
        folder = os.path.dirname(rel)[len('src') + 1:].replace(os.sep, '/')
        for m in include.finditer(open(path, errors='replace').read()):
            header = m.group(1)
            if '/' in header and os.path.dirname(header) != folder and \
                    (rel.replace(os.sep, '/'), header) not in CROSS_FOLDER_IMPL:
                faults.append('%s: includes %s' % (rel, header))
    return faults, 'Headers private to another folder (*_impl.h), outside the list of %s:' % \
        os.path.basename(__file__)


RULES = {'function_length': function_length, 'kit_copies': kit_copies, 'impl_includes': impl_includes}


def main():
    if len(sys.argv) not in (3, 4) or sys.argv[2] not in RULES:
        sys.exit('usage: source_rules.py <root> {%s} [longest]' % ','.join(RULES))
    faults, headline = RULES[sys.argv[2]](sys.argv[1], *map(int, sys.argv[3:]))
    if faults:
        print(headline)
        for f in faults:
            print('  ' + f)
        sys.exit(1)
    print('%s holds in src/' % sys.argv[2])


if __name__ == '__main__':
    main()
