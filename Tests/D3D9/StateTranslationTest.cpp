#include "Platform/D3D9/StateTranslation.h"

#include <gtest/gtest.h>

namespace {

using namespace D3D9;

TEST(StateTranslationTest, PrimitiveCountsBecomeVertexCounts)
{
    struct Case {
        DWORD type;
        UINT primitives;
        GLenum mode;
        GLsizei vertices;
    };
    const Case cases[] = {
        {D3DPT_POINTLIST, 5, GL_POINTS, 5},         {D3DPT_LINELIST, 5, GL_LINES, 10},
        {D3DPT_LINESTRIP, 5, GL_LINE_STRIP, 6},     {D3DPT_TRIANGLELIST, 5, GL_TRIANGLES, 15},
        {D3DPT_TRIANGLESTRIP, 5, GL_TRIANGLE_STRIP, 7}, {D3DPT_TRIANGLEFAN, 5, GL_TRIANGLE_FAN, 7},
    };
    for (const Case& c : cases) {
        std::optional<DrawShape> shape = drawShape(c.type, c.primitives);
        ASSERT_TRUE(shape) << c.type;
        EXPECT_EQ(shape->mode, c.mode);
        EXPECT_EQ(shape->vertexCount, c.vertices);
    }
    EXPECT_FALSE(drawShape(0, 1));
    EXPECT_FALSE(drawShape(7, 1));
    EXPECT_FALSE(drawShape(D3DPT_TRIANGLELIST, 0x7FFFFFFF)) << "no overflow into a negative count";
}

TEST(StateTranslationTest, BothSourceAlphaSetsBothFactors)
{
    BlendFactors both = blendFactors(D3DBLEND_BOTHSRCALPHA, D3DBLEND_ONE);
    EXPECT_EQ(both.source, static_cast<GLenum>(GL_SRC_ALPHA));
    EXPECT_EQ(both.destination, static_cast<GLenum>(GL_ONE_MINUS_SRC_ALPHA));
    EXPECT_FALSE(blendFactor(D3DBLEND_BOTHSRCALPHA)) << "not a factor of its own";
    EXPECT_EQ(*blendFactor(D3DBLEND_BLENDFACTOR), static_cast<GLenum>(GL_CONSTANT_COLOR));
}

TEST(StateTranslationTest, CullModesPickTheFacesOfTheRightWinding)
{
    EXPECT_FALSE(culling(D3DCULL_NONE).enabled);
    EXPECT_EQ(culling(D3DCULL_CCW).face, static_cast<GLenum>(GL_BACK));
    EXPECT_EQ(culling(D3DCULL_CW).face, static_cast<GLenum>(GL_FRONT));
}

TEST(StateTranslationTest, ColorsUnpackRedFirst)
{
    std::array<float, 4> rgba = colorToFloats(0x80FF0040u);
    EXPECT_FLOAT_EQ(rgba[0], 1.0f);
    EXPECT_FLOAT_EQ(rgba[1], 0.0f);
    EXPECT_FLOAT_EQ(rgba[2], 64 / 255.0f);
    EXPECT_FLOAT_EQ(rgba[3], 128 / 255.0f);
}

TEST(StateTranslationTest, ClearRectanglesAreViewportScissorAndRectangleIntersections)
{
    D3DVIEWPORT9 viewport = {10, 10, 20, 20, 0, 1};
    RECT scissor = {0, 0, 15, 100};
    auto whole = clearRectangles(viewport, false, scissor, nullptr, 0, 100, 100);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0].right, 30);
    auto cut = clearRectangles(viewport, true, scissor, nullptr, 0, 100, 100);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].left, 10);
    EXPECT_EQ(cut[0].right, 15);
    D3DRECT rects[2] = {{0, 0, 12, 12}, {50, 50, 60, 60}};
    auto pieces = clearRectangles(viewport, false, scissor, rects, 2, 100, 100);
    ASSERT_EQ(pieces.size(), 1u) << "a rectangle outside the viewport clears nothing";
    EXPECT_EQ(pieces[0].bottom, 12);
    D3DVIEWPORT9 beyond = {90, 90, 20, 20, 0, 1};
    auto clipped = clearRectangles(beyond, false, scissor, nullptr, 0, 100, 100);
    ASSERT_EQ(clipped.size(), 1u);
    EXPECT_EQ(clipped[0].right, 100);
}

TEST(StateTranslationTest, FullScreenFramesKeepTheirShapeOnAnotherDesktop)
{
    PixelRect wide = presentRectangle(640, 480, 1920, 1080, true);
    EXPECT_EQ(wide.top, 0);
    EXPECT_EQ(wide.bottom, 1080);
    EXPECT_EQ(wide.right - wide.left, 1440);
    EXPECT_EQ(wide.left, 240);
    PixelRect tall = presentRectangle(1280, 720, 1024, 768, true);
    EXPECT_EQ(tall.right - tall.left, 1024);
    EXPECT_EQ(tall.bottom - tall.top, 576);
    PixelRect stretched = presentRectangle(1, 1, 64, 48, false);
    EXPECT_EQ(stretched.right, 64);
    EXPECT_EQ(stretched.bottom, 48);
}

// Every pair of probe readings (the upper-left origin's, the lower-left
// one's): an origin that fills pixel (0, 0) alone is kept without a word;
// without one the context speaks, and keeps the origin that fills top edges.
TEST(StateTranslationTest, TheClipOriginKeptFillsByTheTopLeftRuleOrTheContextSpeaks)
{
    const unsigned topLeft = 1;
    std::vector<FillProbeReading> readings = {std::nullopt};
    for (unsigned pixels = 0; pixels < 16; ++pixels)
        readings.push_back(pixels);
    for (FillProbeReading upper : readings)
        for (FillProbeReading lower : readings) {
            SCOPED_TRACE(testing::Message() << (upper ? int(*upper) : -1) << ", " << (lower ? int(*lower) : -1));
            ClipOriginChoice choice = chooseClipOrigin(upper, lower);
            bool ruleFound = upper == topLeft || lower == topLeft;
            EXPECT_EQ((choice.lowerLeft ? lower : upper) == topLeft, ruleFound);
            EXPECT_EQ(choice.problem.empty(), ruleFound);
            if (!ruleFound) {
                EXPECT_EQ(choice.problem.find("probe could not be drawn") != std::string::npos, !upper || !lower);
            }
        }
    // llvmpipe fills bottom and left edges under the upper-left origin.
    EXPECT_TRUE(chooseClipOrigin(4, topLeft).lowerLeft);
    EXPECT_FALSE(chooseClipOrigin(topLeft, topLeft).lowerLeft);
    // Top and right edges under both (softpipe); bottom and right, then top
    // and right; nothing drawn.
    EXPECT_FALSE(chooseClipOrigin(2, 2).lowerLeft);
    EXPECT_TRUE(chooseClipOrigin(8, 2).lowerLeft);
    EXPECT_FALSE(chooseClipOrigin(std::nullopt, std::nullopt).lowerLeft);
}

TEST(StateTranslationTest, DepthBiasCountsDepthSteps)
{
    EXPECT_FLOAT_EQ(depthBiasUnits(1.0f / 65536.0f, 16), 1.0f);
    EXPECT_FLOAT_EQ(depthBiasUnits(-2.0f / 16777216.0f, 24), -2.0f);
    EXPECT_EQ(depthBiasUnits(std::numeric_limits<float>::quiet_NaN(), 24), 0.0f);
}

TEST(StateTranslationTest, SampleCountsAreTwoToSixteenOrNone)
{
    EXPECT_EQ(*sampleCount(D3DMULTISAMPLE_NONE), 0);
    EXPECT_EQ(*sampleCount(D3DMULTISAMPLE_4_SAMPLES), 4);
    EXPECT_FALSE(sampleCount(D3DMULTISAMPLE_NONMASKABLE));
    EXPECT_FALSE(sampleCount(static_cast<D3DMULTISAMPLE_TYPE>(17)));
}

} // namespace

// Each enumerated state takes exactly the values its enumeration names: the
// first and last pass, one on either side does not.
TEST(StateTranslationTest, EnumeratedStatesTakeTheirEnumerationsRange)
{
    struct Case {
        DWORD state;
        DWORD first, last;
    };
    const Case renderStates[] = {
        {D3DRS_ZENABLE, D3DZB_FALSE, D3DZB_USEW},
        {D3DRS_FILLMODE, D3DFILL_POINT, D3DFILL_SOLID},
        {D3DRS_CULLMODE, D3DCULL_NONE, D3DCULL_CCW},
        {D3DRS_ZFUNC, D3DCMP_NEVER, D3DCMP_ALWAYS},
        {D3DRS_CCW_STENCILFUNC, D3DCMP_NEVER, D3DCMP_ALWAYS},
        {D3DRS_SRCBLEND, D3DBLEND_ZERO, D3DBLEND_INVBLENDFACTOR},
        {D3DRS_DESTBLENDALPHA, D3DBLEND_ZERO, D3DBLEND_INVBLENDFACTOR},
        {D3DRS_BLENDOPALPHA, D3DBLENDOP_ADD, D3DBLENDOP_MAX},
        {D3DRS_STENCILPASS, D3DSTENCILOP_KEEP, D3DSTENCILOP_DECR},
    };
    for (const Case& c : renderStates) {
        for (DWORD value = c.first; value <= c.last; ++value)
            EXPECT_EQ(unknownRenderStateValue(c.state, value), "") << c.state << " " << value;
        EXPECT_NE(unknownRenderStateValue(c.state, c.last + 1), "") << c.state;
        if (c.first > 0) {
            EXPECT_NE(unknownRenderStateValue(c.state, c.first - 1), "") << c.state;
        }
    }
    EXPECT_EQ(unknownRenderStateValue(D3DRS_STENCILREF, 0xFFFFFFFF), "") << "any number";
    EXPECT_EQ(unknownSamplerStateValue(D3DSAMP_ADDRESSW, D3DTADDRESS_MIRRORONCE), "");
    EXPECT_EQ(unknownSamplerStateValue(D3DSAMP_ADDRESSW, 0), "unknown D3DSAMP_ADDRESSW value 0");
    EXPECT_EQ(unknownSamplerStateValue(D3DSAMP_MINFILTER, D3DTEXF_GAUSSIANQUAD), "");
    EXPECT_EQ(unknownSamplerStateValue(D3DSAMP_MIPFILTER, D3DTEXF_ANISOTROPIC), "");
    EXPECT_EQ(unknownSamplerStateValue(D3DSAMP_BORDERCOLOR, 0x12345678), "");
    EXPECT_TRUE(knownRenderState(D3DRS_BLENDOPALPHA));
    EXPECT_FALSE(knownRenderState(3));
}
