#include "Libs/Common/Exception.h"
#include "Libs/Core/Perspective.h"
#include "Tests/Support/RecordingCore.h"

#include <gtest/gtest.h>

#include <glm/ext/matrix_clip_space.hpp>
#include <glm/mat4x4.hpp>

#include <cmath>
#include <random>

using namespace Vostrel::Core;
using namespace Vostrel::TestSupport;

namespace {

struct Frustum {
    float left, right, bottom, top, zNear, zFar;
};

// Both store columns; element (row r, column c) is m[c][r] in GLM.
void expectSameMatrix(const Matrix4& ours, const glm::mat4& reference, const char* what)
{
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            float expected = reference[c][r];
            EXPECT_NEAR(ours(r, c), expected, 1e-5f * std::max(1.0f, std::fabs(expected)))
                << what << " element (" << r << ", " << c << ")";
        }
}

// The point after the divide by w, in double so the check does not add error.
Vec3d project(const Matrix4& m, double x, double y, double z)
{
    double out[4];
    for (int r = 0; r < 4; ++r)
        out[r] = m(r, 0) * x + m(r, 1) * y + m(r, 2) * z + m(r, 3);
    return Vec3d(out[0] / out[3], out[1] / out[3], out[2] / out[3]);
}

void expectNear(const Vec3d& point, double x, double y, double z, const std::string& what)
{
    EXPECT_NEAR(point[0], x, 1e-4) << what;
    EXPECT_NEAR(point[1], y, 1e-4) << what;
    EXPECT_NEAR(point[2], z, 1e-4) << what;
}

class Projections : public ::testing::Test {
protected:
    void SetUp() override { core = &RecordingCore::install(); }
    void TearDown() override { destroyCore(); }

    // Frusta with the near plane in 0.05..5 and the far plane 2..1000 times
    // farther; off-centre ones anywhere around the axis.
    Frustum randomFrustum(bool symmetric)
    {
        std::uniform_real_distribution<float> extent(0.1f, 4.0f), shift(-3.0f, 3.0f), nearPlane(0.05f, 5.0f),
            depthRatio(2.0f, 1000.0f);
        Frustum f;
        float halfWidth = extent(random), halfHeight = extent(random);
        float x = symmetric ? 0.0f : shift(random), y = symmetric ? 0.0f : shift(random);
        f.left = x - halfWidth;
        f.right = x + halfWidth;
        f.bottom = y - halfHeight;
        f.top = y + halfHeight;
        f.zNear = nearPlane(random);
        f.zFar = f.zNear * depthRatio(random);
        return f;
    }

    RecordingCore* core = nullptr;
    std::mt19937 random{20240611};
};

} // namespace

TEST_F(Projections, SymmetricFrustaMatchGlmForBothDepthRanges)
{
    for (float zMin : {0.0f, -1.0f}) {
        core->setMinimumClipDepth(zMin);
        for (int i = 0; i < 200; ++i) {
            Frustum f = randomFrustum(true);
            Matrix4 ours = Perspective::frustum(f.left, f.right, f.bottom, f.top, f.zNear, f.zFar);
            glm::mat4 reference = zMin == 0.0f
                ? glm::frustumLH_ZO(f.left, f.right, f.bottom, f.top, f.zNear, f.zFar)
                : glm::frustumLH_NO(f.left, f.right, f.bottom, f.top, f.zNear, f.zFar);
            expectSameMatrix(ours, reference, zMin == 0.0f ? "zero-to-one" : "minus-one-to-one");
        }
    }
}

// The eye looks along +z, so the off-centre terms need the sign that puts the
// near rectangle's edges on -1 and +1.
// Any near depth an API may use, not only Direct3D's 0 and OpenGL's -1.
TEST_F(Projections, NearRectangleCornersLandOnTheClipCornersAndTheFarPlaneOnDepthOne)
{
    for (float zMin : {0.0f, -1.0f, 0.25f, -0.5f}) {
        core->setMinimumClipDepth(zMin);
        for (int i = 0; i < 200; ++i) {
            Frustum f = randomFrustum(i % 4 == 0);
            Matrix4 m = Perspective::frustum(f.left, f.right, f.bottom, f.top, f.zNear, f.zFar);
            double scale = static_cast<double>(f.zFar) / f.zNear;
            for (int corner = 0; corner < 4; ++corner) {
                double x = corner & 1 ? f.right : f.left, y = corner & 2 ? f.top : f.bottom;
                double clipX = corner & 1 ? 1 : -1, clipY = corner & 2 ? 1 : -1;
                std::string what = "frustum " + std::to_string(i) + " corner " + std::to_string(corner);
                expectNear(project(m, x, y, f.zNear), clipX, clipY, zMin, what + " near");
                expectNear(project(m, x * scale, y * scale, f.zFar), clipX, clipY, 1.0, what + " far");
            }
        }
    }
}

// GLM's right-handed frustum looks along -z; mirrored in z it is the same
// volume seen along +z, an oracle for the off-centre terms.
TEST_F(Projections, OffCentreFrustaMatchGlmMirroredAlongZ)
{
    for (int i = 0; i < 200; ++i) {
        Frustum f = randomFrustum(false);
        Matrix4 ours = Perspective::frustum(f.left, f.right, f.bottom, f.top, f.zNear, f.zFar);
        glm::mat4 mirror(1.0f);
        mirror[2][2] = -1.0f;
        expectSameMatrix(ours, glm::frustumRH_ZO(f.left, f.right, f.bottom, f.top, f.zNear, f.zFar) * mirror,
                         "off-centre");
    }
}

TEST_F(Projections, OrthoMatchesGlmForBothDepthRanges)
{
    std::uniform_real_distribution<float> coordinate(-50.0f, 50.0f), size(0.5f, 100.0f);
    for (float zMin : {0.0f, -1.0f}) {
        core->setMinimumClipDepth(zMin);
        for (int i = 0; i < 200; ++i) {
            float l = coordinate(random), b = coordinate(random), n = coordinate(random);
            float r = l + size(random), t = b + size(random), f = n + size(random);
            Matrix4 ours = Perspective::ortho(l, r, b, t, n, f);
            glm::mat4 reference = zMin == 0.0f ? glm::orthoLH_ZO(l, r, b, t, n, f) : glm::orthoLH_NO(l, r, b, t, n, f);
            expectSameMatrix(ours, reference, "ortho");
        }
    }
}

TEST_F(Projections, OrthoMapsTheNearPlaneToTheMinimumDepthAndTheFarPlaneToOne)
{
    std::uniform_real_distribution<float> coordinate(-50.0f, 50.0f), size(0.5f, 100.0f);
    for (float zMin : {0.0f, -1.0f, 0.25f, -0.5f}) {
        core->setMinimumClipDepth(zMin);
        for (int i = 0; i < 50; ++i) {
            float l = coordinate(random), b = coordinate(random), n = coordinate(random);
            float r = l + size(random), t = b + size(random), f = n + size(random);
            Matrix4 m = Perspective::ortho(l, r, b, t, n, f);
            std::string what = "ortho " + std::to_string(i) + " zMin " + std::to_string(zMin);
            expectNear(project(m, l, b, n), -1, -1, zMin, what + " near");
            expectNear(project(m, r, t, f), 1, 1, 1, what + " far");
        }
    }
}

TEST_F(Projections, PerspectiveOfAWideScreen)
{
    Matrix4 m = Perspective::perspective(16.0f / 9.0f, 1.0f, 0.1f, 100.0f);
    EXPECT_FLOAT_EQ(m(0, 0), 0.5625f);
    EXPECT_FLOAT_EQ(m(1, 1), 1.0f);
    EXPECT_FLOAT_EQ(m(2, 2), static_cast<float>(100.0 / 99.9));
    EXPECT_FLOAT_EQ(m(2, 3), static_cast<float>(-10.0 / 99.9));
    EXPECT_EQ(m(3, 2), 1.0f);
    EXPECT_EQ(m(3, 3), 0.0f);
    EXPECT_EQ(m(0, 2), 0.0f);
}

TEST_F(Projections, Ortho2DMapsPixelsToClipSpace)
{
    Matrix4 m = Perspective::ortho2D(0.0f, 640.0f, 0.0f, 480.0f);
    expectNear(project(m, 640, 0, 0), 1, -1, 0.5, "right edge, bottom row");
    expectNear(project(m, 0, 480, -1), -1, 1, 0, "left edge, top row, near");
}

TEST_F(Projections, FlippedApiWithMinusOneDepth)
{
    core->setFlipsProjectionY(true);
    core->setMinimumClipDepth(-1.0f);
    float l = -1, r = 1, b = -0.75f, t = 0.75f, n = 0.5f, f = 50;
    Matrix4 m = Perspective::frustum(l, r, b, t, n, f);
    EXPECT_FLOAT_EQ(m(1, 1), 2 * n / (b - t));
    EXPECT_FLOAT_EQ(m(2, 2), (n + f) / (f - n));
    expectNear(project(m, l, t, n), -1, -1, -1, "top left runs down");
    Matrix4 o = Perspective::ortho2D(0, 640, 0, 480);
    expectNear(project(o, 0, 0, 0), -1, 1, 0, "ortho bottom row runs up");
}

TEST_F(Projections, TargetFormsUseTheTargetsSize)
{
    RecordingTarget target("target", 800, 600);
    EXPECT_EQ(Perspective::orthoMatrix(&target, false), Perspective::ortho(0, 800, 0, 600, -1, 1));
    EXPECT_EQ(Perspective::orthoMatrix(&target, true), Perspective::ortho(-400, 400, -300, 300, -1, 1));
    EXPECT_EQ(Perspective::frustumMatrix(&target, 2.0f, 1.0f, 10.0f),
              Perspective::perspective(800.0f / 600.0f, 2.0f, 1.0f, 10.0f));
    target.begin();
    EXPECT_EQ(Perspective::orthoMatrix(true), Perspective::orthoMatrix(&target, true));
    EXPECT_EQ(Perspective::frustumMatrix(2.0f, 1.0f, 10.0f), Perspective::frustumMatrix(&target, 2.0f, 1.0f, 10.0f));
    target.end();
}

TEST_F(Projections, TargetFormsWithoutATargetAreRefused)
{
    auto messageOf = [](const std::function<void()>& call) {
        try {
            call();
        } catch (const Vostrel::Exception& e) {
            EXPECT_STREQ(e.file, "Libs\\Core\\Perspective");
            return e.message;
        }
        return std::string("(nothing thrown)");
    };
    ASSERT_EQ(RenderTarget::getCurrentTarget(), nullptr);
    EXPECT_EQ(messageOf([] { Perspective::frustumMatrix(nullptr, 1, 1, 10); }),
              "Perspective::frustumMatrix(): aspect ratio not attainable, no render target");
    EXPECT_EQ(messageOf([] { Perspective::frustumMatrix(1, 1, 10); }),
              "Perspective::frustumMatrix(): aspect ratio not attainable, no current render target");
    EXPECT_EQ(messageOf([] { Perspective::orthoMatrix(nullptr, true); }),
              "Perspective::orthoMatrix(): target size not attainable, no render target");
    EXPECT_EQ(messageOf([] { Perspective::orthoMatrix(false); }),
              "Perspective::orthoMatrix(): target size not attainable, no render target");
}
