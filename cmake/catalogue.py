#!/usr/bin/python3
"""Turns the translations of Lodrix's texts into C++ tables, or checks them.

catalogue.py --output CATALOGUES.CPP PO...
catalogue.py --check-sources SOURCE... --po PO...

The French texts are the source: each msgid is a text exactly as the code
writes it (in a string literal, or adjacent literals joined), each msgstr its
translation. One file per language, po/<code>.po, read with Debian's
python3-polib. A file must say, in its header:

- Language: its code, the file's own name (en for po/en.po);
- X-Decimal-Separator: what the language writes between the whole part and
  the fraction of a number ('.' in English).

Every entry must be translated and not fuzzy; an entry flagged qt-format is a
pattern whose %1, %2... the program fills with values, so its translation must
use the same ones. Any fault stops the build with the file and the line.

With --output the tables are written sorted by the bytes of the French text,
the order the lookup's binary search expects (lang/catalogue.cpp).
With --check-sources, every msgid must be found among the string literals of
the sources: a text changed in the code without its catalogue entry, or an
entry left behind after its text went, fails the check.
"""

import argparse
import html
import os
import re
import sys

import polib

PLACEHOLDER = re.compile(r"%[1-9]")


def fail(message):
    print(f"catalogue.py: {message}", file=sys.stderr)
    sys.exit(1)


def language_of(path):
    return os.path.splitext(os.path.basename(path))[0]


def read(path):
    try:
        po = polib.pofile(path, wrapwidth=0)
    except (OSError, ValueError) as e:
        fail(f"{path}: {e}")
    code = language_of(path)
    if po.metadata.get("Language") != code:
        fail(f"{path}: the header's Language must be '{code}', the file's name")
    separator = po.metadata.get("X-Decimal-Separator", "")
    if not separator:
        fail(f"{path}: the header must give the language's X-Decimal-Separator")
    seen = set()
    entries = []
    for e in po:
        if e.obsolete:
            continue
        where = f"{path}:{e.linenum}"
        if e.msgid in seen:
            fail(f"{where}: '{e.msgid}' is there twice")
        seen.add(e.msgid)
        if not e.msgstr or "fuzzy" in e.flags:
            fail(f"{where}: '{e.msgid}' has no translation")
        if "qt-format" in e.flags:
            if sorted(PLACEHOLDER.findall(e.msgid)) != sorted(PLACEHOLDER.findall(e.msgstr)):
                fail(f"{where}: the translation of '{e.msgid}' must use the same %1, %2...")
        elif PLACEHOLDER.search(e.msgid):
            fail(f"{where}: '{e.msgid}' is a pattern: flag it qt-format")
        entries.append((e.msgid, e.msgstr))
    entries.sort(key=lambda pair: pair[0].encode("utf-8"))
    return code, separator, entries


def cpp_string(text):
    out = []
    for c in text:
        if c in '"\\':
            out.append("\\" + c)
        elif ord(c) < 0x20:
            out.append(f"\\{ord(c):03o}")
        else:
            out.append(c)
    return '"' + "".join(out) + '"'


def write(paths, output):
    lines = [
        "// Written by cmake/catalogue.py from " + ", ".join("po/" + os.path.basename(p) for p in paths) + ".",
        '#include "lang/catalogue.h"',
        "",
        "namespace lodrix {",
        "",
        "namespace {",
        "",
    ]
    tables = []
    for path in paths:
        code, separator, entries = read(path)
        name = "entries_" + re.sub(r"\W", "_", code)
        lines.append(f"constexpr CatalogueEntry {name}[] = {{")
        for source, translation in entries:
            lines.append(f"    {{{cpp_string(source)}, {cpp_string(translation)}}},")
        lines.append("};")
        lines.append("")
        tables.append(f"    {{{cpp_string(code)}, {cpp_string(separator)}, {name}}},")
    lines += ["constexpr CatalogueTable tables[] = {"] + tables + ["};", "", "} // namespace", ""]
    lines += ["const std::span<const CatalogueTable> catalogueTables{tables};", "", "} // namespace lodrix", ""]
    text = "\n".join(lines)
    # Rewritten only when it changes, so that a touched .po alone rebuilds little.
    if os.path.exists(output):
        with open(output, encoding="utf-8") as f:
            if f.read() == text:
                return
    with open(output, "w", encoding="utf-8") as f:
        f.write(text)


# A C++ string literal, with an optional u8/L prefix; raw strings are not used
# for texts in Lodrix.
LITERAL = re.compile(r'(?:u8|u|U|L)?"((?:[^"\\\n]|\\.)*)"')
# Between two literals that the compiler joins: blanks and comments only.
JOIN = re.compile(r"(?:\s|//[^\n]*\n|/\*.*?\*/)*", re.S)


def unescape(body):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "t": "\t"}.get(m.group(1), m.group(1)), body)


def literals(text):
    found = set()
    pos = 0
    while True:
        m = LITERAL.search(text, pos)
        if not m:
            return found
        joined = unescape(m.group(1))
        pos = m.end()
        while True:
            gap = JOIN.match(text, pos)
            nxt = LITERAL.match(text, gap.end())
            if not nxt:
                break
            joined += unescape(nxt.group(1))
            pos = nxt.end()
        found.add(joined)


# The browser page's own texts: what its elements hold and their labels for
# screen readers; its script's texts are those it hands to tr().
PAGE_TEXT = re.compile(r">([^<>]+)<")
PAGE_LABEL = re.compile(r'(?:aria-label|aria-description|title)="([^"]*)"')
SCRIPT_TEXT = re.compile(r"""\btr\((['"])((?:\\.|(?!\1).)*)\1""")


def page_texts(text):
    return {" ".join(html.unescape(m.group(1)).split()) for m in PAGE_TEXT.finditer(text)} | {
        html.unescape(m.group(1)) for m in PAGE_LABEL.finditer(text)}


def script_texts(text):
    return {unescape(m.group(2)) for m in SCRIPT_TEXT.finditer(text)}


def check_sources(sources, paths):
    known = set()
    for source in sources:
        with open(source, encoding="utf-8") as f:
            text = f.read()
        if source.endswith(".html"):
            known |= page_texts(text)
        elif source.endswith(".js"):
            known |= script_texts(text)
        else:
            known |= literals(text)
    missing = []
    for path in paths:
        for source, _ in read(path)[2]:
            if source not in known:
                missing.append(f"{path}: '{source}' is in no source")
    if missing:
        fail("\n".join(missing))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--output")
    parser.add_argument("--check-sources", nargs="+", default=[])
    parser.add_argument("--po", nargs="+", default=[])
    parser.add_argument("po_files", nargs="*")
    args = parser.parse_args()
    paths = args.po + args.po_files
    if not paths:
        fail("no .po file given")
    if args.check_sources:
        check_sources(args.check_sources, paths)
    if args.output:
        write(paths, args.output)
    if not args.output and not args.check_sources:
        for path in paths:
            read(path)


if __name__ == "__main__":
    main()
