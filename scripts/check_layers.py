#!/usr/bin/env python3
"""Checks that every source folder under src/ includes only itself and the
folders below it in the layer order. Prints one line per offending include
and exits 1 when there is any; exits 0 otherwise.

Usage: check_layers.py SRC_DIR
"""
import os
import re
import sys

# Lowest first. A folder may include itself and any folder listed before it.
LAYERS = [
    "registry",
    "data",
    "medical", "surfaces", "segmentation", "models", "thickness",
    "resources",
    "views", "render3d", "plot",
    "tasks", "visual", "settings", "script",
    "app",
    "tools",
]
RANK = {name: i for i, name in enumerate(LAYERS)}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c", ".inl")


def check(src):
    problems = []
    folders = sorted(d for d in os.listdir(src) if os.path.isdir(os.path.join(src, d)))
    for folder in folders:
        if folder not in RANK:
            problems.append(f"{folder}/: folder is not in the layer order")
            continue
        for root, _, files in os.walk(os.path.join(src, folder)):
            for name in sorted(files):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.join(root, name)
                rel = os.path.relpath(path, src)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m or "/" not in m.group(1):
                            continue
                        target = m.group(1).split("/", 1)[0]
                        if not os.path.isdir(os.path.join(src, target)):
                            continue  # a library's own folder, not one of ours
                        if target not in RANK:
                            problems.append(f"{rel}:{number}: includes {m.group(1)} "
                                            f"from {target}/, which is not in the layer order")
                        elif RANK[target] > RANK[folder]:
                            problems.append(f"{rel}:{number}: includes {m.group(1)}, "
                                            f"but {target}/ lies above {folder}/")
    return problems


def main(argv):
    if len(argv) != 2 or not os.path.isdir(argv[1]):
        print("usage: check_layers.py SRC_DIR", file=sys.stderr)
        return 2
    problems = check(argv[1])
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
