#pragma once

// The streams of the video benchmarks, made by ffmpeg in a temporary folder
// when a benchmark first asks for them, and the CPU-time clocks of both sides.

#include "Bench/Support/ThreadTime.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

struct Stream {
    const char* name;
    const char* extension;
    int width;
    int height;
    const char* encoding;
};

const Stream kStreams[] = {
    {"mpeg2-720x576", ".m2v", 720, 576, "-c:v mpeg2video -b:v 6M -maxrate 9M -bufsize 1835k -g 12 -bf 2 -flags +ildct+ilme"},
    {"mpeg1-352x288", ".m1v", 352, 288, "-c:v mpeg1video -b:v 1150k -g 15 -bf 2"},
};
const int kFrames = 250;

class Files {
public:
    Files()
    {
        char pattern[] = "/tmp/vostrel-video-bench-XXXXXX";
        if (!::mkdtemp(pattern))
            throw std::runtime_error("no temporary folder");
        folder = pattern;
        for (const Stream& stream : kStreams) {
            std::string command = "ffmpeg -v error -nostdin -y -f lavfi -i testsrc2=size=" +
                                  std::to_string(stream.width) + "x" + std::to_string(stream.height) +
                                  ":rate=25 -frames:v " + std::to_string(kFrames) + " " + stream.encoding + " " +
                                  path(stream);
            if (std::system(command.c_str()) != 0)
                throw std::runtime_error("ffmpeg failed: " + command);
        }
    }
    ~Files() { std::filesystem::remove_all(folder); }
    std::string path(const Stream& stream) const
    {
        return folder + "/" + stream.name + stream.extension;
    }

private:
    std::string folder;
};

const Files& files()
{
    static const Files made;
    return made;
}

// ffmpeg's own account (-benchmark) of the CPU time of its work on one
// thread, which leaves out starting the process and opening the file;
// negative when it fails. `arguments` follow the input file.
inline double ffmpegCpuSeconds(const std::string& path, const std::string& arguments)
{
    const std::string command = "ffmpeg -hide_banner -nostats -loglevel info -benchmark -nostdin -threads 1 -i " +
                                path + " " + arguments + " 2>&1";
    std::FILE* output = ::popen(command.c_str(), "r");
    if (!output)
        return -1;
    double user = -1, system = -1;
    char line[512];
    while (std::fgets(line, sizeof line, output))
        std::sscanf(line, "bench: utime=%lfs stime=%lfs", &user, &system);
    if (::pclose(output) != 0 || user < 0 || system < 0)
        return -1;
    return user + system;
}

} // namespace
