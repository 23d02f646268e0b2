#include "Libs/Mesh/IO/V3D.h"
#include "Libs/Mesh/IO/V3DRead.h"
#include "Tests/Mesh/MeshTestHelpers.h"
#include "Tests/Support/HeadlessCore.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace Vostrel::Mesh;
using MeshTest::thrownMessage;

namespace {

struct Parsed {
    V3DFile file;
    std::string text;
    const char* body = nullptr;
    explicit Parsed(std::string t) : text(std::move(t)) { body = file.read(text.data(), text.data() + text.size()); }
};

TEST(V3DFileTest, TextBodyFillsMappedMemory)
{
    Parsed p("element vertices 3\nproperty real3 location\nproperty string label\nproperty list int ring\n"
             "param name \"two words\"\nparam name \"kept second\"\nparam unit m\ndata\n"
             "0 1 2 \"a\\\"b\" 2 7 8\n3 4 5 \"\" 0\n6 7 8 \"z\" 1 -3\n");
    float location[9] = {};
    std::string labels[3];
    p.file.mapProperty(0, 0, V3D_REAL3, location, -1);
    p.file.mapProperty(0, 1, V3D_STRING, labels, -1);
    p.file.readBody(p.body);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(location[i], float(i));
    EXPECT_EQ(labels[0], "a\\\"b");
    EXPECT_EQ(labels[2], "z");
    EXPECT_EQ(p.file.getParameter("name"), "kept second");
    EXPECT_EQ(p.file.getParameter("unit"), "m");
    EXPECT_EQ(thrownMessage([&] { p.file.getParameter("none"); }), "it != parameters.end() does not hold.");
    EXPECT_EQ(thrownMessage([&] { p.file.mapProperty(0, 0, V3D_INT3, location, -1); }),
              "Trying to read property having wrong type.");
    EXPECT_EQ(thrownMessage([&] { p.file.mapProperty(0, 0, V3D_REAL3, location, -1); }),
              "Cannot add two maps to the same property.");
}

TEST(V3DFileTest, BadHeadersAndBodies)
{
    struct Case {
        const char* text;
        int line; // 0: any
    };
    const Case cases[] = {
        {"element v 1\nproperty list float x\ndata\n1\n", 135},
        {"element v 1\nproperty float x\ndata\n1\n", 138},
        {"element v 1\nproperty int x\nreference w\ndata\n1\n", 156},
        {"element v 1\nfaces\ndata\n", 202},
        {"property int x\ndata\n", 0},
        {"element v 1\nproperty int x\n", 0},                    // no body
        {"element v 2000000000\nproperty real3 x\ndata\n1 2 3\n", 0}, // rows the body cannot hold
        {"element v 2\nproperty real x\ndata\n1 y\n", 0},
        {"element v 1\nproperty string s\ndata\n\"open\n", 0},
        {"element v 1\nproperty list int l\nbdata\n\x09\x00\x01\x00\x00\x00", 0},
    };
    for (const Case& c : cases) {
        std::string message;
        int line = -1;
        try {
            Parsed p(c.text);
            int32_t values[4];
            std::vector<int32_t> list;
            if (p.file.getPropertyType(0, 0) == V3D_LIST_INT)
                p.file.mapProperty(0, 0, V3D_LIST_INT, &list, -1);
            else if (p.file.getPropertyType(0, 0) == V3D_REAL)
                p.file.mapProperty(0, 0, V3D_REAL, values, -1);
            p.file.readBody(p.body);
        } catch (const Vostrel::Exception& e) {
            message = e.message;
            line = e.line;
        }
        EXPECT_EQ(message, "V3D file is corrupted.") << c.text;
        if (c.line) {
            EXPECT_EQ(line, c.line) << c.text;
        }
    }
}

// Writes a table both ways and reads it back, mapped in pieces so that the
// binary reader merges adjacent columns.
TEST(V3DFileTest, WrittenFilesReadBack)
{
    struct Vertex {
        float position[3];
        float uv[2];
        int32_t id;
    };
    const Vertex vertices[3] = {{{0.5f, 1, 2}, {3, 4}, 5}, {{6, 7, 8}, {9, 10}, -11}, {{12, 13, 14}, {15, 16}, 17}};
    const std::vector<int32_t> lists[2] = {{1, 2, 3}, {}};
    for (bool binary : {false, true}) {
        V3DFile out;
        const int v = out.addElement("vertices", 3);
        out.addProperty(v, "position", V3D_REAL3, vertices[0].position, sizeof(Vertex), -1);
        out.addProperty(v, "uv", V3D_REAL2, vertices[0].uv, sizeof(Vertex), -1);
        out.addProperty(v, "id", V3D_INT, &vertices[0].id, sizeof(Vertex), -1);
        const int l = out.addElement("lists", 2);
        out.addProperty(l, "ring", V3D_LIST_INT, lists, -1, v);
        out.addElement("empty", 5);
        std::ostringstream stream;
        out.write(stream, binary);
        EXPECT_NE(stream.str().find("element empty 0\n"), std::string::npos);
        EXPECT_NE(stream.str().find("    reference vertices\n"), std::string::npos);

        Parsed in(stream.str());
        Vertex read[3] = {};
        std::vector<int32_t> readLists[2];
        in.file.mapProperty(0, 0, V3D_REAL3, read[0].position, sizeof(Vertex));
        in.file.mapProperty(0, 1, V3D_REAL2, read[0].uv, sizeof(Vertex));
        in.file.mapProperty(0, 2, V3D_INT, &read[0].id, sizeof(Vertex));
        in.file.mapProperty(1, 0, V3D_LIST_INT, readLists, -1);
        in.file.readBody(in.body);
        EXPECT_EQ(std::memcmp(read, vertices, sizeof(read)), 0) << binary;
        EXPECT_EQ(readLists[0], lists[0]);
        EXPECT_EQ(readLists[1], lists[1]);
        EXPECT_EQ(in.file.getPropertyReference(1, 0), 0);
    }
}

class V3DMeshTest : public Vostrel::TestSupport::HeadlessCoreTest {
protected:
    std::unique_ptr<ModifiableMesh> load(const std::string& text)
    {
        const std::string path = testing::TempDir() + "/mesh.v3d";
        std::ofstream(path, std::ios::binary) << text;
        return readV3DMesh(path);
    }
};

std::vector<float> contents(MeshStream* stream)
{
    StreamLock lock(*stream, LOCK_READ_ONLY);
    return std::vector<float>(lock.get(), lock.get() + stream->getVertexCount() * stream->getDimension());
}

TEST_F(V3DMeshTest, VerticesAndTopologies)
{
    const std::string vertices = "element vertices 3\nproperty real3 location\nproperty int id\nproperty real2 texcoord\n";
    std::unique_ptr<ModifiableMesh> mesh =
        load(vertices + "element triangles 2\nproperty int3 indices\ndata\n"
                        "0 0 0 7 0 1\n1 0 0 8 1 1\n0 1 0 9 0 0\n0 1 2\n2 1 0\n");
    EXPECT_EQ(mesh->getStreamNames(), (std::vector<std::string>{"location", "texcoord"}));
    EXPECT_EQ(contents(mesh->getStream("texcoord")), (std::vector<float>{0, 1, 1, 1, 0, 0}));
    MeshTopology* triangles = mesh->getTopology("triangles");
    ASSERT_EQ(triangles->getPrimitiveCount(), 2);
    {
        IndexLock lock(*triangles, LOCK_READ_ONLY);
        EXPECT_EQ(std::vector<uint32_t>(lock.get(), lock.get() + 6), (std::vector<uint32_t>{0, 1, 2, 2, 1, 0}));
    }

    // "polygons" first wins; the later "triangles" is read past.
    mesh = load(vertices + "element polygons 1\nproperty list int indices\nelement triangles 1\n"
                           "property int3 indices\ndata\n0 0 0 7 0 1\n1 0 0 8 1 1\n0 1 0 9 0 0\n3 2 1 0\n0 1 2\n");
    EXPECT_EQ(mesh->getTopology("triangles")->getStatus(), TOPOLOGY_POLYGONS);
    EXPECT_EQ(mesh->getTopology("triangles")->getPolygons(), (PolygonList{{2, 1, 0}}));

    mesh = load(vertices + "data\n0 0 0 7 0 1\n1 0 0 8 1 1\n0 1 0 9 0 0\n");
    EXPECT_TRUE(mesh->getTopologyNames().empty());

    struct Case {
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {vertices + "element triangles 1\nproperty list int indices\ndata\n0 0 0 7 0 1\n1 0 0 8 1 1\n0 1 0 9 0 0\n1 0\n",
         "Trying to read property having wrong type."},
        {vertices + "element triangles 1\nproperty int3 corners\ndata\n0 0 0 7 0 1\n1 0 0 8 1 1\n0 1 0 9 0 0\n0 1 2\n",
         "Property 'indices' not found."},
        {vertices + "element triangles 1\nproperty int3 indices\ndata\n0 0 0 7 0 1\n1 0 0 8 1 1\n0 1 0 9 0 0\n0 1 3\n",
         "V3D index 3 is out of range for 3 vertices."},
        {vertices + "element polygons 1\nproperty list int indices\ndata\n0 0 0 7 0 1\n1 0 0 8 1 1\n0 1 0 9 0 0\n3 0 -1 2\n",
         "V3D index -1 is out of range for 3 vertices."},
        {"element vertices 2000000000\ndata\n", "V3D vertices without properties (2000000000 rows)."},
        {"element points 1\ndata\n", "elementId >= 0 && elementId < (int)elements.size() does not hold."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(thrownMessage([&] { load(c.text); }), c.message) << c.text;
    EXPECT_EQ(thrownMessage([] { readV3DMesh("data/none.v3d"); }), "File not found: data/none.v3d");
}

} // namespace
