#!/usr/bin/python3
"""Writes the RTF reader's code page tables, from Python's own codecs.

codepages.py --output CODEPAGETABLES.CPP

The reader decodes the \\'hh bytes and raw 8-bit text of an RTF file with the
Windows code page its document or font names. Single-byte pages are a table
of 256 characters; the double-byte Asian pages add, for each lead byte from
0x81 to 0xFE, the characters of its trail bytes from 0x40 to 0xFE. A byte,
or a pair, that a page does not define reads as U+FFFD. Windows-1252, the
default, and UTF-8 are the reader's own and need no table.
"""

import argparse

SINGLE_BYTE = {437: "cp437", 850: "cp850", 852: "cp852", 866: "cp866", 874: "cp874",
               1250: "cp1250", 1251: "cp1251", 1253: "cp1253", 1254: "cp1254", 1255: "cp1255",
               1256: "cp1256", 1257: "cp1257", 1258: "cp1258", 10000: "mac_roman"}
DOUBLE_BYTE = {932: "cp932", 936: "gbk", 949: "cp949", 950: "cp950"}
LEADS = range(0x81, 0xFF)
TRAILS = range(0x40, 0xFF)
REPLACEMENT = 0xFFFD


def character(codec, data):
    try:
        text = data.decode(codec)
    except UnicodeDecodeError:
        return REPLACEMENT
    return ord(text) if len(text) == 1 and ord(text) <= 0xFFFF else REPLACEMENT


def array(name, values):
    rows = [", ".join(f"0x{v:04X}" for v in values[i:i + 12]) for i in range(0, len(values), 12)]
    return f"constexpr char16_t {name}[{len(values)}] = {{\n    " + ",\n    ".join(rows) + "};\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--output", required=True)
    args = parser.parse_args()
    out = ["// Written by cmake/codepages.py from Python's codecs: do not edit.\n",
           '#include "rtf/codepage.h"\n\nnamespace lodrix::rtf {\n\nnamespace {\n\n']
    for page, codec in {**SINGLE_BYTE, **DOUBLE_BYTE}.items():
        out.append(array(f"single{page}", [character(codec, bytes([b])) for b in range(256)]))
    for page, codec in DOUBLE_BYTE.items():
        out.append(array(f"pairs{page}", [character(codec, bytes([lead, trail]))
                                          for lead in LEADS for trail in TRAILS]))
    out.append("\n} // namespace\n\n")
    out.append("const std::span<const CodePageTable> codePageTables = [] {\n"
               "    static constexpr CodePageTable tables[] = {\n")
    for page in SINGLE_BYTE:
        out.append(f"        {{{page}, single{page}, nullptr}},\n")
    for page in DOUBLE_BYTE:
        out.append(f"        {{{page}, single{page}, pairs{page}}},\n")
    out.append("    };\n    return std::span<const CodePageTable>(tables);\n}();\n\n} // namespace lodrix::rtf\n")
    with open(args.output, "w", encoding="utf-8") as f:
        f.write("".join(out))


if __name__ == "__main__":
    main()
