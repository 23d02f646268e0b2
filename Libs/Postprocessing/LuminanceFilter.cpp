#include "Libs/Postprocessing/LuminanceFilter.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/RenderTarget.h"
#include "Libs/Core/Texture.h"
#include "Libs/Postprocessing/BlitterShared.h"
#include "Libs/Postprocessing/ScreenQuad.h"

#include <array>
#include <memory>

namespace Vostrel {

using Core::ShaderGen;
typedef ShaderGen::Register Register;

namespace {

const Vec4 LUMINANCE(0.3f, 0.59f, 0.11f, 0.0f);

// Corner plus the four diagonal half-texel offsets in c3 to c6.
void writeDiagonalVertex(ShaderGen& gen)
{
    ScreenQuad::writePosition(gen, 0);
    Register offsets = gen.uniform(3, 4);
    for (int i = 0; i < 4; ++i)
        gen.add(gen.vary(Core::VARY_TEXCOORD0 + i), gen.attrib(0), offsets.offset(i));
}

void writeCornerVertex(ShaderGen& gen)
{
    ScreenQuad::writePosition(gen, 0);
    gen.mov(gen.vary(Core::VARY_TEXCOORD0), gen.attrib(0));
}

// Squared luminance differences across the two diagonals: p = (lb - ld)^2, q = (la - lc)^2.
struct Diagonals {
    Register lc, ld, p, q;
};

Diagonals writeDiagonals(ShaderGen& gen)
{
    Register sampler = gen.sampler(0, Core::TEXTURE_TYPE_2D), weights = gen.constant(LUMINANCE);
    Register l[4];
    for (int i = 0; i < 4; ++i) {
        Register sample = gen.temp();
        gen.texld(sample, gen.vary(Core::VARY_TEXCOORD0 + i), sampler);
        l[i] = gen.temp();
        gen.dp3(l[i], sample, weights);
    }
    Diagonals d{l[2], l[3], gen.temp(), gen.temp()};
    gen.sub(d.p, l[1], l[3]);
    gen.mul(d.p, d.p, d.p);
    gen.sub(d.q, l[0], l[2]);
    gen.mul(d.q, d.q, d.q);
    return d;
}

// rgb: saturate(1 - k p - k q); alpha: saturate(1 - 2k q).
Register writeEdge(ShaderGen& gen, const Diagonals& d, float k)
{
    Register edge = gen.temp();
    gen.mad(edge, d.p, gen.constant(Vec4(-k, -k, -k, 0.0f)), gen.constant(Vec4(1.0f, 1.0f, 1.0f, 1.0f)));
    gen.mad(edge, d.q, gen.constant(Vec4(-k, -k, -k, -2 * k)), edge).saturate();
    return edge;
}

void writeEdgePixel(ShaderGen& gen)
{
    gen.mov(gen.result(Core::RESULT_COLOR), writeEdge(gen, writeDiagonals(gen), 64.0f));
}

void writeOutlinePixel(ShaderGen& gen)
{
    Diagonals d = writeDiagonals(gen);
    Register edge = writeEdge(gen, d, 32.0f), luminance = gen.temp(), outline = gen.temp();
    gen.mov(luminance.swizzle("xyz"), d.ld);
    gen.mov(luminance.swizzle("w"), d.lc);
    gen.mul(outline, edge, luminance);
    gen.add(outline, outline, outline).saturate();
    gen.mov(gen.result(Core::RESULT_COLOR), outline);
}

void writeGreyPixel(ShaderGen& gen)
{
    Register sample = gen.temp(), grey = gen.temp();
    gen.texld(sample, gen.vary(Core::VARY_TEXCOORD0), gen.sampler(0, Core::TEXTURE_TYPE_2D));
    gen.dp3(grey, sample, gen.constant(LUMINANCE));
    gen.mov(gen.result(Core::RESULT_COLOR), grey);
}

class LuminanceFilter {
public:
    LuminanceFilter(void (*writeVertex)(ShaderGen&), void (*writePixel)(ShaderGen&), bool diagonal)
        : diagonal(diagonal)
    {
        quad.setVertexShader(BlitterShared::keepVertexShader(writeVertex));
        quad.setPixelShader(BlitterShared::keepPixelShader(writePixel));
        quad.getContext().setVertexConstantCount(diagonal ? 7 : 3);
    }

    void run(Core::RenderTarget* target, Core::Texture* source, bool linear)
    {
        if (linear)
            source->setFilter(Core::MIN_LINEAR, Core::MAG_LINEAR);
        BlitterShared::TargetScope scope(target);
        Core::RenderTarget* rt = Core::RenderTarget::getCurrentTarget();
        VOSTREL_ASSERT_AT_LINE(99, rt != 0);
        quad.place(0, *rt);
        if (diagonal) {
            const float x = 0.5f / rt->getWidth(), y = 0.5f / rt->getHeight();
            Core::RenderContext& context = quad.getContext();
            context.setVertexConstant(3, Vec4(-x, -y, 0.0f, 0.0f));
            context.setVertexConstant(4, Vec4(-x, y, 0.0f, 0.0f));
            context.setVertexConstant(5, Vec4(x, y, 0.0f, 0.0f));
            context.setVertexConstant(6, Vec4(x, -y, 0.0f, 0.0f));
        }
        quad.getContext().setTexture(0, source);
        quad.draw();
    }

private:
    ScreenQuad quad;
    bool diagonal;
};

std::array<std::unique_ptr<LuminanceFilter>, 3>& filters()
{
    static std::array<std::unique_ptr<LuminanceFilter>, 3> shared;
    static bool registered = false;
    if (!registered) {
        registered = true;
        BlitterShared::atRelease([] {
            for (auto& filter : shared)
                filter.reset();
            registered = false;
        });
    }
    return shared;
}

LuminanceFilter& filter(int pass)
{
    std::unique_ptr<LuminanceFilter>& made = filters()[pass];
    if (!made) {
        if (pass == 0)
            made.reset(new LuminanceFilter(writeDiagonalVertex, writeEdgePixel, true));
        else if (pass == 1)
            made.reset(new LuminanceFilter(writeDiagonalVertex, writeOutlinePixel, true));
        else
            made.reset(new LuminanceFilter(writeCornerVertex, writeGreyPixel, false));
    }
    return *made;
}

} // namespace

void luminancePass1(Core::RenderTarget* target, Core::Texture* source)
{
    filter(0).run(target, source, true);
}

void luminancePass2(Core::RenderTarget* target, Core::Texture* source)
{
    filter(1).run(target, source, true);
}

void luminancePass3(Core::RenderTarget* target, Core::Texture* source)
{
    filter(2).run(target, source, false);
}

} // namespace Vostrel
