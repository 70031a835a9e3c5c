#!/usr/bin/env python3
"""Writes res/morva.ico: a 32x32, 16-colour picture of a chip with a clock wave on it."""
import struct
import sys

# The standard 16-colour palette, as (R, G, B).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_GREY, LIGHT_GREY, YELLOW, WHITE, GREEN = 0, 8, 7, 11, 15, 10
SIZE = 32


def picture():
    px = [[None] * SIZE for _ in range(SIZE)]  # None is transparent
    # Pins on the left and right edges.
    for y in range(7, 26, 3):
        for x in list(range(2, 6)) + list(range(26, 30)):
            px[y][x] = LIGHT_GREY
            px[y + 1][x] = DARK_GREY
    # Chip body with a notch.
    for y in range(4, 28):
        for x in range(6, 26):
            px[y][x] = BLACK
    for y in range(4, 7):
        for x in range(14, 18):
            px[y][x] = None if y == 4 else DARK_GREY
    # A clock wave across the chip: TCK.
    wave_low, wave_high = 20, 12
    level = wave_low
    for x in range(8, 24):
        high = ((x - 8) // 4) % 2 == 1
        new_level = wave_high if high else wave_low
        if new_level != level:
            for y in range(min(level, new_level), max(level, new_level) + 1):
                px[y][x] = YELLOW
        level = new_level
        px[level][x] = YELLOW
    # A green TDO dot under the wave.
    for y in range(23, 26):
        for x in range(19, 22):
            px[y][x] = GREEN
    return px


def main(path):
    px = picture()
    xor_rows, and_rows = [], []
    for y in reversed(range(SIZE)):  # bottom-up
        row = px[y]
        nibbles = [0 if c is None else c for c in row]
        xor_rows.append(bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, SIZE, 2)))
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if row[x] is None else 0)
        and_rows.append(bits.to_bytes(4, "big"))
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    image = header + palette + b"".join(xor_rows) + b"".join(and_rows)
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(icondir + entry + image)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "res/morva.ico")
