#include "Libs/Mesh/Subdivision/Subdivision.h"
#include "Tests/Mesh/MeshTestHelpers.h"
#include "Tests/Support/HeadlessCore.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <set>

using namespace Vostrel::Mesh;
using MeshTest::thrownMessage;

namespace {

class SubdivisionTest : public Vostrel::TestSupport::HeadlessCoreTest {};

typedef std::array<double, 3> P;

std::unique_ptr<ModifiableMesh> polygonMesh(const std::vector<float>& positions, const PolygonList& polygons)
{
    std::unique_ptr<ModifiableMesh> mesh = ModifiableMesh::createEmpty();
    mesh->setVertexCount(static_cast<int>(positions.size() / 3));
    mesh->addStreamFromData("location", 3, positions.data(), 0);
    mesh->addTopology("triangles", 0, 3, TOPOLOGY_POLYGONS)->getPolygons() = polygons;
    return mesh;
}

std::vector<float> contents(MeshStream* stream)
{
    StreamLock lock(*stream, LOCK_READ_ONLY);
    return std::vector<float>(lock.get(), lock.get() + stream->getVertexCount() * stream->getDimension());
}

// Textbook Catmull-Clark on a closed quad mesh, written independently: face
// points, edge points (a + b + f1 + f2) / 4, vertices (F + 2R + (n - 3)P) / n.
std::set<P> catmullClark(const std::vector<float>& positions, const PolygonList& polygons)
{
    auto at = [&](uint32_t v) { return P{positions[3 * v], positions[3 * v + 1], positions[3 * v + 2]}; };
    std::vector<P> facePoints;
    std::map<std::pair<uint32_t, uint32_t>, std::vector<size_t>> edgeFaces;
    for (size_t f = 0; f < polygons.size(); ++f) {
        P sum{0, 0, 0};
        for (size_t i = 0; i < polygons[f].size(); ++i) {
            for (int j = 0; j < 3; ++j)
                sum[j] += at(polygons[f][i])[j] / polygons[f].size();
            uint32_t a = polygons[f][i], b = polygons[f][(i + 1) % polygons[f].size()];
            edgeFaces[{std::min(a, b), std::max(a, b)}].push_back(f);
        }
        facePoints.push_back(sum);
    }
    std::set<P> result;
    auto rounded = [](P p) {
        for (double& x : p)
            x = std::round(x * 1e5) / 1e5;
        return p;
    };
    for (const auto& edge : edgeFaces) {
        P e;
        for (int j = 0; j < 3; ++j)
            e[j] = (at(edge.first.first)[j] + at(edge.first.second)[j] + facePoints[edge.second[0]][j] +
                    facePoints[edge.second[1]][j]) / 4;
        result.insert(rounded(e));
    }
    for (size_t f = 0; f < facePoints.size(); ++f)
        result.insert(rounded(facePoints[f]));
    for (uint32_t v = 0; v < positions.size() / 3; ++v) {
        P F{0, 0, 0}, R{0, 0, 0};
        double n = 0;
        for (size_t f = 0; f < polygons.size(); ++f)
            for (uint32_t c : polygons[f])
                if (c == v) {
                    n += 1;
                    for (int j = 0; j < 3; ++j)
                        F[j] += facePoints[f][j];
                }
        double edges = 0;
        for (const auto& edge : edgeFaces)
            if (edge.first.first == v || edge.first.second == v) {
                edges += 1;
                for (int j = 0; j < 3; ++j)
                    R[j] += (at(edge.first.first)[j] + at(edge.first.second)[j]) / 2;
            }
        P out;
        for (int j = 0; j < 3; ++j)
            out[j] = (F[j] / n + 2 * R[j] / edges + (n - 3) * at(v)[j]) / n;
        result.insert(rounded(out));
    }
    return result;
}

TEST_F(SubdivisionTest, CubeLevelMatchesCatmullClark)
{
    MeshTest::Cube cube;
    std::unique_ptr<ModifiableMesh> source = polygonMesh(cube.positions, cube.quads);
    std::unique_ptr<ModifiableMesh> destination = ModifiableMesh::createEmpty();
    subdivide(*source, *destination, 1, "location");
    ASSERT_EQ(destination->getVertexCount(), 8 + 6 + 12);
    EXPECT_EQ(destination->getTopology("triangles")->getPolygons().size(), 24u);
    std::vector<float> location = contents(destination->getStream("location"));
    std::set<P> ours;
    for (size_t v = 0; v < location.size() / 3; ++v)
        ours.insert({std::round(location[3 * v] * 1e5) / 1e5, std::round(location[3 * v + 1] * 1e5) / 1e5,
                     std::round(location[3 * v + 2] * 1e5) / 1e5});
    EXPECT_EQ(ours, catmullClark(cube.positions, cube.quads));
    EXPECT_EQ(contents(source->getStream("location")), cube.positions); // the source is left alone
}

TEST_F(SubdivisionTest, SplitCarriesStreamsByAveraging)
{
    // Two triangles sharing an edge: 4 + 2 + 5 vertices, 6 quads.
    std::unique_ptr<ModifiableMesh> source = polygonMesh({0, 0, 0, 2, 0, 0, 2, 2, 0, 0, 2, 0}, {{0, 1, 2}, {0, 2, 3}});
    source->addStreamFromData("texcoord", 1, std::vector<float>{0, 1, 2, 3}.data(), 0);
    source->addStream("unused", 2, 0);
    source->setVertexCount(5); // vertex 4 belongs to no polygon
    std::unique_ptr<ModifiableMesh> split = ModifiableMesh::createEmpty();
    splitPolygons(*source, *split);
    ASSERT_EQ(split->getVertexCount(), 5 + 2 + 5);
    EXPECT_EQ(split->getTopology("triangles")->getPolygons().size(), 6u);
    std::vector<float> uv = contents(split->getStream("texcoord"));
    EXPECT_FLOAT_EQ(uv[5], 1.0f);          // face point of (0, 1, 2)
    EXPECT_FLOAT_EQ(uv[7], 0.5f);          // first edge point, (0, 1)
    EXPECT_EQ(split->getTopology("triangles")->getPolygons()[0], (std::vector<uint32_t>{5, 7, 1, 8}));
    smoothStream(*split, "texcoord");
    EXPECT_EQ(contents(split->getStream("texcoord"))[4], 0.0f); // unused vertex stays

    std::unique_ptr<ModifiableMesh> again = ModifiableMesh::createEmpty();
    EXPECT_EQ(thrownMessage([&] { splitPolygons(*again, *split); }), "mesh->hasTopology(\"triangles\") does not hold.");
    EXPECT_EQ(thrownMessage([&] { splitPolygons(*source, *split); }),
              "topologies.find(name) == topologies.end() does not hold.");
    std::unique_ptr<ModifiableMesh> three = ModifiableMesh::createEmpty();
    subdivideStreams(*source, *three, 3, {});
    EXPECT_EQ(three->getTopology("triangles")->getPolygons().size(), 6u * 4 * 4);
    std::unique_ptr<ModifiableMesh> broken = polygonMesh({0, 0, 0}, {{0, 9, 0}});
    std::unique_ptr<ModifiableMesh> out = ModifiableMesh::createEmpty();
    EXPECT_NE(thrownMessage([&] { subdivide(*broken, *out, 2, "location"); }), "");
}

} // namespace
