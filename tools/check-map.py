#!/usr/bin/env python3
"""Checks that the map in docs/DEVELOPING.md matches the tree.

The map is the tables under "## The map" in DEVELOPING.md whose rows begin with a path in backticks:
`folder/` or a top-level `file`. It fails when
- a folder holding tracked files (two levels deep at most) or a top-level file has no row;
- a row names a file (`clock.*`, `serialport_qt.cpp`, `tests/support/fakeline.h`) that
  matches no tracked file: a name without a slash is looked up in the row's folder;
- a file of a folder whose every file must be placed (core, window or program) is named in
  none of that folder's rows.

    tools/check-map.py
"""

import fnmatch
import os
import re
import subprocess
import sys

MAP = "docs/DEVELOPING.md"
EVERY_FILE_PLACED = ["app/", "cli/", "files/", "link/", "nc-sim/", "platform/"]
ROW = re.compile(r"^\|\s*`([^`]+)`\s*\|(.*)$")
TOKEN = re.compile(r"`([^`\s]+)`")
# A file or folder name: "clock.*", "brevane.wxs", ".clang-tidy", "tests/support/", "run".
PATHLIKE = re.compile(r"(\.?[\w-]+(\.(\*|[a-z][a-z0-9]*))+|[\w.-]+(/[\w.*-]*)+)")


def tracked():
    out = subprocess.run(["git", "ls-files"], capture_output=True, text=True, check=True)
    return [line for line in out.stdout.splitlines() if line]


def main():
    os.chdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    files = tracked()
    folders = set()
    for path in files:
        parts = path.split("/")[:-1]
        if 1 <= len(parts) <= 2:
            folders.add("/".join(parts) + "/")
    top_files = {path for path in files if "/" not in path}

    rows = []  # (row's path, every name in its other cells)
    in_map = False
    with open(MAP, encoding="utf-8") as f:
        for line in f:
            if line.startswith("## "):
                in_map = line.strip() == "## The map"
            match = ROW.match(line) if in_map else None
            if match:
                rows.append((match.group(1), TOKEN.findall(match.group(2))))
    problems = []
    named = {path for path, _ in rows}
    for folder in sorted(folders - named):
        problems.append(f"{folder}: a tracked folder with no row in the map")
    for path in sorted(top_files - named):
        problems.append(f"{path}: a top-level file with no row in the map")

    placed = {folder: set() for folder in EVERY_FILE_PLACED}
    for row, tokens in rows:
        if not any(path == row or path.startswith(row) for path in files):
            problems.append(f"{MAP}: the row of `{row}` names nothing tracked")
        base = row if row.endswith("/") else ""
        for token in tokens:
            if not PATHLIKE.fullmatch(token) or token.startswith("*"):
                continue
            full = token if "/" in token.rstrip("/") or not base else base + token
            if full.endswith("/"):
                if not any(path.startswith(full) for path in files):
                    problems.append(f"{MAP}: `{token}` in the row of `{row}` is no tracked folder")
                continue
            hits = fnmatch.filter(files, full)
            if not hits:
                problems.append(f"{MAP}: `{token}` in the row of `{row}` names no tracked file")
            for hit in hits:
                folder = hit[: hit.rfind("/") + 1]
                if folder in placed:
                    placed[folder].add(hit)
    for folder, seen in placed.items():
        for path in files:
            if path.startswith(folder) and "/" not in path[len(folder):] and path not in seen:
                if not path.endswith("CMakeLists.txt"):
                    problems.append(f"{path}: not placed in the map's row of `{folder}`")

    for problem in problems:
        print(problem)
    if problems:
        print(f"{MAP}'s map does not match the tree ({len(problems)} above)")
        return 1
    print(f"{MAP}'s map matches the tree")
    return 0


if __name__ == "__main__":
    sys.exit(main())
