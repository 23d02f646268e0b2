#include "Libs/Postprocessing/HDRLighting.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/RenderContext.h"
#include "Libs/Core/RenderTarget.h"
#include "Libs/Core/VertexFormat.h"
#include "Libs/Core/VertexStream.h"
#include "Libs/Postprocessing/BlitterShared.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Postprocessing/ScreenQuad.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace Vostrel {

using Core::ShaderGen;
typedef ShaderGen::Register Register;

namespace {

Vec4 all(float value)
{
    return Vec4(value, value, value, value);
}

void writeVertex(ShaderGen& gen)
{
    ScreenQuad::writePosition(gen, 0);
    gen.mov(gen.vary(Core::VARY_TEXCOORD0), gen.attrib(1));
}

Register sampleAt(ShaderGen& gen, int stage, const Register& coordinate)
{
    Register value = gen.temp();
    gen.texld(value, coordinate, gen.sampler(stage, Core::TEXTURE_TYPE_2D));
    return value;
}

Register sampleOffset(ShaderGen& gen, int stage, const Register& offset)
{
    Register coordinate = gen.temp();
    gen.add(coordinate, gen.vary(Core::VARY_TEXCOORD0), offset);
    return sampleAt(gen, stage, coordinate);
}

Register sampleCentre(ShaderGen& gen, int stage)
{
    Register centre = gen.temp();
    gen.mov(centre, gen.constant(Vec4(0.5f, 0.5f, 0.0f, 0.0f)));
    return sampleAt(gen, stage, centre);
}

// The sum of taps samples at t0 + c[i], times scale.
Register writeAverage(ShaderGen& gen, int taps, float scale)
{
    Register offsets = gen.uniform(0, taps), sum = gen.temp();
    for (int i = 0; i < taps; ++i) {
        Register sample = sampleOffset(gen, 0, offsets.offset(i));
        if (i == 0)
            gen.mov(sum, sample);
        else
            gen.add(sum, sum, sample);
    }
    gen.mul(sum, sum, gen.constant(all(scale)));
    return sum;
}

void writeAverage16(ShaderGen& gen)
{
    gen.mov(gen.result(Core::RESULT_COLOR), writeAverage(gen, 16, 0.0625f));
}

void writeAverage4(ShaderGen& gen)
{
    gen.mov(gen.result(Core::RESULT_COLOR), writeAverage(gen, 4, 0.25f));
}

void writeAverageExp(ShaderGen& gen)
{
    Register average = writeAverage(gen, 16, 0.0625f), power = gen.temp();
    gen.exp(power, average.swizzle("x"));
    gen.mov(gen.result(Core::RESULT_COLOR), power);
}

// log2 of the weighted sample's fourth component, which the weights leave
// at 0.0001, so the measured luminance is 0.0001 for every image.
void writeLogLuminance(ShaderGen& gen)
{
    Register offsets = gen.uniform(0, 9), sum = gen.temp(), logarithm = gen.temp();
    for (int i = 0; i < 9; ++i) {
        Register weighted = gen.temp();
        gen.mad(weighted, sampleOffset(gen, 0, offsets.offset(i)), gen.constant(Vec4(0.2125f, 0.7154f, 0.0721f, 0.0f)),
                gen.constant(all(0.0001f)));
        gen.log(logarithm, weighted.swizzle("w"));
        if (i == 0)
            gen.mov(sum, logarithm);
        else
            gen.add(sum, sum, logarithm);
    }
    Register result = gen.temp();
    gen.mul(result, sum, gen.constant(Vec4(1.0f / 9, 1.0f / 9, 1.0f / 9, 0.0f)));
    gen.add(result, result, gen.constant(Vec4(0.0f, 0.0f, 0.0f, 1.0f)));
    gen.mov(gen.result(Core::RESULT_COLOR), result);
}

void writeAdaptation(ShaderGen& gen)
{
    Register c = gen.uniform(0, 1), last = sampleCentre(gen, 0), now = sampleCentre(gen, 1);
    Register exponent = gen.temp(), rate = gen.temp(), result = gen.temp();
    gen.mul(exponent, c, gen.constant(all(30.0f)));
    gen.pow(rate.swizzle("x"), gen.constant(all(0.98f)).swizzle("x"), exponent.swizzle("x"));
    gen.sub(rate, gen.constant(all(1.0f)), rate.swizzle("x"));
    gen.sub(result, now, last);
    gen.mad(result, result, rate.swizzle("x"), last);
    gen.mov(result.swizzle("w"), gen.constant(all(1.0f)));
    gen.mov(gen.result(Core::RESULT_COLOR), result);
}

// scene x key / (adapted + 0.001) in the register returned.
Register writeScaled(ShaderGen& gen, const Register& scene, int adaptedStage)
{
    Register c = gen.uniform(0, 1), adapted = sampleCentre(gen, adaptedStage), scale = gen.temp(),
             scaled = gen.temp();
    gen.add(scale, adapted, gen.constant(all(0.001f)));
    gen.rcp(scale.swizzle("x"), scale.swizzle("x"));
    gen.mul(scale, scale.swizzle("x"), c.swizzle("x"));
    gen.mul(scaled, scene, scale.swizzle("x"));
    return scaled;
}

// rgb / (rgb + add), alpha kept.
void writeCompress(ShaderGen& gen, const Register& value, float add)
{
    Register divisor = gen.temp(), reciprocal = gen.temp();
    gen.add(divisor, value, gen.constant(all(add)));
    gen.mov(reciprocal, gen.constant(all(1.0f)));
    gen.rcp(reciprocal.swizzle("x"), divisor.swizzle("x"));
    gen.rcp(reciprocal.swizzle("y"), divisor.swizzle("y"));
    gen.rcp(reciprocal.swizzle("z"), divisor.swizzle("z"));
    gen.mul(value, value, reciprocal);
}

void writeBrightPass(ShaderGen& gen)
{
    Register s = writeScaled(gen, sampleAt(gen, 0, gen.vary(Core::VARY_TEXCOORD0)), 1);
    gen.add(s, s, gen.constant(all(-0.2f)));
    gen.max(s, s, gen.zeroConstant());
    writeCompress(gen, s, 0.4f);
    gen.mov(gen.result(Core::RESULT_COLOR), s);
}

// Weighted taps: offsets in c0 .. c(taps - 1), weights after them.
void writeWeightedTaps(ShaderGen& gen, int taps)
{
    Register offsets = gen.uniform(0, 2 * taps), sum = gen.temp();
    for (int i = 0; i < taps; ++i) {
        Register sample = sampleOffset(gen, 0, offsets.offset(i));
        if (i == 0)
            gen.mul(sum, sample, offsets.offset(taps));
        else
            gen.mad(sum, sample, offsets.offset(taps + i), sum);
    }
    gen.mov(gen.result(Core::RESULT_COLOR), sum);
}

void writeGaussian(ShaderGen& gen)
{
    writeWeightedTaps(gen, 13);
}

void writeBloom(ShaderGen& gen)
{
    writeWeightedTaps(gen, 15);
}

void writeFinal(ShaderGen& gen)
{
    Register c = gen.uniform(0, 3), source = sampleAt(gen, 0, gen.vary(Core::VARY_TEXCOORD0));
    Register bloom = sampleAt(gen, 1, gen.vary(Core::VARY_TEXCOORD0));
    Register l = writeScaled(gen, source, 2);
    writeCompress(gen, l, 1.0f);
    gen.mad(l, bloom, c.offset(1), l);
    gen.mov(gen.result(Core::RESULT_COLOR), l);
}

enum Pass { AVERAGE16, AVERAGE4, AVERAGE_EXP, LOG_LUMINANCE, ADAPTATION, BRIGHT, GAUSSIAN, BLOOM, FINAL, PASSES };

struct Programs {
    Core::VertexShader* vertex = nullptr;
    Core::PixelShader* pixel[PASSES] = {};
};

std::unique_ptr<HDRLighting>& sharedObject()
{
    static std::unique_ptr<HDRLighting> object;
    return object;
}

Programs& programs()
{
    static Programs shared;
    if (!shared.vertex) {
        void (*writers[PASSES])(ShaderGen&) = {writeAverage16, writeAverage4, writeAverageExp, writeLogLuminance,
                                               writeAdaptation, writeBrightPass, writeGaussian, writeBloom,
                                               writeFinal};
        shared.vertex = BlitterShared::keepVertexShader(writeVertex);
        for (int pass = 0; pass < PASSES; ++pass)
            shared.pixel[pass] = BlitterShared::keepPixelShader(writers[pass]);
        BlitterShared::atRelease([] {
            sharedObject().reset();
            shared = Programs();
        });
    }
    return shared;
}

HDRLighting::Target makeTarget(int width, int height, Core::TextureFormat format, bool linear)
{
    Core::TextureParameters parameters;
    parameters.width = width;
    parameters.height = height;
    parameters.format = format;
    parameters.minFilter = linear ? Core::MIN_LINEAR : Core::MIN_POINT;
    parameters.magFilter = linear ? Core::MAG_LINEAR : Core::MAG_POINT;
    parameters.wrapU = parameters.wrapV = Core::TEXTURE_CLAMP;
    parameters.renderTarget = true;
    HDRLighting::Target target;
    target.texture.reset(Core::createTexture(parameters));
    target.target = target.texture->getRenderTarget();
    target.width = width;
    target.height = height;
    return target;
}

} // namespace

HDRLighting::HDRLighting(int width, int height)
{
    VOSTREL_ASSERT(width % 8 == 0);
    VOSTREL_ASSERT(height % 8 == 0);
    const int w4 = width / 4, h4 = height / 4, w8 = width / 8, h8 = height / 8;
    scaledScene = makeTarget(w4, h4, Core::FORMAT_RGBA16F, true);
    brightPass = makeTarget(w4 + 2, h4 + 2, Core::FORMAT_A8R8G8B8, false);
    starSource = makeTarget(w4 + 2, h4 + 2, Core::FORMAT_A8R8G8B8, false);
    bloomSource = makeTarget(w8 + 2, h8 + 2, Core::FORMAT_A8R8G8B8, false);
    adaptedCurrent = makeTarget(1, 1, Core::FORMAT_R16F, false);
    adaptedLast = makeTarget(1, 1, Core::FORMAT_R16F, false);
    for (int i = 0; i < 4; ++i)
        luminance[i] = makeTarget(1 << (2 * i), 1 << (2 * i), Core::FORMAT_R16F, false);
    bloom[0] = makeTarget(w8, h8, Core::FORMAT_A8R8G8B8, true);
    bloom[1] = makeTarget(w8 + 2, h8 + 2, Core::FORMAT_A8R8G8B8, false);
    bloom[2] = makeTarget(w8 + 2, h8 + 2, Core::FORMAT_A8R8G8B8, false);
    const Vec4 black(0.0f, 0.0f, 0.0f, 0.0f);
    for (Target* target : {&adaptedCurrent, &adaptedLast, &bloomSource, &brightPass, &starSource, &bloom[0],
                           &bloom[1], &bloom[2]})
        target->texture->fill(black);

    context.reset(new Core::RenderContext);
    stream.reset(Core::createVertexStream(4 * 16, 16, 3));
    const Core::VertexElement elements[] = {{0, 0, Core::VERTEX_FLOAT2, 0}, {0, 8, Core::VERTEX_FLOAT2, 1}};
    format.reset(Core::createVertexFormat(2, elements));
    context->setVertexStream(0, stream.get());
    context->setVertexFormat(format.get());
    context->setCullMode(Core::CULL_NONE);
    context->setDepthTest(false);
    context->setVertexShader(programs().vertex);
    context->setVertexConstantCount(3);
}

HDRLighting::~HDRLighting() = default;

void HDRLighting::drawPass(Core::RenderTarget* destination, const Rect& coordinates)
{
    BlitterShared::TargetScope scope(destination);
    Core::RenderTarget* rt = Core::RenderTarget::getCurrentTarget();
    VOSTREL_ASSERT(rt != 0);
    ScreenQuad::place(*context, 0, *rt);
    const float vertices[16] = {0, 0, coordinates.left,  coordinates.top,    1, 0, coordinates.right, coordinates.top,
                                0, 1, coordinates.left,  coordinates.bottom, 1, 1, coordinates.right, coordinates.bottom};
    std::memcpy(stream->lock(Core::LOCK_DISCARD), vertices, sizeof(vertices));
    stream->unlock();
    context->drawPrimitives(Core::PRIMITIVE_TRIANGLE_STRIP, 0, 2);
}

void HDRLighting::drawInterior(const Target& destination, const Target& source)
{
    const float sw = static_cast<float>(source.width), sh = static_cast<float>(source.height);
    const float dw = static_cast<float>(destination.width), dh = static_cast<float>(destination.height);
    const Rect coordinates = {1.0f / sw - 1.0f / dw, 1.0f / sh - 1.0f / dh, 1.0f - 1.0f / sw + 1.0f / dw,
                              1.0f - 1.0f / sh + 1.0f / dh};
    drawPass(destination.target, coordinates);
}

void HDRLighting::setOffsets4x4(int sampledWidth, int sampledHeight)
{
    context->setPixelConstantCount(16);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            context->setPixelConstant(r * 4 + c, Vec4((c - 1.5f) / sampledWidth, (r - 1.5f) / sampledHeight, 0, 0));
}

namespace {

// Gaussian 5 x 5 over the 13 taps within |a| + |b| < 3, normalised.
void setGaussianConstants(Core::RenderContext& context, int width, int height, float multiplier)
{
    context.setPixelConstantCount(26);
    const float pi = 3.14159265358979f;
    float weights[13], sum = 0.0f;
    int k = 0;
    for (int a = -2; a <= 2; ++a)
        for (int b = -2; b <= 2; ++b) {
            if (std::abs(a) + std::abs(b) >= 3)
                continue;
            context.setPixelConstant(k, Vec4(static_cast<float>(a) / width, static_cast<float>(b) / height, 0, 0));
            weights[k] = std::exp(-(a * a + b * b) / 2.0f) / std::sqrt(2.0f * pi);
            sum += weights[k++];
        }
    for (int i = 0; i < 13; ++i)
        context.setPixelConstant(13 + i, all(weights[i] / sum * multiplier));
}

void setBloomConstants(Core::RenderContext& context, int size, const Vec4& direction, float deviation,
                       float multiplier)
{
    context.setPixelConstantCount(30);
    const float pi = 3.14159265358979f;
    auto weight = [&](int i) {
        return multiplier * std::exp(-(i * i) / (2.0f * deviation * deviation)) /
               std::sqrt(2.0f * pi * deviation * deviation);
    };
    context.setPixelConstant(0, Vec4(0.0f, 0.0f, 0.0f, 0.0f));
    context.setPixelConstant(15, Vec4(weight(0), weight(0), weight(0), 1.0f));
    for (int i = 1; i <= 7; ++i) {
        const Vec4 offset = direction * (static_cast<float>(i) / size);
        context.setPixelConstant(i, offset);
        context.setPixelConstant(i + 7, -offset);
        const Vec4 w(weight(i), weight(i), weight(i), 1.0f);
        context.setPixelConstant(i + 15, w);
        context.setPixelConstant(i + 22, w);
    }
}

} // namespace

void HDRLighting::run(Core::RenderTarget* destination, Core::Texture* source)
{
    Programs& shared = programs();
    const Rect whole = {0.0f, 0.0f, 1.0f, 1.0f};
    Core::RenderContext& c = *context;

    // Scale down to a quarter.
    setOffsets4x4(source->getParameters().width, source->getParameters().height);
    c.setPixelShader(shared.pixel[AVERAGE16]);
    c.setTexture(0, source);
    drawPass(scaledScene.target, whole);

    if (measurement) {
        scaledScene.texture->setFilter(Core::MIN_LINEAR, Core::MAG_LINEAR);
        c.setPixelConstantCount(9);
        int k = 0;
        for (int a = -1; a <= 1; ++a)
            for (int b = -1; b <= 1; ++b)
                c.setPixelConstant(k++, Vec4(a / (3.0f * 64), b / (3.0f * 64), 0.0f, 0.0f));
        c.setPixelShader(shared.pixel[LOG_LUMINANCE]);
        c.setTexture(0, scaledScene.texture.get());
        drawPass(luminance[3].target, whole);
        for (int i = 2; i >= 0; --i) {
            setOffsets4x4(luminance[i + 1].width, luminance[i + 1].height);
            c.setPixelShader(shared.pixel[i == 0 ? AVERAGE_EXP : AVERAGE16]);
            c.setTexture(0, luminance[i + 1].texture.get());
            drawPass(luminance[i].target, whole);
        }
    }

    if (adaptation) {
        std::swap(adaptedCurrent, adaptedLast);
        c.setPixelConstantCount(1);
        c.setPixelConstant(0, all(1.0f / 30));
        c.setPixelShader(shared.pixel[ADAPTATION]);
        c.setTexture(0, adaptedLast.texture.get());
        c.setTexture(1, luminance[0].texture.get());
        drawPass(adaptedCurrent.target, whole);
    }

    // Bright pass.
    scaledScene.texture->setFilter(Core::MIN_POINT, Core::MAG_POINT);
    c.setPixelConstantCount(1);
    c.setPixelConstant(0, Vec4(key, 0.0f, 0.0f, 0.0f));
    c.setPixelShader(shared.pixel[BRIGHT]);
    c.setTexture(0, scaledScene.texture.get());
    c.setTexture(1, adaptedCurrent.texture.get());
    drawInterior(brightPass, scaledScene);
    c.setTexture(1, nullptr);

    // Star source: the Gaussian of the whole bright pass into its interior.
    setGaussianConstants(c, brightPass.width, brightPass.height, 1.0f);
    c.setPixelShader(shared.pixel[GAUSSIAN]);
    c.setTexture(0, brightPass.texture.get());
    const float sw = static_cast<float>(starSource.width), sh = static_cast<float>(starSource.height);
    drawPass(starSource.target, {-1.0f / sw, -1.0f / sh, 1.0f + 1.0f / sw, 1.0f + 1.0f / sh});

    // Bloom source: 2 x 2 average.
    c.setPixelConstantCount(4);
    for (int r = 0; r < 2; ++r)
        for (int col = 0; col < 2; ++col)
            c.setPixelConstant(r * 2 + col, Vec4((col - 0.5f) / starSource.width, (r - 0.5f) / starSource.height, 0, 0));
    c.setPixelShader(shared.pixel[AVERAGE4]);
    c.setTexture(0, starSource.texture.get());
    drawInterior(bloomSource, starSource);

    // Bloom: Gaussian, then 15 taps across and 15 down.
    bloom[0].texture->fill(Vec4(0.0f, 0.0f, 0.0f, 0.0f));
    setGaussianConstants(c, bloomSource.width, bloomSource.height, 1.0f);
    c.setPixelShader(shared.pixel[GAUSSIAN]);
    c.setTexture(0, bloomSource.texture.get());
    drawInterior(bloom[2], bloomSource);
    setBloomConstants(c, bloom[2].width, Vec4(1.0f, 0.0f, 0.0f, 0.0f), 5.0f, 2.0f);
    c.setPixelShader(shared.pixel[BLOOM]);
    c.setTexture(0, bloom[2].texture.get());
    drawPass(bloom[1].target, whole);
    setBloomConstants(c, bloom[1].height, Vec4(0.0f, 1.0f, 0.0f, 0.0f), 5.0f, 2.0f);
    c.setTexture(0, bloom[1].texture.get());
    drawPass(bloom[0].target, whole);

    // Final: tone-mapped source plus bloom.
    c.setPixelConstantCount(3);
    c.setPixelConstant(0, Vec4(key, 0.0f, 0.0f, 0.0f));
    c.setPixelConstant(1, bloomScale);
    c.setPixelConstant(2, secondParameter);
    c.setPixelShader(shared.pixel[FINAL]);
    c.setTexture(0, source);
    c.setTexture(1, bloom[0].texture.get());
    c.setTexture(2, adaptedCurrent.texture.get());
    drawPass(destination, whole);
    c.setTexture(2, nullptr);
    c.setTexture(1, nullptr);
}

HDRLighting* createHDRLighting()
{
    programs();
    std::unique_ptr<HDRLighting>& object = sharedObject();
    if (!object)
        object.reset(new HDRLighting(512, 512));
    return object.get();
}

void hdrLighting(Core::RenderTarget* target, Core::Texture* source, const Vec4& parameter, const float& key)
{
    HDRLighting* hdr = createHDRLighting();
    hdr->setParameter(parameter);
    hdr->setKey(key);
    hdr->run(target, source);
}

void blitHdrLighting(RenderTexture* target, RenderTexture* source, const Vec4& parameter, const float& key)
{
    hdrLighting(target ? target->target : nullptr, source->texture, parameter, key);
}

} // namespace Vostrel
