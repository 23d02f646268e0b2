#include "Libs/Postprocessing/PostProcessing.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/RenderTarget.h"
#include "Libs/Image/Image.h"
#include "Libs/Postprocessing/Blitter.h"
#include "Libs/Postprocessing/BlitterShared.h"
#include "Libs/Postprocessing/HDRLighting.h"
#include "Libs/Postprocessing/OldBlit.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Testing/Renderable.h"
#include "Platform/Runtime/Runtime.h"

#include <array>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

namespace Vostrel {

using BlitterShared::TargetScope;

namespace {

enum ProgramId {
    COPY = 0, SHIFTED = 1, ROTATED = 2, WEIGHTED = 3, NOISE = 4, BRIGHT_PASS = 5, TINT_BY_MASK = 6, SEPIA = 7,
    LEVEL_CURVE = 8, FADE_TO_COLOR = 9, MODULATE = 10, INVERT = 11, DIFFERENCE = 12, ADD_COLOR = 13, MINIMUM = 14,
    MAXIMUM = 15, SCREEN = 16, OVERLAY = 17, RAY_MARCH = 18, PASTE_NON_BLACK = 19, PROGRAM_COUNT = 20
};

struct State {
    std::array<std::unique_ptr<CustomBlitter>, PROGRAM_COUNT> predefined;
    std::unique_ptr<Blitter> copyBlitter;
    std::unique_ptr<Blitter> downsampleBlitter;
    RenderTexture* feedback = nullptr;
    RenderTexture* pingPong[2] = {nullptr, nullptr};
    std::unique_ptr<Core::Texture> noiseTexture;
};

State& state()
{
    static State shared;
    [[maybe_unused]] static const bool registered =
        (Core::APICore::releaseWithInstance(&releasePostprocessingObjects), true);
    return shared;
}

CustomBlitter& predefined(ProgramId id)
{
    std::unique_ptr<CustomBlitter>& blitter = state().predefined[id];
    if (!blitter)
        blitter.reset(createPredefinedBlitter(id));
    return *blitter;
}

std::unique_ptr<Blitter> makeCopyBlitter()
{
    std::unique_ptr<Blitter> blitter(createBlitter(1));
    const float offset[2] = {0.0f, 0.0f}, weight = 1.0f;
    blitter->setOffsets(offset);
    blitter->setWeights(&weight);
    return blitter;
}

void run(Core::RenderTarget* target, ProgramId id, const std::list<Core::Texture*>& textures,
         const std::list<Vec4>& vertexConstants = {}, const std::list<Vec4>& pixelConstants = {})
{
    TargetScope scope(target);
    predefined(id).blit(textures, vertexConstants, pixelConstants);
}

void runInRect(Core::RenderTarget* target, ProgramId id, int x, int y, int width, int height,
               const std::list<Core::Texture*>& textures, const std::list<Vec4>& vertexConstants = {})
{
    predefined(id).setRect(x, y, width, height);
    run(target, id, textures, vertexConstants);
}

Vec4 all(float value)
{
    return Vec4(value, value, value, value);
}

Core::RenderTarget* targetOf(RenderTexture* texture)
{
    return texture ? texture->target : nullptr;
}

bool isPowerOfTwo(int value)
{
    return value > 0 && (value & (value - 1)) == 0;
}

void clearWith(RenderTexture* target, int flags, const Vec4& colour, float depth)
{
    TargetScope scope(target->target);
    Core::clear(flags, colour, depth, 0);
}

} // namespace

void copyTexture(Core::RenderTarget* target, Core::Texture* texture, int x, int y, int width, int height)
{
    runInRect(target, COPY, x, y, width, height, {texture});
}

void copyShifted(Core::RenderTarget* target, Core::Texture* texture, float du, float dv, int x, int y, int width,
                 int height)
{
    runInRect(target, SHIFTED, x, y, width, height, {texture}, {Vec4(du, dv, 0.0f, 0.0f)});
}

void copyRotated(Core::RenderTarget* target, Core::Texture* texture, float angle, int x, int y, int width,
                 int height)
{
    const float quarter = 1.5707963267948966f;
    runInRect(target, ROTATED, x, y, width, height, {texture},
              {Vec4(std::cos(angle), std::cos(angle + quarter), 0.0f, 0.0f),
               Vec4(std::sin(angle), std::sin(angle + quarter), 0.0f, 0.0f)});
}

void blendWeighted(Core::RenderTarget* target, Core::Texture* a, Core::Texture* b, float weightA, float weightB)
{
    run(target, WEIGHTED, {a, b}, {}, {all(weightA), all(weightB)});
}

void brightPass(Core::RenderTarget* target, Core::Texture* texture, float gain, float threshold, float knee)
{
    run(target, BRIGHT_PASS, {texture}, {}, {Vec4(gain, threshold, knee, 0.0f)});
}

void tintByMask(Core::RenderTarget* target, Core::Texture* texture, Core::Texture* mask, const int& x, const int& y,
                const Vec4& c0, const Vec4& c1)
{
    predefined(TINT_BY_MASK).setRect(x, y, -1, -1);
    run(target, TINT_BY_MASK, {texture, mask}, {}, {c0, c1});
}

void sepia(Core::RenderTarget* target, Core::Texture* texture)
{
    run(target, SEPIA, {texture});
}

void levelCurve(Core::RenderTarget* target, Core::Texture* texture, const Vec4& c0)
{
    run(target, LEVEL_CURVE, {texture}, {}, {c0});
}

void fadeToColor(Core::RenderTarget* target, Core::Texture* texture, const Vec4& colour, const Vec4& amount)
{
    run(target, FADE_TO_COLOR, {texture}, {}, {colour, amount});
}

void modulate(Core::RenderTarget* target, Core::Texture* texture, const Vec4& c0)
{
    run(target, MODULATE, {texture}, {}, {c0});
}

void invert(Core::RenderTarget* target, Core::Texture* texture)
{
    run(target, INVERT, {texture});
}

void difference(Core::RenderTarget* target, Core::Texture* a, Core::Texture* b)
{
    run(target, DIFFERENCE, {a, b});
}

void addColor(Core::RenderTarget* target, Core::Texture* texture, const Vec4& c0)
{
    run(target, ADD_COLOR, {texture}, {}, {c0});
}

void minimum(Core::RenderTarget* target, Core::Texture* a, Core::Texture* b)
{
    run(target, MINIMUM, {a, b});
}

void maximum(Core::RenderTarget* target, Core::Texture* a, Core::Texture* b)
{
    run(target, MAXIMUM, {a, b});
}

void screen(Core::RenderTarget* target, Core::Texture* a, Core::Texture* b)
{
    run(target, SCREEN, {a, b});
}

void overlay(Core::RenderTarget* target, Core::Texture* a, Core::Texture* b)
{
    run(target, OVERLAY, {a, b});
}

void rayMarchVolume(Core::RenderTarget* target, Core::Texture* image, Core::Texture* volume, const Matrix4& m,
                    Vec4 step)
{
    // Rows of m's transpose are its columns.
    run(target, RAY_MARCH, {image, volume}, {m[0], m[1], m[2], step});
}

void pasteNonBlack(Core::RenderTarget* target, Core::Texture* texture, Core::Texture* overlayTexture, int x, int y,
                   int width, int height)
{
    runInRect(target, PASTE_NON_BLACK, x, y, width, height, {texture, overlayTexture});
}

void downsample(Core::RenderTarget* target, Core::Texture* source)
{
    VOSTREL_ASSERT(target != nullptr);
    const int sourceWidth = source->getParameters().width, sourceHeight = source->getParameters().height;
    const int rx = sourceWidth / target->getWidth(), ry = sourceHeight / target->getHeight();
    // Halving reaches the target only when both quotients are powers of two.
    if (!isPowerOfTwo(rx) || !isPowerOfTwo(ry))
        VOSTREL_THROW("Cannot downsample " << sourceWidth << "x" << sourceHeight << " to " << target->getWidth()
                                           << "x" << target->getHeight() << " by halving.");
    if (!state().downsampleBlitter)
        state().downsampleBlitter = makeCopyBlitter();
    const int sx = rx % 2 == 0 ? 2 : 1, sy = ry % 2 == 0 ? 2 : 1;
    if (rx == sx && ry == sy) {
        TargetScope scope(target);
        state().downsampleBlitter->blit(source);
        return;
    }
    PooledRenderTexture scratch(sourceWidth / sx, sourceHeight / sy, Core::FORMAT_RGBA32F);
    {
        TargetScope scope(scratch->target);
        state().downsampleBlitter->blit(source);
    }
    downsample(target, scratch->texture);
}

void gaussianBlur(Core::RenderTarget* target, Core::Texture* source, int n, float sigma, RenderTexture* scratch)
{
    VOSTREL_ASSERT(target != nullptr);
    VOSTREL_ASSERT(n >= 0 && sigma > 0.0f);
    std::optional<PooledRenderTexture> ownScratch;
    if (!scratch) {
        ownScratch.emplace(source->getParameters().width, source->getParameters().height, Core::FORMAT_RGBA32F);
        scratch = ownScratch->get();
    }
    const int taps = 2 * n + 1;
    std::unique_ptr<Blitter> blitter(createBlitter(taps));
    std::vector<float> weights(taps), offsets(2 * taps);
    float sum = 0.0f;
    for (int i = -n; i <= n; ++i) {
        // Wider than the textbook exp(-x^2 / 2): every blur and glow is tuned to it.
        const float x = i / sigma;
        weights[i + n] = std::exp(-x * x / std::sqrt(2.0f * 3.14159265f));
        sum += weights[i + n];
    }
    for (float& weight : weights)
        weight /= sum;
    blitter->setWeights(weights.data());
    for (int i = -n; i <= n; ++i) {
        offsets[2 * (i + n)] = static_cast<float>(i) / target->getWidth();
        offsets[2 * (i + n) + 1] = 0.0f;
    }
    blitter->setOffsets(offsets.data());
    {
        TargetScope scope(scratch->target);
        blitter->blit(source);
    }
    for (int i = -n; i <= n; ++i) {
        offsets[2 * (i + n)] = 0.0f;
        offsets[2 * (i + n) + 1] = static_cast<float>(i) / target->getHeight();
    }
    blitter->setOffsets(offsets.data());
    {
        TargetScope scope(target);
        blitter->blit(scratch->texture);
    }
}

void oldMultipass(Core::RenderTarget* target, Core::Texture* source, Core::Texture* ping, Core::Texture* pong,
                  float scale, int passes, float)
{
    TargetScope scope(target);
    Old::multipass(source, ping, pong, scale, passes, 1.0f);
}

void blitCopy(RenderTexture* target, RenderTexture* source, int x, int y, int width, int height)
{
    copyTexture(targetOf(target), source->texture, x, y, width, height);
}

void blitPasteNonBlack(RenderTexture* target, RenderTexture* source, RenderTexture* overlayTexture, int x, int y,
                       int width, int height)
{
    pasteNonBlack(targetOf(target), source->texture, overlayTexture->texture, x, y, width, height);
}

void blitShifted(RenderTexture* target, Core::Texture* texture, float du, float dv, int x, int y, int width,
                 int height)
{
    copyShifted(targetOf(target), texture, du, dv, x, y, width, height);
}

void blitRotated(RenderTexture* target, Core::Texture* texture, float angle, int x, int y, int width, int height)
{
    copyRotated(targetOf(target), texture, angle, x, y, width, height);
}

void blitWeighted(RenderTexture* target, RenderTexture* a, RenderTexture* b, float weightA, float weightB)
{
    blendWeighted(targetOf(target), a->texture, b->texture, weightA, weightB);
}

void blitBrightPass(RenderTexture* target, RenderTexture* source, float a, float b)
{
    brightPass(targetOf(target), source->texture, a / (b + 0.001f), 0.5f, 1.0f);
}

void blitDownsample(RenderTexture* target, RenderTexture* source)
{
    downsample(targetOf(target), source->texture);
}

void blitGaussianBlur(RenderTexture* target, RenderTexture* source)
{
    gaussianBlur(targetOf(target), source->texture, 5, 2.0f, nullptr);
}

void blitSepia(RenderTexture* target, RenderTexture* source)
{
    sepia(targetOf(target), source->texture);
}

void blitLevelCurve(RenderTexture* target, RenderTexture* source, const Vec4& c0)
{
    levelCurve(targetOf(target), source->texture, c0);
}

void blitFadeToColor(RenderTexture* target, RenderTexture* source, const Vec4& colour, const Vec4& amount)
{
    fadeToColor(targetOf(target), source->texture, colour, amount);
}

void blitModulate(RenderTexture* target, RenderTexture* source, const Vec4& c0)
{
    modulate(targetOf(target), source->texture, c0);
}

void blitInvert(RenderTexture* target, RenderTexture* source)
{
    invert(targetOf(target), source->texture);
}

void blitAddColor(RenderTexture* target, RenderTexture* source, const Vec4& c0)
{
    addColor(targetOf(target), source->texture, c0);
}

void blitDifference(RenderTexture* target, RenderTexture* a, RenderTexture* b)
{
    difference(targetOf(target), a->texture, b->texture);
}

void blitMinimum(RenderTexture* target, RenderTexture* a, RenderTexture* b)
{
    minimum(targetOf(target), a->texture, b->texture);
}

void blitMaximum(RenderTexture* target, RenderTexture* a, RenderTexture* b)
{
    maximum(targetOf(target), a->texture, b->texture);
}

void blitScreen(RenderTexture* target, RenderTexture* a, RenderTexture* b)
{
    screen(targetOf(target), a->texture, b->texture);
}

void blitOverlay(RenderTexture* target, RenderTexture* a, RenderTexture* b)
{
    overlay(targetOf(target), a->texture, b->texture);
}

void blitVolumeRayMarch(RenderTexture* target, RenderTexture* source, Core::Texture* volume, const Matrix4& m,
                        Vec4 step)
{
    rayMarchVolume(targetOf(target), source->texture, volume, m, step);
}

void blitLuminancePass1(RenderTexture* target, RenderTexture* source)
{
    luminancePass1(targetOf(target), source->texture);
}

void blitLuminancePass2(RenderTexture* target, RenderTexture* source)
{
    luminancePass2(targetOf(target), source->texture);
}

void blitLuminancePass3(RenderTexture* target, RenderTexture* source)
{
    luminancePass3(targetOf(target), source->texture);
}

void blitOldMultipass(RenderTexture* target, RenderTexture* source, float scale, int passes, float unused)
{
    if (!state().pingPong[0])
        initPostProcessing();
    oldMultipass(targetOf(target), source->texture, state().pingPong[0]->texture, state().pingPong[1]->texture,
                 scale, passes, unused);
}

void blitTexture(RenderTexture* target, Core::Texture* texture)
{
    if (!state().copyBlitter)
        state().copyBlitter = makeCopyBlitter();
    TargetScope scope(target->target);
    state().copyBlitter->blit(texture);
}

void renderToTarget(RenderTexture* target, Renderable* renderable, float time, int secondValue)
{
    TargetScope scope(target->target);
    renderable->render(time, secondValue);
}

void blitFeedback(RenderTexture* target, RenderTexture* source)
{
    if (!state().feedback)
        initPostProcessing();
    RenderTexture* feedback = state().feedback;
    blendWeighted(target->target, source->texture, feedback->texture, 0.5f, 0.5f);
    copyTexture(feedback->target, target->texture);
}

void blitCrossfade(RenderTexture* target, RenderTexture* a, RenderTexture* b, float t, float start, float end)
{
    const float length = end - start;
    blendWeighted(targetOf(target), a->texture, b->texture, (end - t) / length, (t - start) / length);
}

void initPostProcessing()
{
    State& shared = state();
    shared.copyBlitter = makeCopyBlitter();
    if (!shared.feedback)
        shared.feedback = RenderTargetPool::acquire(512, 512, Core::FORMAT_RGBA16F);
    if (!shared.pingPong[0]) {
        shared.pingPong[0] = RenderTargetPool::acquire(512, 512, Core::FORMAT_RGBA16F);
        shared.pingPong[1] = RenderTargetPool::acquire(512, 512, Core::FORMAT_RGBA16F);
    }
    createNoiseTexture();
    predefined(NOISE);
    createHDRLighting();
}

Core::Texture* createNoiseTexture()
{
    std::unique_ptr<Core::Texture>& noise = state().noiseTexture;
    if (!noise) {
        std::vector<uint8_t> texels(64 * 64 * 4);
        for (uint8_t& texel : texels)
            texel = static_cast<uint8_t>(Runtime::rand() & 255);
        Core::TextureParameters parameters;
        parameters.width = parameters.height = 64;
        noise.reset(Core::createTexture(parameters));
        noise->update(0, texels.data());
    }
    return noise.get();
}

void drawNoise(const Vec4& colour, Core::BlendOperation operation)
{
    CustomBlitter& blitter = predefined(NOISE);
    Core::Texture* noise = createNoiseTexture();
    blitter.setBlending(operation, Core::BLEND_FACTOR_COLOR, Core::BLEND_ONE, colour, false, Core::BLENDOP_ADD,
                        Core::BLEND_ONE, Core::BLEND_ONE);
    float values[4];
    for (float& value : values)
        value = Runtime::rand() * (1024.0f / 32767.0f);
    Core::RenderTarget* target = Core::RenderTarget::getCurrentTarget();
    VOSTREL_ASSERT(target != nullptr);
    blitter.setRect(0, 0, target->getWidth(), target->getHeight());
    blitter.blit({noise}, {}, {Vec4(values[3], values[2], values[1], values[0])});
}

void clearTarget(RenderTexture* target, const Vec4& colour)
{
    clearWith(target, Core::CLEAR_COLOR | Core::CLEAR_DEPTH, colour, 1.0f);
}

void clearDepth(RenderTexture* target, float depth)
{
    clearWith(target, Core::CLEAR_DEPTH, Vec4(0.0f, 0.0f, 0.0f, 0.0f), depth);
}

void clearWhite(RenderTexture* target)
{
    clearTarget(target, Vec4(1.0f, 1.0f, 1.0f, 0.0f));
}

Core::Texture* loadCachedTexture(const std::string& fileName)
{
    return loadTextureWithDefaults(fileName, true);
}

RenderTexture* getFeedbackTexture()
{
    return state().feedback;
}

void releasePostprocessingObjects()
{
    state() = State();
    releaseBlitterObjects();
    RenderTargetPool::releaseAll();
}

} // namespace Vostrel
