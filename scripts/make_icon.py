#!/usr/bin/env python3
"""Draws the converter's 16 x 16, 16-colour icon: an old text page, an
arrow, and a new settings page. Writes src/app/vaxuconv.ico."""
import struct
import sys

# The standard 16-colour palette (BGRA order is written below).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
# One character per pixel: '.' transparent, otherwise a palette index in hex.
PIXELS = [
    "................",
    "88888...........",
    "8fff88..........",
    "8f44f88.........",
    "8ffffff8...88888",
    "8f444ff8...8fff8",
    "8ffffff8.a.8f338",
    "8f444f8.aa.8fff8",
    "8ffff8aaaaa8f338",
    "8f44f8.aa..8fff8",
    "8ffff8..a..8f338",
    "888888.....8fff8",
    "...........8f338",
    "...........8fff8",
    "...........88888",
    "................",
]


def build():
    xor_rows, and_rows = [], []
    for row in reversed(PIXELS):  # bitmaps are stored bottom-up
        nibbles = [0 if c == "." else int(c, 16) for c in row]
        xor_rows.append(bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, 16, 2)))
        mask = 0
        for c in row:
            mask = (mask << 1) | (1 if c == "." else 0)
        and_rows.append(struct.pack(">H", mask) + b"\0\0")  # rows padded to 4 bytes
    header = struct.pack("<IiiHHIIiiII", 40, 16, 32, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    image = header + palette + b"".join(xor_rows) + b"".join(and_rows)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 16, 16, 16, 0, 1, 4, len(image), 22)
    return directory + image


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "src/app/vaxuconv.ico"
    with open(out, "wb") as f:
        f.write(build())
