// Tetrahedralising uniform random points: Delaunay3d against CGAL's
// Delaunay_triangulation_3 with exact predicates (filtered, inexact
// constructions) on the same points. Prints the ratio of the two times.

#include "Bench/Support/RatioReporter.h"
#include "Libs/Math/Delaunay3d.h"

#include <CGAL/Delaunay_triangulation_3.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

typedef CGAL::Exact_predicates_inexact_constructions_kernel Kernel;
typedef CGAL::Delaunay_triangulation_3<Kernel> Reference;

const std::vector<Vec3>& cloud(int count)
{
    static std::map<int, std::vector<Vec3>> clouds;
    std::vector<Vec3>& points = clouds[count];
    if (points.empty()) {
        std::mt19937 engine(2024);
        std::uniform_real_distribution<float> coordinate(-1.0f, 1.0f);
        for (int i = 0; i < count; ++i)
            points.push_back(Vec3(coordinate(engine), coordinate(engine), coordinate(engine)));
    }
    return points;
}

void Delaunay3dTetrahedralize(benchmark::State& state)
{
    const std::vector<Vec3>& points = cloud(static_cast<int>(state.range(0)));
    size_t cells = 0;
    for (auto _ : state) {
        Vostrel::Delaunay3d builder;
        cells = builder.tetrahedralize(static_cast<int>(points.size()), points.data()).size();
        benchmark::DoNotOptimize(cells);
    }
    state.counters["cells"] = static_cast<double>(cells);
}

void CgalDelaunayTriangulation3(benchmark::State& state)
{
    std::vector<Kernel::Point_3> points;
    for (const Vec3& p : cloud(static_cast<int>(state.range(0))))
        points.emplace_back(p.data[0], p.data[1], p.data[2]);
    size_t cells = 0;
    for (auto _ : state) {
        Reference triangulation(points.begin(), points.end());
        cells = triangulation.number_of_finite_cells();
        benchmark::DoNotOptimize(cells);
    }
    state.counters["cells"] = static_cast<double>(cells);
}

BENCHMARK(Delaunay3dTetrahedralize)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(CgalDelaunayTriangulation3)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    VostrelBench::RatioReporter reporter("Delaunay3d", "Cgal", "Delaunay3d / CGAL time at %s points: %.2f\n");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
