// Every failure whose report has always named a fixed source and line, in
// one table: the report must start with exactly that "source(line): ".
#include "Libs/Mesh/IO/Lwo2Mesh.h"
#include "Libs/Mesh/IO/LwoReader.h"
#include "Libs/Mesh/IO/V3D.h"
#include "Libs/Mesh/IO/V3DRead.h"
#include "Libs/Core/RenderContext.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Postprocessing/LuminanceFilter.h"
#include "Libs/Testing/Properties.h"
#include "Tests/Mesh/IO/LwoTestBytes.h"
#include "Tests/Support/HeadlessCore.h"
#include "Tests/Support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>

using namespace Vostrel;
using namespace Vostrel::Mesh;
using namespace LwoBytes;

namespace {

class ReportLines : public TestSupport::HeadlessCoreTest {};

void readLwo(const Bytes& bytes)
{
    LwoReader(bytes).read();
}

void convertLwo(const Bytes& bytes, int layer)
{
    LwoReader reader(bytes);
    reader.read();
    ConvertLayerToMesh(*reader.getObject(), layer);
}

// Parses a V3D header and runs a query on it.
void onV3D(const std::string& text, const std::function<void(V3DFile&)>& query = {})
{
    V3DFile file;
    file.read(text.data(), text.data() + text.size());
    if (query)
        query(file);
}

Bytes envelope(const Bytes& subchunks) { return form({chunk("ENVL", cat({u2(0), subchunks}))}); }
Bytes clipWith(const char* id, const Bytes& data)
{
    return form({chunk("CLIP", cat({u4(1), chunk(id, data, true)}))});
}

} // namespace

TEST_F(ReportLines, FixedSourcesAndLines)
{
    const Bytes points = chunk("PNTS", f4s({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}));
    const Bytes triangle = chunk("POLS", cat({text("FACE"), u2(3), u2(0), u2(1), u2(2)}));
    const std::string v3dRow = "element v 1\nproperty int a\nparam p 1\ndata\n1\n";
    const std::string v3dVertices = "element vertices 1\nproperty real3 location\n";
    VostrelTest::TempDir dir;
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string noIndices =
        dir.write("a.v3d", v3dVertices + "element triangles 1\nproperty int3 corners\ndata\n0 0 0\n0 0 0\n");
    const std::string noPolygonIndices =
        dir.write("b.v3d", v3dVertices + "element polygons 1\nproperty list int corners\ndata\n0 0 0\n1 0\n");

    std::unique_ptr<ModifiableMesh> mesh = ModifiableMesh::createEmpty();
    mesh->setVertexCount(3);
    mesh->addStream("location", 3, 0);
    mesh->addStream("wide", 5, 4);
    mesh->addTopology("triangles", 1, 3, TOPOLOGY_UNINDEXED);
    mesh->addTopology("polygons", 1, 3, TOPOLOGY_POLYGONS);
    auto render = [&](const char* stream, const char* topology) {
        Core::RenderContext context;
        mesh->createRenderingInstance({stream}, topology)->render(context);
    };

    struct Case {
        std::string report;
        std::function<void()> call;
    };
    auto at = [](const char* source, int line) { return std::string(source) + "(" + std::to_string(line) + ")"; };
    const char* const lwo = "Libs\\Mesh\\IO\\LwoReader";
    const char* const v3d = "Libs\\Mesh\\IO\\V3D";
    const char* const meshSource = "Libs\\Mesh\\ModifiableMesh";
    const Case cases[] = {
        {"Libs\\Testing\\Properties(20)", [&] { Properties::load(dir.file("none.props")); }},
        {"Libs\\Postprocessing\\LuminanceFilter(99)", [] { luminancePass3(nullptr, nullptr); }},
        {"Libs\\Mesh\\IO\\IffReader(11)", [] { LwoReader("data/none.lwo"); }},
        // Neither a folder nor a FIFO is taken for a file: one has no size, the other blocks its reader.
        {"Libs\\Mesh\\IO\\IffReader(11)", [&] { LwoReader(dir.path); }},
        {"Libs\\Mesh\\IO\\V3DRead(14)", [&] { readV3DMesh(dir.path); }},
        {"Libs\\Testing\\Properties(20)", [&] { Properties::load(fifo); }},
        {at(lwo, 893), [] { readLwo({}); }},
        {at(lwo, 888), [] { readLwo(chunk("FOR1", text("LWO2"))); }},
        {at(lwo, 883), [] { readLwo(chunk("FORM", text("LWOB"))); }},
        {at(lwo, 798), [] { readLwo(form({chunk("BBOX", f4s({0, 0, 0, 1, 1, 1}))})); }},
        {at(lwo, 808), [&] { readLwo(form({points})); }},
        {at(lwo, 819), [&] { readLwo(form({triangle})); }},
        {at(lwo, 830), [] { readLwo(form({chunk("VMAP", cat({text("TXUV"), u2(2), s0("uv")}))})); }},
        {at(lwo, 835), [] { readLwo(form({chunk("VMAD", cat({text("TXUV"), u2(2), s0("uv")}))})); }},
        {at(lwo, 840), [] { readLwo(form({chunk("PTAG", text("SURF"))})); }},
        {at(lwo, 289),
         [] { readLwo(envelope(cat({chunk("KEY ", f4s({1, 0}), true), chunk("KEY ", f4s({0, 0}), true)}))); }},
        {at(lwo, 301), [] { readLwo(envelope(chunk("SPAN", text("TCB "), true))); }},
        {at(lwo, 310),
         [] {
             readLwo(envelope(cat({chunk("KEY ", f4s({0, 0}), true),
                                   chunk("SPAN", cat({text("TCB "), f4s({1, 2, 3, 4, 5})}), true)})));
         }},
        {at(lwo, 388), [] { readLwo(clipWith("TIME", f4s({0, 1, 24}))); }},
        {at(lwo, 395), [] { readLwo(clipWith("CONT", cat({f4(0), u2(0)}))); }},
        {at(lwo, 401), [] { readLwo(clipWith("BRIT", cat({f4(0), u2(0)}))); }},
        {at(lwo, 407), [] { readLwo(clipWith("SATR", cat({f4(0), u2(0)}))); }},
        {at(lwo, 413), [] { readLwo(clipWith("HUE ", cat({f4(0), u2(0)}))); }},
        {at(lwo, 419), [] { readLwo(clipWith("GAMM", cat({f4(0), u2(0)}))); }},
        {at(lwo, 425), [] { readLwo(clipWith("NEGA", u2(1))); }},
        {at(lwo, 444), [] { readLwo(form({chunk("SURF", cat({s0("S"), s0(""), chunk("BLOK", {}, true)}))})); }},
        {"Libs\\Mesh\\IO\\Lwo2Mesh(21)", [&] { convertLwo(form({layr(0), points}), 2); }},
        {"Libs\\Mesh\\IO\\Lwo2Mesh(107)",
         [&] {
             convertLwo(form({layr(0), points, triangle,
                              chunk("VMAD", cat({text("TXUV"), u2(1), s0("t"), u2(3), u2(0), f4(1)}))}),
                        1);
         }},
        {at(v3d, 135), [] { onV3D("element v 1\nproperty list float x\ndata\n"); }},
        {at(v3d, 138), [] { onV3D("element v 1\nproperty float x\ndata\n"); }},
        {at(v3d, 156), [] { onV3D("element v 1\nproperty int x\nreference w\ndata\n"); }},
        {at(v3d, 202), [] { onV3D("element v 1\nfaces\ndata\n"); }},
        {at(v3d, 599), [&] { onV3D(v3dRow, [](V3DFile& f) { f.getElementSize(1); }); }},
        {at(v3d, 604), [&] { onV3D(v3dRow, [](V3DFile& f) { f.getElementName(-1); }); }},
        {at(v3d, 609), [&] { onV3D(v3dRow, [](V3DFile& f) { f.getPropertyCount(1); }); }},
        {at(v3d, 614), [&] { onV3D(v3dRow, [](V3DFile& f) { f.findProperty(1, "a"); }); }},
        {at(v3d, 622), [&] { onV3D(v3dRow, [](V3DFile& f) { f.getPropertyType(1, 0); }); }},
        {at(v3d, 623), [&] { onV3D(v3dRow, [](V3DFile& f) { f.getPropertyType(0, 1); }); }},
        {at(v3d, 628), [&] { onV3D(v3dRow, [](V3DFile& f) { f.getPropertyName(1, 0); }); }},
        {at(v3d, 629), [&] { onV3D(v3dRow, [](V3DFile& f) { f.getPropertyName(0, 1); }); }},
        {at(v3d, 634), [&] { onV3D(v3dRow, [](V3DFile& f) { f.getPropertyReference(1, 0); }); }},
        {at(v3d, 635), [&] { onV3D(v3dRow, [](V3DFile& f) { f.getPropertyReference(0, 1); }); }},
        {at(v3d, 641), [&] { onV3D(v3dRow, [](V3DFile& f) { f.mapProperty(1, 0, V3D_INT, nullptr, -1); }); }},
        {at(v3d, 642), [&] { onV3D(v3dRow, [](V3DFile& f) { f.mapProperty(0, 1, V3D_INT, nullptr, -1); }); }},
        {at(v3d, 645), [&] { onV3D(v3dRow, [](V3DFile& f) { f.mapProperty(0, 0, V3D_REAL, nullptr, -1); }); }},
        {at(v3d, 647),
         [&] {
             int32_t a;
             onV3D(v3dRow, [&](V3DFile& f) {
                 f.mapProperty(0, 0, V3D_INT, &a, -1);
                 f.mapProperty(0, 0, V3D_INT, &a, -1);
             });
         }},
        {at(v3d, 669), [&] { onV3D(v3dRow, [](V3DFile& f) { f.getParameter("q"); }); }},
        {"Libs\\Mesh\\IO\\V3DRead(14)", [] { readV3DMesh("data/none.v3d"); }},
        {"Libs\\Mesh\\IO\\V3DRead(70)", [&] { readV3DMesh(noIndices); }},
        {"Libs\\Mesh\\IO\\V3DRead(79)", [&] { readV3DMesh(noPolygonIndices); }},
        {"Libs\\Mesh\\ModifiableMeshRead(15)", [] { ModifiableMesh::create(""); }},
        {"Libs\\Mesh\\ModifiableMeshRead(46)", [] { ModifiableMesh::create("box.obj"); }},
        {at(meshSource, 393), [&] { mesh->getTopology("lines"); }},
        {at(meshSource, 407), [&] { render("normal", "triangles"); }},
        {at(meshSource, 1052), [&] { render("wide", "triangles"); }},
        {at(meshSource, 76), [&] { render("location", "triangles"); }},
        {at(meshSource, 990),
         [&] {
             mesh->freeze(4);
             mesh->getTopology("triangles")->setIndicesPerPrimitive(4);
             render("location", "triangles");
         }},
        {at(meshSource, 1009), [&] { render("location", "polygons"); }},
    };
    for (const Case& c : cases) {
        std::string report;
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        try {
            c.call();
        } catch (const Exception& e) {
            report = e.report();
        }
        testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(report.substr(0, report.find("): ") + 3), c.report + ": ") << report;
    }
}
