#!/usr/bin/env python3
"""Writes the seeds of the V3D fuzz target: small meshes in the text and the
binary body form."""
import os
import struct

CORPUS = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'corpus')

HEADER = ('element vertices 4\n  property real3 location\n  property real2 texcoord\n  property int id\n'
          'element polygons 2\n  property list int indices\n  property string name\n'
          'element triangles 1\n  property int3 indices\n    reference vertices\n'
          'param author "Vostrel tests"\n')
POINTS = [((0, 0, 0), (0, 0)), ((1, 0, 0), (1, 0)), ((1, 1, 0), (1, 1)), ((0, 1, 0), (0, 1))]
POLYGONS = [((0, 1, 2, 3), 'quad'), ((0, 1, 2), 'tri')]


def text():
    rows = ['%g %g %g %g %g %d' % (p + t + (i,)) for i, (p, t) in enumerate(POINTS)]
    rows += ['%d %s "%s"' % (len(ix), ' '.join(map(str, ix)), n) for ix, n in POLYGONS]
    rows += ['0 2 3']
    return (HEADER + 'data\n' + '\n'.join(rows) + '\n').encode()


def binary():
    body = b''.join(struct.pack('<5fi', *(p + t + (i,))) for i, (p, t) in enumerate(POINTS))
    body += b''.join(struct.pack('<H%di' % len(ix), len(ix), *ix) + n.encode() + b'\0' for ix, n in POLYGONS)
    body += struct.pack('<3i', 0, 2, 3)
    return (HEADER + 'bdata\n').encode() + body


def main():
    os.makedirs(CORPUS, exist_ok=True)
    seeds = {'text.v3d': text(), 'binary.v3d': binary(),
             'triangles.v3d': b'element vertices 3\nproperty real3 location\nelement triangles 1\n'
                              b'property int3 indices\ndata\n0 0 0 1 0 0 0 1 0\n0 1 2\n'}
    for name, data in seeds.items():
        with open(os.path.join(CORPUS, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
