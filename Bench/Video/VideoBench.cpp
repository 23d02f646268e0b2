// Frames per second decoding MPEG-2 (720x576, 250 frames) and MPEG-1
// (352x288, 250 frames) to packed RGB, against ffmpeg decoding the same files
// to rgb24 on one thread in the same run. The files are made by ffmpeg in a
// temporary folder when the benchmark starts. Both sides are timed in CPU
// time, so that other load on the machine counts for neither: ours on this
// thread, ffmpeg's as it reports it for its decoding alone. Prints the ratio.
#include "Bench/Support/Briefly.h"
#include "Bench/Support/RatioReporter.h"
#include "Bench/Support/ThreadTime.h"
#include "Bench/Video/BenchStreams.h"
#include "Libs/Video/VideoDecoder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

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

double ffmpegSeconds(const std::string& path)
{
    return ffmpegCpuSeconds(path, "-pix_fmt rgb24 -f null -");
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
