#include "Libs/Core/Texture.h"
#include "Libs/Testing/Utils/VideoTexture.h"
#include "Tests/Support/Ffmpeg.h"
#include "Tests/Support/HeadlessCore.h"
#include "Tests/Support/TempDir.h"
#include "Tools/Content/VideoContent.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace Vostrel {
namespace {

constexpr int width = 64;
constexpr int height = 48;
constexpr int frameCount = 10;

class VideoTextureTest : public TestSupport::HeadlessCoreTest {
protected:
    // Largest difference between the texture and an RGB frame as B, G, R, 255.
    static int differenceFrom(Core::Texture& texture, const std::vector<unsigned char>& rgb)
    {
        int pitch = 0;
        const unsigned char* texels = static_cast<const unsigned char*>(texture.lock(0, pitch, Core::LOCK_READ_ONLY));
        int worst = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const unsigned char* t = texels + y * pitch + 4 * x;
                const unsigned char* s = &rgb[3 * (y * width + x)];
                for (int c = 0; c < 3; ++c)
                    worst = std::max(worst, std::abs(t[c] - s[2 - c]));
                worst = std::max(worst, std::abs(t[3] - 255));
            }
        texture.unlock(0);
        return worst;
    }
    VostrelTest::TempDir dir;
};

TEST_F(VideoTextureTest, EachUpdateShowsTheNextFrameThenHoldsTheLast)
{
    const std::string base = dir.file("clip");
    Content::writeFlatColourVideo(base + ".mpg", width, height, frameCount);
    const auto reference = VostrelTest::ffmpegRgbFrames(base + ".mpg", width, height);
    ASSERT_EQ(reference.size(), static_cast<size_t>(frameCount));

    VideoTexture video(base, width, height);
    EXPECT_LE(differenceFrom(*video.getTexture(), reference[0]), 2) << "the constructor shows frame 0";
    for (int k = 1; k < frameCount; ++k) {
        video.update();
        EXPECT_LE(differenceFrom(*video.getTexture(), reference[k]), 2) << "frame " << k;
    }
    // The last frame leaves the decoder with its end of stream.
    EXPECT_TRUE(video.hasEnded());
    video.update();
    EXPECT_LE(differenceFrom(*video.getTexture(), reference.back()), 2) << "the last frame stays";
}

TEST_F(VideoTextureTest, WrongSizeAndMissingFileAreRefusedByName)
{
    const std::string base = dir.file("clip");
    Content::writeFlatColourVideo(base + ".mpg", width, height, 3);
    // The decoder's messages stay as raised; a line above the report names the file.
    const std::string missing = dir.file("missing.mpg");
    struct Case {
        std::string path;
        int width, height;
        std::string message, context;
    } cases[] = {
        {base, 32, 32, "Decode_Next_Frame: a frame of 64x48 does not fit the output of 32x32",
         "In VideoTexture(" + base + ".mpg)\n"},
        {base, 80, 48, "the video is 64 x 48, not 80 x 48", "In VideoTexture(" + base + ".mpg)\n"},
        {dir.file("missing"), 64, 48, "Base layer input file " + missing + " not found",
         missing + ": No such file or directory\nIn VideoTexture(" + missing + ")\n"},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(messageOf([&] { VideoTexture video(c.path, c.width, c.height); }), c.message);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.context);
    }
}

} // namespace
} // namespace Vostrel
