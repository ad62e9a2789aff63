#!/usr/bin/env python3
"""Checks that every #include between folders of src/ follows the table of docs/ARCHITECTURE.md.

Usage: check_layers.py [SOURCE_ROOT]. Prints each include that runs against the table and exits 1
if there is one; prints the folder graph and exits 0 otherwise.
"""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[2])
table = (root / "docs" / "ARCHITECTURE.md").read_text(encoding="utf-8")

allowed = {}  # folder -> set of folders it may use
limited = {}  # (folder, used folder) -> the only headers of it that folder may include
for line in table.splitlines():
    cells = [c.strip() for c in line.strip().strip("|").split("|")]
    if len(cells) != 3 or not re.fullmatch(r"`[a-z]+`", cells[0]):
        continue
    folder = cells[0].strip("`")
    uses = set()
    for part in re.split(r",\s*(?![^()]*\))", cells[2]):
        part = part.strip()
        if part in ("", "—"):
            continue
        name = part.split()[0]
        uses.add(name)
        headers = re.findall(r"`([a-z_]+/[a-z_]+\.h)`", part)
        if headers:
            limited[(folder, name)] = set(headers)
    allowed[folder] = uses

faults = []
graph = {}
for path in sorted((root / "src").rglob("*")):
    if path.suffix not in (".h", ".cpp"):
        continue
    folder = path.relative_to(root / "src").parts[0]
    if folder not in allowed:
        faults.append(f"{path.relative_to(root)}: folder '{folder}' is not in docs/ARCHITECTURE.md")
        continue
    for number, text in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        m = re.match(r'\s*#\s*include\s+"([a-z_]+)/([^"]+)"', text)
        if not m or m.group(1) == folder:
            continue
        used, header = m.group(1), f"{m.group(1)}/{m.group(2)}"
        graph.setdefault(folder, set()).add(used)
        if used not in allowed[folder]:
            faults.append(f"{path.relative_to(root)}:{number}: {folder} may not use {used} ({header})")
        elif (folder, used) in limited and header not in limited[(folder, used)]:
            faults.append(f"{path.relative_to(root)}:{number}: {folder} may use only "
                          f"{', '.join(sorted(limited[(folder, used)]))} of {used}, not {header}")

for fault in faults:
    print(fault)
if faults:
    sys.exit(1)
for folder in sorted(graph):
    print(f"{folder} -> {' '.join(sorted(graph[folder]))}")
