// The command-line decoder: its frame files read back by ffmpeg and
// ImageMagick, its options and messages, and substitute pictures.

#include "Libs/Video/VideoDriver.h"
#include "Tests/Support/TempDir.h"
#include "Tests/Video/StreamWriter.h"
#include "Tests/Video/VideoTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <tuple>

using namespace VideoTest;

namespace {

std::string source(int width, int height, int frames, const std::string& filters = "")
{
    return "-f lavfi -i testsrc2=size=" + std::to_string(width) + "x" + std::to_string(height) + ":rate=25" +
           filters + " -frames:v " + std::to_string(frames);
}

// A fresh folder for one test's files, in a folder of this process's own:
// ctest may run a test while the whole program runs the same test beside it.
std::string folder(const std::string& name)
{
    static const VostrelTest::TempDir processFolder;
    const std::string path = processFolder.file("driver-" + name);
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path;
}

std::vector<uint8_t> commandOutput(const std::string& command)
{
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("cannot run " + command);
    std::vector<uint8_t> bytes;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    if (::pclose(pipe) != 0)
        throw std::runtime_error("failed: " + command);
    return bytes;
}

std::string text(const std::vector<uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

void writeAt(const std::string& path, const void* bytes, size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes, 1, size, file);
    std::fclose(file);
}

struct DriverRun {
    int status;
    std::string out, err;
};

DriverRun runDriver(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "vostrel-video-decode");
    std::vector<const char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(a.c_str());
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    DriverRun run;
    run.status = Vostrel::runVideoDecoder(int(argv.size()), argv.data(), out, err);
    for (auto [file, target] : {std::pair{out, &run.out}, std::pair{err, &run.err}}) {
        std::rewind(file);
        int c;
        while ((c = std::fgetc(file)) != EOF)
            *target += char(c);
        std::fclose(file);
    }
    return run;
}

struct WriterCase {
    const char* name;
    std::string file, arguments;
    int width, height;
    bool interlaced;
};

std::vector<WriterCase> writerCases()
{
    return {
        {"Mpeg1OddSize", "driver-mpeg1.m1v", source(200, 120, 6) + " -c:v mpeg1video -g 4 -bf 1", 200, 120, false},
        {"Mpeg2Progressive", "driver-mpeg2.m2v", source(176, 96, 6) + " -c:v mpeg2video -g 4 -bf 2", 176, 96, false},
        {"Mpeg2Interlaced", "driver-interlaced.m2v",
         source(200, 60, 6, ",tinterlace=mode=merge") + " -c:v mpeg2video -g 4 -bf 1 -flags +ildct+ilme", 200, 120,
         true},
        {"Mpeg2Interlaced422", "driver-422.m2v",
         source(96, 32, 4, ",tinterlace=mode=merge") + " -c:v mpeg2video -pix_fmt yuv422p -g 3 -flags +ildct+ilme",
         96, 64, true},
    };
}

class FrameWriterTest : public testing::TestWithParam<WriterCase> {};

// The files of one frame as the library's RGB output orders its rows: the
// top field's file, then the bottom field's, for interlaced frames.
std::vector<std::string> frameFiles(const std::string& base, int frame, bool interlaced, const char* extension)
{
    if (!interlaced)
        return {base + std::to_string(frame) + "f" + extension};
    return {base + std::to_string(frame) + "a" + extension, base + std::to_string(frame) + "b" + extension};
}

} // namespace

TEST_P(FrameWriterTest, FilesReadBackByOutsideReadersEqualTheDecodersOutput)
{
    const WriterCase& c = GetParam();
    const std::string stream = ffmpegStream(c.file, c.arguments);
    const DecodedStream decoded = decodeFile(stream, c.width, c.height);
    const std::string dir = folder(c.name);
    for (const char* type : {"-o0", "-o2", "-o3"})
        ASSERT_EQ(runDriver({"-b", stream, "-q", type, dir + "/f%d%c"}).status, 0) << type;

    ASSERT_GT(decoded.rgb.size(), 3u);
    EXPECT_FALSE(std::filesystem::exists(dir + "/f" + std::to_string(decoded.rgb.size()) + "f.ppm"));
    const int rows = c.interlaced ? c.height / 2 : c.height;
    const std::string size = std::to_string(c.width) + "x" + std::to_string(rows);
    for (size_t f = 0; f < decoded.rgb.size(); ++f) {
        // PPM read by ImageMagick, TGA by ffmpeg.
        for (auto [extension, format, read, tail] : {std::tuple{".ppm", "PPM", "convert ", " rgb:-"},
                                                     {".tga", "TGA", "ffmpeg -v error -i ", " -f rawvideo -pix_fmt rgb24 -"}}) {
            std::vector<uint8_t> rgb;
            for (const std::string& file : frameFiles(dir + "/f", int(f), c.interlaced, extension)) {
                EXPECT_EQ(text(commandOutput("identify -format '%m %wx%h' " + file)), format + (" " + size));
                const std::vector<uint8_t> part = commandOutput(read + file + tail);
                rgb.insert(rgb.end(), part.begin(), part.end());
            }
            EXPECT_TRUE(rgb == decoded.rgb[f]) << format << " of frame " << f;
        }

        // Luma as ffmpeg reads it for grey pictures; chroma plane by plane.
        const YuvFrame& frame = decoded.frames[f];
        const std::vector<std::string> names = frameFiles(dir + "/f", int(f), c.interlaced, "");
        for (size_t part = 0; part < names.size(); ++part) {
            const std::vector<uint8_t> y = commandOutput("ffmpeg -v error -f rawvideo -pix_fmt gray -s " + size +
                                                         " -i " + names[part] + ".Y -f rawvideo -");
            std::vector<uint8_t> expected[3];
            for (int plane = 0; plane < 3; ++plane) {
                const int width = plane ? frame.chromaWidth : frame.width;
                const int height = plane ? frame.chromaHeight : frame.height;
                for (int row = int(part); row < height; row += int(names.size()))
                    expected[plane].insert(expected[plane].end(), frame.planes[plane].begin() + row * width,
                                           frame.planes[plane].begin() + (row + 1) * width);
            }
            EXPECT_TRUE(y == expected[0]) << names[part];
            EXPECT_TRUE(readFile(names[part] + ".U") == expected[1]) << names[part];
            EXPECT_TRUE(readFile(names[part] + ".V") == expected[2]) << names[part];
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, FrameWriterTest, testing::ValuesIn(writerCases()),
                         [](const testing::TestParamInfo<WriterCase>& info) { return std::string(info.param.name); });

TEST(FrameWriterTest, FrameOrderOptionWritesWholeInterlacedFrames)
{
    const WriterCase c = writerCases()[2];
    const std::string stream = ffmpegStream(c.file, c.arguments);
    const std::string dir = folder("frame-order");
    ASSERT_EQ(runDriver({"-b", stream, "-F", "-q", "-o3", dir + "/f%d%c"}).status, 0);
    EXPECT_EQ(text(commandOutput("identify -format '%wx%h' " + dir + "/f0f.ppm")), "200x120");
    EXPECT_FALSE(std::filesystem::exists(dir + "/f0a.ppm"));
}

TEST(FrameWriterTest, SifHoldsTheLumaAndFlatChromaOfAFlatStream)
{
    const std::string stream =
        ffmpegStream("driver-flat.m2v", "-f lavfi -i color=c=0x8040c0:size=96x64:rate=25 -frames:v 3 -c:v mpeg2video");
    const std::string dir = folder("sif");
    ASSERT_EQ(runDriver({"-b", stream, "-q", "-o1", dir + "/s%d"}).status, 0);
    ASSERT_EQ(runDriver({"-b", stream, "-q", "-o0", dir + "/y%d"}).status, 0);
    const std::string read = "ffmpeg -v error -f rawvideo -pix_fmt uyvy422 -s 96x64 -i " + dir + "/s1.SIF";
    const std::vector<uint8_t> planar = commandOutput(read + " -f rawvideo -pix_fmt yuv422p -");
    ASSERT_EQ(planar.size(), 96u * 64 * 2);
    EXPECT_TRUE(std::vector<uint8_t>(planar.begin(), planar.begin() + 96 * 64) == readFile(dir + "/y1.Y"));
    const std::vector<uint8_t> u = readFile(dir + "/y1.U"), v = readFile(dir + "/y1.V");
    for (size_t i = 96 * 64; i < planar.size(); ++i)
        ASSERT_EQ(planar[i], i < 96 * 64 * 3 / 2 ? u[0] : v[0]) << i;
}

TEST(FrameWriterTest, ConcatenatedSequencesOfDifferentSizesAreNumberedOn)
{
    // ffmpeg ends neither stream with a sequence end code.
    const std::string first = ffmpegStream("driver-first.m2v", source(96, 64, 3) + " -c:v mpeg2video");
    const std::string second = ffmpegStream("driver-second.m1v", source(64, 48, 2) + " -c:v mpeg1video");
    std::vector<uint8_t> both = readFile(first), tail = readFile(second);
    both.insert(both.end(), tail.begin(), tail.end());
    const std::string stream = writeFile("driver-both.mpg", both);
    const std::string dir = folder("sequences");
    ASSERT_EQ(runDriver({"-b", stream, "-q", "-o3", dir + "/p%02d"}).status, 0);
    const std::string expected[] = {"96x64", "96x64", "96x64", "64x48", "64x48"};
    for (int f = 0; f < 5; ++f) {
        char name[64];
        std::snprintf(name, sizeof name, "/p%02d.ppm", f);
        EXPECT_EQ(text(commandOutput("identify -format '%wx%h' " + dir + name)), expected[f]) << f;
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "/p05.ppm"));
}

TEST(VideoDriverTest, OptionsAndTheirMessages)
{
    const std::string stream = ffmpegStream("driver-first.m2v", source(96, 64, 3) + " -c:v mpeg2video");
    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{}, 0, ""},
        {{"-b"}, 255, "ERROR: -b must be followed the main bitstream filename\n"},
        {{"-b", stream, "-e"}, 255, "ERROR: -e must be followed by filename\n"},
        {{"-b", stream, "-l"}, 255, "ERROR: -l must be followed by filename\n"},
        {{"-b", stream, "-o0"}, 255, "ERROR: -o must be followed by filename\n"},
        {{"-b", stream, "-x"}, 255, "ERROR: -x must be followed by filename\n"},
        {{"-b", stream, "-k"}, 255, "undefined option -k ignored. Exiting program\n"},
        {{"-q"}, 255, "There must be a main bitstream specified (-b filename)\n"},
        {{"-B", stream, "-Q", "-c1"}, 0, "This program not compiled for Verify_Flag option\n"},
        {{"-b", stream, "-i1"}, 0, "WARNING: This program not compiled for -i option\n"},
        {{"-b", stream, "-t"}, 0, "WARNING: This program not compiled for -t option\n"},
        {{"-b", stream, "-v1"}, 0, "This program not compiled for -v option\n"},
        {{"-b", stream, "-u", "file"}, 0, "This program not compiled for -v option\n"},
        {{"-b", stream, "-o4", "x"}, 255, "This program not compiled for display output -o4\n"},
        {{"-b", stream, "-o7", "x"}, 255, "ERROR: unknown output type -o7\n"},
        {{"-b", stream, "-o3", "x%s"}, 255, "ERROR: file name pattern \"x%s\": conversion \"%s\" not allowed\n"},
        {{"-b", stream, "-o3", "x%d%d"}, 255, "conversion \"%d\" not allowed"},
        {{"-b", stream, "-o3", "x%c%d"}, 255, "conversion \"%c\" not allowed"},
        {{"-b", stream, "-x", "x%999d"}, 255, "conversion \"%999d\" too wide"},
        {{"-b", stream, "-l", "x%n"}, 255, "conversion \"%n\" not allowed"},
        {{"-b", "/nonexistent.m2v"}, 1, "Base layer input file /nonexistent.m2v not found\n"},
        {{"-b", stream, "-e", "/nonexistent.m2v"}, 1, "enhancment layer bitstream file /nonexistent.m2v not found\n"},
        {{"-b", stream, "-o3", "/nonexistent/f%d"}, 1, "Couldn't create /nonexistent/f0.ppm\n"},
    };
    for (const Case& c : cases) {
        const DriverRun run = runDriver(c.arguments);
        std::string line;
        for (const std::string& a : c.arguments)
            line += a + " ";
        EXPECT_EQ(run.status, c.status) << line;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << line << "\n" << run.err;
        EXPECT_EQ(run.out.rfind("\n", 0), 0u) << "banner first: " << line;
        EXPECT_EQ(run.out.find("Usage:") != std::string::npos, c.arguments.empty()) << line;
    }
}

TEST(VideoDriverTest, WriteErrorsAreFatal)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    const std::string stream = ffmpegStream("driver-first.m2v", source(96, 64, 3) + " -c:v mpeg2video");
    const std::string dir = folder("full");
    std::filesystem::create_symlink("/dev/full", dir + "/f0.ppm");
    const DriverRun run = runDriver({"-b", stream, "-q", "-o3", dir + "/f%d"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(dir + "/f0.ppm"), std::string::npos) << run.err;
}

TEST(VideoDriverTest, ShowEntryPointsWriteNoFiles)
{
    Vostrel::VideoDecoderOptions options;
    EXPECT_EQ(options.outputType, 6);
    EXPECT_TRUE(options.quiet);
    const std::string stream = ffmpegStream("driver-first.m2v", source(96, 64, 3) + " -c:v mpeg2video");
    const std::string dir = folder("show");
    std::filesystem::copy_file(stream, dir + "/asd.mpg");
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    DecodedStream decoded = decodeFile(stream, 96, 64);
    EXPECT_EQ(Vostrel::Decoder_Self_Test(), 0);
    std::filesystem::current_path(before);
    EXPECT_EQ(decoded.rgb.size(), 3u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
}

namespace {

// The stream with every slice of the picture at `index` (coded order) cut out.
std::vector<uint8_t> withoutSlicesOfPicture(const std::vector<uint8_t>& bytes, int index)
{
    std::vector<size_t> codes;
    for (size_t i = 0; i + 3 < bytes.size(); ++i)
        if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1)
            codes.push_back(i);
    auto isSlice = [&](size_t code) { return bytes[code + 3] >= 0x01 && bytes[code + 3] <= 0xAF; };
    int picture = -1;
    for (size_t k = 0; k < codes.size(); ++k) {
        if (bytes[codes[k] + 3] == 0x00 && ++picture == index) {
            size_t first = k + 1;
            while (first < codes.size() && !isSlice(codes[first]))
                ++first;
            size_t end = first;
            while (end < codes.size() && isSlice(codes[end]))
                ++end;
            std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + codes[first]);
            cut.insert(cut.end(), bytes.begin() + (end < codes.size() ? codes[end] : bytes.size()), bytes.end());
            return cut;
        }
    }
    throw std::runtime_error("no such picture");
}

struct SubstituteCase {
    const char* name;
    int width, height;
    int cutPicture; // coded order
};

class SubstituteTest : public testing::TestWithParam<SubstituteCase> {};

} // namespace

TEST_P(SubstituteTest, ACutPictureIsReplacedByTheCleanDecodesFiles)
{
    const SubstituteCase& c = GetParam();
    const std::string stream = ffmpegStream(std::string("driver-substitute-") + c.name + ".m2v",
                                            source(c.width, c.height, 8) + " -c:v mpeg2video -g 6 -bf 2");
    const std::string damaged =
        writeFile(std::string("driver-cut-") + c.name + ".m2v", withoutSlicesOfPicture(readFile(stream), c.cutPicture));
    const std::string dir = folder(std::string("substitute-") + c.name);
    ASSERT_EQ(runDriver({"-b", stream, "-q", "-o0", dir + "/c%d"}).status, 0);
    ASSERT_EQ(runDriver({"-b", damaged, "-q", "-o0", dir + "/plain%d"}).status, 0);
    ASSERT_EQ(runDriver({"-b", damaged, "-q", "-x", dir + "/c%d", "-o0", dir + "/x%d"}).status, 0);
    std::vector<uint8_t> concatenated;
    for (int f = 0; f < 8; ++f)
        for (const char* plane : {".Y", ".U", ".V"}) {
            const std::vector<uint8_t> part = readFile(dir + "/c" + std::to_string(f) + plane);
            concatenated.insert(concatenated.end(), part.begin(), part.end());
        }
    writeAt(dir + "/all.yuv", concatenated.data(), concatenated.size());
    ASSERT_EQ(runDriver({"-b", damaged, "-q", "-x", dir + "/all.yuv", "-g", "-o0", dir + "/g%d"}).status, 0);
    bool cutShows = false;
    for (int f = 0; f < 8; ++f)
        for (const char* plane : {".Y", ".U", ".V"}) {
            const std::string n = std::to_string(f) + plane;
            const std::vector<uint8_t> clean = readFile(dir + "/c" + n);
            ASSERT_FALSE(clean.empty()) << n;
            cutShows = cutShows || readFile(dir + "/plain" + n) != clean;
            EXPECT_TRUE(readFile(dir + "/x" + n) == clean) << n;
            EXPECT_TRUE(readFile(dir + "/g" + n) == clean) << n;
        }
    EXPECT_TRUE(cutShows);
}

INSTANTIATE_TEST_SUITE_P(Cuts, SubstituteTest,
                         testing::Values(SubstituteCase{"BPictureOddSize", 200, 120, 2},
                                         SubstituteCase{"ReferencePicture", 176, 96, 1}),
                         [](const testing::TestParamInfo<SubstituteCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(SubstituteTest, FailuresAreReportedAndDecodingGoesOn)
{
    const std::string stream = ffmpegStream("driver-first.m2v", source(96, 64, 3) + " -c:v mpeg2video");
    const std::string dir = folder("substitute-failures");
    for (const char* name : {"/short0.Y", "/short.yuv"})
        writeAt(dir + name, "0123456789", 10);
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const Case cases[] = {
        {{"-x", dir + "/none%d"}, "ERROR: unable to open reference filename (" + dir + "/none0.Y)\n"},
        {{"-x", dir + "/short%d"}, "was able to read only 10 bytes of 6144 of file " + dir + "/short0.Y\n"},
        {{"-g", "-x", dir + "/none.yuv"}, "Couldn't open " + dir + "/none.yuv\n"},
        {{"-g", "-x", dir + "/short.yuv"}, "was able to read only 10 bytes of 9216 of file " + dir + "/short.yuv\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = {"-b", stream, "-q", "-o3", dir + "/out%d"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        std::filesystem::remove(dir + "/out2.ppm");
        const DriverRun run = runDriver(arguments);
        EXPECT_EQ(run.status, 0) << c.message;
        EXPECT_NE(run.err.find(c.message + "was unable to substitute frame\n"), std::string::npos) << run.err;
        EXPECT_TRUE(std::filesystem::exists(dir + "/out2.ppm")) << c.message;
    }
}

namespace {

struct SpatialCase {
    const char* name;
    const char* luma; // geq expression of the lower layer's luma
    bool interlaced;
};

// A spatial enhancement layer of twice the lower layer's size whose
// macroblocks are all predicted from the lower layer alone.
std::vector<uint8_t> spatialEnhancement(int lowerWidth, int lowerHeight, int frames, bool interlacedLower,
                                        int horizontalOffset, int verticalOffset)
{
    SequenceOptions sequence(2 * lowerWidth, 2 * lowerHeight, true, 1);
    sequence.scalableMode = 1;
    sequence.lowerWidth = lowerWidth;
    sequence.lowerHeight = lowerHeight;
    StreamWriter writer(sequence);
    writer.sequenceHeader();
    for (int f = 0; f < frames; ++f) {
        writer.groupOfPictures();
        PictureOptions picture;
        picture.progressiveFrame = 1;
        picture.spatialExtension = true;
        picture.lowerOffset[0] = horizontalOffset;
        picture.lowerOffset[1] = verticalOffset;
        picture.lowerProgressiveFrame = interlacedLower ? 0 : 1;
        writer.picture(picture);
        for (int mby = 0; mby < lowerHeight / 8; ++mby)
            for (int mbx = 0; mbx < lowerWidth / 8; ++mbx)
                writer.spatialMacroblock(mbx, mby);
    }
    writer.sequenceEnd();
    return writer.bytes();
}

void PrintTo(const SpatialCase& c, std::ostream* out)
{
    *out << c.name;
}

class SpatialTest : public testing::TestWithParam<SpatialCase> {};

} // namespace

TEST_P(SpatialTest, LowerLayerFilesAreUpsampledAndMovedByTheOffsets)
{
    const SpatialCase& c = GetParam();
    const int w = 48, h = 32, frames = 2;
    const std::string lower = ffmpegStream(
        std::string("driver-lower-") + c.name + ".m2v",
        std::string("-f lavfi -i 'nullsrc=s=48x32:r=25,format=yuv420p,geq=lum=") + c.luma +
            ":cb=100:cr=150' -frames:v 2 -c:v mpeg2video -g 1 -q:v 1" +
            (c.interlaced ? " -flags +ildct+ilme" : ""));
    const std::string dir = folder(std::string("spatial-") + c.name);
    ASSERT_EQ(runDriver({"-b", lower, "-q", "-o0", dir + "/low%d%c"}).status, 0);
    ASSERT_EQ(std::filesystem::exists(dir + "/low0a.Y"), c.interlaced);

    std::vector<uint8_t> planes[2][3];
    const int offsets[2][2] = {{0, 0}, {4, 2}};
    for (int k = 0; k < 2; ++k) {
        const std::string stream =
            writeFile(std::string("driver-upper-") + c.name + std::to_string(k) + ".m2v",
                      spatialEnhancement(w, h, frames, c.interlaced, offsets[k][0], offsets[k][1]));
        const DriverRun run =
            runDriver({"-b", stream, "-l", dir + "/low%d%c", "-o0", dir + "/up" + std::to_string(k) + "-%d"});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err.find("ERROR"), std::string::npos) << run.err;
        for (int plane = 0; plane < 3; ++plane)
            planes[k][plane] = readFile(dir + "/up" + std::to_string(k) + "-1" +
                                        (plane == 0   ? ".Y"
                                         : plane == 1 ? ".U"
                                                      : ".V"));
        ASSERT_EQ(planes[k][0].size(), size_t(4 * w * h));
    }

    // Against the lower layer as ffmpeg decodes it, interpolated linearly.
    const YuvFrame low = ffmpegFrames(lower, "yuv420p", w, h).at(1);
    auto sample = [&](double x, double y) {
        const int x0 = std::min(int(x), w - 2), y0 = std::min(int(y), h - 2);
        const double fx = x - x0, fy = y - y0;
        auto at = [&](int xx, int yy) { return double(low.planes[0][size_t(yy) * w + xx]); };
        return (1 - fy) * ((1 - fx) * at(x0, y0) + fx * at(x0 + 1, y0)) +
               fy * ((1 - fx) * at(x0, y0 + 1) + fx * at(x0 + 1, y0 + 1));
    };
    int worst = 0;
    for (int y = 2; y < 2 * h - 4; ++y)
        for (int x = 2; x < 2 * w - 4; ++x)
            worst = std::max(
                worst, int(std::lround(std::abs(planes[0][0][size_t(y) * 2 * w + x] - sample(x / 2.0, y / 2.0)))));
    EXPECT_LE(worst, 1);
    // Chroma of a flat colour stays flat.
    for (int plane = 1; plane < 3; ++plane)
        for (size_t i = 0; i < planes[0][plane].size(); ++i)
            ASSERT_NEAR(planes[0][plane][i], plane == 1 ? 100 : 150, 1) << i;
    // The offsets move the whole picture by their amount.
    for (int y = offsets[1][1]; y < 2 * h; ++y)
        for (int x = offsets[1][0]; x < 2 * w; ++x)
            ASSERT_EQ(planes[1][0][size_t(y) * 2 * w + x],
                      planes[0][0][size_t(y - offsets[1][1]) * 2 * w + x - offsets[1][0]])
                << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(LowerLayers, SpatialTest,
                         testing::Values(SpatialCase{"Flat", "90", false},
                                         SpatialCase{"HorizontalRamp", "16+3*X", false},
                                         SpatialCase{"VerticalRamp", "16+5*Y", false},
                                         SpatialCase{"InterlacedVerticalRamp", "16+5*Y", true}),
                         [](const testing::TestParamInfo<SpatialCase>& info) { return std::string(info.param.name); });
