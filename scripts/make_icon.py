#!/usr/bin/env python3
"""Writes resources/quorvel.ico: the banner blue with four white window panes, 16 and 32 pixels."""
import os
import struct

BLUE = (232, 186, 8)  # BGR of RGB(8, 186, 232)


def pixel(size, x, y):
    """BGRA of one pixel: a rounded blue tile with a 2 x 2 grid of white panes."""
    m = size // 8  # margin of the panes
    gap = max(1, size // 16)
    half = size // 2
    inside_x = m <= x < size - m and not (half - gap <= x < half + gap - (gap > 1))
    inside_y = m <= y < size - m and not (half - gap <= y < half + gap - (gap > 1))
    corner = (x in (0, size - 1)) and (y in (0, size - 1))
    if corner:
        return (0, 0, 0, 0)
    if inside_x and inside_y:
        return (255, 255, 255, 255)
    return BLUE + (255,)


def dib(size):
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in reversed(range(size)):  # bottom-up
        rows.append(b''.join(bytes(pixel(size, x, y)) for x in range(size)))
    mask_row = b'\0' * (((size + 31) // 32) * 4)
    return header + b''.join(rows) + mask_row * size


def main():
    images = [dib(16), dib(32)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((16, 32), images):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, '..', 'resources', 'quorvel.ico'), 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
