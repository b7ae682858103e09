#!/usr/bin/python3
"""Writes the browser edition as one self-contained HTML file.

webpage.py --template PAGE.HTML --core LODRIX-CORE.JS --script LODRIX.JS --hook HOOK.JS --style LODRIX.CSS
           --font TAHOMA.TTF --licence COPYRIGHT
           --rtf-tool LODRIX-RTF --commentaries RTF... --output LODRIX.HTML

The template marks each part's place with a comment, <!--@name@-->, found
exactly once each:

- core: emscripten's module with the WebAssembly inside (SINGLE_FILE);
- script, style: the page's own JavaScript and CSS; the script's
  automation hook (HOOK.JS) is set into it at its /*@hook@*/ mark, inside
  the page's closure;
- fonts: the outline Tahoma of Debian's fonts-wine, cut down to the
  characters of Western European texts, as a base64 @font-face rule named
  "Lodrix Tahoma" (browsers cannot use the bitmap-only "MS Sans Serif"
  replica). Its bold is left to the browser: Wine's own Tahoma Bold is
  hardly heavier than the regular and much wider, where the desktop's bold
  labels are dark and narrow;
- fonts-licence: fonts-wine's notice (LGPL-2.1+), which goes with the fonts;
- commentaries: each RTF file as HTML by our own RTF reader (lodrix-rtf
  --html, the core's HTML writer), kept in a <template id="commentary-lodrixN.rtf">.

The page must fetch nothing: a commentary that refers to anything outside
itself, or a script that would end its <script> element early, stops the build.
"""

import argparse
import base64
import html
import io
import logging
import os
import re
import subprocess
import sys

from fontTools import subset
from fontTools.ttLib import TTFont

# Latin-1 and the punctuation French texts use: quotes, dashes, ellipsis, euro.
FONT_CHARACTERS = [*range(0x20, 0x7F), *range(0xA0, 0x100), 0x152, 0x153, 0x178,
                   0x2013, 0x2014, 0x2018, 0x2019, 0x201C, 0x201D, 0x2026, 0x20AC]
FONT_FAMILY = "Lodrix Tahoma"
OUTSIDE_REFERENCE = re.compile(r"""\b(?:src|href|srcset|action|background)\s*=|url\s*\(|@import""", re.I)


def fail(message):
    sys.exit(f"webpage.py: {message}")


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def font_face(path):
    logging.getLogger("fontTools.subset").setLevel(logging.ERROR)  # the bitmap tables it drops are not needed
    font = TTFont(path)
    options = subset.Options()
    options.name_IDs = ["*"]  # keep the copyright and licence names in the font
    options.notdef_outline = True
    subsetter = subset.Subsetter(options)
    subsetter.populate(unicodes=FONT_CHARACTERS)
    subsetter.subset(font)
    data = io.BytesIO()
    font.save(data)
    encoded = base64.b64encode(data.getvalue()).decode("ascii")
    return (f"@font-face {{ font-family: \"{FONT_FAMILY}\"; "
            f"src: url(data:font/ttf;base64,{encoded}) format(\"truetype\"); }}\n")


def commentary(tool, path):
    """The reader's HTML of one commentary (a <div class="commentary">), as a template."""
    result = subprocess.run([tool, path, "--html"], capture_output=True, text=True)
    if result.returncode != 0 or result.stderr.strip():
        fail(f"lodrix-rtf could not read {path}: {result.stderr.strip()}")
    content = result.stdout.strip()
    if not content.startswith('<div class="commentary"'):
        fail(f"no commentary in the HTML of {path}")
    if OUTSIDE_REFERENCE.search(content):
        fail(f"the commentary {path} refers to something outside it; the page must fetch nothing")
    name = os.path.basename(path)
    return f'<template id="commentary-{html.escape(name)}">{content}</template>\n'


def script_text(text, what):
    # Inside <script>, "</script" ends the element and "<!--" changes how it is read.
    if re.search(r"</script|<!--", text, re.I):
        fail(f"{what} holds '</script' or '<!--' and cannot be inlined")
    return text


def with_hook(script, path, hook):
    mark = "/*@hook@*/"
    if script.count(mark) != 1:
        fail(f"{path} must hold {mark} exactly once")
    return script.replace(mark, hook.rstrip("\n"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--template", required=True)
    parser.add_argument("--core", required=True)
    parser.add_argument("--script", required=True)
    parser.add_argument("--hook", required=True)
    parser.add_argument("--style", required=True)
    parser.add_argument("--font", required=True)
    parser.add_argument("--licence", required=True)
    parser.add_argument("--rtf-tool", required=True)
    parser.add_argument("--commentaries", nargs="+", required=True)
    parser.add_argument("--output", required=True)
    args = parser.parse_args()

    licence = read(args.licence)
    parts = {
        "core": script_text(read(args.core), args.core),
        "script": script_text(with_hook(read(args.script), args.script, read(args.hook)), args.script),
        "style": read(args.style),
        "fonts": font_face(args.font),
        "fonts-licence": (
            "<!-- The font inside this page is Wine's Tahoma replica from Debian's fonts-wine,\n"
            "     under the GNU LGPL 2.1 or later: their notice is the template fonts-licence. -->\n"
            f'<template id="fonts-licence"><pre>{html.escape(licence)}</pre></template>'),
        "commentaries": "".join(commentary(args.rtf_tool, path) for path in args.commentaries),
    }
    page = read(args.template)
    for name, text in parts.items():
        mark = f"<!--@{name}@-->"
        if page.count(mark) != 1:
            fail(f"{args.template} must hold {mark} exactly once")
        page = page.replace(mark, text)
    unknown = re.search(r"<!--@.*?@-->", page)
    if unknown:
        fail(f"{args.template} holds a part this script does not know: {unknown.group()}")
    with open(args.output, "w", encoding="utf-8") as f:
        f.write(page)


if __name__ == "__main__":
    main()
