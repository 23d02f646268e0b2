#include "Tools/Content/TestSceneComposer.h"

namespace Vostrel {
namespace Content {

void composeScene(SceneBuilder& builder, const ComposedScene& scene)
{
    const int cameraId = 1, targetId = 2;
    builder.null(scene.cameraName + " target", targetId)
        .position(scene.targetPosition[0], scene.targetPosition[1], scene.targetPosition[2])
        .rotation(0.0f, 0.0f, 0.0f);
    builder.camera(scene.cameraName, cameraId, scene.zoom, scene.frameWidth, scene.frameHeight)
        .position(scene.cameraPosition[0], scene.cameraPosition[1], scene.cameraPosition[2])
        .constant("bank", 0.0f)
        .target(targetId);
    int id = 3;
    for (const ComposedLight& light : scene.lights)
        builder.light(light.name, id++, light.kind, light.color[0], light.color[1], light.color[2])
            .position(light.position[0], light.position[1], light.position[2]);
    for (const ComposedMesh& mesh : scene.meshes) {
        builder.mesh(mesh.name, id++, mesh.fileName, mesh.fileName.empty() ? 0 : mesh.layer)
            .position(mesh.position[0], mesh.position[1], mesh.position[2])
            .rotation(mesh.rotation[0], mesh.rotation[1], mesh.rotation[2]);
        for (const auto& entry : mesh.envelopes)
            builder.envelope(entry.first, entry.second);
        for (const auto& entry : mesh.constants)
            builder.constant(entry.first, entry.second);
        for (const auto& entry : mesh.intConstants)
            builder.intConstant(entry.first, entry.second);
    }
}

void writeComposedScene(const std::string& path, const ComposedScene& scene)
{
    SceneBuilder builder;
    composeScene(builder, scene);
    builder.write(path);
}

} // namespace Content
} // namespace Vostrel
