#pragma once

#include "Libs/Scene/Scene.h"

#include <string>
#include <vector>

namespace Vostrel {
namespace Content {

// Writes ".sce" scenes for the show's parts. Objects are added by kind; the
// per-object calls apply to the object added (or selected) last:
//
//   SceneBuilder b;
//   b.camera("Camera", 1).position(0, 2, -10).rotation(0, 0, 0).target(2);
//   b.mesh("box:Layer1", 2, "data/Models/box.lwo", 1).position(0, 0, 0).rotation(0, 0, 0);
//   b.write(prepareOutputPath(root, "data/Models/box.sce"));
//
// write checks what the engine needs of a scene before anything is written.
class SceneBuilder {
public:
    struct Key {
        float time;
        float value;
        float tension = 0.0f;
        float continuity = 0.0f;
        float bias = 0.0f;
    };

    SceneBuilder();
    ~SceneBuilder();
    SceneBuilder(const SceneBuilder&) = delete;
    SceneBuilder& operator=(const SceneBuilder&) = delete;

    // objectType 1; fileName "data/Models/X.lwo" with its layer from 1, or
    // an empty name for a mesh without geometry.
    SceneBuilder& mesh(const std::string& name, int id, const std::string& fileName = std::string(), int layer = 0);
    // objectType 3, looking along +z.
    SceneBuilder& camera(const std::string& name, int id, float zoom = 3.2f, int frameWidth = 640,
                         int frameHeight = 480);
    // objectType 2 with its lightType and colour.
    SceneBuilder& light(const std::string& name, int id, int kind, float r, float g, float b);
    // An untyped object: a parent, target or parameter holder.
    SceneBuilder& null(const std::string& name, int id);

    // Makes the object with this id the one the calls below edit.
    SceneBuilder& select(int id);
    SceneBuilder& parent(int id);
    SceneBuilder& target(int id);
    SceneBuilder& pivot(float x, float y, float z);
    SceneBuilder& constant(const std::string& name, float value);
    // pre and post are the envelope behaviours (1 keeps the end values).
    SceneBuilder& envelope(const std::string& name, const std::vector<Key>& keys, int pre = 1, int post = 1);
    SceneBuilder& intConstant(const std::string& name, int value);
    SceneBuilder& stringConstant(const std::string& name, const std::string& value);

    // Constant channels: x, y, z; heading, pitch, bank; sx, sy, sz.
    SceneBuilder& position(float x, float y, float z);
    SceneBuilder& rotation(float heading, float pitch, float bank);
    SceneBuilder& scale(float sx, float sy, float sz);

    // Throws, naming the object and the rule, when the scene would not load
    // or evaluate; then writes it.
    void check() const;
    void write(const std::string& path, bool binary = false) const;

    const Scene& getScene() const { return scene; }

private:
    SceneBuilder& add(const std::string& name, int id, int type);
    SceneObject& current() const;

    Scene scene;
    SceneObject* selected;
};

} // namespace Content
} // namespace Vostrel
