#!/usr/bin/python3
"""Finds the French texts the page's script writes that a catalogue lacks.

scripttexts.py --po PO... SCRIPT...

The page writes its texts through tr(), which looks them up in the core's
catalogue: a French text written without it, or one the catalogue does not
have, shows in French on an English page. A French text of the script is a
string literal (quoted, or a template whose ${...} parts read as %1, %2...)
that reads as French prose: it holds a French letter (é, è, à, ç...), a
guillemet, or a blank before ':', ';', '?' or '!'. Each must stand inside
the parentheses of a tr() call and be a msgid of every catalogue given.
"""

import argparse
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import catalogue  # noqa: E402

FRENCH = re.compile(r"[àâäçéèêëîïôöùûüÿœæÀÂÇÉÈÊÎÔÙÛŒ«»]|\s[:;?!](?:\s|$)")
IDENTIFIER = re.compile(r"[A-Za-z0-9_$]")
# After these a '/' opens a regular expression, not a division.
REGEX_BEFORE = set("(,=:[!&|?{};+-*%<>~^") | {""}


def literals(text):
    """Every string literal of a script: (line, text, inside a tr() call)."""
    found = []
    calls = []  # the parenthesis depth at which each open tr( call closes
    depth = 0
    i = 0
    last = ""  # the last significant character before i

    def line_at(pos):
        return text.count("\n", 0, pos) + 1

    while i < len(text):
        c = text[i]
        if text.startswith("//", i):
            i = text.find("\n", i)
            i = len(text) if i < 0 else i
            continue
        if text.startswith("/*", i):
            i = text.find("*/", i + 2) + 2
            continue
        if c == "/" and last in REGEX_BEFORE:
            j, in_class = i + 1, False
            while j < len(text) and (text[j] != "/" or in_class):
                in_class = (in_class or text[j] == "[") and text[j] != "]"
                j += 2 if text[j] == "\\" else 1
            i, last = j + 1, "/"
            continue
        if c in "'\"":
            j = i + 1
            while text[j] != c:
                j += 2 if text[j] == "\\" else 1
            found.append((line_at(i), catalogue.unescape(text[i + 1:j]), bool(calls)))
            i, last = j + 1, c
            continue
        if c == "`":
            j, parts, values = i + 1, [], 0
            while text[j] != "`":
                if text.startswith("${", j):
                    braces, j = 1, j + 2
                    while braces:
                        braces += {"{": 1, "}": -1}.get(text[j], 0)
                        j += 1
                    values += 1
                    parts.append(f"%{values}")
                else:
                    parts.append(text[j:j + 2] if text[j] == "\\" else text[j])
                    j += 2 if text[j] == "\\" else 1
            found.append((line_at(i), catalogue.unescape("".join(parts)), bool(calls)))
            i, last = j + 1, "`"
            continue
        if c == "(":
            depth += 1
            before = text[max(0, i - 3):i]
            if before.endswith("tr") and not IDENTIFIER.match(before[:1] or " ") and before[:1] != ".":
                calls.append(depth)
        elif c == ")":
            if calls and calls[-1] == depth:
                calls.pop()
            depth -= 1
        if not c.isspace():
            last = c
        i += 1
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--po", nargs="+", required=True)
    parser.add_argument("scripts", nargs="+")
    args = parser.parse_args()
    catalogues = {path: {source for source, _ in catalogue.read(path)[2]} for path in args.po}
    faults = []
    for script in args.scripts:
        with open(script, encoding="utf-8") as f:
            text = f.read()
        for line, literal, in_tr in literals(text):
            if not FRENCH.search(literal):
                continue
            if not in_tr:
                faults.append(f"{script}:{line}: '{literal}' is written without tr()")
            for path, msgids in catalogues.items():
                if literal not in msgids:
                    faults.append(f"{script}:{line}: '{literal}' is not in {path}")
    if faults:
        print("\n".join(f"scripttexts.py: {fault}" for fault in faults), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
