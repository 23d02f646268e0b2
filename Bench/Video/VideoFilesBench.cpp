// Decoding the video benchmark's two 250-frame streams into PPM files, one
// file per frame, against ffmpeg writing the same frames as PPM on one thread
// in the same run. Both sides are timed in CPU time (ours on this thread,
// ffmpeg's as it reports it); both write into a fresh temporary folder.
#include "Bench/Support/RatioReporter.h"
#include "Bench/Video/BenchStreams.h"
#include "Libs/Video/VideoDriver.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace {

std::string freshFolder()
{
    char pattern[] = "/tmp/vostrel-ppm-bench-XXXXXX";
    if (!::mkdtemp(pattern))
        throw std::runtime_error("no temporary folder");
    return pattern;
}

size_t filesIn(const std::string& folder)
{
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        count += entry.is_regular_file();
    return count;
}

void decodeToPpm(benchmark::State& state, const Stream& stream)
{
    const std::string path = files().path(stream);
    size_t written = 0;
    for (auto _ : state) {
        const std::string folder = freshFolder();
        const std::string pattern = folder + "/f%d";
        // Interlaced frames as whole frames, as ffmpeg writes them.
        const char* const argv[] = {"vostrel-video-decode", "-b", path.c_str(), "-q", "-f", "-o3", pattern.c_str()};
        const double start = VostrelBench::threadSeconds();
        const int status = Vostrel::runVideoDecoder(7, argv, nullptr, nullptr);
        state.SetIterationTime(VostrelBench::threadSeconds() - start);
        written = filesIn(folder);
        std::filesystem::remove_all(folder);
        if (status != 0) {
            state.SkipWithError("decoding failed");
            break;
        }
    }
    if (written != size_t(kFrames))
        state.SkipWithError("wrong frame count");
    state.counters["fps"] = benchmark::Counter(double(kFrames), benchmark::Counter::kIsIterationInvariantRate);
}

void ffmpegToPpm(benchmark::State& state, const Stream& stream)
{
    const std::string path = files().path(stream);
    for (auto _ : state) {
        const std::string folder = freshFolder();
        const double seconds =
            ffmpegCpuSeconds(path, "-fps_mode passthrough -threads 1 -c:v ppm -f image2 " + folder + "/f%d.ppm");
        const size_t written = filesIn(folder);
        std::filesystem::remove_all(folder);
        if (seconds < 0 || written != size_t(kFrames)) {
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
        benchmark::RegisterBenchmark((std::string("Vostrel/") + stream.name).c_str(), decodeToPpm, stream)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->MinTime(3.0);
        benchmark::RegisterBenchmark((std::string("ffmpeg/") + stream.name).c_str(), ffmpegToPpm, stream)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->MinTime(3.0);
    }
    VostrelBench::RatioReporter reporter("Vostrel", "ffmpeg", "Vostrel / ffmpeg CPU time, %s to PPM files: %.2f\n");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
