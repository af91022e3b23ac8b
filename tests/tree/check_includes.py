#!/usr/bin/env python3
"""Checks that the product's folders include one another one way only.

Reads the #include "..." lines of the C++ files directly inside each folder
below and fails on
  - any cycle of includes between the folders (however many folders it takes),
    except that a .cpp file in plugin/host, plugin/sound or plugin/media may
    include plugin/plugin.hpp: it defines members of the instance there;
  - any file under plugin/ that includes a file under editor/.

usage: check_includes.py SOURCE_DIR
       check_includes.py --self-test
"""
import os
import re
import sys
import tempfile

FOLDERS = ["chords", "plugin", "plugin/host", "plugin/sound", "plugin/media", "plugin/text",
           "plugin/cpu", "editor", "editor/win32", "installer", "dll"]
INSTANCE = "plugin/plugin.hpp"
INSTANCE_PARTS = {"plugin/host", "plugin/sound", "plugin/media"}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SOURCE = re.compile(r"\.(cpp|hpp|h)$")


def includes(root):
    """(file, line number, folder, included file, its folder) for every include between the folders."""
    found = []
    for folder in FOLDERS:
        path = os.path.join(root, folder)
        if not os.path.isdir(path):
            continue
        for name in sorted(os.listdir(path)):
            if not SOURCE.search(name) or not os.path.isfile(os.path.join(path, name)):
                continue
            file = f"{folder}/{name}"
            with open(os.path.join(root, file), encoding="utf-8", errors="replace") as text:
                for number, line in enumerate(text, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    target = match.group(1)
                    if not os.path.isfile(os.path.join(root, target)):
                        beside = os.path.normpath(f"{folder}/{target}")
                        if not os.path.isfile(os.path.join(root, beside)):
                            continue  # not one of the project's files
                        target = beside
                    found.append((file, number, folder, target, os.path.dirname(target)))
    return found


def cycles(edges):
    """The strongly connected groups of more than one folder (Tarjan)."""
    graph = {}
    for a, b in edges:
        graph.setdefault(a, set()).add(b)
        graph.setdefault(b, set())
    index, low, stack, on_stack, groups = {}, {}, [], set(), []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for nxt in sorted(graph[node]):
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            group = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                group.append(member)
                if member == node:
                    break
            if len(group) > 1:
                groups.append(sorted(group))

    for node in sorted(graph):
        if node not in index:
            visit(node)
    return groups


def problems(root):
    found = includes(root)
    out = []
    for file, number, folder, target, _ in found:
        if folder.split("/")[0] == "plugin" and target.startswith("editor/"):
            out.append(f"{file}:{number}: the core includes the editor's {target}")
    edges, examples = set(), {}
    for file, number, folder, target, into in found:
        if into == folder or into not in FOLDERS:
            continue
        if target == INSTANCE and folder in INSTANCE_PARTS and file.endswith(".cpp"):
            continue  # a member of the instance, defined in its part's folder
        edges.add((folder, into))
        examples.setdefault((folder, into), f"{file}:{number} includes {target}")
    for group in cycles(edges):
        out.append("the folders " + ", ".join(group) + " include one another:")
        for edge in sorted(edges):
            if edge[0] in group and edge[1] in group:
                out.append(f"  {edge[0]} -> {edge[1]}: {examples[edge]}")
    return out, len(found)


def self_test():
    """The check on small trees, each with one fault or none."""
    cases = [
        ("one way", {"plugin/host/a.hpp": ["plugin/media/b.hpp"], "plugin/media/b.hpp": []}, False),
        ("two folders", {"plugin/host/a.hpp": ["plugin/media/b.hpp"],
                         "plugin/media/b.hpp": [], "plugin/media/b.cpp": ["plugin/host/a.hpp"]}, True),
        ("three folders", {"plugin/host/a.hpp": ["plugin/media/b.hpp"],
                           "plugin/media/b.hpp": ["plugin/text/c.hpp"],
                           "plugin/text/c.hpp": [], "plugin/text/c.cpp": ["plugin/host/a.hpp"]}, True),
        ("a member of the instance", {"plugin/plugin.hpp": ["plugin/sound/d.hpp"],
                                      "plugin/sound/d.hpp": [], "plugin/sound/d.cpp": [INSTANCE]}, False),
        ("a header of a part includes the instance", {"plugin/plugin.hpp": ["plugin/sound/d.hpp"],
                                                      "plugin/sound/d.hpp": [INSTANCE]}, True),
        ("the instance's pattern elsewhere", {"plugin/plugin.hpp": ["plugin/text/t.hpp"],
                                              "plugin/text/t.hpp": [], "plugin/text/t.cpp": [INSTANCE]}, True),
        ("the core includes the editor", {"plugin/host/a.cpp": ["editor/e.hpp"], "editor/e.hpp": []}, True),
        ("the editor includes the core", {"editor/e.cpp": ["plugin/host/a.hpp"], "plugin/host/a.hpp": []}, False),
        ("includes beside the file", {"installer/i.cpp": ["j.hpp"], "installer/j.hpp": ["chords/k.hpp"],
                                      "chords/k.hpp": ["../installer/j.hpp"]}, True),
    ]
    failed = 0
    for name, files, faulty in cases:
        with tempfile.TemporaryDirectory() as root:
            for file, included in files.items():
                os.makedirs(os.path.join(root, os.path.dirname(file)), exist_ok=True)
                with open(os.path.join(root, file), "w") as out:
                    out.write("".join(f'#include "{target}"\n' for target in included))
                    out.write("#include <vector>\n")
            got, _ = problems(root)
        if bool(got) != faulty:
            failed += 1
            print(f"FAILED {name}: expected {'a problem' if faulty else 'none'}, got {got}")
        else:
            print(f"ok {name}")
    return 1 if failed else 0


def main(argv):
    if argv[1:] == ["--self-test"]:
        return self_test()
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    found, count = problems(argv[1])
    if count == 0:
        print(f"no include between the folders found under {argv[1]}")
        return 1
    for line in found:
        print(line)
    if found:
        return 1
    print(f"{count} includes between the folders, every dependency one way")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
