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


def every_kind():
    """Every chunk and sub-chunk kind the reader takes, in layers numbered
    from 2, for the fuzz target to start from."""
    env = lambda v: f4(v) + vx(0)
    points = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0), (0.5, 0.5, 1)]
    maps = [vmap('PICK', 'sel', 0, [(0, ()), (2, ())]), vmap('WGHT', 'w', 1, [(1, (0.5,))]),
            vmap('MNVW', 'm', 1, [(2, (0.25,))]), vmap('TXUV', 'uv', 2, [(0, (0, 0)), (2, (1, 1))]),
            vmap('RGB ', 'c', 3, [(3, (1, 0, 0))]), vmap('RGBA', 'ca', 4, [(4, (0, 1, 0, 1))]),
            vmap('MORF', 'up', 3, [(4, (0, 0, 1))]), vmap('SPOT', 's', 3, [(1, (2, 0, 0))])]
    polys = [pols('FACE', [(0, 1, 2, 3), (0, 1, 4)]), vmad('TXUV', 'uv', 2, [(0, 0, (0.5, 0.5))]),
             chunk('PTAG', b''.join(kind.encode() + vx(0) + u2(0) for kind in
                                    ('SURF', 'PART', 'SMGP', 'BONE', 'BNUP', 'BNWT'))[:4] + vx(0) + u2(0)),
             chunk('PTAG', b'PART' + vx(1) + u2(1)), chunk('PTAG', b'SMGP' + vx(0) + u2(0)),
             pols('CURV', [(0, 1, 2)]), pols('PTCH', [(0, 1, 2, 3)]), pols('MBAL', [(4,)]),
             pols('BONE', [(0, 4)]), chunk('PTAG', b'BONE' + vx(0) + u2(1)),
             chunk('PTAG', b'BNUP' + vx(0) + u2(1)), chunk('PTAG', b'BNWT' + vx(0) + u2(0))]
    envelopes = chunk('ENVL', vx(2) + chunk('TYPE', bytes([0, 3]), True) + chunk('PRE ', u2(2), True) +
                      chunk('POST', u2(3), True) +
                      b''.join(chunk('KEY ', f4(t, t * 2), True) + chunk('SPAN', shape.encode() + f4(*params), True)
                               for t, (shape, params) in enumerate([('TCB ', (0.1, 0.2, 0.3)), ('HERM', (1, 2, 3, 4)),
                                                                    ('BEZI', (0, 1, 0, 1)), ('LINE', ()),
                                                                    ('STEP', ()), ('BEZ2', (0, 0, 1, 1))])) +
                      chunk('NAME', s0('Every'), True))
    adjust = b''.join(chunk(cid, env(0.5), True) for cid in ('CONT', 'BRIT', 'SATR', 'HUE ', 'GAMM'))
    clips = (chunk('CLIP', struct.pack('>I', 2) + chunk('ISEQ', bytes([3, 1]) + u2(0, 1, 9) + s0('seq/f') + s0('.png'),
                                                        True) +
                   chunk('TIME', f4(0, 2, 24), True) + adjust + chunk('NEGA', u2(0), True)) +
             chunk('CLIP', struct.pack('>I', 3) + chunk('XREF', struct.pack('>I', 2) + s0('copy'), True) + adjust))
    # The surface channels; the highlight chunk's ID is spelled in two pieces.
    channels = b''.join(chunk(cid, env(0.3), True) for cid in
                        ('DIFF', 'LUMI', 'SP' + 'EC', 'REFL', 'TRAN', 'TRNL', 'GLOS', 'SHRP', 'BUMP', 'RSAN', 'RBLR',
                         'RIND', 'TBLR', 'CLRH', 'CLRF', 'ADTR'))
    surface_sub = (chunk('COLR', f4(1, 0.5, 0) + vx(0), True) + chunk('SIDE', u2(1), True) +
                   chunk('SMAN', f4(1.2), True) + chunk('RFOP', u2(1), True) + chunk('RIMG', vx(2), True) +
                   chunk('TROP', u2(2), True) + chunk('TIMG', vx(3), True) +
                   chunk('GLOW', u2(0) + env(0.5) + env(2), True) +
                   chunk('LINE', u2(1) + env(1) + f4(1, 1, 1) + vx(0), True) + chunk('ALPH', u2(1) + f4(0.5), True) +
                   chunk('VCOL', env(1) + b'RGBA' + s0('ca'), True) + channels)
    header = lambda kind: chunk(kind, s0('\x80') + chunk('CHAN', b'COLR', True) + chunk('ENAB', u2(1), True) +
                                chunk('OPAC', u2(0) + env(1), True) + chunk('AXIS', u2(1), True), True)
    tmap = chunk('TMAP', chunk('CNTR', f4(0, 0, 0) + vx(0), True) + chunk('SIZE', f4(1, 1, 1) + vx(0), True) +
                 chunk('ROTA', f4(0, 0, 0) + vx(0), True) + chunk('OREF', s0('(none)'), True) +
                 chunk('FALL', u2(0) + f4(0, 0, 0) + vx(0), True) + chunk('CSYS', u2(0), True), True)
    blocks = (chunk('BLOK', header('IMAP') + tmap + chunk('PROJ', u2(5), True) + chunk('AXIS', u2(2), True) +
                    chunk('IMAG', vx(2), True) + chunk('WRAP', u2(1, 1), True) + chunk('WRPW', env(1), True) +
                    chunk('WRPH', env(1), True) + chunk('VMAP', s0('uv'), True) + chunk('AAST', u2(1) + f4(1), True) +
                    chunk('PIXB', u2(1), True) + chunk('STCK', u2(0) + f4(0), True) + chunk('TAMP', env(1), True),
                    True) +
              chunk('BLOK', header('PROC') + tmap + chunk('AXIS', u2(0), True) + chunk('VALU', f4(1, 0, 0), True) +
                    chunk('FUNC', s0('Turbulence') + f4(3, 0.5), True), True) +
              chunk('BLOK', header('GRAD') + tmap + chunk('PNAM', s0('Previous Layer'), True) +
                    chunk('INAM', s0('(none)'), True) +
                    chunk('FKEY', f4(0, 1, 0, 0, 1) + f4(1, 0, 0, 1, 1), True) + chunk('IKEY', u2(0, 1), True), True) +
              chunk('BLOK', header('SHDR') + chunk('FUNC', s0('Halftone'), True), True))
    return form(chunk('TAGS', s0('Every') + s0('Other')), layr(2, 'First'), pnts(points),
                chunk('BBOX', f4(0, 0, 0, 1, 1, 1)), *maps, *polys,
                chunk('LAYR', u2(5, 1) + f4(0.5, 0, 0) + s0('Child') + u2(2)), pnts(points[:3]),
                pols('FACE', [(0, 1, 2)]), envelopes, clips, chunk('SURF', s0('Every') + s0('') + surface_sub + blocks))


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
             'prelayer.lwo': form(pnts([(0, 0, 0)])), 'every-kind.lwo': every_kind()}
    for name, data in seeds.items():
        with open(os.path.join(CORPUS, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
