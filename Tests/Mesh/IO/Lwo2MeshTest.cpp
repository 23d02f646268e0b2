#include "Libs/Mesh/IO/Lwo2Mesh.h"
#include "Libs/Mesh/IO/LwoReader.h"
#include "Tests/Mesh/IO/LwoTestBytes.h"
#include "Tests/Mesh/MeshTestHelpers.h"
#include "Tests/Support/HeadlessCore.h"
#include "Tests/Support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <set>
#include <sstream>

using namespace Vostrel::Mesh;
using namespace LwoBytes;
using MeshTest::thrownMessage;

namespace {

class Lwo2MeshTest : public Vostrel::TestSupport::HeadlessCoreTest {};

std::vector<float> contents(MeshStream* stream)
{
    StreamLock lock(*stream, LOCK_READ_ONLY);
    return std::vector<float>(lock.get(), lock.get() + stream->getVertexCount() * stream->getDimension());
}

typedef std::array<float, 3> Point;

// assimp's reading of a fixture: positions (assimp turns LightWave's
// left-handed z around) and the polygon count of the faces it kept.
void readAssimpObj(const std::string& path, std::set<Point>& positions, int& faces)
{
    std::ifstream in(path);
    ASSERT_TRUE(in) << path;
    std::string line;
    faces = 0;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "v") {
            Point p;
            words >> p[0] >> p[1] >> p[2];
            p[2] = -p[2];
            positions.insert(p);
        } else if (kind == "f") {
            ++faces;
        }
    }
}

TEST_F(Lwo2MeshTest, FaceLayersAgreeWithAssimp)
{
    for (const char* name : {"cube", "layers"}) {
        std::set<Point> expected;
        int expectedFaces = 0;
        readAssimpObj(std::string("data/") + name + ".assimp.obj", expected, expectedFaces);
        LwoReader reader(std::string("data/") + name + ".lwo");
        ASSERT_TRUE(reader.read());
        std::set<Point> ours;
        int faces = 0;
        for (const auto& layer : reader.getObject()->layers) {
            std::unique_ptr<ModifiableMesh> mesh = ConvertLayerToMesh(*reader.getObject(), layer->number);
            if (!mesh->hasTopology("triangles"))
                continue;
            std::vector<float> location = contents(mesh->getStream("location"));
            for (const std::vector<uint32_t>& polygon : mesh->getTopology("triangles")->getPolygons()) {
                ++faces;
                for (uint32_t v : polygon)
                    ours.insert({location[3 * v], location[3 * v + 1], location[3 * v + 2]});
            }
        }
        EXPECT_EQ(ours, expected) << name;
        EXPECT_EQ(faces, expectedFaces) << name;
    }
}

TEST_F(Lwo2MeshTest, LayersBecomeStreamsAndTopologies)
{
    LwoReader reader("data/layers.lwo");
    ASSERT_TRUE(reader.read());
    const LwoObject& object = *reader.getObject();

    std::unique_ptr<ModifiableMesh> quad = ConvertLayerToMesh(object, 1);
    EXPECT_EQ(quad->getStreamNames(), (std::vector<std::string>{"Texture", "location"}));
    EXPECT_EQ(contents(quad->getStream("Texture")), (std::vector<float>{0, 0, 0, 1, 1, 1, 1, 0}));

    // The morph lists two of five points; the others stay zero.
    std::unique_ptr<ModifiableMesh> fan = ConvertLayerToMesh(object, 2);
    EXPECT_EQ(contents(fan->getStream("Open")), (std::vector<float>{0, 0, 2, 0, 0, 0, 0, 0, 0, .5f, 0, 0, 0, 0, 0}));
    EXPECT_EQ(fan->getTopology("triangles")->getStatus(), TOPOLOGY_POLYGONS);
    EXPECT_EQ(fan->getTopology("triangles")->getPolygons().size(), 3u);

    std::unique_ptr<ModifiableMesh> curve = ConvertLayerToMesh(object, 4);
    EXPECT_EQ(curve->getTopologyNames(), std::vector<std::string>{"curves"});

    for (int missing : {0, 3, 5}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(thrownMessage([&] { ConvertLayerToMesh(object, missing); }), "Lwo does not contain the layer.");
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "In ConvertLayerToMesh(layerid=" + std::to_string(missing) + ")\n");
    }
}

TEST_F(Lwo2MeshTest, SeamMapsSplitCorners)
{
    LwoReader reader("data/cube.lwo");
    ASSERT_TRUE(reader.read());
    std::unique_ptr<ModifiableMesh> mesh = ConvertLayerToMesh(*reader.getObject(), 1);
    mesh->applyDiscontinuousMaps();
    // Two corners got values of their own: two new vertices carrying them.
    ASSERT_EQ(mesh->getVertexCount(), 10);
    const PolygonList& polygons = mesh->getTopology("triangles")->getPolygons();
    std::vector<float> uv = contents(mesh->getStream("texcoord"));
    const uint32_t first = polygons[0][0], second = polygons[1][2];
    EXPECT_EQ(std::vector<float>(uv.begin() + 2 * first, uv.begin() + 2 * first + 2), (std::vector<float>{.25f, .75f}));
    EXPECT_EQ(std::vector<float>(uv.begin() + 2 * second, uv.begin() + 2 * second + 2), (std::vector<float>{1, 0}));
    std::vector<float> location = contents(mesh->getStream("location"));
    EXPECT_EQ(location[3 * second + 2], 0.5f);
}

TEST_F(Lwo2MeshTest, WrongIndicesAreRefused)
{
    const Bytes points = chunk("PNTS", f4s({0, 0, 0, 1, 0, 0, 0, 1, 0}));
    const Bytes triangle = chunk("POLS", cat({text("FACE"), u2(3), u2(0), u2(1), u2(2)}));
    struct Case {
        const char* what;
        Bytes bytes;
        std::string message;
    };
    const Case cases[] = {
        {"polygon corner", form({layr(0), points, chunk("POLS", cat({text("FACE"), u2(3), u2(0), u2(1), u2(7)}))}),
         "Polygon 0 of the triangles names point 7 of 3."},
        {"seam corner", form({layr(0), points, chunk("PNTS", f4s({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0})), triangle,
                               chunk("VMAD", cat({text("TXUV"), u2(1), s0("t"), u2(3), u2(0), f4(1)}))}),
         "l<poly.count does not hold."},
        {"two FACE lists", form({layr(0), points, triangle, triangle}),
         "topologies.find(name) == topologies.end() does not hold."},
    };
    for (const Case& c : cases) {
        LwoReader reader(c.bytes);
        ASSERT_TRUE(reader.read()) << c.what;
        testing::internal::CaptureStderr();
        EXPECT_EQ(thrownMessage([&] { ConvertLayerToMesh(*reader.getObject(), 1); }), c.message) << c.what;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "In ConvertLayerToMesh(layerid=1)\n");
    }
}

// Modelers keep point selections as maps of dimension 0; those, and maps no
// stream can hold, are passed over and the rest of the layer converts.
TEST_F(Lwo2MeshTest, MapsWithoutUsableValuesArePassedOver)
{
    const Bytes points = chunk("PNTS", f4s({0, 0, 0, 1, 0, 0, 0, 1, 0}));
    const Bytes weight = chunk("VMAP", cat({text("WGHT"), u2(1), s0("w"), u2(2), f4(0.5f)}));
    const Bytes triangle = chunk("POLS", cat({text("FACE"), u2(3), u2(0), u2(1), u2(2)}));
    const Bytes pick = chunk("VMAP", cat({text("PICK"), u2(0), s0("sel"), u2(0), u2(2)}));
    const Bytes pickSeam = chunk("VMAD", cat({text("PICK"), u2(0), s0("sel"), u2(1), u2(0)}));
    struct Case {
        const char* what;
        Bytes map;
        std::string output;
    };
    const Case cases[] = {
        {"selection set", pick, ""},
        {"five values", chunk("VMAP", cat({text("WGHT"), u2(5), s0("v"), u2(0), f4s({1, 2, 3, 4, 5})})),
         "Vertex map v has 5 values per point; a stream holds 1 to 4. Passed over.\n"},
        {"stray point", chunk("VMAP", cat({text("WGHT"), u2(1), s0("v"), u2(3), f4(1)})),
         "Vertex map v names point 3 of 3. Passed over.\n"},
        {"stray point of a map named with control bytes",
         chunk("VMAP", cat({text("WGHT"), u2(1), s0("\x1b[2J\x9b"), u2(3), f4(1)})),
         "Vertex map \\x1b[2J\\x9b names point 3 of 3. Passed over.\n"},
        {"stray polygon", chunk("VMAD", cat({text("WGHT"), u2(1), s0("w"), u2(0), u2(4), f4(1)})),
         "Per-polygon map w names polygon 4 of 1. Passed over.\n"},
        {"five values a corner",
         chunk("VMAD", cat({text("WGHT"), u2(5), s0("w"), u2(0), u2(0), f4s({1, 2, 3, 4, 5})})),
         "Per-polygon map w has 5 values per corner; a stream holds 1 to 4. Passed over.\n"},
    };
    VostrelTest::TempDir dir;
    for (const Case& c : cases) {
        const Bytes file = form({layr(0), points, weight, triangle, pickSeam, c.map});
        const std::string path = dir.write("picked.lwo", std::string(file.begin(), file.end()));
        testing::internal::CaptureStdout();
        std::unique_ptr<ModifiableMesh> mesh = ModifiableMesh::create(path + "@1");
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output) << c.what;
        EXPECT_EQ(mesh->getStreamNames(), (std::vector<std::string>{"location", "w"})) << c.what;
        EXPECT_EQ(contents(mesh->getStream("w")), (std::vector<float>{0, 0, 0.5f})) << c.what;
        EXPECT_EQ(mesh->getTopology("triangles")->getPolygons(), (PolygonList{{0, 1, 2}})) << c.what;
        mesh->applyDiscontinuousMaps();
        EXPECT_EQ(mesh->getVertexCount(), 3) << c.what;
    }
}

// Layer ids are the file's layer numbers plus one, wherever those start.
TEST_F(Lwo2MeshTest, LayerIdsFollowTheFileNumbers)
{
    LwoReader reader(form({layr(2), chunk("PNTS", f4s({0, 0, 0})), layr(7), chunk("PNTS", f4s({1, 1, 1, 2, 2, 2})),
                           layr(4), chunk("PNTS", f4s({3, 3, 3, 4, 4, 4, 5, 5, 5}))}));
    ASSERT_TRUE(reader.read());
    const struct {
        int id;
        int points;
    } layers[] = {{3, 1}, {8, 2}, {5, 3}};
    for (const auto& layer : layers)
        EXPECT_EQ(ConvertLayerToMesh(*reader.getObject(), layer.id)->getVertexCount(), layer.points) << layer.id;
    for (int missing : {1, 2, 4, 7}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(thrownMessage([&] { ConvertLayerToMesh(*reader.getObject(), missing); }),
                  "Lwo does not contain the layer.");
        testing::internal::GetCapturedStderr();
    }
}

TEST_F(Lwo2MeshTest, CreateReadsALayer)
{
    std::unique_ptr<ModifiableMesh> mesh = ModifiableMesh::create("data/layers.lwo@2");
    EXPECT_EQ(mesh->getVertexCount(), 5);
    testing::internal::CaptureStderr();
    EXPECT_EQ(thrownMessage([] { ModifiableMesh::create("data/layers.lwo"); }), "Integer parsing failed. ()");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "In ModifiableMesh::create(data/layers.lwo)\n");

    // The caller's preparation runs on the mesh returned; what fails in it names the file too.
    ModifiableMesh* prepared = nullptr;
    mesh = ModifiableMesh::create("data/layers.lwo@2", [&](ModifiableMesh& read) { prepared = &read; });
    EXPECT_EQ(prepared, mesh.get());
    testing::internal::CaptureStderr();
    EXPECT_EQ(thrownMessage([] {
                  ModifiableMesh::create("data/layers.lwo@2", [](ModifiableMesh& read) { read.getTopology("patches"); });
              }),
              "Mesh does not contain a topology named patches.");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "In ModifiableMesh::create(data/layers.lwo@2)\n");
}

} // namespace
