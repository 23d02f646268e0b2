#include "Libs/Postprocessing/OldBlit.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/RenderTarget.h"
#include "Libs/Core/Texture.h"
#include "Libs/Postprocessing/BlitterShared.h"
#include "Libs/Postprocessing/ScreenQuad.h"

#include <algorithm>
#include <utility>

namespace Vostrel {
namespace Old {

using Core::ShaderGen;
typedef ShaderGen::Register Register;

namespace {


void writeVertex(ShaderGen& gen)
{
    ScreenQuad::writePosition(gen, 7);
    ScreenQuad::writeAffine(gen, gen.vary(Core::VARY_TEXCOORD0), 1);
    ScreenQuad::writeAffine(gen, gen.vary(Core::VARY_TEXCOORD0 + 1), 4);
    gen.mov(gen.vary(Core::VARY_COLOR0), gen.uniform(0, 1));
}

void writePixel(ShaderGen& gen)
{
    Register a = gen.temp(), b = gen.temp(), mixed = gen.temp();
    gen.texld(a, gen.vary(Core::VARY_TEXCOORD0), gen.sampler(0, Core::TEXTURE_TYPE_2D));
    gen.texld(b, gen.vary(Core::VARY_TEXCOORD0 + 1), gen.sampler(1, Core::TEXTURE_TYPE_2D));
    gen.lrp(mixed, gen.vary(Core::VARY_COLOR0), a, b);
    gen.mul(mixed, mixed, gen.uniform(0, 1));
    gen.mov(gen.result(Core::RESULT_COLOR), mixed);
}

Core::VertexShader*& vertexShader()
{
    static Core::VertexShader* shader = nullptr;
    return shader;
}

Core::PixelShader*& pixelShader()
{
    static Core::PixelShader* shader = nullptr;
    return shader;
}

std::unique_ptr<Blitter>& shared()
{
    static std::unique_ptr<Blitter> blitter;
    return blitter;
}

void magnify(Core::RenderContext& context, int first, float scale)
{
    const float inverse = 1.0f / scale, corner = 0.5f - 0.5f * inverse;
    context.setVertexConstant(first, Vec4(corner, corner, 0.5f, 1.0f));
    context.setVertexConstant(first + 1, Vec4(inverse, 0.0f, 0.5f, 1.0f));
    context.setVertexConstant(first + 2, Vec4(0.0f, inverse, 0.5f, 1.0f));
}

} // namespace

BlitBase::BlitBase() : quad(new ScreenQuad) {}

BlitBase::~BlitBase() = default;

Blitter::Blitter()
{
    if (!vertexShader()) {
        vertexShader() = BlitterShared::keepVertexShader(writeVertex);
        pixelShader() = BlitterShared::keepPixelShader(writePixel);
        BlitterShared::atRelease([] {
            vertexShader() = nullptr;
            pixelShader() = nullptr;
            shared().reset();
        });
    }
    quad->setVertexShader(vertexShader());
    quad->setPixelShader(pixelShader());
    quad->getContext().setVertexConstantCount(10);
    quad->getContext().setPixelConstantCount(1);
}

Blitter::~Blitter() = default;

void Blitter::blit(Core::Texture* a, Core::Texture* b, float mix, float scaleA, float scaleB, float factor)
{
    Core::RenderTarget* rt = Core::RenderTarget::getCurrentTarget();
    VOSTREL_ASSERT(rt != 0);
    Core::RenderContext& context = quad->getContext();
    context.setVertexConstant(0, Vec4(mix, mix, mix, mix));
    magnify(context, 1, std::max(scaleA, 0.001f));
    magnify(context, 4, std::max(scaleB, 0.001f));
    quad->place(7, *rt);
    context.setPixelConstant(0, Vec4(factor, factor, factor, factor));
    context.setTexture(0, a);
    context.setTexture(1, b);
    quad->draw();
    context.setTexture(1, nullptr);
}

void multipass(Core::Texture* source, Core::Texture* ping, Core::Texture* pong, float scale, int passes,
               float factor)
{
    if (!shared())
        shared().reset(new Blitter);
    Blitter& blitter = *shared();
    for (int pass = 0; pass < passes - 1; ++pass) {
        {
            BlitterShared::TargetScope scope(ping->getRenderTarget());
            blitter.blit(source, source, 0.5f, 1.0f, scale, factor);
        }
        source = ping;
        scale = (scale + 1.0f) * 0.5f;
        std::swap(ping, pong);
    }
    blitter.blit(source, source, 0.5f, 1.0f, scale, factor);
}

} // namespace Old
} // namespace Vostrel
