#!/usr/bin/env python3
"""Checks that every file or folder the project's documents name exists.

Reads README.md, ARCHITECTURE.md and tests/README.md and takes every path
written in backticks (`plugin/plugin.hpp`, `tests/plugin/{host,sound}`,
`plugin/host/state_chunk.*`) and every path to a file (one with a folder and
an extension) in their indented blocks. A path counts when it exists from the
top of the tree or from the document's own folder; a bare file name counts
when some file of the tree has that name.
Build outputs (build/...) are left out, named or on disk: a clean checkout has
none.

usage: check_doc_paths.py SOURCE_DIR
"""
import glob
import os
import re
import sys

DOCUMENTS = ["README.md", "ARCHITECTURE.md", "tests/README.md"]
TICKED = re.compile(r"`([^`\s<>]+)`")
BLOCK_PATH = re.compile(r"(?<![\w./-])((?:[\w.-]+/)+[\w*-]+\.[\w*]+)")
FILE_NAME = re.compile(r"^[\w.-]+\.(cpp|hpp|h|py|sh|md|txt|json|cmake|def|rc|wav)$")


def expand(path):
    """The paths a brace list {a,b} stands for."""
    match = re.search(r"\{([^{}]*)\}", path)
    if not match:
        return [path]
    out = []
    for part in match.group(1).split(","):
        out += expand(path[: match.start()] + part + path[match.end() :])
    return out


def candidates(text):
    names = [m.group(1) for m in TICKED.finditer(text)]
    for line in text.splitlines():
        if line.startswith("    "):
            names += [m.group(1) for m in BLOCK_PATH.finditer(line)]
    return names


def looks_like_path(name):
    if name.startswith(("-", "/", "_", "http")):
        return False
    return "/" in name or FILE_NAME.match(name)


def main(root):
    every_name = set()
    for folder, folders, files in os.walk(root):
        if folder == root:
            folders[:] = [f for f in folders if f not in ("build", ".git")]
        every_name.update(files)
    missing = []
    for document in DOCUMENTS:
        with open(os.path.join(root, document), encoding="utf-8") as f:
            text = f.read()
        here = os.path.dirname(document)
        for name in candidates(text):
            name = name.rstrip(".,:;)")
            if not looks_like_path(name) or name.startswith("build/"):
                continue
            for path in expand(name):
                bare = "/" not in path.rstrip("/")
                found = any(glob.glob(os.path.join(root, base, path)) for base in ("", here))
                if not found and not (bare and path in every_name):
                    missing.append(f"{document}: {path}")
    for line in sorted(set(missing)):
        print("names a path that does not exist:", line)
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
