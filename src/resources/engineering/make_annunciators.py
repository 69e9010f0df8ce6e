#!/usr/bin/env python3
# Draws the instrument view's seven annunciator pictures: a white pictogram on
# black, 21 x 7 dots doubled to the 42 x 14 pixels of an annunciator. The view
# maps white to its lit or dark colour. Run from this folder to regenerate.
import struct, zlib

FONT = {  # 3 x 5 letters
    'A': ['###', '#.#', '###', '#.#', '#.#'], 'L': ['#..', '#..', '#..', '#..', '###'],
    'R': ['##.', '#.#', '##.', '#.#', '#.#'], 'M': ['#.#', '###', '###', '#.#', '#.#'],
    'O': ['###', '#.#', '#.#', '#.#', '###'], 'W': ['#.#', '#.#', '###', '###', '#.#'],
    'P': ['###', '#.#', '###', '#..', '#..'], 'E': ['###', '#..', '##.', '#..', '###'],
    'K': ['#.#', '##.', '#..', '##.', '#.#'], 'S': ['###', '#..', '###', '..#', '###'],
    'T': ['###', '.#.', '.#.', '.#.', '.#.'], 'G': ['###', '#..', '#.#', '#.#', '###'],
}
W, H = 21, 7


def blank():
    return [[0] * W for _ in range(H)]


def text(grid, x, word):
    for ch in word:
        for y, row in enumerate(FONT[ch]):
            for dx, c in enumerate(row):
                if c == '#':
                    grid[y + 1][x + dx] = 1
        x += 4
    return grid


def art(grid, x, rows):
    for y, row in enumerate(rows):
        for dx, c in enumerate(row):
            if c == '#':
                grid[y][x + dx] = 1
    return grid


HEART = ['.##.##.', '#######', '#######', '.#####.', '..###..', '...#...', '.......']
PULSE = ['.............', '......#......', '.....#.#.....', '###.#...#.###', '...#.....#...',
         '.............', '.............']
BATTERY = ['.........', '########.', '#.......#', '#.#.....#', '#.......#', '########.', '.........']
ARROW = ['..#..', '.###.', '#####', '..#..', '..#..', '..#..', '.....']
DOT = ['.....', '.###.', '#####', '#####', '#####', '.###.', '.....']

PICTURES = [
    art(art(blank(), 0, HEART), 8, PULSE),                 # 0 heartbeat: the instrument is running
    text(blank(), 1, 'ALARM'),                              # 1 gas alarm
    text(art(blank(), 0, BATTERY), 10, 'LOW'),              # 2 low battery
    text(art(blank(), 0, ARROW), 6, 'PEAK'),                # 3 peak readings shown
    text(blank(), 3, 'STEL'),                               # 4 short-term averages shown
    text(blank(), 5, 'TWA'),                                # 5 time-weighted averages shown
    text(art(blank(), 1, DOT), 8, 'LOG'),                   # 6 data logging
]


def png(grid, path):
    raw = b''
    for y in range(H * 2):
        line = bytearray([0])
        for x in range(W * 2):
            v = 255 if grid[y // 2][x // 2] else 0
            line += bytes([v, v, v])
        raw += bytes(line)

    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack('>IIBBBBB', W * 2, H * 2, 8, 2, 0, 0, 0)
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(raw, 9))
                + chunk(b'IEND', b''))


for i, grid in enumerate(PICTURES):
    png(grid, 'annunciator%d.png' % i)
