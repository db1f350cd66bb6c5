#!/usr/bin/env python3
"""Checks the layering of the source tree.

Fails (exit status 1, one line per finding) when
  - a file includes a header of a layer above its own,
  - a quoted include does not name its header from the repository root (a header of the same
    folder may be named bare),
  - a folder without Qt includes a Qt header,
  - a library of one folder links a library of a layer above it,
  - a CMakeLists.txt compiles a source file of another folder.

Usage: scripts/check_layers.py [REPO_ROOT]
"""
import os
import re
import subprocess
import sys

# Bottom to top. A folder may use its own layer and the layers below it; folders on one row
# are one layer. The player's interfaces stand right above base: the AVI reader in formats/
# is one of the parsers the engine reads through.
LAYERS = [
    ["base"],
    ["player/api"],
    ["storage"],
    ["formats"],
    ["telemetry"],
    ["evidence"],
    ["devconfig"],
    ["resources"],
    ["player/source"],
    ["player/decoder", "player/audio", "player/engine"],
    ["ui/logic"],
    ["sources"],
    ["clips"],
    ["ui/widgets"],
    ["ui/app"],
    ["tools", "bench"],
    ["tests"],
]
# Folders that are never to see Qt.
NO_QT = ["base", "player", "storage", "formats", "telemetry", "evidence", "devconfig", "ui/logic",
         "sources", "clips"]
# Layers that may not be used by a folder although they lie below it.
FORBIDDEN = {"tools": ["ui/app"], "bench": ["ui/app"]}

RANK = {folder: rank for rank, row in enumerate(LAYERS) for folder in row}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
QT_HEADER = re.compile(r"^Q[A-Za-z]+$|^Qt[A-Za-z]*/")


def layer_of(path):
    """The layer folder a repository path belongs to, or None outside the layers."""
    best = None
    for folder in RANK:
        if path == folder or path.startswith(folder + "/"):
            if best is None or len(folder) > len(best):
                best = folder
    return best


def source_files(root):
    listed = subprocess.run(
        ["git", "-C", root, "ls-files", "--cached", "--others", "--exclude-standard"],
        check=True, capture_output=True, text=True).stdout.split("\n")
    return sorted(f for f in listed if f.endswith((".cpp", ".h")) and
                  os.path.exists(os.path.join(root, f)))


def check_includes(root, path, findings):
    own = layer_of(path)
    folder = os.path.dirname(path)
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
        text = f.read()
    for match in INCLUDE.finditer(text):
        kind, name = match.groups()
        line = text.count("\n", 0, match.start()) + 1
        where = f"{path}:{line}"
        if kind == "<":
            if own and any(own == q or own.startswith(q + "/") for q in NO_QT) and \
                    QT_HEADER.match(name):
                findings.append(f"{where}: {own}/ has no Qt, but includes <{name}>")
            continue
        if name.endswith(".moc"):
            continue  # made by Qt's moc in the build folder
        if "/" not in name:
            if not os.path.exists(os.path.join(root, folder, name)):
                findings.append(f'{where}: "{name}" does not name its header from the '
                                f"repository root")
            continue
        made_by_protoc = name.endswith(".pb.h") and os.path.exists(
            os.path.join(root, name[:-len(".pb.h")] + ".proto"))
        if not made_by_protoc and not os.path.exists(os.path.join(root, name)):
            # (protoc makes NAME.pb.h in the build folder from NAME.proto of the tree.)
            findings.append(f'{where}: "{name}" is not a file under the repository root')
            continue
        theirs = layer_of(name)
        if own is None or theirs is None:
            continue
        if RANK[theirs] > RANK[own]:
            findings.append(f'{where}: {own}/ includes "{name}" from {theirs}/, a layer above')
        elif any(theirs == f for f in FORBIDDEN.get(own, [])):
            findings.append(f'{where}: {own}/ may not use {theirs}/ ("{name}")')


def check_cmake(root, findings):
    """Libraries link downwards only, and no folder compiles another folder's sources."""
    lists = {}
    for dirpath, dirnames, filenames in os.walk(root):
        dirnames[:] = [d for d in dirnames if not d.startswith((".", "build"))]
        if "CMakeLists.txt" in filenames:
            rel = os.path.relpath(dirpath, root)
            with open(os.path.join(dirpath, "CMakeLists.txt"), encoding="utf-8") as f:
                lists[rel] = f.read()
    owner = {}
    for rel, text in lists.items():
        for name in re.findall(r"add_library\(\s*(tatv_\w+)", text):
            owner[name] = rel
    for rel, text in lists.items():
        own = layer_of(rel)
        for line_no, line in enumerate(text.split("\n"), 1):
            if re.search(r"\$\{(PROJECT|CMAKE)_SOURCE_DIR\}/[^ )]*\.cpp|\.\./[^ )]*\.cpp", line):
                findings.append(f"{rel}/CMakeLists.txt:{line_no}: compiles a source file of "
                                f"another folder")
        if own is None:
            continue
        for block in re.findall(r"target_link_libraries\(([^)]*)\)", text):
            for name in re.findall(r"\btatv_\w+", block):
                theirs = layer_of(owner.get(name, ""))
                if theirs is not None and RANK[theirs] > RANK[own]:
                    findings.append(f"{rel}/CMakeLists.txt: {own}/ links {name} of {theirs}/, "
                                    f"a layer above")


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                           os.path.join(os.path.dirname(__file__), ".."))
    findings = []
    for path in source_files(root):
        check_includes(root, path, findings)
    check_cmake(root, findings)
    for finding in findings:
        print(finding)
    if findings:
        print(f"layers: {len(findings)} finding(s)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
