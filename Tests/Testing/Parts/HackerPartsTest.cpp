// The attack and the two hacker parts played by the show from generated
// content, their line clouds against the tetrahedralisation, the glow and
// explosion schedule, and the second hacker's network.
#include "Libs/Math/Delaunay3d.h"
#include "Libs/Math/Random.h"
#include "Libs/Mesh/IO/Lwo2Mesh.h"
#include "Libs/Mesh/MeshStream.h"
#include "Libs/Mesh/MeshTopology.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Scene/Scene.h"
#include "Libs/Scene/SceneRenderer.h"
#include "Libs/Serializing/Serializer.h"
#include "Libs/Testing/AttackEffect.h"
#include "Libs/Testing/HaxorEffect1.h"
#include "Libs/Testing/HaxorEffect2.h"
#include "Tests/Support/HeadlessCore.h"
#include "Tests/Testing/Parts/PartShow.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace Vostrel {
namespace {

using PartTests::Frame;

const float haxorStart = 122.69519f;
const float attackStart = 157.604279f;
const double attackBeatsPerSecond = 110.0 / 60.0;

float attackBeat(double beat) { return static_cast<float>(attackStart + beat / attackBeatsPerSecond); }

void expectDistinct(const std::vector<Frame>& frames, const std::vector<float>& times)
{
    for (size_t i = 0; i < frames.size(); ++i)
        PartTests::expectLively(frames[i], "frame at " + std::to_string(times[i]));
    for (size_t i = 1; i < frames.size(); ++i)
        EXPECT_GT(frames[i].meanDifference(frames[i - 1]), 1.0) << times[i];
}

// ---- First hacker part ---------------------------------------------------------------

// The line clouds and the explosion draw from the program-wide generator:
// seeded, so the golden frames hold.
void seedShow()
{
    randomUInt32();
    seedMT(1234);
}

class HaxorShow : public PartTests::PartShow {
protected:
    HaxorShow() : PartShow("HaxorEffect1", {"haxor1"}) { seedShow(); }
    HaxorEffect1Impl& haxor() { return dynamic_cast<HaxorEffect1Impl&>(*getPart()); }
};

TEST_F(HaxorShow, PlaysItsSegmentAndTakesNoNewTargets)
{
    const std::vector<float> times = {haxorStart + 0.3f, haxorStart + 9.0f, haxorStart + 13.1f, haxorStart + 25.8f};
    ASSERT_TRUE(play(times)) << errors;
    ASSERT_EQ(frames().size(), times.size());
    expectDistinct(frames(), times);
    expectGolden(frames()[2], "haxor1-mid");

    // Every target a frame takes was made at init and is back afterwards.
    PartTests::expectNoTargetsMade([this] {
        haxor().setTime(3.0f, 0);
        haxor().render(*show->getTargets().c);
    });
}

TEST_F(HaxorShow, LightFollowsItsParentAndTilesFlashOncePerFrame)
{
    ASSERT_TRUE(play({haxorStart + 0.1f})) << errors;
    Haxor1Scene& scene = *haxor().getScene();
    // The light hangs at (2.5, 1, -2.5) from a rig at (0, 3, 0) turning about y.
    for (float t : {0.0f, 5.0f, 11.0f}) {
        const Vec3 p = scene.lightPosition(t);
        EXPECT_NEAR(p[1], 4.0f, 1e-4f) << t;
        EXPECT_NEAR(std::hypot(p[0], p[2]), std::hypot(2.5f, 2.5f), 1e-4f) << t;
    }
    EXPECT_GT(length(scene.lightPosition(0.0f) - scene.lightPosition(5.0f)), 0.5);

    // The table: a flash when a beat 0, 3, 6, 9 or 14 of 16 is passed, at most one per frame.
    struct Step {
        int last, beat;
        bool flash;
    };
    for (const Step& s : std::vector<Step>{{-1, 0, true}, {0, 1, false}, {2, 3, true}, {4, 5, false}, {5, 6, true},
                                           {8, 9, true}, {13, 14, true}, {15, 16, true}, {16, 17, false},
                                           {9, 13, false}, {3, 10, true}, {20, 4, false}, {30, 30, false}})
        EXPECT_EQ(Haxor1Scene::flashes(s.last, s.beat), s.flash) << s.last << " -> " << s.beat;
    const int before = scene.getFlashCount();
    scene.update(10.0f / 8.0f); // beats 1..10: 3, 6 and 9 give one flash
    EXPECT_EQ(scene.getFlashCount(), before + 1);
    scene.update(0.0f); // backwards: none
    EXPECT_EQ(scene.getFlashCount(), before + 1);
    EXPECT_EQ(scene.getLastBeat(), 0);
}

// The scene file with one object renamed, so the part misses it.
void renameObject(const std::string& file, const std::string& name)
{
    std::unique_ptr<Scene> scene = Scene::load(file);
    scene->findObject(name)->setStringConstant("objectName", "Renamed");
    Serializer out(file, false);
    scene->serialize(out);
    out.finish();
}

struct MissingObject {
    const char* part;
    const char* writer;
    const char* file;
    const char* object;
};

class BadContent : public PartTests::PartShow, public ::testing::WithParamInterface<MissingObject> {
protected:
    BadContent() : PartShow(GetParam().part, {GetParam().writer}) {}
};

TEST_P(BadContent, InitFailsNamingTheFileAndTheObject)
{
    renameObject(GetParam().file, GetParam().object);
    EXPECT_FALSE(play({GetParam().part == std::string("AttackEffect") ? attackBeat(2.0) : haxorStart + 1.0f}));
    EXPECT_NE(errors.find(GetParam().file), std::string::npos) << errors;
    EXPECT_NE(errors.find(GetParam().object), std::string::npos) << errors;
    // The scene on a context line of its own; the report as raised.
    const std::string scene = GetParam().part == std::string("AttackEffect") ? "AttackScene" : "Haxor1Scene";
    EXPECT_NE(errors.find("In " + scene + "(" + GetParam().file + ")\n"), std::string::npos) << errors;
    const std::string report = errors.substr(errors.rfind('\n', errors.size() - 2) + 1);
    EXPECT_EQ(report.find(GetParam().file), std::string::npos) << report;
}

INSTANTIATE_TEST_SUITE_P(Hacker, BadContent,
                         ::testing::Values(MissingObject{"HaxorEffect1", "haxor1", "data/Models/hax1.sce", "Light"},
                                           MissingObject{"HaxorEffect1", "haxor1", "data/Models/hax1.sce",
                                                         "itree:Layer1 (4)"},
                                           MissingObject{"HaxorEffect1", "haxor1", "data/Models/hax1.sce", "viivat2"},
                                           MissingObject{"AttackEffect", "attack", "data/Models/con2.sce",
                                                         "con3:Layer12"},
                                           MissingObject{"AttackEffect", "attack", "data/Models/con2.sce", "Camera"}));

// ---- Line clouds ----------------------------------------------------------------------

class LineClouds : public TestSupport::HeadlessCoreTest {
protected:
    void SetUp() override
    {
        HeadlessCoreTest::SetUp();
        // The first draw of a run seeds from the clock: have it before seeding.
        randomUInt32();
    }
    static std::vector<Vec3> locations(Mesh::ModifiableMesh& mesh)
    {
        Mesh::MeshStream* stream = mesh.getStream("location");
        const Vec3* data = Mesh::getVec3Array(stream, Core::LOCK_READ_ONLY);
        std::vector<Vec3> out(data, data + mesh.getVertexCount());
        stream->unlock();
        return out;
    }
    static std::vector<Vec3> spread(uint32_t seed, int n)
    {
        seedMT(seed);
        std::vector<Vec3> points(n);
        spreadPoints(n, &points[0][0]);
        return points;
    }
    // A segment as rounded end points, in either order.
    static std::array<long, 6> key(Vec3 a, Vec3 b)
    {
        auto r = [](float v) { return std::lround(v * 1e4f); };
        std::array<long, 3> p{r(a[0]), r(a[1]), r(a[2])}, q{r(b[0]), r(b[1]), r(b[2])};
        if (q < p)
            std::swap(p, q);
        return {p[0], p[1], p[2], q[0], q[1], q[2]};
    }
    void TearDown() override
    {
        resetRandomGenerator();
        HeadlessCoreTest::TearDown();
    }
};

TEST_F(LineClouds, DelaunayLinesAreEachTetrahedronsEdgesShrunkToEightyPercent)
{
    seedMT(11);
    std::unique_ptr<Mesh::ModifiableMesh> mesh = createDelaunayLineMesh();
    const std::vector<Vec3> points = spread(11, 80);
    const std::vector<std::array<int, 4>> tetrahedra = Delaunay3d().tetrahedralize(80, points.data());
    const int k = static_cast<int>(tetrahedra.size());
    ASSERT_GT(k, 80);
    ASSERT_EQ(mesh->getVertexCount(), 12 * k);
    EXPECT_EQ(mesh->getTopology("lines")->getPrimitiveCount(), 6 * k);
    std::multiset<std::array<long, 6>> expected, found;
    for (const std::array<int, 4>& t : tetrahedra) {
        Vec3 m(0.0f);
        for (int c : t)
            m += points[c] * 0.25f;
        for (int a = 0; a < 4; ++a)
            for (int b = a + 1; b < 4; ++b)
                expected.insert(key(m + (points[t[a]] - m) * 0.8f, m + (points[t[b]] - m) * 0.8f));
    }
    const std::vector<Vec3> lines = locations(*mesh);
    for (size_t i = 0; i < lines.size(); i += 2)
        found.insert(key(lines[i], lines[i + 1]));
    EXPECT_TRUE(found == expected);
}

TEST_F(LineClouds, VoronoiLinesAreTheEdgesScaledByOneAndAHalf)
{
    seedMT(5);
    std::unique_ptr<Mesh::ModifiableMesh> mesh = createVoronoiLineMesh();
    const std::vector<Vec3> points = spread(5, 250);
    const std::vector<std::array<Vec3, 2>> edges = Delaunay3d().voronoiEdges(250, points.data());
    ASSERT_FALSE(edges.empty());
    ASSERT_EQ(mesh->getVertexCount(), static_cast<int>(2 * edges.size()));
    EXPECT_EQ(mesh->getTopology("lines")->getPrimitiveCount(), static_cast<int>(edges.size()));
    // The insertion order, and so the edges' order, differs from build to build.
    std::multiset<std::array<long, 6>> expected, found;
    for (const std::array<Vec3, 2>& edge : edges)
        expected.insert(key(edge[0] * 1.5f, edge[1] * 1.5f));
    const std::vector<Vec3> lines = locations(*mesh);
    for (size_t i = 0; i < lines.size(); i += 2)
        found.insert(key(lines[i], lines[i + 1]));
    EXPECT_TRUE(found == expected);
}

TEST_F(LineClouds, SpreadPointsStayInTheCubeAndMoveApart)
{
    auto closest = [](const std::vector<Vec3>& p) {
        double best = 1e9;
        for (size_t i = 0; i < p.size(); ++i)
            for (size_t j = i + 1; j < p.size(); ++j)
                best = std::min(best, length(p[i] - p[j]));
        return best;
    };
    seedMT(3);
    std::vector<Vec3> raw(80);
    for (Vec3& p : raw)
        p = randomPointInUnitSphere();
    const std::vector<Vec3> spreadOut = spread(3, 80);
    for (const Vec3& p : spreadOut)
        for (int k = 0; k < 3; ++k)
            EXPECT_LE(std::fabs(p[k]), 1.01f);
    EXPECT_GT(closest(spreadOut), 3.0 * closest(raw));
}

// ---- Attack part ----------------------------------------------------------------------

class AttackShow : public PartTests::PartShow {
protected:
    AttackShow() : PartShow("AttackEffect", {"attack"}) { seedShow(); }
    AttackEffectImpl& attack() { return dynamic_cast<AttackEffectImpl&>(*getPart()); }
};

TEST_F(AttackShow, PlaysThroughTheExplosionTheBlackTrianglesAndTheGlow)
{
    const std::vector<float> times = {attackBeat(1.0), attackBeat(12.0), 168.513f, attackBeat(23.0), 172.877f, 181.604f, attackBeat(46.0)};
    ASSERT_TRUE(play(times)) << errors;
    ASSERT_EQ(frames().size(), times.size());
    expectDistinct(frames(), times);
    expectGolden(frames()[1], "attack-mid");
    PartTests::expectNoTargetsMade([this] {
        attack().setTime(30.0f, 0);
        attack().render(*show->getTargets().a);
    });
}

TEST_F(AttackShow, StructureBurstsAtBeatTwentyAndGlowRisesAfterFortyFour)
{
    ASSERT_TRUE(play({attackBeat(2.0)})) << errors;
    AttackScene& scene = *attack().getScene();
    auto enabled = [&] {
        std::vector<bool> out;
        for (const MultipassMaterial::Entry& entry : scene.getStructure().getEntries())
            out.push_back(entry.enabled);
        return out;
    };
    attack().setTime(19.99f, 0);
    EXPECT_EQ(enabled(), (std::vector<bool>{true, true, false}));
    attack().setTime(20.0f, 0);
    EXPECT_EQ(enabled(), (std::vector<bool>{false, false, true}));
    EXPECT_EQ(scene.getColScale(), 1.0f);
    EXPECT_EQ(scene.getDtime(), 0.0f);
    EXPECT_EQ(scene.getBlendFactor(), 0.5f);
    attack().setTime(28.0f, 0);
    EXPECT_EQ(scene.getColScale(), 0.0f);
    EXPECT_EQ(scene.getBlendFactor(), 1.0f);
    struct Weight {
        float time, weight;
    };
    for (const Weight& w : std::vector<Weight>{{0.0f, 1.0f}, {44.0f, 1.0f}, {45.0f, 2.0f}, {48.0f, 5.0f}})
        EXPECT_FLOAT_EQ(AttackEffectImpl::glowWeight(w.time), w.weight) << w.time;
}

TEST_F(AttackShow, CallbackPreparesEachLayerOfCon3AsItsMaterialNeeds)
{
    ASSERT_TRUE(play({attackBeat(2.0)})) << errors;
    const Mesh::LwoObject& con3 = MeshCache::instance().loadFile("data/Models/con3.lwo");
    AttackSceneMeshCallback callback;
    struct Case {
        std::string file;
        int layer;
        const char* result; // "null", "same" or "new"
        std::vector<std::string> streams;
        const char* topology;
    };
    for (const Case& c : std::vector<Case>{{"data/Models/con2.lwo", 1, "null", {}, ""},
                                           {"data/Models/con3.lwo", 1, "same", {"mx0", "mx2", "centroid", "normal"}, "lines"},
                                           {"data/Models/con3.lwo", 2, "same", {"mx1", "centroid"}, "lines"},
                                           {"data/Models/con3.lwo", 11, "new", {"location"}, "lines"},
                                           {"data/Models/con3.lwo", 12, "same", {"normal"}, "triangles"},
                                           {"data/Models/con3.lwo", 13, "same", {"normal"}, "triangles"}}) {
        std::unique_ptr<Mesh::ModifiableMesh> mesh = Mesh::ConvertLayerToMesh(con3, c.layer);
        Mesh::ModifiableMesh* loaded = mesh.get();
        std::unique_ptr<Mesh::ModifiableMesh> result = callback.onMeshLoaded(c.file, c.layer, mesh);
        const std::string what = c.file + "@" + std::to_string(c.layer);
        if (std::string(c.result) == "null") {
            EXPECT_EQ(result, nullptr) << what;
            continue;
        }
        ASSERT_NE(result, nullptr) << what;
        EXPECT_EQ(result.get() == loaded, std::string(c.result) == "same") << what;
        for (const std::string& stream : c.streams)
            EXPECT_TRUE(result->getStream(stream) != nullptr) << what << " " << stream;
        EXPECT_TRUE(result->hasTopology(c.topology)) << what;
    }
}

// ---- Second hacker part ----------------------------------------------------------------

class HaxorTwo : public LineClouds {
protected:
    void SetUp() override
    {
        LineClouds::SetUp();
        seedMT(21);
        part.reset(dynamic_cast<HaxorEffect2Impl*>(HaxorEffect2::create()));
        part->init();
        target = RenderTargetPool::acquire(512, 512, Core::FORMAT_A8R8G8B8);
    }
    void TearDown() override
    {
        RenderTargetPool::release(target);
        part.reset();
        LineClouds::TearDown();
    }
    std::vector<uint32_t> frame(float time)
    {
        part->setTime(time, 0);
        part->render(*target);
        return readTexture(*target->texture);
    }
    std::vector<Vec3> particles()
    {
        std::vector<Vec3> out;
        for (const HaxorNetwork::Particle& p : part->getNetwork().particles)
            out.push_back(part->getNetwork().particlePosition(p));
        return out;
    }
    std::unique_ptr<HaxorEffect2Impl> part;
    RenderTexture* target = nullptr;
};

TEST_F(HaxorTwo, CurvesMeetTheirEndPointsAndTheCameraZoomsInAndBack)
{
    const HaxorNetwork& network = part->getNetwork();
    ASSERT_EQ(network.curves.size(), 1280u);
    for (const HaxorNetwork::Curve& curve : network.curves) {
        const Vec3 p0 = network.points[curve.start], p1 = network.points[curve.end];
        EXPECT_NEAR(HaxorNetwork::cableOffset(curve, 0.0f), p0[1], 1e-3f);
        EXPECT_NEAR(HaxorNetwork::cableOffset(curve, curve.length), p1[1], 2e-3f);
        EXPECT_LT(length(curve.samples.front() - HaxorNetwork::tube(p0)), 1e-4);
        EXPECT_LT(length(curve.samples.back() - HaxorNetwork::tube(p1)), 1e-2);
    }
    struct Zoom {
        float time, z;
    };
    for (const Zoom& z : std::vector<Zoom>{{0.0f, 50.0f}, {1.8f, 35.0f}, {3.6f, 20.0f}, {3.8f, 35.0f}, {4.0f, 50.0f}})
        EXPECT_NEAR(HaxorEffect2Impl::cameraDistance(z.time), z.z, 1e-3f) << z.time;
    // A particle at exactly its curve's end stays on the last segment.
    HaxorNetwork::Particle end{0, network.curves[0].length};
    EXPECT_LT(length(network.particlePosition(end) - network.curves[0].samples.back()), 1e-3);
}

TEST_F(HaxorTwo, PointsMoveOnlyWithTimeAndTheTrailPersistsAndFades)
{
    // The trail builds up over a second of frames.
    std::vector<uint32_t> first;
    for (int i = 0; i <= 30; ++i)
        first = frame(i / 30.0f);
    const std::vector<Vec3> at1 = particles();
    frame(1.0f);
    EXPECT_TRUE(particles() == at1);
    std::vector<uint32_t> later;
    for (int i = 1; i <= 30; ++i)
        later = frame(1.0f + i / 30.0f);
    EXPECT_FALSE(particles() == at1);
    Frame a{512, 512, first}, b{512, 512, later};
    if (const char* folder = std::getenv("VOSTREL_PART_FRAMES"))
        b.writePng(std::string(folder) + "/HaxorEffect2.png");
    // Faint lines (colour over depth) on black: lit, never burnt out.
    for (const Frame* f : {&a, &b}) {
        EXPECT_GT(f->meanLevel(), 3.0);
        EXPECT_LT(f->saturatedShare(), 0.01);
    }
    EXPECT_GT(a.meanDifference(b), 1.0);

    // A grey trail comes back through three 0.975 passes, with what is drawn added.
    clearTarget(&part->getTrail(), Vec4(0.5f, 0.5f, 0.5f, 0.5f));
    std::vector<uint32_t> grey = frame(1.5f);
    std::vector<int> levels;
    for (uint32_t p : grey)
        levels.push_back(static_cast<int>((p >> 8) & 255));
    std::nth_element(levels.begin(), levels.begin() + levels.size() / 2, levels.end());
    const int median = levels[levels.size() / 2];
    EXPECT_GE(median, 114);
    EXPECT_LE(median, 122);
}

} // namespace
} // namespace Vostrel
