#include "Libs/Testing/Utils/CubemapBox.h"

#include "Libs/Common/StringUtils.h"
#include "Libs/Core/Texture.h"
#include "Libs/EvaluationGraph/ShaderContext.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Libs/Image/Image.h"
#include "Libs/Scene/LwScene.h"
#include "Libs/Scene/SceneRenderer.h"

namespace Vostrel {

struct CubemapBox::Parts {
    std::unique_ptr<Core::Texture> cube;
    std::unique_ptr<ShaderContext> shader;
    std::unique_ptr<BasicSceneMaterial> material;
    // Shared with the face objects, which may outlive the LwScene.
    std::shared_ptr<const Matrix4> faces[6];
};

CubemapBox::CubemapBox(LwScene& scene, const std::string& imageFile)
{
    // Kept before any record points into it, so a failure half-way leaves
    // nothing dangling either.
    auto made = std::make_shared<Parts>();
    scene.keep(made);
    made->cube.reset(loadImage(imageFile, true)->createCubeTexture(nullptr));
    ShaderGraph graph;
    ShaderValue location = graph.vertexStream("location");
    graph.setPosition(matrixProduct4(graph.uniform("fullTransform", 4), location));
    ShaderValue direction = matrixProduct4(graph.uniform("meshTransform", 4), location);
    graph.setColorResult(texld(direction, graph.texture("texture1", Core::TEXTURE_TYPE_CUBE)));
    made->shader = std::make_unique<ShaderContext>(graph);
    made->material = std::make_unique<BasicSceneMaterial>(made->shader.get());
    made->material->setTextureCount(1);
    made->material->setTexture(0, made->cube.get());

    const float halfPi = 1.57079632679f;
    const struct {
        Vec3 axis;
        float angle;
    } turns[6] = {{{0, 1, 0}, 0}, {{0, 1, 0}, halfPi}, {{0, 1, 0}, 2 * halfPi}, {{0, 1, 0}, 3 * halfPi},
                  {{1, 0, 0}, halfPi}, {{1, 0, 0}, -halfPi}};
    for (int i = 0; i < 6; ++i) {
        // The face model moves one unit out, is scaled by 500, then turned:
        // every face closes the box at 500 units.
        const Matrix3 rotation = Matrix3::rotation(turns[i].axis, turns[i].angle);
        made->faces[i] = std::make_shared<const Matrix4>(
            affineTransform(rotation * Matrix3::scaling(Vec3(500, 500, 500)), rotation * Vec3(0, 0, 500)));
        const std::string name = "BBox" + StringUtils::intToString(i + 1);
        scene.addMeshFromFile(name, "data/Models/CubemapBox.lwo@1", "");
        scene.setMaterial(name, made->material.get());
        scene.setExternalTransform(name, made->faces[i]);
    }
    parts = std::move(made);
}

CubemapBox::~CubemapBox() = default;

const Matrix4& CubemapBox::getFaceTransform(int face) const
{
    return *parts->faces[face];
}

Core::Texture* CubemapBox::getTexture() const
{
    return parts->cube.get();
}

std::unique_ptr<CubemapBox> addCubemapBox(LwScene& scene, const std::string& imageFile)
{
    return std::make_unique<CubemapBox>(scene, imageFile);
}

} // namespace Vostrel
