// Frames per second decoding MPEG-2 (720x576, 250 frames) and MPEG-1
// (352x288, 250 frames) to packed RGB, against ffmpeg decoding the same files
// to rgb24 on one thread in the same run. The files are made by ffmpeg in a
// temporary folder when the benchmark starts. Both sides are timed in CPU
// time, so that other load on the machine counts for neither: ours on this
// thread, ffmpeg's as it reports it for its decoding alone. Prints the ratio.
#include "Bench/Support/Briefly.h"
#include "Bench/Support/RatioReporter.h"
#include "Bench/Support/ThreadTime.h"
#include "Libs/Video/VideoDecoder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

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

void decodeToRgb(benchmark::State& state, const Stream& stream)
{
    const std::string path = files().path(stream);
    std::vector<unsigned char> rgb(size_t(stream.width) * stream.height * 3);
    int frames = 0;
    for (auto _ : state) {
        const double start = VostrelBench::threadSeconds();
        Vostrel::VideoDecoder decoder;
        Vostrel::Set_Video_Output_Size(decoder, stream.width, stream.height);
        Vostrel::Open_Video_Stream(decoder, path.c_str());
        frames = 0;
        for (;;) {
            int more = Vostrel::Decode_Next_Frame(decoder, rgb.data());
            frames += Vostrel::Video_Frame_Written(decoder);
            if (!more)
                break;
        }
        benchmark::DoNotOptimize(rgb.data());
        state.SetIterationTime(VostrelBench::threadSeconds() - start);
    }
    if (frames != kFrames)
        state.SkipWithError("wrong frame count");
    state.counters["fps"] = benchmark::Counter(double(frames), benchmark::Counter::kIsIterationInvariantRate);
}

// ffmpeg's own account (-benchmark) of the CPU time of its decoding and
// conversion, which leaves out starting the process and opening the file;
// negative when it fails.
double ffmpegSeconds(const std::string& path)
{
    const std::string command = "ffmpeg -hide_banner -nostats -loglevel info -benchmark -nostdin -threads 1 -i " +
                                path + " -pix_fmt rgb24 -f null - 2>&1";
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

void ffmpegToRgb(benchmark::State& state, const Stream& stream)
{
    const std::string path = files().path(stream);
    for (auto _ : state) {
        const double seconds = ffmpegSeconds(path);
        if (seconds < 0) {
            state.SkipWithError("ffmpeg failed");
            break;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["fps"] = benchmark::Counter(double(kFrames), benchmark::Counter::kIsIterationInvariantRate);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    for (const Stream& stream : kStreams) {
        VostrelBench::runFor(
            benchmark::RegisterBenchmark((std::string("Vostrel/") + stream.name).c_str(), decodeToRgb, stream), 3.0)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime();
        VostrelBench::runFor(
            benchmark::RegisterBenchmark((std::string("ffmpeg/") + stream.name).c_str(), ffmpegToRgb, stream), 3.0)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime();
    }
    VostrelBench::RatioReporter reporter("Vostrel", "ffmpeg", "Vostrel / ffmpeg CPU time, %s to RGB: %.2f\n");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.anyFailed() ? 1 : 0;
}
