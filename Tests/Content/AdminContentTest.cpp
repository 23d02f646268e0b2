// The admin part's stand-ins, read back through ffmpeg: the sky strip it
// reflects and the video on its screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "Tests/Support/Ffmpeg.h"
#include "Tests/Support/TempDir.h"
#include "Tools/Content/ContentWriter.h"

namespace {

class AdminContent : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = new VostrelTest::TempDir;
        for (const Vostrel::Content::ContentWriter& writer : Vostrel::Content::contentWriters())
            if (writer.name == "admin" || writer.name == "video")
                writer.write(folder->path);
    }
    static void TearDownTestSuite() { delete folder; }
    static VostrelTest::TempDir* folder;
};

VostrelTest::TempDir* AdminContent::folder = nullptr;

struct Direction {
    float x, y, z;
};

// Cube faces as Direct3D and OpenGL lay them out: the direction through a
// face's point (s, t) is major + s * sAxis + t * tAxis, s along a row, t
// down the rows.
struct CubeFace {
    Direction major, sAxis, tAxis;
};
const CubeFace cubeFaces[6] = {
    {{1, 0, 0}, {0, 0, -1}, {0, -1, 0}},  {{-1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
    {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}},    {{0, -1, 0}, {1, 0, 0}, {0, 0, -1}},
    {{0, 0, 1}, {1, 0, 0}, {0, -1, 0}},   {{0, 0, -1}, {-1, 0, 0}, {0, -1, 0}},
};

float dot(const Direction& a, const Direction& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

class Strip {
public:
    Strip(const std::vector<unsigned char>& rgb, int size) : rgb(rgb), size(size) {}
    const unsigned char* texel(int face, int x, int y) const { return &rgb[3 * ((face * size + y) * size + x)]; }

    // The texel a direction samples.
    const unsigned char* sample(const Direction& d) const
    {
        int face = 0;
        for (int f = 1; f < 6; ++f)
            if (dot(d, cubeFaces[f].major) > dot(d, cubeFaces[face].major))
                face = f;
        const CubeFace& c = cubeFaces[face];
        const float m = dot(d, c.major), s = dot(d, c.sAxis) / m, t = dot(d, c.tAxis) / m;
        auto index = [&](float k) { return std::clamp(static_cast<int>((k + 1) / 2 * size), 0, size - 1); };
        return texel(face, index(s), index(t));
    }

    // The direction through face point (s, t), s and t in texels from the
    // face's top left corner.
    Direction through(int face, float s, float t) const
    {
        const CubeFace& c = cubeFaces[face];
        const float u = s / size * 2 - 1, v = t / size * 2 - 1;
        return {c.major.x + u * c.sAxis.x + v * c.tAxis.x, c.major.y + u * c.sAxis.y + v * c.tAxis.y,
                c.major.z + u * c.sAxis.z + v * c.tAxis.z};
    }

private:
    const std::vector<unsigned char>& rgb;
    int size;
};

int difference(const unsigned char* a, const unsigned char* b)
{
    return std::max({std::abs(a[0] - b[0]), std::abs(a[1] - b[1]), std::abs(a[2] - b[2])});
}

TEST_F(AdminContent, SkyStripIsOneSunsetWhoseSixFacesMeet)
{
    const int size = 128;
    const auto decoded = VostrelTest::ffmpegRgbFrames(folder->file("data/Textures/sunset.jpg"), size, 6 * size);
    ASSERT_EQ(decoded.size(), 1u);
    const Strip strip(decoded[0], size);

    // Along every edge, a texel and its neighbour across the edge on the
    // next face, one texel apart, are alike.
    int worst = 0;
    long total = 0, count = 0;
    for (int face = 0; face < 6; ++face)
        for (int k = 0; k < size; ++k) {
            const float along = k + 0.5f;
            const struct {
                int x, y;
                float s, t;
            } edges[4] = {{k, 0, along, -0.5f}, {k, size - 1, along, size + 0.5f},
                          {0, k, -0.5f, along}, {size - 1, k, size + 0.5f, along}};
            for (const auto& e : edges) {
                const int d = difference(strip.texel(face, e.x, e.y), strip.sample(strip.through(face, e.s, e.t)));
                worst = std::max(worst, d);
                total += d;
                ++count;
            }
        }
    EXPECT_LT(static_cast<double>(total) / count, 4.0);
    EXPECT_LE(worst, 24);

    // Overhead a dark blue; just above the horizon, all round, warm.
    const unsigned char* zenith = strip.sample({0, 1, 0});
    EXPECT_GT(zenith[2], 2 * zenith[0]);
    EXPECT_GT(zenith[2], zenith[1]);
    EXPECT_LT(zenith[2], 80);
    for (const Direction& d : {Direction{1, 0.05f, 0}, Direction{-1, 0.05f, 0}, Direction{0, 0.05f, 1},
                               Direction{0, 0.05f, -1}}) {
        const unsigned char* horizon = strip.sample(d);
        EXPECT_GT(horizon[0], horizon[2]) << d.x << " " << d.z;
    }

    // One sun: its near-white texels on one face only, just above the horizon.
    std::vector<int> sunFaces;
    for (int face = 0; face < 6; ++face)
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const unsigned char* p = strip.texel(face, x, y);
                if (std::min({p[0], p[1], p[2]}) < 200)
                    continue;
                if (std::find(sunFaces.begin(), sunFaces.end(), face) == sunFaces.end())
                    sunFaces.push_back(face);
                EXPECT_LT(y, size / 2) << face;
                EXPECT_GT(y, size / 2 - size / 8) << face;
            }
    EXPECT_EQ(sunFaces.size(), 1u);
}

TEST_F(AdminContent, VideoIsAMovingPictureNumberedInItsCorner)
{
    const int size = 256;
    const auto frames = VostrelTest::ffmpegRgbFrames(folder->file("data/Videos/mov2005-6.mpg"), size, size);
    ASSERT_EQ(frames.size(), 150u);
    auto luminance = [&](const std::vector<unsigned char>& f, int x, int y) {
        const unsigned char* p = &f[3 * (y * size + x)];
        return (3 * p[0] + 6 * p[1] + p[2]) / 10;
    };
    for (size_t k = 0; k < frames.size(); ++k) {
        // A picture: dark ground and bright shapes, no flat colour.
        int lowest = 255, highest = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                lowest = std::min(lowest, luminance(frames[k], x, y));
                highest = std::max(highest, luminance(frames[k], x, y));
            }
        EXPECT_LT(lowest, 40) << k;
        EXPECT_GT(highest, 120) << k;
        if (k == 0)
            continue;
        // The number in the bottom right corner changes every frame, and
        // the picture above it moves.
        int corner = 0, picture = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const bool changed = std::abs(luminance(frames[k], x, y) - luminance(frames[k - 1], x, y)) > 30;
                (y >= size - 24 && x >= size - 48 ? corner : picture) += changed;
            }
        EXPECT_GT(corner, 4) << k;
        EXPECT_GT(picture, 20) << k;
    }
}

} // namespace
