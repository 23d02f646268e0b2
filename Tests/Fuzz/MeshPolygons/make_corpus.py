#!/usr/bin/env python3
"""Writes the seed corpus of the mesh polygon fuzzer (run from this folder)."""
import os
import struct


def small(v):
    # Positions are signed bytes in sixteenths.
    return struct.pack('b', int(round(v * 16)))


def mesh(points, polygons, angle=30, entries=()):
    out = bytes([len(points) - 1, int(angle * 255 / 200), 0])
    for p in points:
        out += b''.join(small(c) for c in p)
    out += bytes([len(polygons)])
    for polygon in polygons:
        out += bytes([len(polygon)]) + bytes(polygon)
    out += bytes([len(entries)])
    for polygon, corner, u, v in entries:
        out += struct.pack('bb', polygon, corner) + small(u) + small(v)
    return out


cube = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0), (0, 0, 1), (1, 0, 1), (1, 1, 1), (0, 1, 1)]
quads = [[0, 3, 2, 1], [4, 5, 6, 7], [0, 1, 5, 4], [2, 3, 7, 6], [1, 2, 6, 5], [0, 4, 7, 3]]
l_shape = [(0, 0, 0), (2, 0, 0), (2, 1, 0), (1, 1, 0), (1, 2, 0), (0, 2, 0)]
seeds = {
    'cube': mesh(cube, quads, 30, [(0, 0, 0.5, 0.5), (1, 2, 0.25, 0.75)]),
    'cube_smooth': mesh(cube, quads, 190),
    'l_shape': mesh(l_shape, [[0, 1, 2, 3, 4, 5], [5, 4, 3, 2, 1, 0]], 45, [(1, 5, 1, 1)]),
    'bad_corner': mesh(l_shape, [[0, 1, 9]], 30),
    'bad_map': mesh(cube, quads, 30, [(7, 0, 0, 0), (-1, 2, 0, 0)]),
    'degenerate': mesh([(0, 0, 0), (1, 0, 0), (2, 0, 0), (0, 0, 0)], [[0, 1, 2], [0, 0, 0, 3, 3], [1], []], 10),
}
os.makedirs('corpus', exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join('corpus', name), 'wb') as f:
        f.write(data)
