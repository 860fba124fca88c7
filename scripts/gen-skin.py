#!/usr/bin/env python3
"""Draws the main window's skin: the sixteen 24-bit bitmaps under
resources/skin/, pixel by pixel, from the glyphs and shapes below; and the
two 16 x 16 icons of the playlist's rows (playing, not playing), in the
sixteen colours their image list keeps.

usage: gen-skin.py OUTPUT-FOLDER [--preview SHEET.png]

The bitmaps are committed; run this after changing the art. The preview is
a sheet of every bitmap at four times its size, for looking at the art.
"""
import os
import struct
import sys
import zlib

# The palette.
BLACK = (0, 0, 0)
BODY_TOP = (50, 54, 68)
BODY_BOTTOM = (30, 33, 43)
LIGHT = (92, 99, 120)
DARK = (12, 13, 18)
GROOVE = (20, 22, 29)
ACCENT = (239, 44, 132)
ACCENT_LIGHT = (255, 120, 180)
LAVENDER = (214, 127, 255)
DIGIT = (120, 222, 255)
DIGIT_DIM = (36, 70, 86)
LABEL = (112, 124, 156)
TEXT = (218, 226, 240)
FACE = (64, 70, 88)
FACE_DOWN = (34, 37, 48)
KNOB = (188, 198, 220)
KNOB_LIGHT = (236, 242, 255)
OFF = (70, 76, 96)


class Image:
    def __init__(self, width, height, fill=BLACK):
        self.w, self.h = width, height
        self.px = [[fill] * width for _ in range(height)]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):  # inclusive
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, c)

    def hline(self, x0, x1, y, c):
        self.rect(x0, y, x1, y, c)

    def vline(self, x, y0, y1, c):
        self.rect(x, y0, x, y1, c)

    def glyph(self, rows, x, y, c, scale=1):
        for j, row in enumerate(rows):
            for i, ch in enumerate(row):
                if ch != '.':
                    self.rect(x + i * scale, y + j * scale, x + i * scale + scale - 1, y + j * scale + scale - 1, c)

    def text(self, font, s, x, y, c, gap=1):
        for ch in s:
            rows = font[ch]
            self.glyph(rows, x, y, c)
            x += len(rows[0]) + gap
        return x

    def paste(self, other, x, y):
        for j in range(other.h):
            for i in range(other.w):
                self.put(x + i, y + j, other.px[j][i])

    def bmp(self):
        stride = (self.w * 3 + 3) & ~3
        body = bytearray()
        for y in range(self.h - 1, -1, -1):
            row = bytearray()
            for r, g, b in self.px[y]:
                row += bytes((b, g, r))
            row += b'\0' * (stride - len(row))
            body += row
        header = struct.pack('<2sIHHI', b'BM', 54 + len(body), 0, 0, 54)
        info = struct.pack('<IiiHHIIiiII', 40, self.w, self.h, 1, 24, 0, len(body), 2835, 2835, 0, 0)
        return header + info + bytes(body)


    def ico(self):
        # 32-bit colour with its AND mask; None is transparent.
        body = bytearray()
        for y in range(self.h - 1, -1, -1):
            for p in self.px[y]:
                body += bytes((p[2], p[1], p[0], 255)) if p else b'\0\0\0\0'
        stride = ((self.w + 31) // 32) * 4
        for y in range(self.h - 1, -1, -1):
            bits = 0
            for x, p in enumerate(self.px[y]):
                if p is None:
                    bits |= 1 << (stride * 8 - 1 - x)
            body += bits.to_bytes(stride, 'big')
        info = struct.pack('<IiiHHIIiiII', 40, self.w, self.h * 2, 1, 32, 0, len(body), 0, 0, 0, 0)
        image = info + bytes(body)
        return struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', self.w, self.h, 0, 0, 1, 32, len(image), 22) + image


def png(image, path):
    raw = b''.join(b'\0' + bytes(v for p in row for v in p) for row in image.px)

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))

    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', image.w, image.h, 8, 2, 0, 0, 0)) +
                chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


# Glyphs: '#' is ink, '.' is background.
TINY = {  # 3 x 5
    '0': ['###', '#.#', '#.#', '#.#', '###'], '1': ['.#.', '##.', '.#.', '.#.', '###'],
    '2': ['###', '..#', '###', '#..', '###'], '3': ['###', '..#', '.##', '..#', '###'],
    '4': ['#.#', '#.#', '###', '..#', '..#'], '5': ['###', '#..', '###', '..#', '###'],
    '6': ['###', '#..', '###', '#.#', '###'], '7': ['###', '..#', '.#.', '.#.', '.#.'],
    '8': ['###', '#.#', '###', '#.#', '###'], '9': ['###', '#.#', '###', '..#', '###'],
    'S': ['###', '#..', '###', '..#', '###'], 'T': ['###', '.#.', '.#.', '.#.', '.#.'],
    'E': ['###', '#..', '##.', '#..', '###'], 'R': ['##.', '#.#', '##.', '#.#', '#.#'],
    'O': ['###', '#.#', '#.#', '#.#', '###'], 'M': ['#.#', '###', '###', '#.#', '#.#'],
    'N': ['##.', '#.#', '#.#', '#.#', '#.#'], 'H': ['#.#', '#.#', '###', '#.#', '#.#'],
    'U': ['#.#', '#.#', '#.#', '#.#', '###'], 'F': ['###', '#..', '##.', '#..', '#..'],
    'L': ['#..', '#..', '#..', '#..', '###'], 'z': ['...', '###', '.#.', '#..', '###'],
    'k': ['#..', '#.#', '##.', '#.#', '#.#'], 'b': ['#..', '##.', '#.#', '#.#', '##.'],
    'p': ['...', '##.', '#.#', '##.', '#..'], 's': ['...', '.##', '.#.', '..#', '##.'],
    ' ': ['...', '...', '...', '...', '...'],
}

SMALL = {  # 5 x 7
    '0': ['.###.', '#...#', '#..##', '#.#.#', '##..#', '#...#', '.###.'],
    '1': ['..#..', '.##..', '..#..', '..#..', '..#..', '..#..', '.###.'],
    '2': ['.###.', '#...#', '....#', '...#.', '..#..', '.#...', '#####'],
    '3': ['####.', '....#', '....#', '.###.', '....#', '....#', '####.'],
    '4': ['...#.', '..##.', '.#.#.', '#..#.', '#####', '...#.', '...#.'],
    '5': ['#####', '#....', '####.', '....#', '....#', '#...#', '.###.'],
    '6': ['..##.', '.#...', '#....', '####.', '#...#', '#...#', '.###.'],
    '7': ['#####', '....#', '...#.', '..#..', '.#...', '.#...', '.#...'],
    '8': ['.###.', '#...#', '#...#', '.###.', '#...#', '#...#', '.###.'],
    '9': ['.###.', '#...#', '#...#', '.####', '....#', '...#.', '.##..'],
    ':': ['.....', '.....', '..#..', '.....', '..#..', '.....', '.....'],
    '-': ['.....', '.....', '.....', '.###.', '.....', '.....', '.....'],
    ' ': ['.....'] * 7,
}

LOGO = {  # 5 x 7, bold
    'T': ['#####', '#####', '.###.', '.###.', '.###.', '.###.', '.###.'],
    'A': ['.###.', '##.##', '##.##', '#####', '##.##', '##.##', '##.##'],
    'R': ['####.', '##.##', '##.##', '####.', '##.#.', '##.##', '##.##'],
    'V': ['##.##', '##.##', '##.##', '##.##', '##.##', '.###.', '..#..'],
    'E': ['#####', '##...', '##...', '####.', '##...', '##...', '#####'],
    'L': ['##...', '##...', '##...', '##...', '##...', '##...', '#####'],
}

# Large digits: seven segments, 2 pixels thick, in a 10 x 16 cell.
SEGMENTS = {
    '0': 'abcdef', '1': 'bc', '2': 'abged', '3': 'abgcd', '4': 'fgbc',
    '5': 'afgcd', '6': 'afgedc', '7': 'abc', '8': 'abcdefg', '9': 'abcdfg',
}


def large_digit(image, x0, segs, c):
    # a top, b upper right, c lower right, d bottom, e lower left, f upper left, g middle
    L, R, T, M, B = x0 + 1, x0 + 8, 1, 7, 13
    if 'a' in segs: image.rect(L + 1, T, R - 1, T + 1, c)
    if 'd' in segs: image.rect(L + 1, B, R - 1, B + 1, c)
    if 'g' in segs: image.rect(L + 1, M, R - 1, M + 1, c)
    if 'f' in segs: image.rect(L, T + 1, L + 1, M, c)
    if 'b' in segs: image.rect(R - 1, T + 1, R, M, c)
    if 'e' in segs: image.rect(L, M + 1, L + 1, B, c)
    if 'c' in segs: image.rect(R - 1, M + 1, R, B, c)
    # rounded joints: clear the outer corners
    for (cx, cy) in ((L, T), (R, T), (L, B + 1), (R, B + 1)):
        image.put(cx, cy, BLACK)


def large_digits():
    img = Image(250, 16)
    for g in range(10):
        large_digit(img, 10 * g, SEGMENTS[str(g)], DIGIT)
    img.rect(103, 4, 104, 5, DIGIT)  # colon (glyph 10, x 100)
    img.rect(103, 10, 104, 11, DIGIT)
    img.rect(109, 7, 112, 8, DIGIT)  # minus (glyph 11, x 108, 6 wide)
    return img                        # blank: glyph 12, x 114, stays black


def small_digits():
    img = Image(65, 7)
    for g, ch in enumerate('0123456789:- '):
        img.glyph(SMALL[ch], 5 * g, 0, DIGIT)
    return img


def tiny_digits():
    img = Image(39, 5)
    for g, ch in enumerate('0123456789'):
        img.glyph(TINY[ch], 3 * g, 0, DIGIT)
    img.rect(31, 2, 33, 2, DIGIT)  # 11: minus; 10 and 12 blank
    return img


def bevel(image, x0, y0, x1, y1, face, pressed):
    image.rect(x0, y0, x1, y1, face)
    top, bottom = (DARK, LIGHT) if pressed else (LIGHT, DARK)
    image.hline(x0, x1 - 1, y0, top)
    image.vline(x0, y0, y1 - 1, top)
    image.hline(x0 + 1, x1, y1, bottom)
    image.vline(x1, y0 + 1, y1, bottom)


# Button symbols, each drawn centred in its button.
SYMBOLS = {
    'stop': ['####', '####', '####', '####'],
    'play': ['#......##.##', '##.....##.##', '###....##.##', '####...##.##', '###....##.##', '##.....##.##',
             '#......##.##'],
    'file': ['..#..', '.###.', '#####', '.....', '#####'],
    'previous': ['#...#..#', '#..##.##', '#.######', '#..##.##', '#...#..#'],
    'next': ['#..#...#', '##.##..#', '######.#', '##.##..#', '#..#...#'],
    'rewind': ['..#..#', '.##.##', '######', '.##.##', '..#..#'],
    'forward': ['#..#..', '##.##.', '######', '##.##.', '#..#..'],
    'option': ['.#...', '#####', '...#.', '#####', '.#...'],
    'equaliser': ['....#', '..#.#', '#.#.#', '#.#.#', '#####'],
    'playlist': ['#.#######', '.........', '#.#######', '.........', '#.#######'],
    'volume': ['...#..#..', '..##...#.', '####.#.#.', '..##...#.', '...#..#..'],
}
COMPACT_SYMBOLS = {
    'stop': ['###', '###', '###'],
    'play': ['#....#.#', '##...#.#', '###..#.#', '##...#.#', '#....#.#'],
    'file': ['..#..', '.###.', '#####', '.....', '#####'],
    'previous': ['#...#', '#..##', '#.###', '#..##', '#...#'],
    'next': ['#...#', '##..#', '###.#', '##..#', '#...#'],
    'playlist': ['#.####', '......', '#.####', '......', '#.####'],
    'volume': ['..#..#.', '.##...#', '###.#.#', '.##...#', '..#..#.'],
}
TITLE_SYMBOLS = [
    ['###', '###', '###'],                       # box
    ['.#.', '#.#', '###', '#.#'],                # A
    ['##.', '#.#', '#.#', '##.'],                # D
    ['###', '.#.'],                               # down-arrow
    ['###'],                                      # bar (at the bottom)
    ['###'],                                      # overline (at the top)
    ['#.#', '.#.', '#.#'],                        # cross
]


def symbol_at(image, rows, x0, y0, w, h, c, shift, dy=0):
    sw, sh = len(rows[0]), len(rows)
    x = x0 + (w - sw) // 2 + shift
    y = y0 + (h - sh) // 2 + shift + dy
    image.glyph(rows, x, y, c)


def button_row(pressed):
    img = Image(221, 10, BODY_BOTTOM)
    parts = [('stop', 0, 23), ('play', 23, 29), ('file', 52, 19), ('previous', 71, 20), ('next', 91, 20),
             ('rewind', 111, 20), ('forward', 131, 20), ('option', 151, 13), ('equaliser', 164, 13),
             ('playlist', 177, 25)]
    ink = ACCENT_LIGHT if pressed else TEXT
    for name, x, w in parts:
        bevel(img, x, 0, x + w - 1, 9, FACE_DOWN if pressed else FACE, pressed)
        symbol_at(img, SYMBOLS[name], x, 0, w, 10, ink, 1 if pressed else 0)
    # volume: 19 x 7 only
    bevel(img, 202, 0, 220, 6, FACE_DOWN if pressed else FACE, pressed)
    symbol_at(img, SYMBOLS['volume'], 202, 0, 19, 7, ink, 1 if pressed else 0)
    return img


def compact_buttons(pressed):
    img = Image(91, 8, BODY_BOTTOM)
    parts = [('stop', 0, 8), ('play', 8, 18), ('file', 26, 18), ('previous', 44, 9), ('next', 53, 9),
             ('playlist', 62, 12), ('volume', 74, 17)]
    ink = ACCENT_LIGHT if pressed else TEXT
    for name, x, w in parts:
        bevel(img, x, 0, x + w - 1, 7, FACE_DOWN if pressed else FACE, pressed)
        symbol_at(img, COMPACT_SYMBOLS[name], x, 0, w, 8, ink, 1 if pressed else 0)
    return img


def title_buttons(pressed):
    img = Image(49, 7)
    ink = ACCENT_LIGHT if pressed else TEXT
    for i, rows in enumerate(TITLE_SYMBOLS):
        x = 7 * i
        bevel(img, x, 0, x + 6, 6, FACE_DOWN if pressed else FACE, pressed)
        dy = {4: 1, 5: -1}.get(i, 0)  # the bar sits low, the overline high
        symbol_at(img, rows, x, 0, 7, 7, ink, 1 if pressed else 0, dy)
    return img


def body(image, y0, y1):
    for y in range(y0, y1 + 1):
        t = (y - y0) / max(1, y1 - y0)
        image.hline(0, image.w - 1, y, mix(BODY_TOP, BODY_BOTTOM, t))


def frame(image):
    image.hline(0, image.w - 1, 0, LIGHT)
    image.vline(0, 0, image.h - 1, LIGHT)
    image.hline(0, image.w - 1, image.h - 1, DARK)
    image.vline(image.w - 1, 0, image.h - 1, DARK)


def logo(image):
    x = 16
    for i, ch in enumerate('TARVEL'):
        rows = LOGO[ch]
        for j, row in enumerate(rows):
            for k, p in enumerate(row):
                if p == '#':
                    image.put(x + k, 4 + j, mix(ACCENT_LIGHT, ACCENT, j / 6))
        x += 7


def inset(image, x0, y0, x1, y1):
    """A black well with a sunken edge: black inside x0..x1, y0..y1."""
    image.rect(x0, y0, x1, y1, BLACK)
    image.hline(x0 - 1, x1 + 1, y0 - 1, DARK)
    image.vline(x0 - 1, y0 - 1, y1 + 1, DARK)
    image.hline(x0 - 1, x1 + 1, y1 + 1, LIGHT)
    image.vline(x1 + 1, y0 - 1, y1 + 1, LIGHT)


def full_face():
    img = Image(250, 93)
    body(img, 0, 92)
    frame(img)
    logo(img)
    img.hline(62, 200, 6, DARK)  # an engraved line along the title strip
    img.hline(62, 200, 7, LIGHT)
    inset(img, 6, 15, 243, 63)  # the display
    img.hline(8, 241, 32, GROOVE)  # under the title line
    img.rect(60, 37, 61, 38, DIGIT)  # the time's colon
    img.rect(60, 43, 61, 44, DIGIT)
    img.text(TINY, 'kbps', 24, 51, LABEL)
    img.text(TINY, 'Hz', 30, 57, LABEL)
    img.glyph(TINY['L'], 88, 54, LABEL)  # the analyser's channels
    img.glyph(TINY['R'], 165, 54, LABEL)
    for x in list(range(93, 165)) + list(range(169, 241)):
        if x % 4 != 0:
            img.put(x, 61, GROOVE)  # a dotted floor under the bars
    # the seek bar's row and the button row lie on the body
    return img


def compact_face():
    img = Image(250, 15)
    body(img, 0, 14)
    frame(img)
    logo(img)
    inset(img, 61, 3, 97, 11)  # the time field
    img.glyph(SMALL[':'], 79, 4, DIGIT)
    img.hline(194, 200, 6, DARK)
    img.hline(194, 200, 7, LIGHT)
    return img


def channel_modes():
    img = Image(46, 5)
    img.text(TINY, 'STEREO', 0, 0, LAVENDER)
    img.text(TINY, 'MONO', 23 + 4, 0, LAVENDER)
    return img


def seek_bar():
    img = Image(217, 7, BODY_BOTTOM)
    img.hline(1, 215, 2, DARK)
    img.hline(0, 216, 3, BLACK)
    img.hline(1, 215, 4, LIGHT)
    for x in range(8, 216, 20):  # ticks every tenth of the way
        img.put(x + 0, 5, GROOVE)
    return img


def seek_knob():
    img = Image(34, 7, BODY_BOTTOM)
    for i, (fill, light) in enumerate(((KNOB, KNOB_LIGHT), (ACCENT, ACCENT_LIGHT))):
        x = 17 * i
        img.rect(x + 1, 1, x + 15, 5, fill)
        img.rect(x + 2, 0, x + 14, 6, fill)
        img.hline(x + 2, x + 14, 0, light)
        img.vline(x + 1, 1, 4, light)
        img.hline(x + 2, x + 14, 6, DARK)
        img.vline(x + 15, 2, 5, DARK)
        for gx in (x + 6, x + 8, x + 10):  # grip
            img.vline(gx, 2, 4, DARK)
    return img


def repeat_states():
    """A loop of two arrows: dim when off, with a 1 for one track, bright for all."""
    img = Image(45, 7)
    for state, colour in enumerate((OFF, DIGIT, ACCENT_LIGHT)):
        x = 15 * state
        img.hline(x + 2, x + 12, 1, colour)
        img.hline(x + 2, x + 12, 5, colour)
        img.vline(x + 1, 2, 4, colour)
        img.vline(x + 13, 2, 4, colour)
        for dx, dy in ((8, 0), (9, 0), (8, 2), (9, 2)):  # the head of the top arrow, pointing right
            img.put(x + dx, dy, colour)
        for dx, dy in ((5, 4), (6, 4), (5, 6), (6, 6)):  # the bottom one's, pointing left
            img.put(x + dx, dy, colour)
        if state == 1:
            img.vline(x + 7, 2, 4, colour)
            img.put(x + 6, 2, colour)
    return img


def shuffle_states():
    img = Image(54, 5)
    img.text(TINY, 'SHUFFLE', 0, 0, OFF)
    img.text(TINY, 'SHUFFLE', 27, 0, ACCENT_LIGHT)
    return img


PLAYING_ICON = [
    '................',
    '................',
    '...gg...........',
    '...gLgg.........',
    '...gLLLgg.......',
    '...gLLLLLgg.....',
    '...gLLLLLLLgg...',
    '...gLLLLLLLLLg..',
    '...gLLLLLLLLLg..',
    '...gLLLLLLLgg...',
    '...gLLLLLgg.....',
    '...gLLLgg.......',
    '...gLgg.........',
    '...gg...........',
    '................',
    '................',
]
IDLE_ICON = [
    '................',
    '................',
    '.......ssss.....',
    '.......s..sss...',
    '.......s....s...',
    '.......s........',
    '.......s........',
    '.......s........',
    '.......s........',
    '....ssss........',
    '...swwws........',
    '...swwws........',
    '....sss.........',
    '................',
    '................',
    '................',
]
# The image list of the rows keeps sixteen colours: these are among them.
ICON_COLOURS = {'g': (0, 128, 0), 'L': (0, 255, 0), 's': (128, 128, 128), 'w': (192, 192, 192)}


def row_icon(rows):
    image = Image(16, 16, None)
    for y, row in enumerate(rows):
        for x, ch in enumerate(row):
            if ch != '.':
                image.put(x, y, ICON_COLOURS[ch])
    return image


def skin():
    return {
        'face.bmp': full_face(),
        'compact-face.bmp': compact_face(),
        'title-buttons-up.bmp': title_buttons(False),
        'title-buttons-down.bmp': title_buttons(True),
        'compact-buttons-up.bmp': compact_buttons(False),
        'compact-buttons-down.bmp': compact_buttons(True),
        'button-row-up.bmp': button_row(False),
        'button-row-down.bmp': button_row(True),
        'channel-modes.bmp': channel_modes(),
        'large-digits.bmp': large_digits(),
        'tiny-digits.bmp': tiny_digits(),
        'small-digits.bmp': small_digits(),
        'seek-bar.bmp': seek_bar(),
        'seek-knob.bmp': seek_knob(),
        'repeat.bmp': repeat_states(),
        'shuffle.bmp': shuffle_states(),
    }


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    images = skin()
    for name, image in images.items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(image.bmp())
    for name, rows in (('row-playing.ico', PLAYING_ICON), ('row-idle.ico', IDLE_ICON)):
        with open(os.path.join(out, name), 'wb') as f:
            f.write(row_icon(rows).ico())
    if '--preview' in sys.argv:
        scale = 4
        sheet = Image(260 * scale, sum(i.h + 4 for i in images.values()) * scale, (90, 90, 90))
        y = 0
        for image in images.values():
            for j in range(image.h):
                for i in range(image.w):
                    sheet.rect(i * scale, y + j * scale, i * scale + scale - 1, y + j * scale + scale - 1, image.px[j][i])
            y += (image.h + 4) * scale
        png(sheet, sys.argv[sys.argv.index('--preview') + 1])


main()
