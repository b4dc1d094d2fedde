#!/usr/bin/env python3
"""Checks the include rules of the model library (src/model).

- No loop: a class's file pair (name.h and name.cpp) is one node, and the
  nodes' #include "..." lines must not go round in a circle.
- Wings include downwards only: csv/ and support/ never include a file of
  the catalogue (the top of src/model), of formats/ or of exchange/; csv/
  never includes exchange/ or formats/; formats/ and exchange/ never include
  the catalogue, except for the headers named in NARROW below.
- internal/ holds the catalogue's own headers (those the window and the
  command line do not see): it is part of the catalogue, same rules.
- One platform layer: the system's own headers (unistd.h, sys/..., windows.h
  and the like) and tests of the system (Q_OS_..., _WIN32, __linux__) appear
  only in the platform files of support/ (platform*.cpp and the files ending
  in _posix.cpp or _windows.cpp), in the whole program: src/ and cli/.

Prints every broken rule and exits 1, or exits 0 in silence.
Usage: scripts/check-includes.py [MODEL_FOLDER [MORE_FOLDERS...]]
(the platform rule covers the model folder and the further folders).
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
SYSTEM_HEADER = re.compile(
    r'^\s*#\s*include\s+<((?:sys|arpa|netinet)/[^>]+|unistd\.h|fcntl\.h|signal\.h|csignal|setjmp\.h|csetjmp|'
    r'pwd\.h|dlfcn\.h|io\.h|direct\.h|process\.h|windows\.h|winsock2?\.h|aclapi\.h|shlobj\.h|[a-z]+api\.h)>', re.M)
SYSTEM_TEST = re.compile(r'^\s*#\s*(?:if|ifdef|ifndef|elif)\b.*\b(Q_OS_\w+|_WIN32|_WIN64|__linux__|__APPLE__|__unix__)', re.M)
PLATFORM_FILE = re.compile(r'^(platform.*|.*_(posix|windows))\.cpp$')


def platform_problems(folders):
    problems = []
    for top in folders:
        for folder, _, names in os.walk(top):
            for name in sorted(names):
                if not name.endswith(('.h', '.cpp')) or PLATFORM_FILE.match(name):
                    continue
                path = os.path.join(folder, name)
                with open(path, encoding='utf-8') as source:
                    text = source.read()
                for header in SYSTEM_HEADER.findall(text):
                    problems.append('%s includes <%s>: system headers belong in support/platform_*.cpp' % (path, header))
                for test in SYSTEM_TEST.findall(text):
                    problems.append('%s tests %s: what differs between systems belongs in support/platform_*.cpp'
                                    % (path, test))
    return problems

# What a wing may include, by wing; '' is the catalogue at the top.
ALLOWED = {
    'support': {'support'},
    'csv': {'csv', 'support'},
    'formats': {'formats', 'csv', 'support'},
    'exchange': {'exchange', 'csv', 'support'},
    '': {'', 'formats', 'exchange', 'csv', 'support'},
}
# Catalogue headers a wing may still include: none today.
NARROW = set()
# Folders that are part of another wing: the catalogue's internal headers.
PART_OF = {'internal': ''}


def wing_of(folder):
    return PART_OF.get(folder, folder)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'src', 'model')
    root = os.path.normpath(root)
    files = {}
    for folder, _, names in os.walk(root):
        for name in names:
            if name.endswith(('.h', '.cpp')):
                path = os.path.join(folder, name)
                files[os.path.relpath(path, root)] = path
    by_name = {}
    for rel in files:
        by_name.setdefault(os.path.basename(rel), []).append(rel)

    problems = []
    edges = {}
    for rel, path in sorted(files.items()):
        folder = os.path.dirname(rel)
        wing = wing_of(folder)
        node = os.path.splitext(rel)[0]
        with open(path, encoding='utf-8') as source:
            text = source.read()
        for included in INCLUDE.findall(text):
            # Includes name a file by its path below src/model, by its name
            # beside the including file, or by its bare name, which the
            # include path of the wing finds in whichever folder holds it.
            candidates = [os.path.normpath(included), os.path.normpath(os.path.join(folder, included))]
            target = next((c for c in candidates if c in files), None)
            if target is None and len(by_name.get(included, [])) == 1:
                target = by_name[included][0]
            if target is None:
                continue
            target_wing = wing_of(os.path.dirname(target))
            target_node = os.path.splitext(target)[0]
            if target_node != node:
                edges.setdefault(node, set()).add(target_node)
            if target_wing not in ALLOWED.get(wing, {wing}) and target not in NARROW:
                problems.append('%s includes %s: %s/ may not include %s' % (
                    rel, target, wing or 'the catalogue', (target_wing + '/') if target_wing else 'the catalogue'))

    # Loops: Tarjan's strongly connected components over the nodes.
    index = {}
    low = {}
    stack = []
    on_stack = set()
    counter = [0]
    loops = []

    def visit(start):
        work = [(start, iter(sorted(edges.get(start, ()))))]
        index[start] = low[start] = counter[0]
        counter[0] += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, children = work[-1]
            advanced = False
            for child in children:
                if child not in index:
                    index[child] = low[child] = counter[0]
                    counter[0] += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(edges.get(child, ())))))
                    advanced = True
                    break
                if child in on_stack:
                    low[node] = min(low[node], index[child])
            if advanced:
                continue
            work.pop()
            if work:
                parent = work[-1][0]
                low[parent] = min(low[parent], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    component.append(member)
                    if member == node:
                        break
                if len(component) > 1:
                    loops.append(sorted(component))

    for node in sorted(set(os.path.splitext(rel)[0] for rel in files)):
        if node not in index:
            visit(node)
    for loop in loops:
        problems.append('these files include each other in a loop: ' + ', '.join(loop))

    problems += platform_problems([root] + sys.argv[2:])
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
