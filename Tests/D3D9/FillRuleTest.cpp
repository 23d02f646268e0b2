// Which pixels a triangle fills, read back and compared with Direct3D 9's
// rule computed here: pixel centres on integer coordinates, and a centre that
// lies exactly on an edge belongs to the triangle when that edge is a top or a
// left edge.

#include "Platform/D3D9/GL/Context.h"
#include "Tests/D3D9/DrawFixture.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <iostream>
#include <random>
#include <sstream>

namespace {

struct Vertex2 {
    double x, y;
};

struct Triangle {
    Vertex2 a, b, c;
};

// Twice the signed area of (a, b, p) in screen coordinates (y down): positive
// when p lies to the right of a -> b as seen on the screen.
double edgeFunction(const Vertex2& a, const Vertex2& b, double x, double y)
{
    return (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
}

// Whether the centre of pixel (x, y) is inside the triangle by the top-left
// rule. The coordinates are dyadic, so every product here is exact.
bool coveredByTopLeftRule(Triangle t, int x, int y)
{
    double area = edgeFunction(t.a, t.b, t.c.x, t.c.y);
    if (area == 0)
        return false;
    if (area < 0)
        std::swap(t.b, t.c); // clockwise on the screen from here on
    const Vertex2 corners[3] = {t.a, t.b, t.c};
    for (int i = 0; i < 3; ++i) {
        const Vertex2& from = corners[i];
        const Vertex2& to = corners[(i + 1) % 3];
        double e = edgeFunction(from, to, x, y);
        if (e < 0)
            return false;
        if (e == 0) {
            // Clockwise on the screen, a top edge runs to the right and a
            // left edge runs upwards.
            bool top = from.y == to.y && to.x > from.x;
            bool left = to.y < from.y;
            if (!top && !left)
                return false;
        }
    }
    return true;
}

const char* solidVertexShader = "vs_2_0\ndcl_texcoord0 v0\nmov oPos, v0\n";
const char* solidPixelShader = "ps_2_0\nmov oC0, c0\n";
constexpr uint32_t white = 0xFFFFFFFFu;

class FillRuleTest : public DrawTest {
protected:
    void SetUp() override
    {
        DrawTest::SetUp();
        setShaders(solidVertexShader, solidPixelShader);
        setDeclaration({{D3DDECLTYPE_FLOAT2, 0}});
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        const float one[4] = {1, 1, 1, 1};
        device->SetPixelShaderConstantF(0, one, 1);
    }

    // Screen coordinates to clip space for a target of width x height.
    std::vector<float> clipCoordinates(const std::vector<Triangle>& triangles, UINT width, UINT height) const
    {
        std::vector<float> clip;
        for (const Triangle& t : triangles)
            for (const Vertex2& v : {t.a, t.b, t.c}) {
                clip.push_back(static_cast<float>(2.0 * v.x / width - 1.0));
                clip.push_back(static_cast<float>(1.0 - 2.0 * v.y / height));
            }
        return clip;
    }

    void draw(const std::vector<Triangle>& triangles, UINT width, UINT height)
    {
        std::vector<float> clip = clipCoordinates(triangles, width, height);
        setVertices(clip.data(), static_cast<UINT>(clip.size() * sizeof(float)), 2 * sizeof(float));
        ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(triangles.size())), D3D_OK)
            << D3D9Testing::takeRefusal();
    }

    // The pixels that differ from the rule, listed as "(x, y) drawn/missing".
    static std::string differences(const std::vector<uint32_t>& pixels, const std::vector<Triangle>& triangles,
                                   UINT width, UINT height)
    {
        std::ostringstream out;
        int count = 0;
        for (UINT y = 0; y < height; ++y)
            for (UINT x = 0; x < width; ++x) {
                bool expected = false;
                for (const Triangle& t : triangles)
                    expected = expected || coveredByTopLeftRule(t, static_cast<int>(x), static_cast<int>(y));
                bool drawn = pixels[y * width + x] == white;
                if (drawn != expected && count++ < 12)
                    out << " (" << x << ", " << y << ") " << (drawn ? "drawn" : "missing");
            }
        if (count > 12)
            out << " and " << count - 12 << " more";
        return out.str();
    }
};

// Triangles whose edges run through pixel centres on every side, on their
// own so that no neighbour covers a pixel that one of them leaves.
std::vector<std::vector<Triangle>> edgeCases(UINT width, UINT height)
{
    const double w = width;
    const double h = height;
    const double r = w - 2; // right and bottom edges through centres inside
    const double b = h - 2;
    std::vector<std::vector<Triangle>> cases = {
        // The whole target, as a full-screen quad in clip space covers it.
        {{{0, 0}, {w, 0}, {0, h}}, {{w, 0}, {w, h}, {0, h}}},
        // A rectangle with all four edges on pixel centres.
        {{{1, 1}, {r, 1}, {1, b}}, {{r, 1}, {r, b}, {1, b}}},
        // Top edge and a falling left edge; bottom edge and a rising right edge.
        {{{1, 1}, {r, 1}, {1, b}}},
        {{{r, 1}, {r, b}, {1, b}}},
        // Flat top and flat bottom with sloped sides through centres.
        {{{0, 1}, {r, 1}, {1, b}}},
        {{{1, 1}, {r, b}, {0, b}}},
        // Vertical left and right edges with a slanted opposite side.
        {{{1, 0}, {1, h}, {r, 2}}},
        {{{r, 0}, {r, h}, {1, 1}}},
    };
    // The same figures half a pixel up and left, as the engine's blitters
    // place their quads: no centre lies on an edge.
    const size_t onCentres = cases.size();
    for (size_t i = 0; i < onCentres; ++i) {
        std::vector<Triangle> moved = cases[i];
        for (Triangle& t : moved)
            for (Vertex2* v : {&t.a, &t.b, &t.c}) {
                v->x -= 0.5;
                v->y -= 0.5;
            }
        cases.push_back(moved);
    }
    // Triangles with corners on the pixel grid, its half and its quarter,
    // on pixels of the target: the driver clips what reaches outside, and
    // the corners it makes there are rounded.
    std::mt19937 random(width * 131 + height);
    for (double step : {1.0, 0.5, 0.25})
        for (int i = 0; i < 8; ++i) {
            auto corner = [&] {
                std::uniform_int_distribution<int> x(0, static_cast<int>((w - 1) / step));
                std::uniform_int_distribution<int> y(0, static_cast<int>((h - 1) / step));
                return Vertex2{x(random) * step, y(random) * step};
            };
            cases.push_back({{corner(), corner(), corner()}});
        }
    return cases;
}

TEST_F(FillRuleTest, TrianglesFillThePixelsOfTheTopLeftRuleAtEverySizeAndWinding)
{
    for (auto size : {std::pair<UINT, UINT>{4, 4}, {7, 5}, {64, 64}, {13, 31}}) {
        const UINT width = size.first;
        const UINT height = size.second;
        makeTarget(width, height);
        std::vector<std::vector<Triangle>> cases = edgeCases(width, height);
        for (size_t i = 0; i < cases.size(); ++i)
            for (bool reversed : {false, true}) {
                std::vector<Triangle> triangles = cases[i];
                if (reversed)
                    for (Triangle& t : triangles)
                        std::swap(t.b, t.c);
                device->Clear(0, nullptr, D3DCLEAR_TARGET, black, 1.0f, 0);
                draw(triangles, width, height);
                EXPECT_EQ(differences(readTarget(), triangles, width, height), "")
                    << width << " x " << height << ", case " << i << (reversed ? ", reversed" : "");
            }
    }
}

// Two triangles sharing an edge through pixel centres fill each such pixel
// once: with additive blending a pixel drawn twice would read brighter.
TEST_F(FillRuleTest, SharedEdgesThroughCentresAreFilledOnce)
{
    makeTarget(16, 16);
    const float half[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    device->SetPixelShaderConstantF(0, half, 1);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    // A fan around (8, 8): horizontal, vertical and diagonal shared edges.
    std::vector<Triangle> fan;
    const Vertex2 ring[] = {{0, 0}, {8, 0}, {16, 0}, {16, 8}, {16, 16}, {8, 16}, {0, 16}, {0, 8}};
    for (int i = 0; i < 8; ++i)
        fan.push_back({{8, 8}, ring[i], ring[(i + 1) % 8]});
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    draw(fan, 16, 16);
    std::vector<uint32_t> pixels = readTarget();
    int wrong = 0;
    for (uint32_t pixel : pixels)
        wrong += (pixel & 0xFF) < 0x7F || (pixel & 0xFF) > 0x80;
    EXPECT_EQ(wrong, 0) << "every pixel once: (0, 0) holds " << std::hex << pixels[0] << ", (8, 8) holds "
                        << pixels[8 * 16 + 8];
}

TEST_F(FillRuleTest, AFullScreenQuadFillsTheTopRowOfTheWindow)
{
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    device->SetRenderTarget(0, back);
    device->SetDepthStencilSurface(nullptr);
    back->Release();
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, black, 1.0f, 0);
    draw({{{0, 0}, {64, 0}, {0, 48}}, {{64, 0}, {64, 48}, {0, 48}}}, 64, 48);
    device->EndScene();
    std::vector<uint32_t> pixels;
    presentAndLook(pixels);
    int missing = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            missing += shown(pixels, x, y) != white;
    EXPECT_EQ(missing, 0) << "top left " << std::hex << shown(pixels, 0, 0) << ", bottom right "
                          << shown(pixels, 63, 47);
    EXPECT_NE(pixels[(clientY - 1) * desktopWidth + clientX], white) << "the row above the window stays";
}

// Mesa's softpipe fills top and right edges under either clip origin: the
// context says so once, naming it, however many contexts are made. In a
// child started afresh, since Mesa picks its driver when the display opens.
TEST(FillRuleProbeTest, ADriverWithoutTheRuleIsNamedOnce)
{
    const std::string warning =
        "Direct3D 9: OpenGL renderer \"softpipe\": no clip origin gives Direct3D 9's top-left fill rule; the "
        "picture is off by a row or column at edges shared by triangles\n";
    auto once = [&](const std::string& error) {
        size_t first = error.find(warning);
        return first != std::string::npos && error.find(warning, first + 1) == std::string::npos;
    };
    const std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
            setenv("GALLIUM_DRIVER", "softpipe", 1);
            setenv("MESA_GL_VERSION_OVERRIDE", "4.5", 1);
            setenv("MESA_GLSL_VERSION_OVERRIDE", "450", 1);
            for (int i = 0; i < 2; ++i) {
                std::string error;
                if (!D3D9::GL::Context::create(error)) {
                    std::cerr << error << std::endl;
                    std::exit(1);
                }
            }
            std::exit(0);
        },
        testing::ExitedWithCode(0), testing::Truly(once));
    GTEST_FLAG_SET(death_test_style, style);
}

} // namespace
