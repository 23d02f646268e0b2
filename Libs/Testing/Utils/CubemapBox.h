#pragma once

#include "Libs/Math/Matrix.h"

#include <memory>
#include <string>

namespace Vostrel {

class LwScene;
class ShaderContext;
class BasicSceneMaterial;
namespace Core {
class Texture;
}

// A large box around the camera: six copies of one square face model
// ("BBox1" ... "BBox6"), turned to each side, sampling one cube texture.
class CubemapBox {
public:
    CubemapBox(LwScene& scene, const std::string& imageFile);
    ~CubemapBox();
    const Matrix4& getFaceTransform(int face) const { return faces[face]; }
    Core::Texture* getTexture() const { return cube.get(); }

private:
    std::unique_ptr<Core::Texture> cube;
    std::unique_ptr<ShaderContext> shader;
    std::unique_ptr<BasicSceneMaterial> material;
    Matrix4 faces[6];
};

std::unique_ptr<CubemapBox> addCubemapBox(LwScene& scene, const std::string& imageFile);

} // namespace Vostrel
