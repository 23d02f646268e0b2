#pragma once

#include "Libs/Math/Vec.h"

#include <memory>
#include <string>

namespace Vostrel {

class LwScene;
class SceneObject;
class ShaderContext;
class BasicSceneMaterial;
class LineDrawing;
struct RenderTexture;
namespace Core {
class Texture;
}

// The flat quad every panel shows its picture on: placed in camera space at
// the object's position, sized and moved in camera units, with the
// picture's luminance as alpha.
class PanelQuad {
public:
    // Adds meshName from the unit quad with the quad's material.
    PanelQuad(LwScene& scene, const std::string& meshName);
    ~PanelQuad();

    // Shows a render texture's picture; a target without one is refused.
    void show(const RenderTexture& target);
    void show(Core::Texture* texture);
    // On a camera (linked to it) or riding on an object.
    void place(LwScene& scene, const std::string& targetName, bool onCamera, const Vec4& screenOffset,
               const Vec4& panelSize);

    const std::string& getMeshName() const { return meshName; }
    BasicSceneMaterial* getMaterial() const { return material.get(); }

private:
    std::string meshName;
    std::unique_ptr<ShaderContext> shader;
    std::unique_ptr<BasicSceneMaterial> material;
};

// The parameter object of a panel, with the channels it must have checked.
SceneObject* panelParameterObject(LwScene& scene, const std::string& name, const char* panelKind,
                                  std::initializer_list<const char*> channels);

// An SVG file drawn once into a 1024 x 1024 texture (luminance becomes
// alpha on the quad, so dark parts are clear).
std::unique_ptr<Core::Texture> renderSvgTexture(const std::string& svgFile);

// An image file on a quad, turned by the parameter object's "bank".
class ImagePanel {
public:
    ImagePanel(LwScene& scene, const std::string& paramObjectName, const std::string& imageFile);
    ~ImagePanel();
    void update(LwScene& scene, float time, const std::string& targetName);
    void renderTexture(RenderTexture& target);
    const std::string& getMeshName() const { return quad->getMeshName(); }

private:
    SceneObject* parameters;
    Core::Texture* image;
    std::unique_ptr<PanelQuad> quad;
    float panelTime = 0.0f;
};

// An SVG drawing on a quad, on a camera or riding on an object.
class SvgScreenPanel {
public:
    SvgScreenPanel(LwScene& scene, const std::string& svgFile, const std::string& meshName);
    ~SvgScreenPanel();
    void update(LwScene& scene, float time, const std::string& targetName);
    // Shows what a part drew into the render texture instead.
    void setTexture(RenderTexture& source);
    const std::string& getMeshName() const { return quad->getMeshName(); }

private:
    std::unique_ptr<Core::Texture> svg;
    std::unique_ptr<PanelQuad> quad;
};

// A panel whose picture is an SVG file's paths growing like pen strokes.
class SvgPanel {
public:
    SvgPanel(LwScene& scene, const std::string& paramObjectName, const std::string& svgFile);
    ~SvgPanel();
    void update(LwScene& scene, float time, const std::string& targetName);
    void renderTexture(RenderTexture& target);
    const std::string& getMeshName() const { return quad->getMeshName(); }
    float getProgress() const { return progress; }

    // Seconds a drawing takes to complete, and how often it grows.
    static constexpr float drawingSeconds = 4.0f;
    static constexpr float stepSeconds = 1.0f / 30.0f;

private:
    SceneObject* parameters;
    std::unique_ptr<LineDrawing> drawing;
    std::unique_ptr<PanelQuad> quad;
    float startTime = 0.0f;
    float lastStep = 0.0f;
    float lastTime = -1e30f;
    float progress = 0.0f;
};

} // namespace Vostrel
