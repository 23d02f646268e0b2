#pragma once

// What the five map parts share: their settings, the map scene's body (the
// loaded scene, its links, particles, terminal sprites, optional fog and
// the clear-and-draw render), the pooled targets of a frame and the bloom
// that finishes it.

#include "Libs/Core/RenderContext.h"
#include "Libs/Math/Vec.h"
#include "Libs/Testing/Renderable.h"

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace Vostrel {

class BasicSceneMaterial;
class FogLayers;
class ImagePanel;
class LinkFile;
class LwScene;
class MeshLoadingCallback;
class ParticleSystem;
class SceneRenderer;
class ShaderContext;
class TerminalSprites;
class TextPanel;
struct RenderTexture;

// A part's settings: "<part>.<key>" read with the getter of the type
// expected, absent keys giving the default.
class PartSettings {
public:
    explicit PartSettings(std::string part) : part(std::move(part)) {}

    int getInt(const char* key, int defaultValue = 0) const;
    float getFloat(const char* key, float defaultValue = 0.0f) const;
    std::string getString(const char* key, const std::string& defaultValue = std::string()) const;
    Vec4 getVec4(const char* key, const Vec4& defaultValue = Vec4(0.0f, 0.0f, 0.0f, 0.0f)) const;
    std::string key(const char* name) const { return part + "." + name; }
    // The "demo.props" string keys named and their values, for the context
    // line of a failure in what they drive during the frames (the shell
    // names every key a part read when building it fails).
    std::string describe(std::initializer_list<const char*> names) const;
    const std::string& getPart() const { return part; }

private:
    std::string part;
};

// The body every map scene shares. A part's scene builds itself from the
// protected steps in its own order, then moves its cameras and panels in
// its own update.
class MapScene : public Renderable {
public:
    ~MapScene() override;

    // Clears colour and depth through the scene's own context, then draws
    // from the current camera at the time; the second value is not used.
    void render(float time, int secondValue) override;

    const std::string& getCameraName() const { return cameraName; }
    LwScene& getScene() const { return *scene; }
    const PartSettings& getSettings() const { return settings; }
    ParticleSystem* getParticles() const { return particles.get(); }
    bool hasFog() const { return fog != nullptr; }

protected:
    explicit MapScene(const std::string& partName);

    // The ".sce" file, through the part's mesh callback (may be null).
    void loadScene(const std::string& fileName, MeshLoadingCallback* callback = nullptr);
    void readLinks(const std::string& fileName);
    // Everything the toolkit does not dress draws flat white.
    void setDefaultMaterial();
    void buildFog(float start, float end);
    // From "kehysMesh", "sisusMesh", "sisusName", "kehysColor",
    // "sisusColor", "flowSize" and "linkCount"; the fourth map runs its
    // bands the other way.
    void buildLinks(bool reverseBand = false);
    // From "particleTarget", "particleImage", "particleRotationSpeed",
    // "particleSpeed", "particleSize", "particleSystemSize", "particleCount".
    void buildParticles();
    // From "terminalCount", "terminalImage", "terminalBaseName".
    void buildTerminals();
    // From "target1param" and "target1image".
    std::unique_ptr<ImagePanel> makeImagePanel() const;
    // From "textPanel1image", "textPanel1text" and "textPanel1param".
    std::unique_ptr<TextPanel> makeTextPanel() const;
    // Prepares the scene and keeps its renderer.
    void prepare();

    // Link ribbons, particles and terminal sprites at the time.
    void updateToolkit(float time);
    // The fog layers for the current camera, when the scene has them.
    void updateFog(float time);

    PartSettings settings;
    Core::RenderContext context;
    std::string cameraName;
    std::unique_ptr<ShaderContext> defaultShader;
    std::unique_ptr<BasicSceneMaterial> defaultMaterial;
    std::unique_ptr<LinkFile> links;
    std::unique_ptr<ParticleSystem> particles;
    std::unique_ptr<TerminalSprites> terminals;
    std::unique_ptr<FogLayers> fog;
    // Declared last so it goes first: its records point at the above.
    std::unique_ptr<LwScene> scene;
    SceneRenderer* renderer = nullptr;
};

// The map parts render into 512 x 512 8-bit targets from the pool.
constexpr int mapTargetSize = 512;

// Has the pool make count targets of the map parts' kind before the show
// starts, so that frames only borrow.
void prefillMapTargets(int count);

// The targets of one frame, borrowed from the pool. They go back when the
// frame is done (or fails): the scene target first, then the others in the
// order they were taken.
class MapFrameTargets {
public:
    MapFrameTargets() = default;
    ~MapFrameTargets();
    MapFrameTargets(const MapFrameTargets&) = delete;
    MapFrameTargets& operator=(const MapFrameTargets&) = delete;

    RenderTexture* acquire();
    // Cleared to black: a turned picture leaves the corners as they were.
    RenderTexture* acquireCleared();
    RenderTexture* acquireScene();

private:
    std::vector<RenderTexture*> others;
    RenderTexture* scene = nullptr;
};

// The end of a map part's frame: the scene picture through the HDR bloom
// (parameter 1.2 on every channel, the part's key), or copied whole when
// the part's "useBloom" is 0. "useBloom" is read on the first frame and
// kept for the part's life.
class MapBloom {
public:
    explicit MapBloom(const PartSettings& settings) : settings(settings) {}

    bool isEnabled();
    // key is asked only when blooming.
    void finish(RenderTexture& target, RenderTexture& scene, const std::function<float()>& key);

    static const Vec4 parameter;

private:
    PartSettings settings;
    bool read = false;
    bool enabled = false;
};

} // namespace Vostrel
