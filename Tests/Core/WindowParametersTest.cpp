#include "Libs/Core/WindowParameters.h"

#include <gtest/gtest.h>

using Vostrel::Core::WindowParameters;

TEST(WindowParameters, DefaultRecordIsAnUnplacedUnsizedDecoratedWindow)
{
    WindowParameters p;
    EXPECT_EQ(p.title, "(no title)");
    EXPECT_EQ(p.x, -1);
    EXPECT_EQ(p.y, -1);
    EXPECT_EQ(p.width, -1);
    EXPECT_EQ(p.height, -1);
    EXPECT_EQ(p.minWidth, 32);
    EXPECT_EQ(p.minHeight, 32);
    EXPECT_EQ(p.maxWidth, 2048);
    EXPECT_EQ(p.maxHeight, 2048);
    EXPECT_EQ(p.fullscreenBitsPerPixel, 32);
    EXPECT_EQ(p.depthBits, 24);
    EXPECT_EQ(p.stencilBits, 8);
    EXPECT_TRUE(p.doubleBuffered);
    EXPECT_FALSE(p.fullscreen);
    EXPECT_TRUE(p.showCursor);
    EXPECT_FALSE(p.reservedFlag);
    EXPECT_EQ(p.multisample, -1);
    EXPECT_FALSE(p.vSync);
    EXPECT_FALSE(p.resizable);
    EXPECT_TRUE(p.decorated);
}
