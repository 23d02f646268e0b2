#include "Platform/D3D9/StateTranslation.h"
#include "Tests/D3D9/DeviceFixture.h"

#include <epoxy/gl.h>

namespace {

using StateTest = DeviceTest;

bool enabled(GLenum capability) { return glIsEnabled(capability) == GL_TRUE; }

GLint integer(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

TEST_F(StateTest, DisablingTheDepthTestLeavesTheDepthWriteStateAsItWas)
{
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    EXPECT_TRUE(enabled(GL_DEPTH_TEST));
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    EXPECT_FALSE(enabled(GL_DEPTH_TEST));
    GLboolean write = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &write);
    EXPECT_FALSE(write);
    DWORD stored = TRUE;
    device->GetRenderState(D3DRS_ZWRITEENABLE, &stored);
    EXPECT_EQ(stored, static_cast<DWORD>(FALSE));
}

struct StateCase {
    D3DRENDERSTATETYPE state;
    DWORD value;
    GLenum query;
    GLint expected;
};

TEST_F(StateTest, RenderStatesReachOpenGL)
{
    const StateCase cases[] = {
        {D3DRS_ZFUNC, D3DCMP_GREATEREQUAL, GL_DEPTH_FUNC, GL_GEQUAL},
        {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA, GL_BLEND_SRC_RGB, GL_SRC_ALPHA},
        {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA, GL_BLEND_DST_RGB, GL_ONE_MINUS_SRC_ALPHA},
        {D3DRS_DESTBLEND, D3DBLEND_INVBLENDFACTOR, GL_BLEND_DST_ALPHA, GL_ONE_MINUS_CONSTANT_COLOR},
        {D3DRS_BLENDOP, D3DBLENDOP_REVSUBTRACT, GL_BLEND_EQUATION_RGB, GL_FUNC_REVERSE_SUBTRACT},
        {D3DRS_STENCILFUNC, D3DCMP_EQUAL, GL_STENCIL_FUNC, GL_EQUAL},
        {D3DRS_STENCILREF, 0x1FF, GL_STENCIL_REF, 0xFF},
        {D3DRS_STENCILPASS, D3DSTENCILOP_INCR, GL_STENCIL_PASS_DEPTH_PASS, GL_INCR_WRAP},
        {D3DRS_STENCILFAIL, D3DSTENCILOP_ZERO, GL_STENCIL_FAIL, GL_ZERO},
        {D3DRS_STENCILFAIL, D3DSTENCILOP_ZERO, GL_STENCIL_BACK_FAIL, GL_ZERO},
        {D3DRS_STENCILWRITEMASK, 0x0F, GL_STENCIL_WRITEMASK, 0x0F},
        {D3DRS_CULLMODE, D3DCULL_CW, GL_CULL_FACE_MODE, GL_FRONT},
        {D3DRS_CULLMODE, D3DCULL_CCW, GL_CULL_FACE_MODE, GL_BACK},
        {D3DRS_FILLMODE, D3DFILL_WIREFRAME, GL_POLYGON_MODE, GL_LINE},
    };
    for (const StateCase& c : cases) {
        ASSERT_EQ(device->SetRenderState(c.state, c.value), D3D_OK);
        EXPECT_EQ(integer(c.query), c.expected) << "state " << c.state << " value " << c.value;
    }
}

TEST_F(StateTest, TwoSidedStencilGivesBackFacesTheCounterClockwiseStates)
{
    device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_REPLACE);
    device->SetRenderState(D3DRS_CCW_STENCILPASS, D3DSTENCILOP_DECRSAT);
    EXPECT_EQ(integer(GL_STENCIL_BACK_PASS_DEPTH_PASS), GL_REPLACE);
    device->SetRenderState(D3DRS_TWOSIDEDSTENCILMODE, TRUE);
    EXPECT_EQ(integer(GL_STENCIL_PASS_DEPTH_PASS), GL_REPLACE);
    EXPECT_EQ(integer(GL_STENCIL_BACK_PASS_DEPTH_PASS), GL_DECR);
}

TEST_F(StateTest, EnablesFollowTheirStates)
{
    EXPECT_FALSE(enabled(GL_DITHER));
    device->SetRenderState(D3DRS_DITHERENABLE, TRUE);
    EXPECT_TRUE(enabled(GL_DITHER));
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    EXPECT_FALSE(enabled(GL_CULL_FACE));
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    EXPECT_TRUE(enabled(GL_BLEND));
    device->SetRenderState(D3DRS_STENCILENABLE, TRUE);
    EXPECT_TRUE(enabled(GL_STENCIL_TEST));
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
    EXPECT_TRUE(enabled(GL_SCISSOR_TEST));
    device->SetRenderState(D3DRS_CLIPPLANEENABLE, 5);
    EXPECT_TRUE(enabled(GL_CLIP_DISTANCE0));
    EXPECT_FALSE(enabled(GL_CLIP_DISTANCE1));
    EXPECT_TRUE(enabled(GL_CLIP_DISTANCE2));
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 0x5);
    GLboolean mask[4];
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    EXPECT_TRUE(mask[0]);
    EXPECT_FALSE(mask[1]);
    EXPECT_TRUE(mask[2]);
    EXPECT_FALSE(mask[3]);
}

TEST_F(StateTest, DepthBiasBecomesAPolygonOffsetInDepthSteps)
{
    device->SetRenderState(D3DRS_DEPTHBIAS, D3D9::bitsFromFloat(1.0f / 16777216.0f * 3.0f));
    device->SetRenderState(D3DRS_SLOPESCALEDEPTHBIAS, D3D9::bitsFromFloat(2.0f));
    EXPECT_TRUE(enabled(GL_POLYGON_OFFSET_FILL));
    float units = 0.0f;
    float factor = 0.0f;
    glGetFloatv(GL_POLYGON_OFFSET_UNITS, &units);
    glGetFloatv(GL_POLYGON_OFFSET_FACTOR, &factor);
    EXPECT_FLOAT_EQ(units, 3.0f);
    EXPECT_FLOAT_EQ(factor, 2.0f);
}

TEST_F(StateTest, ViewportAndScissorUseTopDownRows)
{
    D3DVIEWPORT9 viewport = {4, 6, 20, 10, 0.25f, 0.75f};
    ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
    GLint box[4];
    glGetIntegerv(GL_VIEWPORT, box);
    EXPECT_EQ(box[0], 4);
    EXPECT_EQ(box[1], 6);
    EXPECT_EQ(box[2], 20);
    EXPECT_EQ(box[3], 10);
    float range[2];
    glGetFloatv(GL_DEPTH_RANGE, range);
    EXPECT_FLOAT_EQ(range[0], 0.25f);
    EXPECT_FLOAT_EQ(range[1], 0.75f);
    RECT scissor = {1, 2, 11, 22};
    device->SetScissorRect(&scissor);
    glGetIntegerv(GL_SCISSOR_BOX, box);
    EXPECT_EQ(box[1], 2);
    EXPECT_EQ(box[3], 20);
}

TEST_F(StateTest, NewRenderTargetResetsViewportAndScissor)
{
    D3DVIEWPORT9 small = {1, 1, 2, 2, 0.0f, 1.0f};
    device->SetViewport(&small);
    IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(device->CreateRenderTarget(16, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &target, nullptr),
              D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(0, target), D3D_OK);
    D3DVIEWPORT9 viewport;
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 16u);
    EXPECT_EQ(viewport.Height, 8u);
    RECT scissor;
    device->GetScissorRect(&scissor);
    EXPECT_EQ(scissor.right, 16);
    target->Release();
    IDirect3DSurface9* back = nullptr;
    device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
    device->SetRenderTarget(0, back);
    back->Release();
}

TEST_F(StateTest, ClipPlanesAreKept)
{
    const float plane[4] = {1.0f, -2.0f, 0.5f, 3.0f};
    ASSERT_EQ(device->SetClipPlane(2, plane), D3D_OK);
    float back[4];
    device->GetClipPlane(2, back);
    EXPECT_EQ(back[1], -2.0f);
}

TEST_F(StateTest, TheLogRecordsWhatTheDeviceReceives)
{
    D3D9Testing::startLog();
    device->SetRenderState(D3DRS_ALPHAREF, 128);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    std::vector<D3D9Testing::Call> log = D3D9Testing::takeLog();
    auto states = D3D9Testing::callsNamed(log, "SetRenderState");
    ASSERT_EQ(states.size(), 2u);
    EXPECT_EQ(states[0].arguments, (std::vector<int64_t>{D3DRS_ALPHAREF, 128}));
}

} // namespace
