// Frames per second decoding MPEG-2 (720x576, 250 frames) and MPEG-1
// (352x288, 250 frames) to packed RGB, against ffmpeg decoding the same files
// to rgb24 on one thread in the same run. The files are made by ffmpeg in a
// temporary folder when the benchmark starts. Prints the ratio of the times,
// and the ratio with ffmpeg's fixed cost of starting (the same command for
// one frame) taken off its time.
#include "Bench/Support/RatioReporter.h"
#include "Libs/Video/VideoDecoder.h"

#include <benchmark/benchmark.h>

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
    }
    if (frames != kFrames)
        state.SkipWithError("wrong frame count");
    state.counters["fps"] = benchmark::Counter(double(frames), benchmark::Counter::kIsIterationInvariantRate);
}

void runFfmpeg(benchmark::State& state, const Stream& stream, const std::string& limit, int frames)
{
    const std::string command =
        "ffmpeg -v error -nostdin -threads 1 -i " + files().path(stream) + limit + " -pix_fmt rgb24 -f null -";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("ffmpeg failed");
    state.counters["fps"] = benchmark::Counter(double(frames), benchmark::Counter::kIsIterationInvariantRate);
}

void ffmpegToRgb(benchmark::State& state, const Stream& stream)
{
    runFfmpeg(state, stream, "", kFrames);
}

void ffmpegStarting(benchmark::State& state, const Stream& stream)
{
    runFfmpeg(state, stream, " -frames:v 1", 1);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    for (const Stream& stream : kStreams) {
        benchmark::RegisterBenchmark((std::string("Vostrel/") + stream.name).c_str(), decodeToRgb, stream)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(3.0);
        benchmark::RegisterBenchmark((std::string("ffmpeg/") + stream.name).c_str(), ffmpegToRgb, stream)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(3.0);
        benchmark::RegisterBenchmark((std::string("ffmpeg-start/") + stream.name).c_str(), ffmpegStarting, stream)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(3.0);
    }
    Vostrel::Bench::RatioReporter reporter({
        {"Vostrel / ffmpeg time to RGB", "Vostrel", "ffmpeg"},
        {"Vostrel / ffmpeg time to RGB without ffmpeg's start", "Vostrel", "ffmpeg", "ffmpeg-start"},
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
