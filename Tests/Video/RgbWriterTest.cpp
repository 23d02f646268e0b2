// The conversion to RGB has vector paths for processors that have them and
// portable loops for the rest; both must write the same bytes.

#include "Libs/Video/RgbWriter.h"
#include "Tests/Video/VideoTestSupport.h"

#include <gtest/gtest.h>

using namespace VideoTest;

TEST(RgbWriterTest, VectorAndPortablePathsWriteTheSameBytes)
{
    const std::string source = "-f lavfi -i testsrc2=size=100x60:rate=25 -frames:v 4 ";
    const std::string streams[] = {
        ffmpegStream("paths-mpeg1.m1v", source + "-c:v mpeg1video -g 2 -bf 1"),
        ffmpegStream("paths-interlaced.m2v", source + "-c:v mpeg2video -g 2 -bf 1 -flags +ildct+ilme"),
        ffmpegStream("paths-422.m2v", source + "-c:v mpeg2video -pix_fmt yuv422p -g 2 -bf 1 -colorspace bt709"),
    };
    for (const std::string& stream : streams) {
        Vostrel::Video::allowVectorExtensions(true);
        DecodedStream vector = decodeFile(stream, 100, 60);
        Vostrel::Video::allowVectorExtensions(false);
        DecodedStream portable = decodeFile(stream, 100, 60);
        Vostrel::Video::allowVectorExtensions(true);
        ASSERT_EQ(vector.rgb.size(), 4u) << stream;
        EXPECT_EQ(vector.rgb, portable.rgb) << stream;
    }
}
