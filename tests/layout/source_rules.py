#!/usr/bin/env python3
"""Checks four rules of the house on the sources of src/.

  python3 source_rules.py <root holding src/> <rule> [--longest N]
                          [--review N] [--list FILE]

Rules:
  function_length  no function longer than LONGEST lines (or --longest),
                   from the first line of its head (a template line
                   included) to its closing brace; none over REVIEW lines
                   (or --review) but those of the size list, which only
                   shrink: a listed one may not grow past its figure, one
                   shrunk is to have its figure lowered, one shrunk to
                   REVIEW lines or fewer (or gone) is to leave the list;
  file_length      no file over FILE_REVIEW lines (or --review) but those of
                   the size list, held the same way;
  kit_copies       no copy of the word kit outside src/numbers/: no
                   function or type named as a Shoup product (shoup,
                   shoup_mul..., Shoup...), an add/sub-mod helper
                   (add_mod, mod_sub, ...), a modular power or inverse
                   (power_mod, inverse_mod, ...), no Shoup quotient
                   (w << 32) / p or product (a wq) >> 32 written out, no
                   lazy dot product bounded by a comparison with 2^64 of
                   its own (the kit has dot_limbs and dot_room), no power
                   by repeated squaring modulo a word (numbers/word_mod.h
                   has modpower and power_modulo) and no inverse by
                   extended Euclid (inverse_modulo, checked_inverse);
                   vector kernels built on the kit's products are no
                   copies;
  impl_includes    no *_impl.h of one folder included from another (a room
                   is a folder of its own), but for the includes listed in
                   CROSS_FOLDER_IMPL below, which only shrinks.
The size list (size_list.txt beside this script unless --list names one)
has a line `function <file> <name> <lines>` or `file <file> <lines>` for
each function or file over its review size. A rough check by the text, not
by a compiler. Exits 1 listing the faults.
"""
import argparse
import os
import re
import sys

LONGEST = 150
REVIEW = 120
FILE_REVIEW = 1000
SIZE_LIST = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'size_list.txt')

# Includes of another folder's *_impl.h allowed (file: header): none; a
# header used across folders is public.
CROSS_FOLDER_IMPL = set()

KIT_NAME = re.compile(r'(?:shoup(?:_pre|_quotient|_mul\w*|_product\w*)?|Shoup\w*|(?:add|sub)_?mod|mod_?(?:add|sub)|(?:add|sub)_residues'
                      r'|(?:power|pow|exp)_mod|mod_pow(?:er)?|(?:inverse|inv)_mod|mod_inv(?:erse)?)$')
SHOUP_QUOTIENT = re.compile(r'<<\s*32\s*\)\s*/')
SHOUP_PRODUCT = re.compile(r'\)\s*>>\s*32\b')
# A power by squaring: a halved exponent beside a residue squared (x * x % p,
# or a product of a value by itself through modmult or a field's mul).
HALVING = re.compile(r'>>=\s*1\b|/=\s*2\b')
SQUARE_MOD = re.compile(r'\b(\w+)\s*\*\s*\1\s*%|\b(?:n?modmult|mul)\s*\(\s*(?:static_cast<[\w:\s]+>\(\s*)?(\w+)\s*\)?\s*,'
                        r'\s*(?:static_cast<[\w:\s]+>\(\s*)?\2\b')
# Extended Euclid: a quotient q = r0 / r1 whose remainder r0 - q * r1 and a
# cofactor's s0 - q * s1 follow it.
EUCLID_QUOTIENT = re.compile(r'(\w+)\s*=\s*(\w+)\s*/\s*(\w+)\s*;')
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


def read_size_list(path):
    """The size list: {(file, name): lines} of the functions and {file:
    lines} of the files; lines starting with # are comments."""
    funcs, files = {}, {}
    for number, line in enumerate(open(path), 1):
        words = line.split()
        if not words or words[0].startswith('#'):
            continue
        if words[0] == 'function' and len(words) == 4:
            funcs[(words[1], words[2])] = int(words[3])
        elif words[0] == 'file' and len(words) == 3:
            files[words[1]] = int(words[2])
        else:
            sys.exit('%s:%d: not a line of the size list: %s' % (path, number, line.strip()))
    return funcs, files


def held_sizes(measured, listed, review, where):
    """The faults of sizes held by the list: measured {key: (lines, place)},
    listed {key: lines}; where(key, place) names a key in a message."""
    faults = []
    for key, (lines, place) in sorted(measured.items()):
        if key not in listed and lines > review:
            faults.append('%s has %d lines, over %d and not on the size list (split it at its seams)' %
                          (where(key, place), lines, review))
    for key, figure in sorted(listed.items()):
        if key not in measured:
            faults.append('%s is on the size list but not found: remove it from the list' % where(key, None))
            continue
        lines, place = measured[key]
        if lines > figure:
            faults.append('%s has %d lines, grown past its figure %d on the size list (split it at its seams)' %
                          (where(key, place), lines, figure))
        elif lines <= review:
            faults.append('%s has %d lines, no more than %d: remove it from the size list' %
                          (where(key, place), lines, review))
        elif lines < figure:
            faults.append('%s has %d lines, shrunk from %d: lower its figure on the size list to %d' %
                          (where(key, place), lines, figure, lines))
    return faults


def function_length(root, longest=LONGEST, review=REVIEW, size_list=SIZE_LIST):
    faults, measured = [], {}
    for rel, path in sources(root):
        rel = rel.replace(os.sep, '/')
        for name, first, last in functions(open(path, errors='replace').read()):
            lines = last - first + 1
            if lines > longest:
                faults.append('%s:%d: %s has %d lines, over the limit of %d' % (rel, first, name, lines, longest))
            if lines > measured.get((rel, name), (0, 0))[0]:
                measured[(rel, name)] = (lines, first)
    listed, _ = read_size_list(size_list)
    faults += held_sizes(measured, listed, review,
                         lambda key, first: '%s:%s: %s' % (key[0], first if first else '?', key[1]))
    return faults, 'Function lengths (no function over %d lines; over %d only on the size list %s):' % (
        longest, review, os.path.basename(size_list))


def file_length(root, review=FILE_REVIEW, size_list=SIZE_LIST):
    measured = {}
    for rel, path in sources(root):
        measured[rel.replace(os.sep, '/')] = (len(open(path, errors='replace').read().splitlines()), None)
    _, listed = read_size_list(size_list)
    faults = held_sizes(measured, listed, review, lambda key, _: key)
    return faults, 'File lengths (over %d lines only on the size list %s):' % (review, os.path.basename(size_list))


def euclid_step(body):
    """The offset in body of an extended-Euclid step written out: a quotient
    q = a / b followed by the remainder a - q * b and a cofactor's update
    c - q * d (or -=); None when there is none."""
    for m in EUCLID_QUOTIENT.finditer(body):
        q, a, b = m.groups()
        rest = body[m.end():]
        if re.search(r'\b%s\s*-=?\s*%s\s*\*\s*%s\b' % (a, q, b), rest) and \
                re.search(r'\b(?!%s\b)\w+\s*-=?\s*%s\s*\*\s*(?!%s\b)\w+' % (a, q, b), rest):
            return m.start()
    return None


def kit_copies(root):
    faults = []
    for rel, path in sources(root):
        if rel.startswith(os.path.join('src', 'numbers') + os.sep):
            continue
        blank = blank_out(open(path, errors='replace').read())
        found = []
        lines = blank.split('\n')
        for name, first, last in functions(blank):
            if KIT_NAME.match(name):
                found.append((first, 'defines ' + name))
            body = '\n'.join(lines[first - 1:last])
            square = SQUARE_MOD.search(body)
            if square and HALVING.search(body):
                found.append((first + body.count('\n', 0, square.start()), 'computes a power by squaring in ' + name))
            euclid = euclid_step(body)
            if euclid is not None:
                found.append((first + body.count('\n', 0, euclid), 'computes an inverse by Euclid in ' + name))
        for m in re.finditer(r'\b(?:struct|class)\s+(\w+)', blank):
            if KIT_NAME.match(m.group(1)):
                found.append((blank.count('\n', 0, m.start()) + 1, 'defines ' + m.group(1)))
        for pattern, what in ((SHOUP_QUOTIENT, 'a Shoup quotient'), (SHOUP_PRODUCT, 'a Shoup product'),
                              (BOUND_OF_64_BITS, 'a bound of 64 bits')):
            for m in pattern.finditer(blank):
                found.append((blank.count('\n', 0, m.start()) + 1, 'computes ' + what))
        faults += ['%s:%d: %s' % (rel, line, what) for line, what in sorted(found)]
    return faults, ('Copies of the word kit outside src/numbers/ (use numbers/word_field.h: '
                    'ShoupMultiplier, shoup_mul, WordField::add/sub, dot_limbs, dot_room; '
                    'numbers/word_mod.h: modpower, power_modulo, inverse_modulo, checked_inverse):')


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


RULES = {'function_length': function_length, 'file_length': file_length, 'kit_copies': kit_copies,
         'impl_includes': impl_includes}


def main():
    parser = argparse.ArgumentParser(description='Checks rules of the house on the sources of src/.')
    parser.add_argument('root')
    parser.add_argument('rule', choices=sorted(RULES))
    parser.add_argument('--longest', type=int, help='function_length: the limit of every function')
    parser.add_argument('--review', type=int, help='function_length, file_length: the size past which '
                        'only the size list admits one')
    parser.add_argument('--list', dest='size_list', help='the size list')
    args = parser.parse_args()
    options = {k: v for k, v in vars(args).items() if k not in ('root', 'rule') and v is not None}
    faults, headline = RULES[args.rule](args.root, **options)
    if faults:
        print(headline)
        for f in faults:
            print('  ' + f)
        sys.exit(1)
    print('%s holds in src/' % args.rule)


if __name__ == '__main__':
    main()
