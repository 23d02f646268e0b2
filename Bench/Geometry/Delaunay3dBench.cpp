// Tetrahedralising uniform random points: Delaunay3d against CGAL's
// Delaunay_triangulation_3 with exact predicates (filtered, inexact
// constructions) on the same points. Prints the ratio of the two times.

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

// The console report, then one line per size with our time over CGAL's.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            std::string name = run.benchmark_name();
            std::string size = name.substr(name.find('/') + 1);
            (name.rfind("Delaunay3d", 0) == 0 ? ours : cgal)[size] = run.GetAdjustedRealTime();
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const auto& entry : ours)
            if (cgal.count(entry.first))
                std::printf("Delaunay3d / CGAL time at %s points: %.2f\n", entry.first.c_str(),
                            entry.second / cgal[entry.first]);
    }

private:
    std::map<std::string, double> ours, cgal;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
