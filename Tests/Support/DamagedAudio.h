#pragma once

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

namespace VostrelTest {

// Flips count bits, chosen by a generator seeded with seed, among the bytes
// from..to, as a damaged copy of a file has them.
inline void flipBits(std::string& bytes, size_t from, size_t to, int count, unsigned seed)
{
    std::mt19937_64 random(seed);
    for (int k = 0; k < count; ++k) {
        const size_t bit = from * 8 + random() % ((to - from) * 8);
        bytes[bit / 8] = static_cast<char>(bytes[bit / 8] ^ (1 << (bit % 8)));
    }
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
