#pragma once

#include <string>

namespace Vostrel {
namespace Content {

// The colour of frame k of the generated videos: a 6 x 6 x 6 grid, so every
// frame of the show's video is told apart from its neighbours by eye and by test.
void flatFrameColour(int frame, unsigned char rgb[3]);

// An MPEG-1 video of flat-coloured frames, encoded by ffmpeg from raw frames
// (one thread, bit-exact flags, so the file is the same on every run).
void writeFlatColourVideo(const std::string& path, int width, int height, int frames);

} // namespace Content
} // namespace Vostrel
