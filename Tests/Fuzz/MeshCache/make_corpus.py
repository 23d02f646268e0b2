#!/usr/bin/env python3
"""Writes the seed corpus of the mesh-cache fuzzer: LightWave objects shaped
like the show's (a textured quad, a seam, a patch cage, curves, a morph)."""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', '..', 'Mesh', 'IO'))
from make_lwo import form, layr, pnts, pols, vmap, vmad, chunk, s0  # noqa: E402

quad = [(-.5, -.5, 0), (-.5, .5, 0), (.5, .5, 0), (.5, -.5, 0)]
strip = [(0, 0, 0), (0, 1, 0), (1, 1, 0), (1, 0, 0), (2, 1, 0), (2, 0, 0)]
cube = [(-1, -1, -1), (-1, 1, -1), (1, 1, -1), (1, -1, -1), (-1, -1, 1), (-1, 1, 1), (1, 1, 1), (1, -1, 1)]
faces = [(0, 1, 2, 3), (7, 6, 5, 4), (4, 5, 1, 0), (3, 2, 6, 7), (1, 5, 6, 2), (4, 0, 3, 7)]
uv = [(i, (p[0] + .5, p[1] + .5)) for i, p in enumerate(quad)]

seeds = {
    'quad.lwo': form(chunk('TAGS', s0('Default')), layr(0, 'quad'), pnts(quad),
                     vmap('TXUV', 'Texture', 2, uv), pols('FACE', [(0, 1, 2, 3)]),
                     chunk('PTAG', b'SURF' + bytes([0, 0, 0, 0]))),
    'seam.lwo': form(layr(0, 'seam'), pnts(strip),
                     vmap('TXUV', 'Texture', 2, [(i, (p[0] / 2, p[1])) for i, p in enumerate(strip)]),
                     pols('FACE', [(0, 1, 2, 3), (3, 2, 4, 5)]),
                     vmad('TXUV', 'Texture', 2, [(2, 1, (.875, 1)), (3, 1, (.875, 0))])),
    'cage.lwo': form(layr(0, 'cage'), pnts(cube), pols('PTCH', faces),
                     vmap('MORF', 'Morph', 3, [(i, (0, .5, 0)) for i in range(8)])),
    'layers.lwo': form(layr(0, 'faces'), pnts(cube), pols('FACE', faces), pols('PTCH', faces[:2]),
                       layr(10, 'curve'), pnts([(0, 0, 0), (1, 2, 0), (2, 2, 1)]), pols('CURV', [(0, 1, 2)])),
}
for name, data in seeds.items():
    with open(os.path.join(HERE, 'corpus', name), 'wb') as f:
        f.write(data)
