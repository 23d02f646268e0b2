#pragma once

#include "Tests/Support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace VostrelTest {

// The file ffmpeg writes, given its arguments before the output's name, as
// name in folder; its bytes (a failure when ffmpeg fails).
inline std::string ffmpeg(const TempDir& folder, const std::string& name, const std::string& arguments)
{
    const std::string output = folder.file(name);
    const std::string command = "ffmpeg -v error -nostdin -y " + arguments + " " + output;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return TempDir::read(output);
}

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

// Where ffmpeg's reading of an audio file ends, in frames: the end of its
// last packet (-1 for none).
inline int64_t ffmpegAudioEnd(const std::string& path)
{
    const std::string command =
        "ffprobe -v quiet -select_streams a:0 -show_entries packet=pts,duration -of csv=p=0 '" + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    char line[256];
    long long pts = 0, duration = 0, end = -1;
    while (pipe && std::fgets(line, sizeof line, pipe))
        if (std::sscanf(line, "%lld,%lld", &pts, &duration) == 2)
            end = pts + duration;
    if (pipe)
        pclose(pipe);
    return end;
}

} // namespace VostrelTest
