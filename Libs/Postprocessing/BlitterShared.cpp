#include "Libs/Postprocessing/BlitterShared.h"

#include "Libs/Core/APICore.h"
#include "Libs/Core/PixelShader.h"
#include "Libs/Core/RenderTarget.h"
#include "Libs/Core/VertexShader.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Postprocessing/Blitter.h"
#include "Libs/Postprocessing/PostProcessing.h"

namespace Vostrel {
namespace BlitterShared {

namespace {

struct Shared {
    std::unique_ptr<Mesh::ModifiableMesh> quad;
    std::vector<std::unique_ptr<Core::VertexShader>> vertexShaders;
    std::vector<std::unique_ptr<Core::PixelShader>> pixelShaders;
    std::vector<std::function<void()>> forgetters;
};

// Emptied with the core that made its objects, after the blitters that use
// them (releasePostprocessingObjects keeps that order).
Shared& shared()
{
    static Shared state;
    [[maybe_unused]] static const bool registered =
        (Core::APICore::releaseWithInstance(&releasePostprocessingObjects), true);
    return state;
}

Mesh::ModifiableMesh& quad()
{
    std::unique_ptr<Mesh::ModifiableMesh>& mesh = shared().quad;
    if (!mesh) {
        mesh = Mesh::ModifiableMesh::createEmpty();
        mesh->setVertexCount(4);
        const float location[] = {-1, 1, 0, 1, 1, 0, 1, -1, 0, -1, -1, 0};
        const float texcoord[] = {0, 0, 1, 0, 1, 1, 0, 1};
        mesh->addStreamFromData("location", 3, location, 0);
        mesh->addStreamFromData("texcoord", 2, texcoord, 0);
        Mesh::MeshTopology* triangles = mesh->addTopology("triangles", 2, 3, Mesh::TOPOLOGY_CLIENT_INDICES);
        {
            Mesh::IndexLock lock(*triangles, Core::LOCK_DISCARD);
            const uint32_t indices[] = {0, 1, 2, 0, 2, 3};
            std::copy(indices, indices + 6, lock.get());
        }
        mesh->freeze(4);
    }
    return *mesh;
}

} // namespace

std::unique_ptr<Mesh::MeshRenderingInstance> createQuadInstance(const std::vector<std::string>& streamNames)
{
    return quad().createRenderingInstance(streamNames, "Default");
}

Core::VertexShader* keepVertexShader(const std::function<void(Core::ShaderGen&)>& write)
{
    Core::ShaderGen gen;
    write(gen);
    Core::ShaderProgram program;
    gen.getProgram(program);
    shared().vertexShaders.emplace_back(gen.createVertexShader(program));
    return shared().vertexShaders.back().get();
}

Core::PixelShader* keepPixelShader(const std::function<void(Core::ShaderGen&)>& write)
{
    Core::ShaderGen gen;
    write(gen);
    Core::ShaderProgram program;
    gen.getProgram(program);
    shared().pixelShaders.emplace_back(gen.createPixelShader(program));
    return shared().pixelShaders.back().get();
}

void atRelease(const std::function<void()>& forget)
{
    shared().forgetters.push_back(forget);
}

void TargetScope::begin(Core::RenderTarget* target)
{
    target->begin();
}

void TargetScope::end(Core::RenderTarget* target)
{
    target->end();
}

} // namespace BlitterShared

void releaseBlitterObjects()
{
    BlitterShared::Shared& state = BlitterShared::shared();
    for (auto forget = state.forgetters.rbegin(); forget != state.forgetters.rend(); ++forget)
        (*forget)();
    state.forgetters.clear();
    state.quad.reset();
    state.pixelShaders.clear();
    state.vertexShaders.clear();
}

} // namespace Vostrel
