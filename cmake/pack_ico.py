#!/usr/bin/env python3
"""Packs PNG images into one Windows icon (.ico): pack_ico.py OUT.ico IN.png...

Each image keeps its PNG form inside the icon, which every Windows since Vista
reads; the sizes are taken from the PNG headers.
"""
import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise SystemExit("pack_ico.py: not a PNG image")
    return struct.unpack(">II", data[16:24])


def main(out, inputs):
    images = [open(name, "rb").read() for name in inputs]
    images.sort(key=lambda data: png_size(data)[0])
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries = b""
    for data in images:
        width, height = png_size(data)
        if width > 256 or height > 256:
            raise SystemExit("pack_ico.py: an icon image is at most 256 pixels wide")
        # 256 is written as 0 in the one-byte size fields.
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32,
                               len(data), offset)
        offset += len(data)
    with open(out, "wb") as f:
        f.write(header + entries + b"".join(images))


if __name__ == "__main__":
    if len(sys.argv) < 3:
        raise SystemExit("usage: pack_ico.py OUT.ico IN.png...")
    main(sys.argv[1], sys.argv[2:])
