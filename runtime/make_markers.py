#!/usr/bin/env python3
"""Draws the two wait-marker pictures of the runtime library.

Each picture holds two 16 x 16 frames side by side; the player alternates them every
half second. The key-wait marker is a downward triangle that bobs by two pixels; the
page-wait marker is a page corner that folds. Run it after changing the art; the
pictures it writes are committed.
"""
import struct
import zlib

W, H = 16, 16
OUTLINE = (40, 40, 60, 255)
FILL = (250, 250, 255, 255)
CLEAR = (0, 0, 0, 0)


def triangle(dy):
    """A downward triangle 11 wide and 6 high, lowered by dy."""
    frame = [[CLEAR] * W for _ in range(H)]
    top = 4 + dy
    for row in range(7):
        half = 5 - row
        for x in range(8 - half - 1, 8 + half):
            if 0 <= top + row < H:
                edge = row == 0 or x in (8 - half - 1, 8 + half - 1) or half <= 0
                frame[top + row][x] = OUTLINE if edge else FILL
    return frame


def page(folded):
    """A sheet 10 x 12 with its top-right corner straight or folded."""
    frame = [[CLEAR] * W for _ in range(H)]
    left, top, right, bottom = 3, 2, 12, 13
    cut = 4 if folded else 0
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            if cut and x - left > (right - left) - cut + (y - top):
                continue
            edge = x in (left, right) or y in (top, bottom)
            if cut and x - left == (right - left) - cut + (y - top):
                edge = True
            frame[y][x] = OUTLINE if edge else FILL
    if cut:
        for i in range(cut + 1):
            frame[top + cut][right - cut + i] = OUTLINE
            frame[top + i][right - cut] = OUTLINE
    return frame


def write_png(path, frames):
    width = W * len(frames)
    raw = bytearray()
    for y in range(H):
        raw.append(0)
        for frame in frames:
            for pixel in frame[y]:
                raw.extend(pixel)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, H, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as out:
        out.write(png)


if __name__ == "__main__":
    write_png("_keywait_char.png", [triangle(0), triangle(2)])
    write_png("_pagewait_char.png", [page(False), page(True)])
