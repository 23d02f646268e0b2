#!/usr/bin/env bash
# Makes the image fixtures of the D3DX tests with ImageMagick: PNG files of
# every colour type from known raw pixels (kept beside them), and JPEG files
# with ImageMagick's own decoding of them as the reference.
set -euo pipefail
cd "$(dirname "$0")"

# 5 x 3 pixels, R, G, B, A each, from a fixed formula.
python3 - <<'PY'
w, h = 5, 3
rgba = bytearray()
for y in range(h):
    for x in range(w):
        rgba += bytes([(x * 60 + y * 7) % 256, (y * 90 + x * 3) % 256, (x * y * 40 + 17) % 256, 255 - x * 40 - y * 10])
open("pixels.rgba", "wb").write(rgba)
open("pixels.rgb", "wb").write(bytes(b for i, b in enumerate(rgba) if i % 4 != 3))
grey = bytes(rgba[i] for i in range(0, len(rgba), 4))
open("pixels.grey", "wb").write(grey)
open("pixels.greyalpha", "wb").write(bytes(v for i in range(0, len(rgba), 4) for v in (rgba[i], rgba[i + 3])))
PY

convert -size 5x3 -depth 8 rgba:pixels.rgba PNG32:rgba.png
convert -size 5x3 -depth 8 rgb:pixels.rgb PNG24:rgb.png
convert -size 5x3 -depth 8 gray:pixels.grey -define png:color-type=0 grey.png
# Grey with alpha: the grey value in R, G and B, the alpha in A.
python3 - <<'PY'
ga = open("pixels.greyalpha", "rb").read()
open("greyalpha.rgba", "wb").write(bytes(v for i in range(0, len(ga), 2) for v in (ga[i], ga[i], ga[i], ga[i + 1])))
PY
convert -size 5x3 -depth 8 rgba:greyalpha.rgba -define png:color-type=4 greyalpha.png
rm greyalpha.rgba
# 16 bits per channel: the decoder keeps the high byte.
convert -size 5x3 -depth 8 rgb:pixels.rgb -depth 16 PNG48:rgb16.png

convert -size 16x8 gradient:red-blue -quality 90 photo.jpg
convert photo.jpg -depth 8 rgb:photo.rgb
convert -size 16x8 gradient:white-black -colorspace Gray -quality 90 grey.jpg
convert grey.jpg -depth 8 gray:grey.grey

# The first half of a PNG: damaged data.
head -c 60 rgba.png > truncated.png
