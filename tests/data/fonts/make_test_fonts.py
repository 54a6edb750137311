#!/usr/bin/env python3
"""Writes the window tests' fixed-pitch fixture fonts, each a block glyph for a few characters:

  HexlessMono.ttf     "Hexless Mono"      G-Z only: no digit, no A-F
  DigitsOnlyMono.ttf  "Digits Only Mono"  0-9 only: no A-F
  HexDigitsMono.ttf   "Hex Digits Mono"   0-9 and A-F

Every glyph advances 600 units and the fonts carry the fixed-pitch mark, so that the font
database lists each of them as fixed-pitch; which characters they draw is what tells them apart.
Run from this folder: python3 make_test_fonts.py
"""
import struct

UNITS = 1000
ADVANCE = 600


def checksum(data):
    data += b"\0" * (-len(data) % 4)
    return sum(struct.unpack(">%dI" % (len(data) // 4), data)) & 0xFFFFFFFF


def block_glyph():
    # One rectangle, 100..500 wide and 0..700 high, its four points on the curve.
    xs, ys = [100, 0, 400, 0], [0, 700, 0, -700]
    return (struct.pack(">hhhhh", 1, 100, 0, 500, 700) + struct.pack(">HH", 3, 0) + bytes([1] * 4)
            + struct.pack(">4h", *xs) + struct.pack(">4h", *ys))


def cmap_table(chars):
    # Format 4, one segment per character (glyph i + 1 for the i-th character), then 0xFFFF.
    segments = [(ord(c), ord(c), (i + 1 - ord(c)) & 0xFFFF) for i, c in enumerate(chars)]
    segments.append((0xFFFF, 0xFFFF, 1))
    n = len(segments)
    search = 2 * (1 << (n.bit_length() - 1))
    body = struct.pack(">HHHH", 2 * n, search, (search // 2).bit_length() - 1, 2 * n - search)
    body += struct.pack(">%dH" % n, *[s[1] for s in segments]) + b"\0\0"
    body += struct.pack(">%dH" % n, *[s[0] for s in segments])
    body += struct.pack(">%dH" % n, *[s[2] for s in segments])
    body += struct.pack(">%dH" % n, *([0] * n))
    sub = struct.pack(">HHH", 4, 6 + len(body), 0) + body
    return struct.pack(">HHHHI", 0, 1, 3, 1, 12) + sub


def name_table(family):
    names = {1: family, 2: "Regular", 3: family + " Regular", 4: family,
             6: family.replace(" ", "") + "-Regular"}
    records, strings = b"", b""
    for name_id, text in names.items():
        data = text.encode("utf-16-be")
        records += struct.pack(">HHHHHH", 3, 1, 0x409, name_id, len(data), len(strings))
        strings += data
    return struct.pack(">HHH", 0, len(names), 6 + 12 * len(names)) + records + strings


def font(family, chars):
    count = len(chars) + 1  # .notdef first, empty
    glyph = block_glyph()
    glyf = glyph * len(chars)
    loca = struct.pack(">%dH" % (count + 1), 0, *[(i * len(glyph)) // 2 for i in range(count)])
    first, last = min(ord(c) for c in chars), max(ord(c) for c in chars)
    tables = {
        b"head": struct.pack(">IIIIHHqqhhhhHHhhh", 0x00010000, 0x00010000, 0, 0x5F0F3CF5, 0x000B, UNITS,
                             0, 0, 100, 0, 500, 700, 0, 8, 2, 0, 0),
        b"hhea": struct.pack(">Ihhh H hhh hhh 4h hH".replace(" ", ""), 0x00010000, 800, -200, 0, ADVANCE,
                             0, 100, 500, 1, 0, 0, 0, 0, 0, 0, 0, count),
        b"maxp": struct.pack(">IHHHHHHHHHHHHHH", 0x00010000, count, 4, 1, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0),
        b"hmtx": struct.pack(">hh", ADVANCE, 0) + struct.pack(">hh", ADVANCE, 100) * len(chars),
        b"cmap": cmap_table(chars),
        b"loca": loca,
        b"glyf": glyf,
        b"name": name_table(family),
        b"post": struct.pack(">IIhhIIIII", 0x00030000, 0, -100, 50, 1, 0, 0, 0, 0),
        b"OS/2": struct.pack(">HhHHHhhhhhhhhhhh", 4, ADVANCE, 400, 5, 0, 650, 700, 0, 140, 650, 700, 0, 480,
                             50, 250, 0)
                 + bytes([2, 0, 6, 9, 0, 0, 0, 0, 0, 0])  # panose: text, monospaced
                 + struct.pack(">IIII", 1, 0, 0, 0) + b"NONE"
                 + struct.pack(">HHHhhhHHII", 0x40, first, last, 800, -200, 0, 800, 200, 1, 0)
                 + struct.pack(">hhHHH", 500, 700, 0, 32, 1),
    }
    tags = sorted(tables)
    n = len(tags)
    search = 16 * (1 << (n.bit_length() - 1))
    out = struct.pack(">IHHHH", 0x00010000, n, search, (search // 16).bit_length() - 1, 16 * n - search)
    offset = 12 + 16 * n
    directory, body = b"", b""
    for tag in tags:
        data = tables[tag]
        directory += struct.pack(">4sIII", tag, checksum(data), offset + len(body), len(data))
        body += data + b"\0" * (-len(data) % 4)
    whole = bytearray(out + directory + body)
    head_at = offset + sum(len(tables[t]) + (-len(tables[t]) % 4) for t in tags[:tags.index(b"head")])
    struct.pack_into(">I", whole, head_at + 8, (0xB1B0AFBA - checksum(bytes(whole))) & 0xFFFFFFFF)
    return bytes(whole)


if __name__ == "__main__":
    for file, family, chars in [
        ("HexlessMono.ttf", "Hexless Mono", "GHIJKLMNOPQRSTUVWXYZ"),
        ("DigitsOnlyMono.ttf", "Digits Only Mono", "0123456789"),
        ("HexDigitsMono.ttf", "Hex Digits Mono", "0123456789ABCDEF"),
    ]:
        with open(file, "wb") as f:
            f.write(font(family, chars))
