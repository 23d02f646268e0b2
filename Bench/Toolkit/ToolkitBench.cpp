// Frame time (update, draw, present) of the toolkit's test scene at
// 640 x 480 with 2,000 or 10,000 particles or with 8 link ribbons, against
// the same scene with those objects hidden, in the same run. Prints the
// ratio per case. Run with SDL_VIDEODRIVER=offscreen where there is no display.
#include "Bench/Support/RatioReporter.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/RenderTarget.h"
#include "Libs/Core/RenderWindow.h"
#include "Libs/EvaluationGraph/ShaderContext.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Libs/Scene/LwScene.h"
#include "Libs/Scene/SceneRenderer.h"
#include "Libs/Testing/Utils/LinkFile.h"
#include "Libs/Testing/Utils/Particles.h"
#include "Tools/Content/ToolkitContent.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

using namespace Vostrel;

namespace {

Core::RenderWindow* window = nullptr;

struct BenchScene {
    std::unique_ptr<LwScene> scene;
    std::unique_ptr<ShaderContext> flatShader;
    std::unique_ptr<BasicSceneMaterial> flatMaterial;
    std::unique_ptr<ParticleSystem> particles;
    std::unique_ptr<LinkFile> links;
    std::vector<std::string> measured; // the objects a case shows or hides
};

void setUp()
{
    if (window)
        return;
    Core::DXCore::install();
    Core::WindowParameters parameters;
    parameters.width = 640;
    parameters.height = 480;
    parameters.vSync = false;
    window = Core::createCore(parameters);
    const std::string root = std::filesystem::temp_directory_path() / ("vostrel-toolkit-bench-" + std::to_string(getpid()));
    Content::writeToolkitTestContent(root);
    // Eight links over the scene's three markers.
    std::vector<Content::LinkRecord> links;
    for (int i = 0; i < 8; ++i)
        links.push_back({{1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3}, {1, -1, 1, -1, 1, -1, 1, -1, 1, -1, 1, -1},
                         0.125f * i, Vec4(0.3f, 0.8f, 1.0f, 1.0f)});
    Content::writeLinks(root + "/bench.links", links);
    if (chdir(root.c_str()) != 0)
        std::abort();
}

BenchScene& sceneFor(const std::string& kind, int count)
{
    static std::map<std::string, std::unique_ptr<BenchScene>> scenes;
    const std::string key = kind + std::to_string(count);
    std::unique_ptr<BenchScene>& entry = scenes[key];
    if (entry)
        return *entry;
    setUp();
    entry = std::make_unique<BenchScene>();
    BenchScene& b = *entry;
    b.scene = LwScene::create("data/Models/toolkit.sce", nullptr);
    ShaderGraph flat;
    flat.setPosition(matrixProduct4(flat.uniform("fullTransform", 4), flat.vertexStream("location")));
    flat.setColorResult(flat.constant4(0.2f, 0.2f, 0.2f, 1));
    b.flatShader = std::make_unique<ShaderContext>(flat);
    b.flatMaterial = std::make_unique<BasicSceneMaterial>(b.flatShader.get());
    b.scene->setDefaultMaterial(b.flatMaterial.get());
    if (kind == "particles") {
        b.particles = std::make_unique<ParticleSystem>(*b.scene, count, 40.0f, 0.6f, 2.0f, 8.0f,
                                                       "data/Textures/particles.png", "particles");
        b.measured = {"particles"};
    } else {
        b.links = std::make_unique<LinkFile>("bench.links");
        b.links->buildFlows(*b.scene, "linkki", "data/Models/linkband.lwo@1", "data/Models/linkframe.lwo@1",
                            Vec4(0.3f, 0.6f, 1, 1), Vec4(0.8f, 0.9f, 1, 1), 1.0f, Content::toolkitTestMarkers,
                            false);
        for (int i = 1; i <= count; ++i) {
            b.measured.push_back("linkkiBand" + std::to_string(i));
            b.measured.push_back("linkkiFlow" + std::to_string(i));
        }
    }
    b.scene->prepare();
    return b;
}

void frames(benchmark::State& state, const std::string& kind, int count, bool shown)
{
    BenchScene& b = sceneFor(kind, count);
    for (const std::string& name : b.measured)
        b.scene->setVisible(name, shown);
    float time = 0.0f;
    for (auto _ : state) {
        time += 1.0f / 60.0f;
        if (b.particles)
            b.particles->update(*b.scene, time);
        if (b.links)
            b.links->update(time, *b.scene);
        window->begin();
        Core::clear(Core::CLEAR_COLOR | Core::CLEAR_DEPTH, Vec4(0, 0, 0, 0), 1.0f, 0);
        b.scene->getRenderer()->render("Camera", time);
        window->end();
    }
}

} // namespace

int main(int argc, char** argv)
{
    const struct {
        const char* kind;
        int count;
    } cases[] = {{"particles", 2000}, {"particles", 10000}, {"links", 8}};
    for (const auto& c : cases)
        for (bool shown : {true, false}) {
            const std::string name =
                std::string(shown ? "Toolkit/" : "Hidden/") + c.kind + "-" + std::to_string(c.count);
            benchmark::RegisterBenchmark(name.c_str(), [c, shown](benchmark::State& state) {
                frames(state, c.kind, c.count, shown);
            })->Unit(benchmark::kMillisecond);
        }
    benchmark::Initialize(&argc, argv);
    VostrelBench::RatioReporter reporter("Toolkit/", "Hidden/", "frame time with the objects / hidden, %s: %.2f\n");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
