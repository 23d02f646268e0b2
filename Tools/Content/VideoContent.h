#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Vostrel {
namespace Content {

// Paints frame k of a video into rgb (width x height x 3 bytes, rows top first).
using FramePainter = std::function<void(int frame, int width, int height, std::vector<uint8_t>& rgb)>;

// An MPEG-1 video of the painted frames, encoded by ffmpeg from raw frames
// (one thread, bit-exact flags, so the file is the same on every run).
void writeVideo(const std::string& path, int width, int height, int frames, const FramePainter& paint);

// The colour of frame k of a flat-coloured video: a 6 x 6 x 6 grid, so
// every frame is told apart from its neighbours by eye and by test.
void flatFrameColour(int frame, unsigned char rgb[3]);
void writeFlatColourVideo(const std::string& path, int width, int height, int frames);

// The show's video: the title's block letters fly in over its dark blue
// ground and settle into the word, a light sweeps through them, and the
// frame's number stands in the bottom right corner.
void paintTitleAnimation(int frame, int width, int height, std::vector<uint8_t>& rgb);

} // namespace Content
} // namespace Vostrel
