#!/usr/bin/env python3
"""Writes src/platform/StringIds.h from res/strings.txt: one IDS_<id> constant per entry.
Run it after adding an entry; a unit test fails while the two disagree."""
import pathlib
import re

root = pathlib.Path(__file__).resolve().parent.parent
entries = []
for line in (root / "res" / "strings.txt").read_text(encoding="utf-8").splitlines():
    if not line or line.startswith("#"):
        continue
    ident, text = line.split("\t", 1)
    shown = text.split("\\n")[0].strip() or "(blanks)"
    entries.append((int(ident), re.sub(r"\s+", " ", shown)))

out = ["#pragma once",
       "// Names for the ids of the string table (res/strings.txt), made by",
       "// res/make-string-ids.py. Pass these to LoadString and the message boxes",
       "// rather than bare numbers so that a test can check every id exists.",
       "",
       "namespace platform {",
       ""]
for ident, shown in sorted(entries):
    out.append(f"inline constexpr unsigned IDS_{ident} = {ident}; // {shown}")
out += ["", "} // namespace platform", ""]
(root / "src" / "platform" / "StringIds.h").write_text("\n".join(out), encoding="utf-8")
