#!/usr/bin/env python3
"""Writes the LWO2 fixtures of the mesh reader tests and the seeds of the LWO
fuzz target, from code. Run from anywhere; it writes next to itself and into
Tests/Fuzz/Lwo/corpus."""
import os
import shutil
import subprocess
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, '..', '..', 'Fuzz', 'Lwo', 'corpus')


def chunk(cid, data, short=False):
    head = cid.encode() + (struct.pack('>H', len(data)) if short else struct.pack('>I', len(data)))
    return head + data + (b'\0' if len(data) % 2 else b'')


def s0(text):
    b = text.encode() + b'\0'
    return b + (b'\0' if len(b) % 2 else b'')


def vx(i):
    return struct.pack('>H', i) if i < 0xff00 else struct.pack('>I', 0xff000000 | i)


def f4(*values):
    return struct.pack('>%df' % len(values), *values)


def u2(*values):
    return struct.pack('>%dH' % len(values), *values)


def form(*chunks):
    return chunk('FORM', b'LWO2' + b''.join(chunks))


def layr(number, name):
    return chunk('LAYR', u2(number, 0) + f4(0, 0, 0) + s0(name))


def pnts(points):
    return chunk('PNTS', b''.join(f4(*p) for p in points))


def pols(kind, polygons):
    return chunk('POLS', kind.encode() + b''.join(u2(len(p)) + b''.join(vx(i) for i in p) for p in polygons))


def vmap(kind, name, dim, entries):
    return chunk('VMAP', kind.encode() + u2(dim) + s0(name) + b''.join(vx(v) + f4(*vals) for v, vals in entries))


def vmad(kind, name, dim, entries):
    return chunk('VMAD', kind.encode() + u2(dim) + s0(name) +
                 b''.join(vx(v) + vx(p) + f4(*vals) for v, p, vals in entries))


CUBE_POINTS = [(x, y, z) for z in (-0.5, 0.5) for y in (-0.5, 0.5) for x in (-0.5, 0.5)]
# Clockwise seen from outside, as LightWave keeps front faces.
CUBE_QUADS = [(0, 2, 3, 1), (4, 5, 7, 6), (0, 1, 5, 4), (2, 6, 7, 3), (1, 3, 7, 5), (0, 4, 6, 2)]


def surface():
    sub = (chunk('COLR', f4(0.8, 0.5, 0.25) + vx(0), True) + chunk('DIFF', f4(0.75) + vx(0), True) +
           chunk('SIDE', u2(3), True) + chunk('SMAN', f4(1.5), True))
    header = chunk('IMAP', s0('\x80') + chunk('CHAN', b'COLR', True) + chunk('ENAB', u2(1), True), True)
    tmap = chunk('TMAP', chunk('CNTR', f4(1, 2, 3) + vx(0), True) + chunk('SIZE', f4(2, 2, 2) + vx(0), True), True)
    block = chunk('BLOK', header + tmap + chunk('PROJ', u2(5), True) + chunk('IMAG', vx(1), True) +
                  chunk('VMAP', s0('UV'), True), True)
    return chunk('SURF', s0('Default') + s0('') + sub + block)


def envelope():
    return chunk('ENVL', vx(1) + chunk('TYPE', bytes([0, 2]), True) + chunk('PRE ', u2(1), True) +
                 chunk('KEY ', f4(0, 1), True) + chunk('SPAN', b'TCB ' + f4(0, 0, 0), True) +
                 chunk('KEY ', f4(1, 3), True) + chunk('SPAN', b'LINE', True) + chunk('NAME', s0('Glow'), True))


def clip():
    return chunk('CLIP', struct.pack('>I', 1) + chunk('STIL', s0('images/wall.png'), True) +
                 chunk('NEGA', u2(1), True))


def cube():
    uv = [(i, (p[0] + 0.5, p[1] + 0.5)) for i, p in enumerate(CUBE_POINTS)]
    return form(chunk('TAGS', s0('Default') + s0('Other')), layr(0, 'Cube'), pnts(CUBE_POINTS),
                chunk('BBOX', f4(-0.5, -0.5, -0.5, 0.5, 0.5, 0.5)), vmap('TXUV', 'texcoord', 2, uv),
                pols('FACE', CUBE_QUADS), chunk('PTAG', b'SURF' + b''.join(vx(i) + u2(i % 2) for i in range(6))),
                vmad('TXUV', 'texcoord', 2, [(0, 0, (0.25, 0.75)), (7, 1, (1.0, 0.0))]),
                surface(), envelope(), clip())


def layers():
    # File layer 0: a quad; file layer 1: a fan of triangles with a morph;
    # file layer 3 (no layer 2): a curve.
    quad = [(-.5, -.5, 0), (-.5, .5, 0), (.5, .5, 0), (.5, -.5, 0)]
    fan = [(0, 0, 1), (1, 0, 1), (0, 1, 1), (-1, 0, 1), (0, -1, 1)]
    return form(layr(0, 'Quad'), pnts(quad), pols('FACE', [(0, 1, 2, 3)]),
                vmap('TXUV', 'Texture', 2, [(0, (0, 0)), (1, (0, 1)), (2, (1, 1)), (3, (1, 0))]),
                layr(1, 'Fan'), pnts(fan), pols('FACE', [(0, 1, 2), (0, 2, 3), (0, 3, 4)]),
                vmap('MORF', 'Open', 3, [(0, (0, 0, 2)), (3, (0.5, 0, 0))]),
                layr(3, 'Curve'), pnts([(0, 0, 0), (1, 2, 0), (2, 2, 1), (3, 0, 1)]), pols('CURV', [(0, 1, 2, 3)]))


def main():
    os.makedirs(os.path.join(HERE, 'data'), exist_ok=True)
    os.makedirs(CORPUS, exist_ok=True)
    files = {'cube.lwo': cube(), 'layers.lwo': layers()}
    for name, data in files.items():
        with open(os.path.join(HERE, 'data', name), 'wb') as f:
            f.write(data)
        with open(os.path.join(CORPUS, name), 'wb') as f:
            f.write(data)
        # The reference reading by another LWO2 reader, where assimp is installed.
        if shutil.which('assimp'):
            obj = os.path.join(HERE, 'data', name.replace('.lwo', '.assimp.obj'))
            subprocess.run(['assimp', 'export', os.path.join(HERE, 'data', name), obj, '-ptv'],
                           check=True, stdout=subprocess.DEVNULL)
            os.remove(obj.replace('.obj', '.mtl'))
    seeds = {'empty.lwo': form(), 'notlwo.lwo': chunk('FORM', b'LWOB'),
             'prelayer.lwo': form(pnts([(0, 0, 0)]))}
    for name, data in seeds.items():
        with open(os.path.join(CORPUS, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
