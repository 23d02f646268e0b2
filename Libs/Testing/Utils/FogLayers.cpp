#include "Libs/Testing/Utils/FogLayers.h"

#include "Libs/Common/StringUtils.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/Texture.h"
#include "Libs/EvaluationGraph/ShaderContext.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Libs/Scene/LwScene.h"
#include "Libs/Scene/Scene.h"
#include "Libs/Scene/SceneRenderer.h"
#include "Libs/Testing/Utils/ToolkitAssert.h"

#include <cmath>

namespace Vostrel {

uint32_t fogValue(const Vec4& camera, const Vec4& point)
{
    const double dx = static_cast<double>(point[0]) - camera[0];
    const double dy = static_cast<double>(point[1]) - camera[1];
    const double dz = static_cast<double>(point[2]) - camera[2];
    double f = (std::sqrt(dx * dx + dy * dy + dz * dz) - 100.0) * 0.01;
    // A point at no finite distance has no fog either.
    if (!(f >= 0.0))
        return 0;
    if (f > 1.0)
        f = 1.0;
    const double a = std::sin((std::cos(point[1] * 0.2) + 1.0) * 0.3 * 5.0);
    const double b = std::cos((std::sin(point[2] * 0.36) + 1.0) * 0.2);
    const double c = (std::sin(point[0] * 0.3) + 1.0) * 0.2;
    const double n = std::sin(c + b + 1.0 + a + 1.0);
    double v = std::nearbyint((0.3 * (n + 1.0) + 0.5) * f * 7.5);
    if (!(v <= 8.0))
        v = 8.0;
    const uint32_t byte = static_cast<uint32_t>(v);
    return byte | (byte << 8) | (byte << 16);
}

FogLayers::FogLayers(LwScene& scene, float start, float end)
    : start(start), end(end), step((end - start) / 7.0f), scratch(32 * 32)
{
    for (int i = 0; i < 8; ++i) {
        Core::TextureParameters parameters;
        parameters.width = 32;
        parameters.height = 32;
        parameters.dynamic = true;
        textures[i].reset(Core::createTexture(parameters));

        ShaderGraph graph;
        ShaderValue placed = graph.vertexStream("location") * graph.uniform("xyFactors", 1) +
                             graph.uniform("zFactor", 1);
        graph.setPosition(matrixProduct4(graph.uniform("perspectiveTransform", 4), placed));
        graph.setColorResult(texld(graph.vertexStream("Texture"), graph.texture("texture1", 0)));
        shaders.push_back(std::make_unique<ShaderContext>(graph));
        materials.push_back(std::make_unique<BasicSceneMaterial>(shaders.back().get()));
        BasicSceneMaterial& material = *materials.back();
        material.setTextureCount(1);
        material.setTexture(0, textures[i].get());
        material.setBlendEnabled(true);
        material.setSourceBlend(Core::BLEND_ONE);
        material.setDestinationBlend(Core::BLEND_ONE);

        const std::string mesh = "fogLayer" + StringUtils::intToString(i + 1);
        scene.addMeshFromFile(mesh, "data/Models/quad.lwo@1", "");
        scene.setMaterial(mesh, &material);
    }
}

FogLayers::~FogLayers() = default;

void FogLayers::update(LwScene& scene, float time, const std::string& cameraName)
{
    SceneCamera* camera = scene.findCamera(cameraName);
    if (!camera || !camera->object)
        TOOLKIT_THROW("FogLayers: camera " << cameraName << " not found");
    SceneObject& object = *camera->object;
    if (!object.getAttributeFunction("zoomFactor"))
        TOOLKIT_THROW("FogLayers: camera " << cameraName << " has no zoomFactor");
    const float zoom = object.getAttribute("zoomFactor", time);
    const int frameHeight = object.getIntConstant("frameHeight");
    if (frameHeight == 0 || !(zoom != 0.0f))
        TOOLKIT_THROW("FogLayers: camera " << cameraName << " has frame height " << frameHeight << " and zoom "
                                           << zoom);
    const float aspect = static_cast<float>(object.getIntConstant("frameWidth")) / static_cast<float>(frameHeight);

    // The camera's world matrix holds its axes and position as columns.
    const Matrix4 transform = *object.getTransform(time);
    const Vec4 right = transform[0];
    const Vec4 up = transform[1];
    const Vec4 forward = transform[2];
    const Vec4 position = transform[3];

    for (int i = 0; i < 8; ++i) {
        const float z = end - i * step;
        const std::string mesh = "fogLayer" + StringUtils::intToString(i + 1);
        scene.setUniform(mesh, "xyFactors", Vec4(2 * z / zoom * aspect - 0.1f, 2 * z / zoom - 0.1f, 0, 0));
        scene.setUniform(mesh, "zFactor", Vec4(0, 0, z, 1));
        scene.linkTransformToCamera(mesh, cameraName);
        scene.setAttribute(mesh, "zBias", -z);

        const Vec4 dx = right * (z * 0.0625f);
        const Vec4 dy = (right - up * 0.03125f) * (-2.0f * z);
        Vec4 point = position + forward * z - up * z + right * z;
        uint32_t* out = scratch.data();
        for (int row = 0; row < 32; ++row) {
            for (int column = 0; column < 32; ++column) {
                *out++ = fogValue(position, point);
                point = point + dx;
            }
            point = point + dy;
        }
        textures[i]->update(0, scratch.data());
    }
}

} // namespace Vostrel
