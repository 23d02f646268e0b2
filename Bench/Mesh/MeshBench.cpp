// Reading a LightWave object of 200,000 polygons (quads and triangles on a
// grid, a UV map, a per-polygon UV map on every tenth polygon, three
// surfaces) into an editable mesh, against assimp importing the same file
// without post-processing, in one run. The file is written to a temporary
// folder when the benchmark starts. Both sides run on this thread and are
// timed in its processor time, so that other load on the machine counts for
// neither. Prints the ratio of the two times. Meshes
// live on a Direct3D core: run with SDL_VIDEODRIVER=offscreen where there is
// no display.
#include "Bench/Support/Briefly.h"
#include "Bench/Support/RatioReporter.h"
#include "Bench/Support/ThreadTime.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Mesh/ModifiableMesh.h"

#include <assimp/cimport.h>
#include <assimp/scene.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const int kPolygons = 200000;
const int kGrid = 400; // cells a side, more than the polygons need

// Big-endian LWO2 bytes.
struct Bytes {
    std::vector<uint8_t> data;
    void u2(uint32_t v) { data.insert(data.end(), {uint8_t(v >> 8), uint8_t(v)}); }
    void u4(uint32_t v) { data.insert(data.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}); }
    void f4(float f)
    {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        u4(bits);
    }
    void vx(uint32_t index)
    {
        if (index < 0xff00)
            u2(index);
        else
            u4(0xff000000u | index);
    }
    void id(const char* four) { data.insert(data.end(), four, four + 4); }
    void s0(const std::string& text)
    {
        data.insert(data.end(), text.begin(), text.end());
        data.push_back(0);
        if (data.size() % 2)
            data.push_back(0);
    }
    void chunk(const char* four, const Bytes& body, bool shortHeader = false)
    {
        id(four);
        if (shortHeader)
            u2(uint32_t(body.data.size()));
        else
            u4(uint32_t(body.data.size()));
        data.insert(data.end(), body.data.begin(), body.data.end());
        if (body.data.size() % 2)
            data.push_back(0);
    }
};

std::vector<uint8_t> makeObject()
{
    const int side = kGrid + 1;
    auto point = [side](int x, int y) { return uint32_t(y * side + x); };
    // Cells in rows; every third cell is split into two triangles.
    std::vector<std::vector<uint32_t>> polygons;
    for (int y = 0; y < kGrid && int(polygons.size()) < kPolygons; ++y)
        for (int x = 0; x < kGrid && int(polygons.size()) < kPolygons; ++x) {
            const uint32_t a = point(x, y), b = point(x + 1, y), c = point(x + 1, y + 1), d = point(x, y + 1);
            if ((x + y) % 3 == 0) {
                polygons.push_back({a, b, c});
                if (int(polygons.size()) < kPolygons)
                    polygons.push_back({a, c, d});
            } else {
                polygons.push_back({a, b, c, d});
            }
        }
    if (int(polygons.size()) != kPolygons)
        throw std::runtime_error("the grid is too small");

    Bytes body;
    body.id("LWO2");
    Bytes tags;
    for (const char* name : {"Stone", "Metal", "Glass"})
        tags.s0(name);
    body.chunk("TAGS", tags);
    Bytes layer;
    layer.u2(0);
    layer.u2(0);
    for (int i = 0; i < 3; ++i)
        layer.f4(0);
    layer.s0("Grid");
    body.chunk("LAYR", layer);
    Bytes points;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            points.f4(float(x));
            points.f4(0.25f * float((x * 7 + y * 13) % 5));
            points.f4(float(y));
        }
    body.chunk("PNTS", points);
    Bytes uv;
    uv.id("TXUV");
    uv.u2(2);
    uv.s0("UV");
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            uv.vx(point(x, y));
            uv.f4(float(x) / kGrid);
            uv.f4(float(y) / kGrid);
        }
    body.chunk("VMAP", uv);
    Bytes faces;
    faces.id("FACE");
    for (const auto& polygon : polygons) {
        faces.u2(uint32_t(polygon.size()));
        for (uint32_t vertex : polygon)
            faces.vx(vertex);
    }
    body.chunk("POLS", faces);
    Bytes surfaceTags;
    surfaceTags.id("SURF");
    for (int k = 0; k < kPolygons; ++k) {
        surfaceTags.vx(uint32_t(k));
        surfaceTags.u2(uint32_t(k % 3));
    }
    body.chunk("PTAG", surfaceTags);
    Bytes seams;
    seams.id("TXUV");
    seams.u2(2);
    seams.s0("UV");
    for (int k = 0; k < kPolygons; k += 10)
        for (size_t corner = 0; corner < polygons[k].size(); ++corner) {
            seams.vx(polygons[k][corner]);
            seams.vx(uint32_t(k));
            seams.f4(0.125f * float(corner));
            seams.f4(1.0f - 0.125f * float(corner));
        }
    body.chunk("VMAD", seams);
    const float colours[3][3] = {{0.5f, 0.45f, 0.4f}, {0.7f, 0.7f, 0.75f}, {0.2f, 0.4f, 0.6f}};
    int surface = 0;
    for (const char* name : {"Stone", "Metal", "Glass"}) {
        Bytes description;
        description.s0(name);
        description.s0("");
        Bytes colour;
        for (float channel : colours[surface])
            colour.f4(channel);
        colour.vx(0);
        description.chunk("COLR", colour, true);
        Bytes diffuse;
        diffuse.f4(0.8f);
        diffuse.vx(0);
        description.chunk("DIFF", diffuse, true);
        body.chunk("SURF", description);
        ++surface;
    }
    Bytes file;
    file.chunk("FORM", body);
    return file.data;
}

class File {
public:
    File()
    {
        char pattern[] = "/tmp/vostrel-mesh-bench-XXXXXX";
        if (!::mkdtemp(pattern))
            throw std::runtime_error("no temporary folder");
        folder = pattern;
        const std::vector<uint8_t> bytes = makeObject();
        std::ofstream out(path(), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!out)
            throw std::runtime_error("cannot write " + path());
    }
    ~File() { std::filesystem::remove_all(folder); }
    std::string path() const { return folder + "/grid.lwo"; }

private:
    std::string folder;
};

const File& file()
{
    static const File made;
    return made;
}

void vostrelRead(benchmark::State& state)
{
    const std::string name = file().path() + "@1";
    size_t polygons = 0;
    for (auto _ : state) {
        const double start = VostrelBench::threadSeconds();
        std::unique_ptr<Vostrel::Mesh::ModifiableMesh> mesh = Vostrel::Mesh::ModifiableMesh::create(name);
        polygons = mesh->getTopology("triangles")->getPolygons().size();
        benchmark::DoNotOptimize(polygons);
        mesh.reset();
        state.SetIterationTime(VostrelBench::threadSeconds() - start);
    }
    if (polygons != size_t(kPolygons))
        state.SkipWithError("wrong polygon count");
}

void assimpRead(benchmark::State& state)
{
    const std::string name = file().path();
    unsigned int faces = 0;
    for (auto _ : state) {
        const double start = VostrelBench::threadSeconds();
        const aiScene* scene = aiImportFile(name.c_str(), 0);
        if (!scene) {
            state.SkipWithError(aiGetErrorString());
            break;
        }
        faces = 0;
        for (unsigned int m = 0; m < scene->mNumMeshes; ++m)
            faces += scene->mMeshes[m]->mNumFaces;
        aiReleaseImport(scene);
        benchmark::DoNotOptimize(faces);
        state.SetIterationTime(VostrelBench::threadSeconds() - start);
    }
    if (faces != unsigned(kPolygons))
        state.SkipWithError("assimp read a different polygon count");
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    Vostrel::Core::DXCore::install();
    Vostrel::Core::WindowParameters window;
    window.width = 32;
    window.height = 32;
    if (!Vostrel::Core::createCore(window)) {
        std::fprintf(stderr, "no Direct3D core\n");
        return 1;
    }
    VostrelBench::runFor(benchmark::RegisterBenchmark("Vostrel/lwo2-200000-polygons", vostrelRead), 2.0)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    VostrelBench::runFor(benchmark::RegisterBenchmark("assimp/lwo2-200000-polygons", assimpRead), 2.0)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    VostrelBench::RatioReporter reporter("Vostrel", "assimp", "Vostrel / assimp CPU time, %s: %.2f\n");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    Vostrel::Core::APICore::destroyInstance();
    return reporter.anyFailed() ? 1 : 0;
}
