#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace VostrelTest {

// ffmpeg's own decode of a picture or a video, as RGB frames of the given
// size (rows top first); empty when ffmpeg cannot read the file.
inline std::vector<std::vector<unsigned char>> ffmpegRgbFrames(const std::string& path, int width, int height)
{
    const std::string command =
        "ffmpeg -nostdin -loglevel error -i '" + path + "' -vsync 0 -f rawvideo -pix_fmt rgb24 -";
    FILE* pipe = popen(command.c_str(), "r");
    std::vector<std::vector<unsigned char>> frames;
    std::vector<unsigned char> frame(static_cast<size_t>(width) * height * 3);
    while (pipe && std::fread(frame.data(), 1, frame.size(), pipe) == frame.size())
        frames.push_back(frame);
    if (pipe)
        pclose(pipe);
    return frames;
}

} // namespace VostrelTest
