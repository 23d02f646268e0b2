// Tetrahedralising uniform random points: Delaunay3d against CGAL's
// Delaunay_triangulation_3 with exact predicates (filtered, inexact
// constructions) on the same points, once with CGAL's own spatially sorted
// insertion and once inserting in our shuffled order, a point at a time.
// Every side runs on this thread and is timed in its processor time, so that
// other load on the machine counts for none. Prints the ratio of our time to
// each.

#include "Bench/Support/Briefly.h"
#include "Bench/Support/RatioReporter.h"
#include "Bench/Support/ThreadTime.h"
#include "Libs/Math/Delaunay3d.h"
#include "Platform/Runtime/Runtime.h"

#include <CGAL/Delaunay_triangulation_3.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <utility>
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

// Every build starts the rand stream afresh, so that each one inserts in the
// order cgalOrder gives.
const unsigned int kSeed = 1;

// The insertion order Delaunay3d::build draws from the rand stream: the same
// Fisher-Yates, the same scale.
std::vector<int> cgalOrder(int count)
{
    const float shuffleScale = 3.0518509447574615e-05f;
    std::vector<int> order(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        order[i] = i;
    Runtime::srand(kSeed);
    for (int i = count - 1; i >= 1; --i) {
        std::int64_t draw = Runtime::rand();
        int k = static_cast<int>(static_cast<double>(draw * (i + 1)) * static_cast<double>(shuffleScale));
        std::swap(order[i], order[k]);
    }
    return order;
}

void Delaunay3dTetrahedralize(benchmark::State& state)
{
    const std::vector<Vec3>& points = cloud(static_cast<int>(state.range(0)));
    size_t cells = 0;
    for (auto _ : state) {
        const double start = VostrelBench::threadSeconds();
        Runtime::srand(kSeed);
        {
            Vostrel::Delaunay3d builder;
            cells = builder.tetrahedralize(static_cast<int>(points.size()), points.data()).size();
            benchmark::DoNotOptimize(cells);
        }
        state.SetIterationTime(VostrelBench::threadSeconds() - start);
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
        const double start = VostrelBench::threadSeconds();
        {
            Reference triangulation(points.begin(), points.end());
            cells = triangulation.number_of_finite_cells();
            benchmark::DoNotOptimize(cells);
        }
        state.SetIterationTime(VostrelBench::threadSeconds() - start);
    }
    state.counters["cells"] = static_cast<double>(cells);
}

// One point at a time in our order, each located from the last one's cell.
void CgalSameOrder(benchmark::State& state)
{
    const std::vector<Vec3>& cloudPoints = cloud(static_cast<int>(state.range(0)));
    std::vector<Kernel::Point_3> points;
    for (int index : cgalOrder(static_cast<int>(cloudPoints.size()))) {
        const Vec3& p = cloudPoints[index];
        points.emplace_back(p.data[0], p.data[1], p.data[2]);
    }
    size_t cells = 0;
    for (auto _ : state) {
        const double start = VostrelBench::threadSeconds();
        {
            Reference triangulation;
            Reference::Cell_handle hint;
            for (const Kernel::Point_3& p : points)
                hint = triangulation.insert(p, hint)->cell();
            cells = triangulation.number_of_finite_cells();
            benchmark::DoNotOptimize(cells);
        }
        state.SetIterationTime(VostrelBench::threadSeconds() - start);
    }
    state.counters["cells"] = static_cast<double>(cells);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const std::pair<const char*, void (*)(benchmark::State&)> sides[] = {
        {"Delaunay3dTetrahedralize", Delaunay3dTetrahedralize},
        {"CgalDelaunayTriangulation3", CgalDelaunayTriangulation3},
        {"CgalSameOrder", CgalSameOrder},
    };
    for (const auto& side : sides)
        VostrelBench::runFor(benchmark::RegisterBenchmark(side.first, side.second), 0.5)
            ->Arg(10000)
            ->Arg(100000)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime();
    // Two reports of one run: against CGAL's sorted insertion and against
    // CGAL inserting our order.
    VostrelBench::RatioReporter reporter("Delaunay3d", "CgalDelaunay",
                                         "Delaunay3d / CGAL (spatially sorted) CPU time at %s points: %.2f\n");
    reporter.addPeer("CgalSameOrder", "Delaunay3d / CGAL (same order) CPU time at %s points: %.2f\n");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.anyFailed() ? 1 : 0;
}
