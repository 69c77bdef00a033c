#!/usr/bin/env python3
"""Generates FontMetricsData.cpp: the built-in text metrics of Papyr.

Widths come from Adobe's Core 14 AFM files (Debian package ruby-prawn,
/usr/share/ruby-prawn/fonts), one table of 256 advance widths per upright
face in Windows-1252 (WinAnsiEncoding) byte order, in 1/1000 of the font size.
Oblique and italic faces are not generated: the italic flag takes no part in
measuring.

Line heights come from the OS/2 and head tables of the metric-compatible
Liberation fonts (Debian package fonts-liberation2): the line height of a
family is size * (usWinAscent + usWinDescent) / unitsPerEm. The numbers are
read here and committed in the generated source, so the library depends on no
installed font.

Usage: generate_metrics.py [AFM_DIR [TTF_DIR]] > FontMetricsData.cpp
"""
import os
import struct
import sys

AFM_DIR = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/ruby-prawn/fonts"
TTF_DIR = sys.argv[2] if len(sys.argv) > 2 else "/usr/share/fonts/truetype/liberation2"

# Glyph names of WinAnsiEncoding, 0x20 to 0xFF. Codes the encoding leaves
# unused (0x7F, 0x81, 0x8D, 0x8F, 0x90, 0x9D) are shown as a bullet by PDF
# viewers, so they take the bullet's width; 0x00 to 0x1F have no glyph.
WIN_ANSI = """
space exclam quotedbl numbersign dollar percent ampersand quotesingle
parenleft parenright asterisk plus comma hyphen period slash
zero one two three four five six seven eight nine colon semicolon less equal greater question
at A B C D E F G H I J K L M N O
P Q R S T U V W X Y Z bracketleft backslash bracketright asciicircum underscore
grave a b c d e f g h i j k l m n o
p q r s t u v w x y z braceleft bar braceright asciitilde bullet
Euro bullet quotesinglbase florin quotedblbase ellipsis dagger daggerdbl
circumflex perthousand Scaron guilsinglleft OE bullet Zcaron bullet
bullet quoteleft quoteright quotedblleft quotedblright bullet endash emdash
tilde trademark scaron guilsinglright oe bullet zcaron Ydieresis
space exclamdown cent sterling currency yen brokenbar section
dieresis copyright ordfeminine guillemotleft logicalnot hyphen registered macron
degree plusminus twosuperior threesuperior acute mu paragraph periodcentered
cedilla onesuperior ordmasculine guillemotright onequarter onehalf threequarters questiondown
Agrave Aacute Acircumflex Atilde Adieresis Aring AE Ccedilla
Egrave Eacute Ecircumflex Edieresis Igrave Iacute Icircumflex Idieresis
Eth Ntilde Ograve Oacute Ocircumflex Otilde Odieresis multiply
Oslash Ugrave Uacute Ucircumflex Udieresis Yacute Thorn germandbls
agrave aacute acircumflex atilde adieresis aring ae ccedilla
egrave eacute ecircumflex edieresis igrave iacute icircumflex idieresis
eth ntilde ograve oacute ocircumflex otilde odieresis divide
oslash ugrave uacute ucircumflex udieresis yacute thorn ydieresis
""".split()
assert len(WIN_ANSI) == 0x100 - 0x20, len(WIN_ANSI)

# (C++ name, AFM face, Liberation face whose vertical metrics give the line height)
FACES = [
    ("kHelvetica", "Helvetica", "LiberationSans-Regular.ttf"),
    ("kHelveticaBold", "Helvetica-Bold", "LiberationSans-Bold.ttf"),
    ("kTimes", "Times-Roman", "LiberationSerif-Regular.ttf"),
    ("kTimesBold", "Times-Bold", "LiberationSerif-Bold.ttf"),
    ("kCourier", "Courier", "LiberationMono-Regular.ttf"),
    ("kCourierBold", "Courier-Bold", "LiberationMono-Bold.ttf"),
]


def read_afm(face):
    widths, notices = {}, []
    with open(os.path.join(AFM_DIR, face + ".afm"), encoding="latin-1") as f:
        for line in f:
            if line.startswith("Notice "):
                notices.append(line[len("Notice "):].strip())
            if not line.startswith("C "):
                continue
            fields = dict(p.strip().split(" ", 1) for p in line.split(";") if p.strip())
            widths[fields["N"]] = int(fields["WX"])
    return widths, notices


def read_vertical(ttf):
    with open(os.path.join(TTF_DIR, ttf), "rb") as f:
        data = f.read()
    count = struct.unpack(">H", data[4:6])[0]
    tables = {}
    for i in range(count):
        tag, _, offset, _ = struct.unpack(">4sIII", data[12 + 16 * i:28 + 16 * i])
        tables[tag] = offset
    units = struct.unpack(">H", data[tables[b"head"] + 18:tables[b"head"] + 20])[0]
    os2 = tables[b"OS/2"]
    ascent, descent = struct.unpack(">HH", data[os2 + 74:os2 + 78])
    return ascent, descent, units


def main():
    out = []
    notices = []
    for cname, face, ttf in FACES:
        widths, face_notices = read_afm(face)
        for n in face_notices:
            if n not in notices:
                notices.append(n)
        table = [0] * 0x20 + [widths[name] for name in WIN_ANSI]
        ascent, descent, units = read_vertical(ttf)
        rows = ["    " + ", ".join("%4d" % w for w in table[i:i + 16]) + ","
                for i in range(0, 256, 16)]
        out.append("// %s; line height from %s: (%d + %d) / %d\n"
                   "const FaceMetrics %s = {\n    {\n%s\n    },\n    %d, %d, %d,\n};\n"
                   % (face, ttf, ascent, descent, units, cname, "\n".join(rows),
                      ascent, descent, units))

    print("// Generated by pdf/metrics/generate_metrics.py; do not edit.")
    print("//")
    print("// Advance widths derived from Adobe's Core 14 AFM files. This file is a")
    print("// modification of those files: only the WX widths of the glyphs of")
    print("// WinAnsiEncoding are kept, rearranged into byte order. Notices of the")
    print("// source files:")
    for n in notices:
        print("//   " + n)
    print("// Licence of the source files (Core 14 AFM Files - ReadMe):")
    print("//   This file and the 14 PostScript(R) AFM files it accompanies may be used,")
    print("//   copied, and distributed for any purpose and without charge, with or")
    print("//   without modification, provided that all copyright notices are retained;")
    print("//   that the AFM files are not distributed without this file; that all")
    print("//   modifications to this file or any of the AFM files are prominently noted")
    print("//   in the modified file(s); and that this paragraph is not modified. Adobe")
    print("//   Systems has no responsibility or obligation to support the use of the")
    print("//   AFM files.")
    print("//")
    print("// Vertical metrics (usWinAscent, usWinDescent, unitsPerEm) read from the")
    print("// Liberation fonts 2.x (SIL Open Font License 1.1); only these numbers are used.")
    print()
    print('#include "FontMetrics.h"')
    print()
    print("namespace papyr {")
    print()
    print("\n".join(out))
    print("} // namespace papyr")


if __name__ == "__main__":
    main()
