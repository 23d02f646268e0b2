#pragma once

#include "Libs/Math/Vec.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Vostrel {

class LwScene;
class ShaderContext;
class BasicSceneMaterial;
namespace Core {
class Texture;
}

// The fog texel for a point seen from the camera: 0 within 100 units,
// growing to full strength at 200, modulated by a fixed noise of the
// point's world position; the value in the three colour bytes.
uint32_t fogValue(const Vec4& camera, const Vec4& point);

// Eight camera-facing quads between two distances whose small textures
// brighten with distance and stand still in the world as the camera moves.
class FogLayers {
public:
    FogLayers(LwScene& scene, float start, float end);
    ~FogLayers();

    void update(LwScene& scene, float time, const std::string& cameraName);
    Core::Texture* getTexture(int layer) const { return textures[layer].get(); }
    float getStep() const { return step; }

private:
    float start;
    float end;
    float step;
    std::unique_ptr<Core::Texture> textures[8];
    std::vector<uint32_t> scratch;
    std::vector<std::unique_ptr<ShaderContext>> shaders;
    std::vector<std::unique_ptr<BasicSceneMaterial>> materials;
};

} // namespace Vostrel
