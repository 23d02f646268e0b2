#!/usr/bin/env python3
"""Writes the seed corpus of the video decoder fuzzer (run from this folder; needs ffmpeg)."""
import os
import subprocess
import tempfile

SOURCE = ['-f', 'lavfi', '-i', 'testsrc2=size=32x32:rate=25']
AUDIO = ['-f', 'lavfi', '-i', 'sine=frequency=440:sample_rate=32000']
STREAMS = {
    'mpeg1.m1v': SOURCE + ['-frames:v', '4', '-c:v', 'mpeg1video', '-g', '3', '-bf', '1', '-b:v', '100k'],
    'mpeg2-interlaced.m2v': SOURCE + ['-frames:v', '4', '-c:v', 'mpeg2video', '-g', '3', '-bf', '1', '-b:v', '100k',
                                      '-flags', '+ildct+ilme', '-alternate_scan', '1', '-intra_vlc', '1',
                                      '-non_linear_quant', '1', '-qmax', '28'],
    'mpeg2-422.m2v': SOURCE + ['-frames:v', '3', '-c:v', 'mpeg2video', '-pix_fmt', 'yuv422p', '-g', '2',
                               '-b:v', '100k'],
    'mpeg1-system.mpg': SOURCE + AUDIO + ['-frames:v', '2', '-c:v', 'mpeg1video', '-b:v', '100k', '-c:a', 'mp2',
                                          '-b:a', '32k', '-shortest', '-f', 'mpeg'],
    'mpeg2-program.mpg': SOURCE + AUDIO + ['-frames:v', '2', '-c:v', 'mpeg2video', '-b:v', '100k', '-c:a', 'mp2',
                                           '-b:a', '32k', '-shortest', '-f', 'vob'],
}


class Bits:
    def __init__(self):
        self.bits = ''

    def put(self, value, count):
        self.bits += format(value, '0%db' % count) if count else ''

    def code(self, text):
        self.bits += text.replace(' ', '')

    def start(self, code):
        self.bits += '0' * (-len(self.bits) % 8)
        self.put(0x000001, 24)
        self.put(code, 8)

    def bytes(self):
        self.bits += '0' * (-len(self.bits) % 8)
        return bytes(int(self.bits[i:i + 8], 2) for i in range(0, len(self.bits), 8))


def field_pictures():
    """32x64 interlaced: an I field pair, then a P field pair with dual-prime and 16x8 macroblocks."""
    intra_blocks = '100 10' * 4 + '00 10' * 2  # DC size 0 and end of block for each block
    b = Bits()
    b.start(0xB3)
    for value, count in [(32, 12), (64, 12), (1, 4), (3, 4), (0x3FFFF, 18), (1, 1), (112, 10), (0, 3)]:
        b.put(value, count)
    b.start(0xB5)
    for value, count in [(1, 4), (0x48, 8), (0, 1), (1, 2), (0, 4), (0, 12), (1, 1), (0, 8), (0, 8)]:
        b.put(value, count)
    for picture_type in (1, 2):
        for structure in (1, 2):
            b.start(0x00)
            b.put(0, 10)
            b.put(picture_type, 3)
            b.put(0xFFFF, 16)
            if picture_type == 2:
                b.put(0, 1)
                b.put(7, 3)
            b.put(0, 1)
            b.start(0xB5)
            b.put(8, 4)
            b.put(0x11FF, 16)  # f_codes 1, 1, unused, unused
            b.put(0, 2)
            b.put(structure, 2)
            b.put(1, 1)  # top field first
            b.put(0, 9)
            for mby in range(2):
                for mbx in range(2):
                    b.start(0x01 + mby)
                    b.put(8, 5)
                    b.put(0, 1)
                    b.code('1' if mbx == 0 else '011')  # address increment to column mbx
                    if picture_type == 1:
                        b.code('1' + intra_blocks)
                    elif mby == 1:
                        b.code('0001 1' + intra_blocks)
                    elif mbx == 0:
                        # Forward, dual prime: vector (2, 0), dmvectors 0 and 1.
                        b.code('001 11' + '0010 0 1 10')
                    else:
                        # Forward, 16x8: bottom field (-1, 0) above, top field (0, 1) below.
                        b.code('001 10' + '1 011 1' + '0 1 010')
    b.start(0xB7)
    return b.bytes()


def main():
    os.makedirs('corpus', exist_ok=True)
    with tempfile.TemporaryDirectory() as scratch:
        for name, arguments in STREAMS.items():
            path = os.path.join(scratch, name)
            subprocess.run(['ffmpeg', '-v', 'error', '-nostdin', '-y', '-threads', '1'] + arguments +
                           ['-threads', '1', path], check=True)
            with open(path, 'rb') as source, open(os.path.join('corpus', name), 'wb') as target:
                target.write(source.read())
    with open(os.path.join('corpus', 'field-pictures.m2v'), 'wb') as target:
        target.write(field_pictures())


if __name__ == '__main__':
    main()
