#!/usr/bin/env python3
"""Writes platform/code_page_tables.inc: the upper halves (bytes 0x80 to 0xFF)
of the single-byte code pages texts are stored in, from Python's codecs.

Bytes a code page leaves undefined: 0x80 to 0x9F read as the control
character of the same value, 0xA0 to 0xFF as the private-use character
U+F700 + byte, so that every byte comes back as itself.

Run from the top of the source tree: python3 scripts/make-code-pages.py
"""
import codecs

PAGES = [1252, 1250, 1251, 1253, 1254, 1255, 1256, 1257, 1258, 874, 437]

out = ["// Made by scripts/make-code-pages.py from Python's codecs; do not edit.",
       "// Bytes 0x80 to 0xFF of each code page; undefined bytes 0x80-0x9F read as",
       "// the control character of that value, 0xA0-0xFF as U+F700 + byte.",
       "",
       "constexpr int kTableCodePages[] = {" + ", ".join(str(p) for p in PAGES) + "};",
       "",
       "constexpr char16_t kTableHigh[][128] = {"]
for page in PAGES:
    codec = "cp%d" % page
    row = []
    seen = set()
    for b in range(0x80, 0x100):
        try:
            ch = bytes([b]).decode(codec)
            assert len(ch) == 1
            code = ord(ch)
        except UnicodeDecodeError:
            code = b if b < 0xA0 else 0xF700 + b
        assert code not in seen, (page, b)
        assert code >= 0x80, (page, b)
        seen.add(code)
        row.append(code)
    out.append("    // %d" % page)
    out.append("    {")
    for i in range(0, 128, 8):
        out.append("        " + " ".join("0x%04X," % c for c in row[i:i + 8]))
    out.append("    },")
out.append("};")
with open("platform/code_page_tables.inc", "w") as f:
    f.write("\n".join(out) + "\n")
