#include "Libs/Image/Image.h"
#include "Libs/Image/ImageCodec.h"

#include "Tests/Support/HeadlessCore.h"
#include "Tests/Support/TempDir.h"

#include "Tests/Image/MessageOf.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>

using namespace Vostrel;
using ImageTesting::messageOf;

namespace {

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class CountingFilter : public ImageFilter {
public:
    explicit CountingFilter(bool inPlace) : inPlace(inPlace) {}
    void getOutputSize(int w, int h, int c, int& ow, int& oh, int& oc) override
    {
        ow = w * 2;
        oh = h;
        oc = 1;
    }
    bool isInPlace() override { return inPlace; }
    void apply(int w, int h, int c, const unsigned char* source, unsigned char* destination) override
    {
        // Luminance of each BGR pixel, twice side by side.
        for (int i = 0; i < w * h; ++i) {
            if (inPlace) {
                destination[i * c] = 255 - source[i * c];
            } else {
                destination[2 * i] = destination[2 * i + 1] = source[i * c + 1];
            }
        }
    }
    bool inPlace;
};

} // namespace

TEST(ImageCodecRegistry, ExtensionAfterTheLastDotCaseSensitive)
{
    EXPECT_EQ(getImageCodec("archive.tar.png"), getImageCodec("x.png"));
    EXPECT_EQ(getImageCodec("a.pgm"), getImageCodec("b.ppm"));
    EXPECT_NE(getImageCodec("a.jpg"), getImageCodec("a.png"));
    EXPECT_EQ(messageOf([] { getImageCodec("photo.JPG"); }), "No codec for extension 'JPG'.");
    EXPECT_EQ(messageOf([] { getImageCodec("noext"); }), "No codec for extension 'noext'.");
}

TEST(PpmCodec, ReadsWhatImageMagickWritesAndWritesItBack)
{
    VostrelTest::TempDir dir;
    const std::string ppm = dir.file("g.ppm"), pgm = dir.file("g.pgm");
    ASSERT_EQ(std::system(("convert -size 5x3 gradient:red-blue -depth 8 " + ppm + " && convert -size 4x2 gradient: -depth 8 " +
                           pgm)
                              .c_str()),
              0);
    std::unique_ptr<Image> colour(Image::createFromFile(ppm));
    ASSERT_EQ(colour->getChannels(), 3);
    ASSERT_EQ(colour->getWidth(), 5);
    // Top row is red in the file: in memory blue, green, red.
    EXPECT_EQ(colour->getData()[0], 0);
    EXPECT_EQ(colour->getData()[2], 255);
    std::unique_ptr<Image> grey(Image::createFromFile(pgm));
    EXPECT_EQ(grey->getChannels(), 1);
    EXPECT_EQ(grey->getHeight(), 2);

    // The samples written back equal ImageMagick's (its header breaks lines differently).
    colour->save(dir.file("copy.ppm"));
    EXPECT_EQ(fileBytes(dir.file("copy.ppm")), "P6\n5 3 255\n" + fileBytes(ppm).substr(fileBytes(ppm).size() - 45));
    grey->save(dir.file("copy.pgm"));
    EXPECT_EQ(fileBytes(dir.file("copy.pgm")), "P5\n4 2 255\n" + fileBytes(pgm).substr(fileBytes(pgm).size() - 8));

    std::unique_ptr<Image> rgba(Image::create(2, 1, 4));
    const unsigned char bgra[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::memcpy(rgba->getData(), bgra, 8);
    rgba->save(dir.file("four.ppm"));
    EXPECT_EQ(fileBytes(dir.file("four.ppm")), std::string("P6\n2 1 255\n\3\2\1\7\6\5", 17));
    std::unique_ptr<Image> two(Image::create(1, 1, 2));
    EXPECT_EQ(messageOf([&] { two->save(dir.file("two.ppm")); }), "Only 1 or 3-channel PPM files can be written.");
}

TEST(PpmCodec, RefusesBadFiles)
{
    VostrelTest::TempDir dir;
    struct Case {
        std::string bytes;
        std::string message;
    } cases[] = {
        {"P3\n1 1 255\n", "PPM-file has invalid magic number (P6 was expected)."},
        {"P6\n1 1 65535\n", "Maximum color value 255 was expected."},
        {"P6\n# c\n1 1 255\n", "PPM-file has an invalid header."},
        {"P6\n99999999999 1 255\n", "PPM-file has an invalid header."},
        {"P6\n0 1 255\n", "PPM-file has an invalid size: 0 x 1"},
        {"P6\n2 2 255\nabc", "PPM-file " + dir.file("bad.ppm") + " is truncated."},
    };
    for (const Case& c : cases) {
        dir.write("bad.ppm", c.bytes);
        EXPECT_EQ(messageOf([&] { delete Image::createFromFile(dir.file("bad.ppm")); }), c.message) << c.bytes;
    }
    EXPECT_EQ(messageOf([&] { delete Image::createFromFile(dir.file("none.ppm")); }),
              "Couldn't open " + dir.file("none.ppm") + " for reading. Does it exist?");
}

TEST(ImageOperations, RepeatCloneAndFilters)
{
    std::unique_ptr<Image> image(Image::create(2, 2, 4));
    for (int i = 0; i < 16; ++i)
        image->getData()[i] = static_cast<unsigned char>(i * 7);
    std::unique_ptr<Image> tall(image->repeatVertically(3));
    ASSERT_EQ(tall->getHeight(), 6);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(std::memcmp(tall->getData() + 16 * k, image->getData(), 16), 0);
    std::unique_ptr<Image> none(image->repeatVertically(0));
    EXPECT_EQ(none->getHeight(), 0);

    std::unique_ptr<Image> copy(image->clone());
    EXPECT_NE(copy->getData(), image->getData());
    EXPECT_EQ(std::memcmp(copy->getData(), image->getData(), 16), 0);

    unsigned char* before = image->getData();
    CountingFilter inPlace(true);
    image->applyFilter(inPlace);
    EXPECT_EQ(image->getData(), before);
    EXPECT_EQ(image->getData()[4], 255 - 28);
    CountingFilter resize(false);
    copy->applyFilter(resize);
    EXPECT_EQ(copy->getWidth(), 4);
    EXPECT_EQ(copy->getChannels(), 1);
    EXPECT_EQ(copy->getData()[2], 5 * 7);
}

class ImageTextures : public TestSupport::HeadlessCoreTest {};

TEST_F(ImageTextures, ShapesAndFormatsFromTheImage)
{
    std::unique_ptr<Image> cube(Image::create(64, 384, 4));
    std::unique_ptr<Core::Texture> cubeTexture(cube->createCubeTexture());
    EXPECT_EQ(cubeTexture->getParameters().type, Core::TEXTURE_TYPE_CUBE);
    EXPECT_EQ(cubeTexture->getParameters().width, 64);
    std::unique_ptr<Image> badCube(Image::create(64, 383, 4));
    EXPECT_EQ(messageOf([&] { badCube->createCubeTexture(); }), "height == width*6 does not hold.");

    std::unique_ptr<Image> volume(Image::create(32, 256, 1));
    std::unique_ptr<Core::Texture> volumeTexture(volume->createVolumeTexture(nullptr));
    EXPECT_EQ(volumeTexture->getParameters().depth, 8);
    EXPECT_EQ(volumeTexture->getParameters().format, Core::FORMAT_L8);
    std::unique_ptr<Image> badVolume(Image::create(32, 250, 1));
    EXPECT_EQ(messageOf([&] { badVolume->createVolumeTexture(nullptr); }),
              "(width > 0) && (height > 0) && (height % width == 0) does not hold.");

    std::unique_ptr<Image> flat(Image::create(3, 2, 2));
    Core::TextureParameters parameters;
    parameters.wrapU = Core::TEXTURE_CLAMP;
    std::unique_ptr<Core::Texture> flatTexture(flat->createTexture2D(&parameters));
    EXPECT_EQ(flatTexture->getParameters().format, Core::FORMAT_A8L8);
    EXPECT_EQ(flatTexture->getParameters().wrapU, Core::TEXTURE_CLAMP);
    EXPECT_EQ(flatTexture->getParameters().width, 3);
    std::unique_ptr<Image> empty(new ImageImpl);
    EXPECT_EQ(messageOf([&] { empty->createTexture2D(nullptr); }),
              "Cannot create a texture from image with 0 channels.");
}

TEST_F(ImageTextures, PngThroughD3dxMatchesImageMagick)
{
    VostrelTest::TempDir dir;
    const std::string png = dir.file("p.png"), ppm = dir.file("p.ppm");
    ASSERT_EQ(std::system(("convert -seed 3 -size 7x5 plasma:fractal -type TrueColor -depth 8 " + png + " && convert -depth 8 " +
                           png + " " + ppm)
                              .c_str()),
              0);
    std::unique_ptr<Image> fromPng(Image::createFromFile(png));
    std::unique_ptr<Image> fromPpm(Image::createFromFile(ppm));
    ASSERT_EQ(fromPng->getWidth(), 7);
    ASSERT_EQ(fromPng->getHeight(), 5);
    const int channels = fromPng->getChannels();
    ASSERT_GE(channels, 3);
    for (int i = 0; i < 35; ++i)
        for (int c = 0; c < 3; ++c)
            ASSERT_EQ(fromPng->getData()[i * channels + c], fromPpm->getData()[i * 3 + c]) << i;

    // Written as PNG and read back: the same colours.
    fromPpm->save(dir.file("back.png"));
    std::unique_ptr<Image> back(Image::createFromFile(dir.file("back.png")));
    ASSERT_EQ(back->getWidth(), 7);
    for (int i = 0; i < 35; ++i)
        for (int c = 0; c < 3; ++c)
            ASSERT_EQ(back->getData()[i * back->getChannels() + c], fromPpm->getData()[i * 3 + c]);
    // A colour JPEG comes as X8R8G8B8: four channels, colours near the source's.
    fromPpm->save(dir.file("back.jpg"));
    std::unique_ptr<Image> jpeg(Image::createFromFile(dir.file("back.jpg")));
    ASSERT_EQ(jpeg->getChannels(), 4);
    double error = 0;
    for (int i = 0; i < 35; ++i)
        for (int c = 0; c < 3; ++c)
            error += std::abs(jpeg->getData()[i * 4 + c] - fromPpm->getData()[i * 3 + c]);
    EXPECT_LT(error / 105, 24.0) << error / 105;
    std::unique_ptr<Image> two(Image::create(1, 1, 2));
    EXPECT_NE(messageOf([&] { two->save(dir.file("two.png")); }), "");
    EXPECT_EQ(messageOf([&] { delete Image::createFromFile(dir.file("missing.png")); }).rfind(
                  "D3DXGetImageInfoFromFile failed: " + dir.file("missing.png") + ", errorcode = ", 0),
              0u);
}

TEST_F(ImageTextures, CachesKeepOneObjectPerName)
{
    VostrelTest::TempDir dir;
    const std::string name = dir.write("c.pgm", std::string("P5\n2 1 255\n\x10\x20", 13));
    Image* first = loadImage(name, false);
    Image* second = loadImage(name, false);
    EXPECT_NE(first, second);
    delete first;
    delete second;
    Image* kept = loadImage(name, true);
    EXPECT_EQ(loadImage(name, false), kept);

    Core::Texture* loose1 = loadTexture(name, nullptr, false);
    Core::Texture* loose2 = loadTexture(name, nullptr, false);
    EXPECT_NE(loose1, loose2);
    delete loose1;
    delete loose2;
    EXPECT_EQ(loadImage(name, false), kept); // the cached image survived the loose textures
    Core::TextureParameters clamp;
    clamp.wrapU = Core::TEXTURE_CLAMP;
    Core::Texture* texture = loadTexture(name, &clamp, true);
    EXPECT_EQ(loadTextureWithDefaults(name), texture);
    EXPECT_EQ(texture->getParameters().wrapU, Core::TEXTURE_CLAMP);

    const std::string missing = dir.file("gone.pgm");
    EXPECT_NE(messageOf([&] { loadTexture(missing, nullptr, true); }), "");
    dir.write("gone.pgm", std::string("P5\n1 1 255\n\x01", 12));
    EXPECT_NE(loadImage(missing, true), nullptr); // the failure left nothing cached
}

TEST_F(ImageTextures, CachesEmptyWithTheCoreThatMadeTheirTextures)
{
    VostrelTest::TempDir dir;
    const std::string name = dir.write("c.pgm", std::string("P5\n2 1 255\n\x10\x20", 13));
    EXPECT_EQ(loadImage(name)->getData()[0], 0x10);
    loadTexture(name, nullptr, true);
    Core::APICore::destroyInstance();
    makeCore();
    // The next core may find another file under the name.
    dir.write("c.pgm", std::string("P5\n2 1 255\n\x30\x40", 13));
    EXPECT_EQ(loadImage(name)->getData()[0], 0x30);
    Core::Texture* texture = loadTexture(name, nullptr, true);
    IDirect3DDevice9* owner = nullptr;
    dynamic_cast<Core::DXTexture&>(*texture).getBaseTexture()->GetDevice(&owner);
    EXPECT_EQ(owner, device);
    if (owner)
        owner->Release();
    int pitch = 0;
    EXPECT_EQ(static_cast<unsigned char*>(texture->lock(0, pitch, Core::LOCK_READ_ONLY))[0], 0x30);
    texture->unlock(0);
}

TEST_F(ImageTextures, SvgRasterisedAtPowerOfTwoSize)
{
    VostrelTest::TempDir dir;
    const std::string wide = dir.write("w.svg", "<svg><rect x='0' y='0' width='300' height='100' fill='red'/></svg>");
    std::unique_ptr<Image> image(Image::createFromFile(wide));
    EXPECT_EQ(image->getWidth(), 512);
    EXPECT_EQ(image->getHeight(), 128);
    EXPECT_EQ(image->getChannels(), 4);
    const unsigned char* inside = image->getData() + (50 * 512 + 150) * 4;
    EXPECT_EQ(std::vector<int>(inside, inside + 4), (std::vector<int>{0, 0, 255, 255}));
    const unsigned char* outside = image->getData() + (50 * 512 + 400) * 4;
    EXPECT_EQ(std::vector<int>(outside, outside + 4), (std::vector<int>{0, 0, 0, 0}));
    dir.write("s.svg", "<svg><rect width='256' height='256'/></svg>");
    std::unique_ptr<Image> square(Image::createFromFile(dir.file("s.svg")));
    EXPECT_EQ(square->getWidth(), 256);
    EXPECT_EQ(square->getHeight(), 256);
    dir.write("huge.svg", "<svg><rect width='8193' height='1'/></svg>");
    EXPECT_EQ(messageOf([&] { delete Image::createFromFile(dir.file("huge.svg")); }).rfind("SVGCodec: ", 0), 0u);
    EXPECT_EQ(messageOf([&] { square->save(dir.file("out.svg")); }), "SVGCodec: writing SVG not supported.");
}
