#!/usr/bin/env python3
"""Writes the seed corpus of the font fuzzer: small TrueType (glyf, with a
composite glyph and hinting bytecode) and OpenType (CFF) fonts, built from
code. Run from anywhere; it writes into corpus/ next to itself."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def sfnt(version, tables):
    tags = sorted(tables)
    count = len(tags)
    power = 1
    while power * 2 <= count:
        power *= 2
    head = struct.pack('>4sHHHH', version, count, power * 16, power.bit_length() - 1, count * 16 - power * 16)
    offset = 12 + 16 * count
    directory, body = b'', b''
    for tag in tags:
        data = tables[tag]
        padded = data + b'\0' * (-len(data) % 4)
        checksum = sum(struct.unpack('>%dI' % (len(padded) // 4), padded)) & 0xffffffff
        directory += struct.pack('>4sIII', tag.encode(), checksum, offset + len(body), len(data))
        body += padded
    return head + directory + body


def head_table(loca_format):
    return struct.pack('>IIIIHH8s8shhhhHHhhh', 0x10000, 0x10000, 0, 0x5F0F3CF5, 3, 1000, b'\0' * 8, b'\0' * 8,
                       0, -200, 900, 800, 0, 8, 2, loca_format, 0)


def hhea_table(glyphs):
    return struct.pack('>Ihhh H hhh hhh 4h hH', 0x10000, 800, -200, 100, 1000, 0, 0, 900, 1, 0, 0, 0, 0, 0, 0, 0,
                       glyphs)


def hmtx_table(glyphs):
    return b''.join(struct.pack('>Hh', 600 + 50 * i, 20) for i in range(glyphs))


def cmap_table(mapping):
    # Format 4, one segment per character, and the closing 0xFFFF segment.
    codes = sorted(mapping) + [0xFFFF]
    seg = len(codes)
    power = 1
    while power * 2 <= seg:
        power *= 2
    sub = struct.pack('>HHHHHHH', 4, 0, 0, seg * 2, power * 2, power.bit_length() - 1, seg * 2 - power * 2)
    sub += struct.pack('>%dH' % seg, *codes) + b'\0\0' + struct.pack('>%dH' % seg, *codes)
    sub += struct.pack('>%dh' % seg, *[((mapping.get(c, 0) - c + 0x8000) % 0x10000) - 0x8000 if c != 0xFFFF else 1
                                       for c in codes])
    sub += struct.pack('>%dH' % seg, *([0] * seg))
    sub = sub[:2] + struct.pack('>H', len(sub)) + sub[4:]
    return struct.pack('>HHHHI', 0, 1, 3, 1, 12) + sub


def simple_glyph(contours, instructions=b''):
    points = [p for contour in contours for p in contour]
    xs, ys = [p[0] for p in points], [p[1] for p in points]
    data = struct.pack('>hhhhh', len(contours), min(xs), min(ys), max(xs), max(ys))
    end = -1
    for contour in contours:
        end += len(contour)
        data += struct.pack('>H', end)
    data += struct.pack('>H', len(instructions)) + instructions
    data += bytes(0x01 if p[2] else 0x00 for p in points)
    x = y = 0
    for p in points:
        data += struct.pack('>h', p[0] - x)
        x = p[0]
    for p in points:
        data += struct.pack('>h', p[1] - y)
        y = p[1]
    return data + b'\0' * (len(data) % 2)


def truetype():
    triangle = [[(50, 0, 1), (300, 700, 1), (550, 0, 1)], [(200, 100, 1), (300, 400, 1), (400, 100, 1)]]
    # An "o"-like ring with off-curve points, and hinting bytecode:
    # PUSHB[1] 0, MDAP[r], PUSHB[1] 2, SHP[0] ... kept small and valid.
    ring = [[(300, -200, 1), (550, -200, 0), (550, 250, 1), (550, 500, 0), (300, 500, 1), (50, 500, 0),
             (50, 250, 1), (50, -200, 0)]]
    hinting = bytes([0xB0, 0x00, 0x2F, 0xB0, 0x02, 0x32])
    composite = struct.pack('>hhhhh', -1, 50, 0, 1150, 700)
    composite += struct.pack('>HHhh', 0x0001 | 0x0002 | 0x0020, 1, 0, 0)
    composite += struct.pack('>HHhh', 0x0001 | 0x0002, 1, 600, 0)
    glyphs = [b'', simple_glyph(triangle), simple_glyph(ring, hinting), composite]
    glyf, loca = b'', []
    for g in glyphs:
        loca.append(len(glyf) // 2)
        glyf += g
    loca.append(len(glyf) // 2)
    count = len(glyphs)
    maxp = struct.pack('>IHHHHHHHHHHHHHH', 0x10000, count, 8, 2, 6, 2, 2, 0, 0, 0, 0, 64, 16, 2, 1)
    return sfnt(b'\0\1\0\0', {
        'head': head_table(0), 'hhea': hhea_table(count), 'maxp': maxp, 'hmtx': hmtx_table(count),
        'loca': struct.pack('>%dH' % len(loca), *loca), 'glyf': glyf,
        'cmap': cmap_table({ord('A'): 1, ord('g'): 2, ord('W'): 3, ord('0'): 1}),
        'prep': bytes([0xB0, 0x01, 0x21]),  # PUSHB[0] 1, POP
        'fpgm': b'',
    })


def cff_number(v):
    return bytes([28]) + struct.pack('>h', v)


def cff_dict_int(v):
    return bytes([29]) + struct.pack('>i', v)


def cff_index(items):
    if not items:
        return b'\0\0'
    offsets, at = [1], 1
    for item in items:
        at += len(item)
        offsets.append(at)
    return struct.pack('>HB', len(items), 4) + b''.join(struct.pack('>I', o) for o in offsets) + b''.join(items)


def charstring(*ops):
    out = b''
    for op in ops:
        out += b''.join(cff_number(v) for v in op[:-1]) + bytes([op[-1]])
    return out


def opentype():
    glyphs = [
        charstring((14,)),
        charstring((500, 50, 0, 21), (250, 700, 250, -700, 5), (14,)),            # width, rmoveto, rlineto
        charstring((100, 0, 22), (0, 300, 200, 0, 200, 300, 30), (14,)),           # hmoveto, vhcurveto
        charstring((60, 60, 21), (100, 0, 0, 100, -100, 0, 5), (0, 50, 4), (14,)),  # vmoveto
    ]
    private = cff_dict_int(600) + bytes([20]) + cff_dict_int(0) + bytes([21])
    header, name = bytes([1, 0, 4, 4]), cff_index([b'Tiny'])
    strings, subrs = cff_index([]), cff_index([])

    def top(charstrings_at, private_at):
        return cff_dict_int(charstrings_at) + bytes([17]) + cff_dict_int(len(private)) + cff_dict_int(private_at) + \
            bytes([18])

    top_length = len(cff_index([top(0, 0)]))
    charstrings_at = len(header) + len(name) + top_length + len(strings) + len(subrs)
    charstrings = cff_index(glyphs)
    cff = header + name + cff_index([top(charstrings_at, charstrings_at + len(charstrings))]) + strings + subrs + \
        charstrings + private
    count = len(glyphs)
    return sfnt(b'OTTO', {
        'CFF ': cff, 'head': head_table(0), 'hhea': hhea_table(count), 'maxp': struct.pack('>IH', 0x5000, count),
        'hmtx': hmtx_table(count), 'cmap': cmap_table({ord('A'): 1, ord('g'): 2, ord('W'): 3}),
    })


def main():
    corpus = os.path.join(HERE, 'corpus')
    os.makedirs(corpus, exist_ok=True)
    tt, ot = truetype(), opentype()
    seeds = {'tiny.ttf': tt, 'tiny.otf': ot, 'truncated.ttf': tt[:len(tt) * 2 // 3], 'empty.ttf': b''}
    for name, data in seeds.items():
        with open(os.path.join(corpus, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
