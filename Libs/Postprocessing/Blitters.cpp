#include "Libs/Common/Exception.h"
#include "Libs/Core/RenderContext.h"
#include "Libs/Core/RenderTarget.h"
#include "Libs/Core/Texture.h"
#include "Libs/EvaluationGraph/ShaderBuild.h"
#include "Libs/Mesh/MeshRenderingInstance.h"
#include "Libs/Postprocessing/Blitter.h"
#include "Libs/Postprocessing/BlitterShared.h"

#include <map>

namespace Vostrel {

using Core::ShaderGen;
typedef ShaderGen::Register Register;

namespace {

// The draw state of a blitter and the blending that every family sets alike.
template <class Interface>
class BlitterBase : public Interface {
public:
    void disableBlending() override { context.setBlending(false); }

    void setBlending(Core::BlendOperation operation, Core::BlendMode source, Core::BlendMode destination,
                     const Vec4& factor, bool separateAlpha, Core::BlendOperation alphaOperation,
                     Core::BlendMode alphaSource, Core::BlendMode alphaDestination) override
    {
        context.setBlending(true);
        context.setSourceBlend(source);
        context.setDestinationBlend(destination);
        context.setBlendOperation(operation);
        context.setBlendFactor(factor);
        context.setSeparateAlphaBlend(separateAlpha);
        context.setAlphaSourceBlend(alphaSource);
        context.setAlphaDestinationBlend(alphaDestination);
        context.setAlphaBlendOperation(alphaOperation);
    }

protected:
    BlitterBase()
    {
        context.setCullMode(Core::CULL_NONE);
        context.setDepthTest(false);
    }

    Core::RenderContext context;
    std::unique_ptr<Mesh::MeshRenderingInstance> instance;
};

// Moves the quad half a pixel left and up in clip space, so that pixel
// centres sample texel centres and a same-size copy is exact.
Vec4 halfPixel(int width, int height)
{
    return Vec4(-1.0f / width, 1.0f / height, 0.0f, 0.0f);
}

Core::VertexShader* blitVertexShader()
{
    static Core::VertexShader* shader = nullptr;
    if (!shader) {
        shader = BlitterShared::keepVertexShader([](ShaderGen& gen) {
            gen.add(gen.vary(Core::VARY_POSITION), gen.attrib(0), gen.uniform(0, 1));
            gen.mov(gen.vary(Core::VARY_TEXCOORD0), gen.attrib(1));
        });
        BlitterShared::atRelease([] { shader = nullptr; });
    }
    return shader;
}

// Samples in groups of at most seven, accumulated in tap order.
void writeTapProgram(ShaderGen& gen, int taps)
{
    Register offsets = gen.uniform(0, taps), weights = gen.uniform(taps, taps);
    Register texcoord = gen.vary(Core::VARY_TEXCOORD0), sampler = gen.sampler(0, Core::TEXTURE_TYPE_2D);
    Register accumulator = gen.temp();
    std::vector<Register> samples;
    for (int i = 0; i < 7; ++i)
        samples.push_back(gen.temp());
    for (int first = 0; first < taps; first += 7) {
        const int count = std::min(7, taps - first);
        for (int j = 0; j < count; ++j)
            gen.add(samples[j], texcoord, offsets.offset(first + j));
        for (int j = 0; j < count; ++j)
            gen.texld(samples[j], samples[j], sampler);
        for (int j = 0; j < count; ++j) {
            if (first + j == 0)
                gen.mul(accumulator, samples[j], weights.offset(0));
            else
                gen.mad(accumulator, samples[j], weights.offset(first + j), accumulator);
        }
    }
    gen.mov(gen.result(Core::RESULT_COLOR), accumulator);
}

Core::PixelShader* tapPixelShader(int taps)
{
    static std::map<int, Core::PixelShader*> shaders;
    static bool registered = false;
    if (!registered) {
        registered = true;
        BlitterShared::atRelease([] {
            shaders.clear();
            registered = false;
        });
    }
    Core::PixelShader*& shader = shaders[taps];
    if (!shader)
        shader = BlitterShared::keepPixelShader([taps](ShaderGen& gen) { writeTapProgram(gen, taps); });
    return shader;
}


class BlitterImpl : public BlitterBase<Blitter> {
public:
    explicit BlitterImpl(int taps) : taps(taps)
    {
        VOSTREL_ASSERT(taps > 0);
        context.setVertexShader(blitVertexShader());
        context.setVertexConstantCount(1);
        context.setPixelShader(tapPixelShader(taps));
        context.setPixelConstantCount(2 * taps);
        instance = BlitterShared::createQuadInstance({"location", "texcoord"});
    }

    void setOffsets(const float* pairs) override
    {
        for (int i = 0; i < taps; ++i)
            context.setPixelConstant(i, Vec4(pairs[2 * i], pairs[2 * i + 1], 0.0f, 0.0f));
    }

    void setWeights(const float* weights) override
    {
        for (int i = 0; i < taps; ++i)
            context.setPixelConstant(taps + i, Vec4(weights[i], weights[i], weights[i], weights[i]));
    }

    void blit(Core::Texture* texture) override
    {
        Core::RenderTarget* target = Core::RenderTarget::getCurrentTarget();
        VOSTREL_ASSERT(target != nullptr);
        if (target->getWidth() != width || target->getHeight() != height) {
            width = target->getWidth();
            height = target->getHeight();
            context.setVertexConstant(0, halfPixel(width, height));
        }
        context.setTexture(0, texture);
        instance->render(context);
    }

private:
    int taps;
    int width = 0;
    int height = 0;
};

class CustomBlitterImpl : public BlitterBase<CustomBlitter> {
public:
    CustomBlitterImpl(Core::VertexShader* vertexShader, int extraVertexConstants, Core::PixelShader* pixelShader,
                      int pixelConstants)
    {
        context.setVertexShader(vertexShader);
        context.setVertexConstantCount(4 + extraVertexConstants);
        context.setPixelShader(pixelShader);
        context.setPixelConstantCount(pixelConstants);
        instance = BlitterShared::createQuadInstance({"location", "texcoord"});
    }

    void setRect(const int& x, const int& y, const int& width, const int& height) override
    {
        // Any change of the rectangle places the quad again.
        placed = placed && x == rectX && y == rectY && width == rectWidth && height == rectHeight;
        rectX = x;
        rectY = y;
        rectWidth = width;
        rectHeight = height;
    }

    void blit(const std::list<Core::Texture*>& textures, const std::list<Vec4>& vertexConstants,
              const std::list<Vec4>& pixelConstants) override
    {
        Core::RenderTarget* target = Core::RenderTarget::getCurrentTarget();
        VOSTREL_ASSERT(target != nullptr);
        const int W = target->getWidth(), H = target->getHeight();
        if (!placed || W != targetWidth || H != targetHeight || textures.size() != placedTextures)
            place(W, H, textures.size());
        int stage = 0;
        for (Core::Texture* texture : textures)
            context.setTexture(stage++, texture);
        int index = 4;
        for (const Vec4& constant : vertexConstants)
            context.setVertexConstant(index++, constant);
        index = 0;
        for (const Vec4& constant : pixelConstants)
            context.setPixelConstant(index++, constant);
        instance->render(context);
    }

private:
    // Constants 0 and 1 place the quad over the rectangle; 2 and 3 scale
    // texture coordinate set 0 (with two textures, to the rectangle's own
    // part of a target-sized texture).
    void place(int W, int H, size_t textureCount)
    {
        targetWidth = W;
        targetHeight = H;
        placed = true;
        placedTextures = textureCount;
        const float w = static_cast<float>(rectWidth == -1 ? W : rectWidth);
        const float h = static_cast<float>(rectHeight == -1 ? H : rectHeight);
        const float sx = w / W, sy = h / H;
        const float px = (2.0f * rectX - 1.0f) / W - (1.0f - sx);
        const float py = (2.0f * rectY + 1.0f) / H - (1.0f - sy);
        context.setVertexConstant(0, Vec4(sx, sy, 1.0f, 1.0f));
        context.setVertexConstant(1, Vec4(px, py, 0.0f, 0.0f));
        if (textureCount == 2) {
            context.setVertexConstant(2, Vec4(sx, sy, 1.0f, 1.0f));
            context.setVertexConstant(3, Vec4(rectX / static_cast<float>(W), (1.0f - sy) - rectY / static_cast<float>(H),
                                              0.0f, 0.0f));
        } else {
            context.setVertexConstant(2, Vec4(1.0f, 1.0f, 1.0f, 1.0f));
            context.setVertexConstant(3, Vec4(0.0f, 0.0f, 0.0f, 0.0f));
        }
    }

    int targetWidth = 0;
    int targetHeight = 0;
    int rectX = 0;
    int rectY = 0;
    int rectWidth = -1;
    int rectHeight = -1;
    bool placed = false;
    size_t placedTextures = 0;
};

class GenericFullscreenBlitterImpl : public BlitterBase<GenericFullscreenBlitter> {
public:
    explicit GenericFullscreenBlitterImpl(const ShaderBuild& build) : build(build)
    {
        this->build.apply(context);
        instance = BlitterShared::createQuadInstance(this->build.getStreamNames());
    }

    void setMatrix(const std::string& name, const Matrix4& value) override
    {
        build.setUniformMatrix(context, name, value);
    }
    void setVec3(const std::string& name, const Vec3& value) override { build.setUniformVec3(context, name, value); }
    void setVec4(const std::string& name, const Vec4& value) override { build.setUniform(context, name, value); }

    void setTexture(const std::string& name, Core::Texture* texture) override
    {
        build.setTexture(context, name, texture);
        if (!texture)
            return;
        const Core::TextureParameters& parameters = texture->getParameters();
        setVec4(name + "_xoffset", Vec4(1.0f / parameters.width, 0.0f, 0.0f, 0.0f));
        setVec4(name + "_yoffset", Vec4(0.0f, 1.0f / parameters.height, 0.0f, 0.0f));
    }

    void blit() override { instance->render(context); }

private:
    ShaderBuild build;
};

} // namespace

Blitter* createBlitter(int taps)
{
    return new BlitterImpl(taps);
}

CustomBlitter* createCustomBlitter(Core::VertexShader* vertexShader, int extraVertexConstants,
                                   Core::PixelShader* pixelShader, int pixelConstants)
{
    return new CustomBlitterImpl(vertexShader, extraVertexConstants, pixelShader, pixelConstants);
}

GenericFullscreenBlitter* createGenericFullscreenBlitter(const ShaderBuild& build)
{
    return new GenericFullscreenBlitterImpl(build);
}

} // namespace Vostrel
