#pragma once

#include "Libs/Math/Vec.h"
#include "Tools/Content/SceneBuilder.h"

#include <map>
#include <string>
#include <vector>

namespace Vostrel {
namespace Content {

// Small scenes for the renderer's tests and benchmarks, written through the
// scene builder: a camera aiming at a target object, lights, and meshes by
// file and layer with constant or keyed channels.
struct ComposedLight {
    std::string name;
    int kind = 0;
    Vec3 position{0.0f, 0.0f, 0.0f};
    Vec3 color{1.0f, 1.0f, 1.0f};
};

struct ComposedMesh {
    ComposedMesh() = default;
    ComposedMesh(const std::string& name, const std::string& fileName, const Vec3& position = Vec3(0.0f))
        : name(name), fileName(fileName), position(position)
    {
    }

    std::string name;
    std::string fileName; // empty: no geometry
    int layer = 1;
    Vec3 position{0.0f, 0.0f, 0.0f};
    Vec3 rotation{0.0f, 0.0f, 0.0f}; // heading, pitch, bank
    // Keyed channels replace the constant ones of the same name.
    std::map<std::string, std::vector<SceneBuilder::Key>> envelopes;
    std::map<std::string, float> constants;
    std::map<std::string, int> intConstants;
};

struct ComposedScene {
    std::string cameraName = "Camera";
    Vec3 cameraPosition{0.0f, 0.0f, -10.0f};
    Vec3 targetPosition{0.0f, 0.0f, 0.0f};
    float zoom = 3.2f;
    int frameWidth = 640;
    int frameHeight = 480;
    std::vector<ComposedLight> lights{ComposedLight{"Light", 0, Vec3(0.0f, 10.0f, -10.0f), Vec3(1.0f, 1.0f, 1.0f)}};
    std::vector<ComposedMesh> meshes;
};

// Ids: the camera 1, its target 2, lights from 3, then the meshes.
void composeScene(SceneBuilder& builder, const ComposedScene& scene);
// Composes, checks and writes the ".sce" file.
void writeComposedScene(const std::string& path, const ComposedScene& scene);

} // namespace Content
} // namespace Vostrel
