#!/usr/bin/env python3
"""Checks that no source folder includes from a folder above it.

The order of the folders is written in src/layers.txt, top layer first; folders
on one line are peers and do not include each other. Every
'#include "folder/..."' in src/ and python/ is checked; a folder missing from
the list is an error too, so that a new folder gets its place.

  include_layers.py [--root DIR]   exit 1 and one line per fault
  include_layers.py --self-check   the checker against a made-up tree
"""

import argparse
import pathlib
import re
import sys
import tempfile

INCLUDE = re.compile(r'^\s*#\s*include\s*"([A-Za-z0-9_]+)/')
SOURCE_SUFFIXES = {".cpp", ".hpp", ".h", ".cc", ".in"}


def read_layers(path):
    """{folder: layer number, 0 at the top}; a folder listed twice is an error."""
    layers = {}
    number = 0
    for raw in path.read_text().splitlines():
        words = raw.split("#", 1)[0].split()
        if not words:
            continue
        for folder in words:
            if folder in layers:
                raise ValueError(f"{path}: folder {folder} is listed twice")
            layers[folder] = number
        number += 1
    return layers


def source_folders(root):
    """(folder name, folder path) of every folder whose files are checked."""
    src = root / "src"
    folders = [(p.name, p) for p in sorted(src.iterdir()) if p.is_dir()] if src.is_dir() else []
    if (root / "python").is_dir():
        folders.append(("python", root / "python"))
    return folders


def violations(root, layers_file):
    """One text per include that breaks the layer order."""
    layers = read_layers(layers_file)
    found = []
    for folder, path in source_folders(root):
        files = sorted(p for p in path.rglob("*") if p.is_file() and p.suffix in SOURCE_SUFFIXES)
        if folder not in layers and files:
            found.append(f"{path.relative_to(root)}: folder {folder} is not in {layers_file.name}; give it its layer")
            continue
        for file in files:
            for number, line in enumerate(file.read_text(errors="replace").splitlines(), start=1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                target = match.group(1)
                if target == folder:
                    continue
                where = f"{file.relative_to(root)}:{number}"
                if target not in layers:
                    found.append(f"{where}: includes {target}/, a folder not in {layers_file.name}")
                elif layers[target] == layers[folder]:
                    found.append(f"{where}: {folder}/ includes {target}/, a folder of its own layer")
                elif layers[target] < layers[folder]:
                    found.append(f"{where}: {folder}/ includes {target}/, a folder above it")
    return found


def self_check():
    """The checker must find each kind of fault in a made-up tree, and nothing else."""
    with tempfile.TemporaryDirectory() as temp:
        root = pathlib.Path(temp)
        files = {
            "src/top/a.cpp": '#include "top/a.hpp"\n#include "low/b.hpp"\n',   # own folder, downwards: fine
            "src/low/b.hpp": '// #include "top/a.hpp" in a comment\n#include "low/c.hpp"\n',
            "src/low/c.cpp": '  #  include "top/a.hpp"\n',                      # upwards
            "src/peer/d.cpp": '#include "low/b.hpp"\n#include "side/e.hpp"\n',  # the second: same layer
            "src/side/e.hpp": '#include <top/qt_style.hpp>\n#include "nowhere/f.hpp"\n',  # unknown target
            "src/stray/g.cpp": "int g;\n",                                        # unlisted folder
            "python/m.cpp": '#include "top/a.hpp"\n',                            # python is on top
        }
        for name, text in files.items():
            (root / name).parent.mkdir(parents=True, exist_ok=True)
            (root / name).write_text(text)
        layers = root / "layers.txt"
        layers.write_text("# comment\npython\ntop\npeer side  # peers\n\nlow\n")
        found = violations(root, layers)
        expected = [
            "src/low/c.cpp:1: low/ includes top/, a folder above it",
            "src/peer/d.cpp:2: peer/ includes side/, a folder of its own layer",
            "src/side/e.hpp:2: includes nowhere/, a folder not in layers.txt",
            "src/stray: folder stray is not in layers.txt; give it its layer",
        ]
        if sorted(found) != sorted(expected):
            print("self-check failed; found:", *found, sep="\n  ", file=sys.stderr)
            return 1
        layers.write_text("top\nlow\ntop\n")
        try:
            read_layers(layers)
        except ValueError:
            return 0
        print("self-check failed: a folder listed twice was accepted", file=sys.stderr)
        return 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", type=pathlib.Path, default=pathlib.Path(__file__).resolve().parent.parent)
    parser.add_argument("--self-check", action="store_true")
    args = parser.parse_args()
    if args.self_check:
        return self_check()
    found = violations(args.root, args.root / "src" / "layers.txt")
    for line in found:
        print(line, file=sys.stderr)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
