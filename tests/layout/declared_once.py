#!/usr/bin/env python3
"""Lists the functions of src/ declared in more than one header.

  python3 declared_once.py <root holding src/>

A declaration is one starting in column 0 of a header (the namespaces are
not indented, so members of classes and friends, which are, never count),
ending in ";" or opening an inline body. Two declarations repeat each other
when they have the same namespace, name and parameter types: parameter
names, default values and an array bound (which decays to a pointer) do not
matter, so an overload (other parameter types) is no repeat. Functions of
an unnamed namespace or declared static belong to their header alone. A
rough check by the text, not by a compiler. Exits 1 listing the repeats.
"""
import os
import re
import sys

DECLARATION = re.compile(
    r'^((?:template\s*<[^;{}]*>\s*)?(?:\[\[\w+\]\]\s*)?(?:(?:inline|static|constexpr|extern)\s+)*)'
    r'(?:[\w:<>,]+[ \t]+|[\w:<>,]+\s*[*&]+\s*)+[*&]*(\w+)\(([^;{}]*)\)'
    r'\s*(?:const\s*)?(?:noexcept\s*)?[;{]', re.M)
NOT_A_TYPE = {'return', 'else', 'typedef', 'using', 'new', 'delete', 'throw', 'case', 'goto'}
QUALIFIERS = {'const', 'volatile', 'struct', 'enum', 'class', 'typename'}
BUILT_IN = QUALIFIERS | {'void', 'bool', 'char', 'short', 'int', 'long', 'float', 'double',
                         'signed', 'unsigned'}


def headers(root):
    for dirpath, dirs, files in os.walk(os.path.join(root, 'src')):
        dirs.sort()
        for f in sorted(files):
            if f.endswith('.h'):
                yield os.path.join(dirpath, f)


def strip_comments(text):
    text = re.sub(r'/\*.*?\*/', lambda m: '\n' * m.group(0).count('\n'), text, flags=re.S)
    text = re.sub(r'"(?:\\.|[^"\\\n])*"', '""', text)
    return re.sub(r'//[^\n]*', '', text)


def namespaces(text):
    """(offset, path) at each brace: the named namespaces open after it, or
    None inside an unnamed one."""
    stack, marks = [], []
    for m in re.finditer(r'(namespace\s*([\w:]*)\s*)?\{|\}', text):
        if m.group(0) == '}':
            if stack:
                stack.pop()
        else:
            stack.append(m.group(2) if m.group(1) is not None else False)
        named = None if '' in stack else '::'.join(s for s in stack if s)
        marks.append((m.end(), named))
    return marks


def split_parameters(params):
    parts, depth, cur = [], 0, ''
    for ch in params:
        if ch in '(<':
            depth += 1
        elif ch in ')>':
            depth -= 1
        if ch == ',' and depth == 0:
            parts.append(cur)
            cur = ''
        else:
            cur += ch
    parts.append(cur)
    return [p.strip() for p in parts if p.strip() and p.strip() != 'void']


def parameter_type(p):
    """The type of one parameter, its name and default value dropped."""
    p = re.sub(r'\s*=.*$', '', p, flags=re.S)
    p = re.sub(r'\(\s*([*&]+)\s*\w*\s*\)', r'(\1)', p)  # a function pointer's name
    p = re.sub(r'(\w+)\s*\[[^\]]*\]$', r'* \1', p)  # an array decays to a pointer
    tokens = re.findall(r'[A-Za-z_][\w:]*(?:<[^()]*>)?|[*&]+|\(.*\)', p, flags=re.S)
    words = [t for t in tokens[:-1] if t[0].isalpha() or t[0] == '_']
    if len(tokens) > 1 and re.fullmatch(r'[A-Za-z_]\w*', tokens[-1]) and \
            tokens[-1] not in BUILT_IN and any(w not in QUALIFIERS for w in words):
        tokens = tokens[:-1]
    return ' '.join(tokens)


def declarations(root):
    """{(namespace, name, parameter types): [header, ...]}"""
    found = {}
    for path in headers(root):
        text = strip_comments(open(path, errors='replace').read())
        marks = namespaces(text)
        for m in DECLARATION.finditer(text):
            name = m.group(2)
            if 'static' in m.group(1).split() or name in NOT_A_TYPE or \
                    re.match(r'(typedef|using|return)\b', m.group(0)):
                continue
            scope = ''
            for end, named in marks:
                if end > m.start():
                    break
                scope = named
            if scope is None:
                continue  # inside an unnamed namespace
            key = (scope or '', name,
                   tuple(parameter_type(p) for p in split_parameters(m.group(3))))
            rel = os.path.relpath(path, root)
            if rel not in found.setdefault(key, []):
                found[key].append(rel)
    return found


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else '.'
    repeats = {k: v for k, v in declarations(root).items() if len(v) > 1}
    if repeats:
        print('Functions declared in more than one header (declare each in its owner\'s header, '
              'or in the call-up header of the lower folder that calls it, and include that):')
        for (scope, name, params), paths in sorted(repeats.items(), key=lambda x: x[1]):
            print('  %s(%s): %s' % (name, ', '.join(params), ', '.join(paths)))
        sys.exit(1)
    print('every function of src/ is declared in one header')


if __name__ == '__main__':
    main()
