#include "Libs/Mesh/MeshStream.h"
#include "Libs/Mesh/MeshTopology.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Testing/Utils/QuadStrip.h"
#include "Tests/Support/HeadlessCore.h"

#include <gtest/gtest.h>

#include <cmath>

namespace Vostrel {
namespace {

TEST(QuadStripGeometry, ArcsAndBarsFollowTheTable)
{
    CircleTable table(64);
    struct Case {
        ArcRecord arc;
        size_t vertices;
        size_t indices;
    } cases[] = {
        {ArcRecord(0.25f, 0.5f, 1.0f, 2.0f, 0.0f), 34, 96}, // i0 16, i1 32: 17 pairs, 16 quads
        {ArcRecord(0.5f, 0.25f, 2.0f, 1.0f, 0.0f), 34, 96}, // ends and radii in either order
        {ArcRecord(0.0f, 1.0f, 1.0f, 2.0f, 0.5f), 128, 384}, // a full ring
        {ArcRecord(0.1f, 1.7f, 1.0f, 2.0f, 0.5f), 128, 384},
        {ArcRecord(0.01f, 0.02f, 1.0f, 2.0f, 0.0f), 6, 12},  // across corner 1: i0 0, i1 2
        {ArcRecord(0.002f, 0.01f, 1.0f, 2.0f, 0.0f), 4, 6},  // within one table segment
    };
    for (const Case& c : cases) {
        StripGeometry geometry;
        appendArc(geometry, table, c.arc);
        EXPECT_EQ(geometry.locations.size(), c.vertices);
        EXPECT_EQ(geometry.indices.size(), c.indices);
        for (uint32_t index : geometry.indices)
            EXPECT_LT(index, geometry.locations.size());
    }

    StripGeometry ring;
    appendArc(ring, table, ArcRecord(0.0f, 1.0f, 1.0f, 2.0f, 0.5f));
    const std::vector<uint32_t> lastQuad(ring.indices.end() - 6, ring.indices.end());
    EXPECT_EQ(lastQuad, (std::vector<uint32_t>{126, 127, 0, 0, 127, 1}));
    EXPECT_EQ(ring.locations[1], Vec3(2.0f, 0.0f, 0.5f));
    EXPECT_EQ(ring.texcoords[127], Vec2(1.0f, 1.0f));

    // An arc end between two corners lies on their chord, inside the circle.
    const Vec2 chord = table.pointAt(0.5f / 64.0f);
    EXPECT_NEAR(chord[0], (1.0f + std::cos(2 * M_PI / 64)) / 2, 1e-6);
    EXPECT_LT(std::hypot(chord[0], chord[1]), 1.0f);

    StripGeometry bar;
    appendBar(bar, {0.0f, 0.01f, 1.0f, 1.3f, 0.0f});
    const Vec3 expected[4] = {{1, -0.01f, 0}, {1.3f, -0.01f, 0}, {1.3f, 0.01f, 0}, {1, 0.01f, 0}};
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(bar.locations[i][k], expected[i][k], 1e-6f);
    EXPECT_EQ(bar.indices, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
}

class QuadStripMeshes : public TestSupport::HeadlessCoreTest {
protected:
    // Every generated mesh is frozen, finite and indexes only its own vertices.
    static void expectDrawable(Mesh::ModifiableMesh& mesh)
    {
        using namespace Mesh;
        MeshTopology* triangles = mesh.getTopology("triangles");
        ASSERT_NE(triangles, nullptr);
        EXPECT_EQ(triangles->getStatus(), TOPOLOGY_INDICES_16);
        ASSERT_GT(triangles->getPrimitiveCount(), 0);
        const int vertices = mesh.getVertexCount();
        {
            StreamLock location(*mesh.getStream("location"), Core::LOCK_READ_ONLY);
            for (int i = 0; i < 3 * vertices; ++i)
                ASSERT_TRUE(std::isfinite(location.get()[i]));
        }
        const uint16_t* indices = triangles->lockIndices16(Core::LOCK_READ_ONLY);
        for (int i = 0; i < 3 * triangles->getPrimitiveCount(); ++i)
            ASSERT_LT(indices[i], vertices);
        triangles->unlock();
        EXPECT_NE(mesh.getStream("texcoord"), nullptr);
        EXPECT_NE(mesh.getStream("location")->getUsage(), 0) << "frozen";
    }
};

TEST_F(QuadStripMeshes, EveryGeneratorGivesFiniteFrozenMeshes)
{
    QuadStrip strip;
    expectDrawable(*strip.getMesh());
    QuadStripSet set;
    QuadStripLayers layers;
    for (int i = 0; i < 7; ++i) {
        expectDrawable(*set.getMesh(i));
        expectDrawable(*layers.getMesh(i));
    }
    EXPECT_THROW(set.getMesh(7), Exception);
}

} // namespace
} // namespace Vostrel
