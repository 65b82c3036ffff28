#!/usr/bin/env python3
"""Holds the code to the rooms docs/architecture.md draws.

Reads the ```rooms block of docs/architecture.md (each line: a folder, a
colon, the folders it may include) and fails when
  - a file includes a folder its room may not include,
  - a core folder includes Qt,
  - a header a library lists as PRIVATE is included from another folder.
Tests, benchmarks and fuzz targets may look inside any library.
"""
import pathlib
import re
import sys

root = pathlib.Path(__file__).resolve().parent.parent
doc = (root / "docs/architecture.md").read_text(encoding="utf-8")
block = re.search(r"```rooms\n(.*?)```", doc, re.S)
if not block:
    sys.exit("check-rooms: docs/architecture.md has no ```rooms block")

allowed = {}
core = set()
for line in block.group(1).splitlines():
    line = line.split("#", 1)[0].strip()
    if not line:
        continue
    room, _, deps = line.partition(":")
    room = room.strip()
    if room.endswith("(no Qt)"):
        room = room[: -len("(no Qt)")].strip()
        core.add(room)
    allowed[room] = set(deps.split())

private = {}
for cmake in root.glob("src/*/CMakeLists.txt"):
    text = cmake.read_text()
    found = re.search(r"\bPRIVATE\s+((?:[\w.]+\.h\s*)+)", text)
    if found:
        private[cmake.parent.name] = set(found.group(1).split())

include = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]', re.M)
problems = []
rooms = [("src/" + r, r) for r in allowed if (root / "src" / r).is_dir()]
rooms += [(r, r) for r in allowed if r == "tools"]
for folder, room in rooms:
    for path in sorted((root / folder).rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        rel = path.relative_to(root)
        for kind, name in include.findall(path.read_text(encoding="utf-8", errors="replace")):
            if kind == "<":
                if room in core and re.match(r"Q[A-Z]|qt", name):
                    problems.append(f"{rel}: includes <{name}>, and {room} is below Qt")
                continue
            target = name.split("/", 1)[0] if "/" in name else room
            if target != room and target not in allowed[room]:
                if target in allowed or (root / "src" / target).is_dir():
                    problems.append(f"{rel}: includes \"{name}\", and {room} may not include {target}")
                continue
            header = name.split("/", 1)[-1]
            if target != room and header in private.get(target, ()):
                problems.append(f"{rel}: includes \"{name}\", private to {target}")

for folder in sorted(p.name for p in (root / "src").iterdir() if p.is_dir()):
    if folder not in allowed:
        problems.append(f"src/{folder}: a room docs/architecture.md does not draw")

if problems:
    print("\n".join(problems))
    sys.exit(f"check-rooms: {len(problems)} include(s) against the rooms of docs/architecture.md")
print(f"check-rooms: {len(rooms)} rooms, every include in its place")
