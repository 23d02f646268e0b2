#include "Tests/Postprocessing/PostprocessingFixture.h"

#include <algorithm>
#include <functional>

using namespace PostprocessingTest;

namespace {

typedef PostprocessingRender PredefinedPrograms;

Vec4 quantised(const Vec4& colour)
{
    return unpack(pack(colour));
}

Vec4 perChannel(const Vec4& a, const Vec4& b, const std::function<float(float, float)>& f)
{
    return Vec4(f(a[0], b[0]), f(a[1], b[1]), f(a[2], b[2]), f(a[3], b[3]));
}

Vec4 clamped(const Vec4& colour)
{
    return perChannel(colour, colour, [](float v, float) { return std::min(std::max(v, 0.0f), 1.0f); });
}

float lum(const Vec4& v)
{
    return 0.3f * v[0] + 0.59f * v[1] + 0.11f * v[2];
}

struct Case {
    const char* name;
    Vec4 t, b;
    std::function<void(Core::RenderTarget*, Core::Texture*, Core::Texture*)> draw;
    std::function<Vec4(const Vec4& t, const Vec4& b)> expected;
};

} // namespace

TEST_F(PredefinedPrograms, EachProgramMatchesItsFormula)
{
    const Vec4 c0(0.5f, 1.5f, 0.25f, 2.0f), c1(0.2f, 0.9f, 0.6f, 0.4f);
    const Vec4 grey(0.2f, 0.4f, 0.6f, 1.0f), other(0.8f, 0.6f, 0.2f, 0.5f);
    const Vec4 ones(1.0f, 1.0f, 1.0f, 1.0f);
    const Case cases[] = {
        {"copy", grey, other, [](auto* target, auto* t, auto*) { copyTexture(target, t); },
         [](const Vec4& t, const Vec4&) { return t; }},
        {"weighted", grey, other, [](auto* target, auto* t, auto* b) { blendWeighted(target, t, b, 0.5f, 0.5f); },
         [](const Vec4& t, const Vec4& b) { return (t + b) * 0.5f; }},
        {"bright pass", Vec4(1.0f, 0.5f, 0.75f, 1.0f), other,
         [](auto* target, auto* t, auto*) { brightPass(target, t, 1.0f, 0.5f, 1.0f); },
         [](const Vec4&, const Vec4&) { return Vec4(1.0f / 3, 0.0f, 0.25f / 1.25f, 0.5f); }},
        {"tint by mask", grey, other,
         [&](auto* target, auto* t, auto* b) { tintByMask(target, t, b, 0, 0, c0, c1); },
         [&](const Vec4& t, const Vec4& b) {
             const Vec4 mask = perChannel(c0, b, [](float x, float y) { return x * y; });
             return perChannel(t, mask, [](float x, float m) { return x * (1 - m); }) +
                    perChannel(c1, mask, [](float x, float m) { return x * m; });
         }},
        {"sepia", grey, other, [](auto* target, auto* t, auto*) { sepia(target, t); },
         [](const Vec4& t, const Vec4&) {
             const float y = 0.299f * t[0] + 0.587f * t[1] + 0.114f * t[2];
             return Vec4(y + 0.955688f * 0.2f, y - 0.271582f * 0.2f, y - 1.108177f * 0.2f, 0.0f);
         }},
        {"level curve", grey, other, [&](auto* target, auto* t, auto*) { levelCurve(target, t, c0); },
         [&](const Vec4& t, const Vec4&) {
             return perChannel(c0, t, [](float c, float x) { return std::max(c * x, (c - 1) + (2 - c) * x); });
         }},
        {"fade to colour", grey, other, [&](auto* target, auto* t, auto*) { fadeToColor(target, t, other, c1); },
         [&](const Vec4& t, const Vec4&) {
             return perChannel(c1, t, [](float a, float x) { return x * (1 - a); }) +
                    perChannel(c1, other, [](float a, float c) { return a * c; });
         }},
        {"modulate", grey, other, [&](auto* target, auto* t, auto*) { modulate(target, t, c0); },
         [&](const Vec4& t, const Vec4&) { return perChannel(c0, t, [](float a, float x) { return a * x; }); }},
        {"invert", ones, other, [](auto* target, auto* t, auto*) { invert(target, t); },
         [](const Vec4&, const Vec4&) { return Vec4(0.0f, 0.0f, 0.0f, 0.0f); }},
        {"difference", other, grey, [](auto* target, auto* t, auto* b) { difference(target, t, b); },
         [](const Vec4& t, const Vec4& b) { return t - b; }},
        {"add colour", grey, other, [&](auto* target, auto* t, auto*) { addColor(target, t, c1); },
         [&](const Vec4& t, const Vec4&) { return t + c1; }},
        {"minimum", grey, other, [](auto* target, auto* t, auto* b) { minimum(target, t, b); },
         [](const Vec4& t, const Vec4& b) { return perChannel(t, b, [](float x, float y) { return std::min(x, y); }); }},
        {"maximum", grey, other, [](auto* target, auto* t, auto* b) { maximum(target, t, b); },
         [](const Vec4& t, const Vec4& b) { return perChannel(t, b, [](float x, float y) { return std::max(x, y); }); }},
        {"screen", grey, other, [](auto* target, auto* t, auto* b) { screen(target, t, b); },
         [](const Vec4& t, const Vec4& b) { return perChannel(t, b, [](float x, float y) { return x + y * (1 - x); }); }},
        {"overlay", Vec4(0.25f, 0.75f, 0.5f, 0.1f), Vec4(0.5f, 0.5f, 0.5f, 0.9f),
         [](auto* target, auto* t, auto* b) { overlay(target, t, b); },
         [](const Vec4& t, const Vec4& b) {
             return perChannel(t, b, [](float x, float y) { return x < 0.5f ? x * y : x + y * (1 - x); });
         }},
        {"paste over black", grey, Vec4(0.0f, 0.0f, 0.0f, 1.0f),
         [](auto* target, auto* t, auto* b) { pasteNonBlack(target, t, b); },
         [](const Vec4& t, const Vec4&) { return t; }},
        {"paste dim", grey, Vec4(0.0f, 0.0f, 2.0f / 255, 1.0f),
         [](auto* target, auto* t, auto* b) { pasteNonBlack(target, t, b); },
         [](const Vec4& t, const Vec4& b) {
             const float s = std::min(64 * lum(b), 1.0f);
             return b * s + t * (1 - s);
         }},
        {"paste bright", grey, other, [](auto* target, auto* t, auto* b) { pasteNonBlack(target, t, b); },
         [](const Vec4&, const Vec4& b) { return b; }},
    };
    RenderTexture* target = makeTarget(8, 8);
    for (const Case& c : cases) {
        const Vec4 t = quantised(c.t), b = quantised(c.b);
        c.draw(target->target, makeUniform(4, 4, c.t), makeUniform(4, 4, c.b));
        EXPECT_TRUE(nearColour(read(target)[27], clamped(c.expected(t, b)), 1.5f / 255)) << c.name;
    }
}

TEST_F(PredefinedPrograms, NoiseIsTheFractionOfADotProduct)
{
    const Vec4 t = quantised(Vec4(0.2f, 0.4f, 0.6f, 1.0f)), c0(1.3f, 2.1f, 0.7f, 0.25f);
    std::unique_ptr<CustomBlitter> noise(createPredefinedBlitter(4));
    RenderTexture* target = makeTarget(4, 4);
    target->target->begin();
    noise->blit({makeUniform(4, 4, t)}, {}, {c0});
    target->target->end();
    const float dot = t[0] * c0[0] + t[1] * c0[1] + t[2] * c0[2] + t[3] * c0[3];
    const float fraction = dot - std::floor(dot);
    EXPECT_TRUE(nearColour(read(target)[5], Vec4(fraction, fraction, fraction, fraction), 1.5f / 255));
}

TEST_F(PredefinedPrograms, RayMarchThroughABlackVolumeKeepsTheImage)
{
    Core::TextureParameters parameters;
    parameters.type = Core::TEXTURE_TYPE_VOLUME;
    parameters.width = parameters.height = parameters.depth = 4;
    parameters.minFilter = Core::MIN_LINEAR;
    std::unique_ptr<Core::Texture> volume(Core::createTexture(parameters));
    std::vector<uint32_t> black(64, 0u), white(64, 0xFFFFFFFFu);
    volume->update(0, black.data());
    RenderTexture* target = makeTarget(8, 8);
    const Vec4 image = quantised(Vec4(0.2f, 0.4f, 0.6f, 1.0f));
    Core::Texture* source = makeUniform(4, 4, image);
    Matrix4 identity;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            identity(i, j) = i == j ? 1.0f : 0.0f;
    const Vec4 step(0.0f, 0.0f, 0.125f, 0.0f);
    rayMarchVolume(target->target, source, volume.get(), identity, step);
    EXPECT_TRUE(nearColour(read(target)[9], image, 1.5f / 255));
    // White samples, each laid over with opacity 0.8: the image keeps 0.2^7 of itself.
    volume->update(0, white.data());
    rayMarchVolume(target->target, source, volume.get(), identity, step);
    const float kept = std::pow(0.2f, 7.0f);
    EXPECT_TRUE(nearColour(read(target)[9], image * kept + Vec4(1.0f, 1.0f, 1.0f, 1.0f) * (1 - kept), 1.5f / 255));
}
