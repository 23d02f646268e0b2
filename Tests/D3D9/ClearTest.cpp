#include "Tests/D3D9/DeviceFixture.h"

#include <epoxy/gl.h>

namespace {

using ClearTest = DeviceTest;

TEST_F(ClearTest, FullClearFillsTheWindowAndNothingElse)
{
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(0, 255, 0, 0), 1.0f, 0), D3D_OK);
    std::vector<uint32_t> pixels;
    presentAndLook(pixels);
    EXPECT_EQ(shown(pixels, 0, 0), red);
    EXPECT_EQ(shown(pixels, 63, 47), red);
    EXPECT_EQ(shown(pixels, -1, 0), black) << "left of the client area";
    EXPECT_EQ(shown(pixels, 64, 0), black);
    EXPECT_EQ(shown(pixels, 0, 48), black);
}

TEST_F(ClearTest, ViewportClearTouchesOnlyTheViewportAndRowZeroIsTheTop)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 0, 0, 255), 1.0f, 0);
    D3DVIEWPORT9 top = {0, 0, 64, 12, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&top), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 0, 255, 0), 1.0f, 0);
    std::vector<uint32_t> pixels;
    presentAndLook(pixels);
    EXPECT_EQ(shown(pixels, 10, 0), green) << "the viewport's first rows are the window's top rows";
    EXPECT_EQ(shown(pixels, 10, 11), green);
    EXPECT_EQ(shown(pixels, 10, 12), blue);
    EXPECT_EQ(shown(pixels, 10, 47), blue);
}

TEST_F(ClearTest, ScissorLimitsTheClearOnlyWhileTheTestIsOn)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 0, 0, 255), 1.0f, 0);
    RECT scissor = {8, 4, 24, 20};
    device->SetScissorRect(&scissor);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 255, 0, 0), 1.0f, 0);
    std::vector<uint32_t> pixels;
    presentAndLook(pixels);
    EXPECT_EQ(shown(pixels, 40, 40), red) << "a scissor rectangle alone changes nothing";

    device->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 0, 255, 0), 1.0f, 0);
    presentAndLook(pixels);
    EXPECT_EQ(shown(pixels, 8, 4), green);
    EXPECT_EQ(shown(pixels, 23, 19), green);
    EXPECT_EQ(shown(pixels, 24, 19), red);
    EXPECT_EQ(shown(pixels, 7, 4), red);
    EXPECT_EQ(shown(pixels, 8, 20), red);
}

TEST_F(ClearTest, ClearIgnoresWriteMasksAndLeavesThemAsTheyWere)
{
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_ARGB(255, 0, 255, 0), 0.25f, 0);
    GLboolean colorMask[4];
    glGetBooleanv(GL_COLOR_WRITEMASK, colorMask);
    EXPECT_FALSE(colorMask[0] || colorMask[1] || colorMask[2] || colorMask[3]);
    GLboolean depthMask = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
    EXPECT_FALSE(depthMask);

    GLint framebuffer = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &framebuffer);
    GLint previousRead = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previousRead);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(framebuffer));
    float depth = 0.0f;
    glReadPixels(5, 5, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(previousRead));
    EXPECT_NEAR(depth, 0.25f, 1e-6f);

    std::vector<uint32_t> pixels;
    presentAndLook(pixels);
    EXPECT_EQ(shown(pixels, 5, 5), green);
}

TEST_F(ClearTest, RectanglesAreCutToTheViewport)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 0, 0, 255), 1.0f, 0);
    D3DVIEWPORT9 left = {0, 0, 32, 48, 0.0f, 1.0f};
    device->SetViewport(&left);
    D3DRECT rects[2] = {{0, 0, 4, 4}, {28, 40, 60, 48}};
    ASSERT_EQ(device->Clear(2, rects, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 255, 0, 0), 1.0f, 0), D3D_OK);
    std::vector<uint32_t> pixels;
    presentAndLook(pixels);
    EXPECT_EQ(shown(pixels, 3, 3), red);
    EXPECT_EQ(shown(pixels, 4, 4), blue);
    EXPECT_EQ(shown(pixels, 31, 47), red);
    EXPECT_EQ(shown(pixels, 32, 47), blue) << "outside the viewport";
}

} // namespace
