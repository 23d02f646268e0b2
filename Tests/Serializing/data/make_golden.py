#!/usr/bin/env python3
"""Writes the golden VSE files of SerializerTest, independently of the C++ code.

The record, in order (the test writes the same calls):
  int 42 (4 bytes), int -7 (4), int 300 (2),
  floats 0.1, 1.5, 123456789, -3.4028235e38, 1e-45 (single precision),
  comment "scalars", indent +1,
  strings "a b\\c", "#tag", "tab<TAB>and<LF>line",
  enums 2 and 1 of ("constant", "smooth step", "linear"), newline,
  int array 1 -2 3 -4 5 (4 bytes, 2 per line), indent +1, newline,
  float array 0.25 -1e10 6.5 (all on one line), comment "end", indent -2,
  int array 255 256 -1 (1 byte each, one line), string " lead", newline.

The text file is spelt out by hand; the float texts are checked against
Python's own %.9g of the single-precision values.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

FLOATS = [0.1, 1.5, 123456789.0, -3.4028235e38, 1e-45]
ARRAY_FLOATS = [0.25, -1e10, 6.5]


def f32(x):
    return struct.unpack('<f', struct.pack('<f', x))[0]


def text_golden():
    lines = [
        b'VSEASCII\n',
        b'42 -7 300 0.100000001 1.5 123456792 -3.40282347e+38 1.40129846e-45 # scalars\n',
        b'    a\\ b\\\\c \\#tag tab\\\tand\\\nline linear smooth\\ step\n',
        b'    1 -2\n',
        b'    3 -4\n',
        b'    5\n',
        b'        0.25 -1e+10 6.5 # end\n',
        b'255 256 -1 \\ lead\n',
    ]
    spelt = [('%.9g' % f32(x)).encode() for x in FLOATS + ARRAY_FLOATS]
    for text in spelt:
        assert text in b''.join(lines), text
    return b''.join(lines)


def binary_golden():
    out = b'VSEBINARY\0'
    out += struct.pack('<i', 42) + struct.pack('<i', -7) + struct.pack('<H', 300)
    out += b''.join(struct.pack('<f', x) for x in FLOATS)
    for s in [b'a b\\c', b'#tag', b'tab\tand\nline']:
        out += s + b'\0'
    out += struct.pack('<i', 2) + struct.pack('<i', 1)
    out += b''.join(struct.pack('<i', v) for v in [1, -2, 3, -4, 5])
    out += b''.join(struct.pack('<f', x) for x in ARRAY_FLOATS)
    out += bytes([255, 0, 255])
    out += b' lead\0'
    return out


if __name__ == '__main__':
    with open(os.path.join(HERE, 'golden-text.vse'), 'wb') as f:
        f.write(text_golden())
    with open(os.path.join(HERE, 'golden-binary.vse'), 'wb') as f:
        f.write(binary_golden())
