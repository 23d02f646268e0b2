#pragma once

#include "Libs/Math/Matrix.h"

#include <memory>
#include <string>

namespace Vostrel {

class LwScene;
namespace Core {
class Texture;
}

// A large box around the camera: six copies of one square face model
// ("BBox1" ... "BBox6"), turned to each side, sampling one cube texture.
// The LwScene keeps the texture, shader and material its records use, and
// each face object its matrix, even in a caller's Scene that outlives the
// LwScene; the box is only a handle to them.
class CubemapBox {
public:
    CubemapBox(LwScene& scene, const std::string& imageFile);
    ~CubemapBox();
    const Matrix4& getFaceTransform(int face) const;
    Core::Texture* getTexture() const;

private:
    struct Parts;
    std::shared_ptr<const Parts> parts;
};

std::unique_ptr<CubemapBox> addCubemapBox(LwScene& scene, const std::string& imageFile);

} // namespace Vostrel
