#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "Platform/Fmod3/Decoder.h"
#include "Tests/Support/TempDir.h"
#include "Tools/Content/MusicWriter.h"

namespace {

constexpr double rate = 44100.0;

// The beat grid as the show's timeline counts it.
std::vector<double> grid()
{
    std::vector<double> beats;
    for (int k = 0; k < 112; ++k)
        beats.push_back(k * 60.0 / 85.0);
    for (int k = 0; k <= 256; ++k)
        beats.push_back(79.058823 + k * 60.0 / 110.0);
    return beats;
}

// Energy per millisecond after a two-pole filter (RBJ low-pass or
// high-pass), as an onset detector sees the signal.
std::vector<double> bandEnergy(const std::vector<float>& samples, double cutoff, bool highPass)
{
    const double w = 2.0 * M_PI * cutoff / rate, alpha = std::sin(w) / (2.0 * 0.7071);
    const double cosw = std::cos(w), a0 = 1.0 + alpha;
    const double b0 = (highPass ? (1.0 + cosw) : (1.0 - cosw)) / 2.0 / a0;
    const double b1 = (highPass ? -(1.0 + cosw) : (1.0 - cosw)) / a0, b2 = b0;
    const double a1 = -2.0 * cosw / a0, a2 = (1.0 - alpha) / a0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    std::vector<double> energy(samples.size() / 44 + 1, 0.0);
    for (size_t k = 0; k < samples.size(); ++k) {
        const double x = samples[k], y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        energy[static_cast<size_t>(k * 1000.0 / rate)] += y * y;
    }
    return energy;
}

// The generated track, and ffmpeg's decode of it.
struct Track {
    VostrelTest::TempDir folder;
    std::string bytes;
    std::vector<float> decoded;
};

std::unique_ptr<Track> makeTrack()
{
    auto track = std::make_unique<Track>();
    Vostrel::Content::writeMusic(track->folder.path);
    const std::string file = track->folder.file("data/Music/vostrel.ogg");
    const std::string raw = track->folder.file("decoded.f32");
    const std::string command = "ffmpeg -v error -nostdin -y -i " + file + " -ac 1 -f f32le " + raw;
    EXPECT_EQ(std::system(command.c_str()), 0);
    track->bytes = VostrelTest::TempDir::read(file);
    const std::string bytes = VostrelTest::TempDir::read(raw);
    track->decoded.resize(bytes.size() / sizeof(float));
    std::memcpy(track->decoded.data(), bytes.data(), track->decoded.size() * sizeof(float));
    return track;
}

TEST(GeneratedMusic, FollowsTheShowsBeatsForTwoHundredTwentySeconds)
{
    const std::unique_ptr<Track> track = makeTrack();
    const std::vector<float>& decoded = track->decoded;
    // Its length, for ffmpeg and for the stand-in.
    EXPECT_NEAR(decoded.size() / rate, 220.0, 0.5);
    auto decoder = Fmod3::openDecoder(std::vector<unsigned char>(track->bytes.begin(), track->bytes.end()));
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->getRate(), 44100);
    EXPECT_EQ(decoder->getChannels(), 2);
    EXPECT_EQ(decoder->getLength(), static_cast<int64_t>(decoded.size()));

    // A kick on every beat of the grid. Energy below 400 Hz over the 5 ms from each millisecond.
    const std::vector<double> perMs = bandEnergy(decoded, 400.0, false);
    std::vector<double> low(perMs.size(), 0.0);
    for (size_t ms = 0; ms + 5 < perMs.size(); ++ms)
        low[ms] = perMs[ms] + perMs[ms + 1] + perMs[ms + 2] + perMs[ms + 3] + perMs[ms + 4];
    const std::vector<double> beats = grid();
    ASSERT_EQ(beats.size(), 369u);
    for (double beat : beats) {
        // The onset: where the energy first climbs a third of the way from
        // what sounded just before to the window's peak.
        const size_t centre = static_cast<size_t>(beat * 1000.0), from = centre < 40 ? 0 : centre - 40;
        double before = 0.0, peak = 0.0;
        for (size_t ms = from; ms + 15 < centre; ++ms)
            before = std::max(before, low[ms]);
        for (size_t ms = from; ms < centre + 40; ++ms)
            peak = std::max(peak, low[ms]);
        size_t onset = from;
        while (onset < centre + 40 && low[onset] < before + (peak - before) / 3.0)
            ++onset;
        EXPECT_GT(peak, 4.0 * before) << "no kick at " << beat;
        EXPECT_NEAR(onset / 1000.0, beat, 0.010) << "beat at " << beat;
    }

    // An accent (bright noise) where each segment starts.
    const std::vector<double> high = bandEnergy(decoded, 4000.0, true);
    auto after = [&](double seconds) {
        double sum = 0.0;
        for (size_t ms = static_cast<size_t>(seconds * 1000.0); ms < seconds * 1000.0 + 250.0 && ms < high.size(); ++ms)
            sum += high[ms];
        return sum;
    };
    const double starts[] = {0.0,        11.294118,  33.882355,  56.470589,  79.058823,  96.513374, 113.967918,
                             122.69519, 148.877014, 157.604279, 183.786102, 201.240646, 218.69519};
    for (double start : starts) {
        const double beat = start < 79.0 ? 60.0 / 85.0 : 60.0 / 110.0;
        // Stronger than on the beat before and the beat after.
        EXPECT_GT(after(start), 2.0 * after(start + beat)) << start;
        if (start > 0.0) {
            EXPECT_GT(after(start), 2.0 * after(start - beat)) << start;
        }
    }
}

} // namespace
