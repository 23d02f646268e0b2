#include "Bench/Support/RatioReporter.h"

#include "Libs/Core/APICore.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/PixelShader.h"
#include "Libs/Core/RenderTarget.h"
#include "Libs/Core/RenderWindow.h"
#include "Libs/Core/Texture.h"
#include "Libs/Core/VertexShader.h"
#include "Libs/Core/WindowParameters.h"
#include "Libs/EvaluationGraph/ShaderContext.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Libs/Mesh/MeshRenderingInstance.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Scene/LwScene.h"
#include "Tools/Content/Lwo2Writer.h"
#include "Tools/Content/TestSceneComposer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

using namespace Vostrel;

namespace {

const int objectCount = 10000;
const int side = 100;

ShaderGraph flatGraph()
{
    ShaderGraph g;
    g.setPosition(matrixProduct4(g.uniform("fullTransform", 4), g.vertexStream("location")));
    g.setColorResult(g.uniform("lightColor", 1) * g.uniform("objectColor", 1));
    return g;
}

// Everything both sides draw with: the content root, the loaded scene and
// its material, and a small render target.
struct Setup {
    std::string root;
    std::unique_ptr<LwScene> scene;
    std::unique_ptr<ShaderContext> shader;
    std::unique_ptr<BasicSceneMaterial> material;
    std::unique_ptr<Core::Texture> target;
    std::vector<uint32_t> pixels = std::vector<uint32_t>(64 * 48);

    Setup()
    {
        char pattern[] = "/tmp/vostrel-scene-bench-XXXXXX";
        root = mkdtemp(pattern);
        Content::writeUnitQuad(root);
        const std::string quad = root + "/data/Models/quad.lwo";
        Content::ComposedScene composed;
        composed.cameraPosition = Vec3(0, 0, -150);
        composed.frameWidth = 64;
        composed.frameHeight = 48;
        for (int i = 0; i < objectCount; ++i) {
            const float x = float(i % side - side / 2), y = float(i / side - side / 2);
            Content::ComposedMesh mesh("quad " + std::to_string(i), quad, Vec3(x, y, 0));
            mesh.envelopes["z"] = {{0, 0}, {1, float(i % 7)}, {2, 0}};
            mesh.envelopes["bank"] = {{0, 0}, {2, 3}};
            composed.meshes.push_back(mesh);
        }
        Content::writeComposedScene(root + "/bench.sce", composed);
        scene = LwScene::create(root + "/bench.sce", nullptr);
        shader = std::make_unique<ShaderContext>(flatGraph());
        shader->setUniform("objectColor", Vec4(0.5f, 0.5f, 0.5f, 1));
        material = std::make_unique<BasicSceneMaterial>(shader.get());
        scene->setDefaultMaterial(material.get());
        scene->prepare();

        Core::TextureParameters parameters;
        parameters.width = 64;
        parameters.height = 48;
        parameters.minFilter = Core::MIN_LINEAR;
        parameters.renderTarget = true;
        target.reset(Core::createTexture(parameters));
    }

    // Waits for the frame by reading it back, alike for both sides.
    void frame(const std::function<void()>& draw)
    {
        target->getRenderTarget()->begin();
        shader->clear(Core::CLEAR_COLOR | Core::CLEAR_DEPTH, Vec4(0, 0, 0, 1), 1.0f, 0);
        draw();
        target->getRenderTarget()->end();
        target->getRenderTarget()->getFramebuffer(pixels.data());
    }
};

Setup* setup = nullptr;

void sceneRender(benchmark::State& state)
{
    float time = 0.0f;
    for (auto _ : state) {
        time += 0.001f;
        setup->frame([&] { setup->scene->getRenderer()->render("Camera", time); });
    }
    state.counters["records/s"] = benchmark::Counter(objectCount, benchmark::Counter::kIsIterationInvariantRate);
}

void coreRender(benchmark::State& state)
{
    // The matrices of one frame, made beforehand, and one instance of the quad.
    SceneRenderer& renderer = *setup->scene->getRenderer();
    renderer.updateTransforms("Camera", 0.5f);
    const SceneCamera& camera = *setup->scene->findCamera("Camera");
    std::vector<Matrix4> matrices;
    for (const auto& mesh : renderer.getMeshes())
        matrices.push_back((camera.projection * camera.view * mesh->transform).transpose());
    ShaderContext& context = *setup->shader;
    const ShaderBuild& build = context.getShaderBuild();
    std::unique_ptr<Mesh::MeshRenderingInstance> instance =
        renderer.getMeshes()[0]->mesh->createRenderingInstance(build.getStreamNames(), "Default");
    build.setUniformVec3(context, "lightColor", Vec3(1, 1, 1));
    for (auto _ : state) {
        setup->frame([&] {
            for (const Matrix4& matrix : matrices) {
                build.setUniformMatrix(context, "fullTransform", matrix);
                instance->render(context);
            }
        });
    }
    state.counters["records/s"] = benchmark::Counter(objectCount, benchmark::Counter::kIsIterationInvariantRate);
}

} // namespace

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    benchmark::Initialize(&argc, argv);
    Core::DXCore::install();
    Core::WindowParameters parameters;
    parameters.width = 64;
    parameters.height = 48;
    Core::createCore(parameters);
    setup = new Setup;

    benchmark::RegisterBenchmark("Scene/10000-objects", sceneRender)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("Core/10000-objects", coreRender)->Unit(benchmark::kMillisecond)->UseRealTime();
    VostrelBench::RatioReporter reporter("Scene", "Core", "Scene renderer / render core time, %s: %.2f\n");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const std::string root = setup->root;
    delete setup->shader->getShaderBuild().getVertexShader();
    delete setup->shader->getShaderBuild().getPixelShader();
    delete setup;
    MeshCache::instance().releaseAll();
    Core::APICore::destroyInstance();
    std::filesystem::remove_all(root);
    return 0;
}
