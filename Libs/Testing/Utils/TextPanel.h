#pragma once

#include <memory>
#include <string>
#include <vector>

namespace Vostrel {

class FontRenderer;
class Image;
class LwScene;
class SceneObject;
class PanelQuad;
struct RenderTexture;
template <typename A, typename R> class Function;
namespace Core {
class Texture;
}

// A text file drawn line by line into a ring of rows: each step writes the
// next line into the next row, so the texture shifted by the scroll
// position shows the text moving up.
class TextScroller {
public:
    TextScroller(const std::string& textFile, int width, int height, int visibleLines, float linesPerSecond);
    // The scroll speed (lines per second) is the scene object's "z" channel.
    TextScroller(const std::string& textFile, int width, int height, int visibleLines, LwScene& scene,
                 const std::string& objectName);
    ~TextScroller();

    void update(float time);
    // The v offset that puts the oldest row at the top.
    float getOffset() const;
    Core::Texture* getTexture() const { return texture.get(); }
    int getCurrentRow() const { return currentRow; }
    int getNextLine() const { return nextLine; }
    float getStepPeriod() const { return stepPeriod; }
    float getLastStepTime() const { return lastStepTime; }
    const unsigned char* getPixels() const;

private:
    void init(const std::string& textFile, int width, int height, int visibleLines);
    void redraw();

    std::vector<std::string> lines;
    int width = 0;
    int height = 0;
    int nextLine = 0;
    int visibleLines = 0;
    int currentRow = 0;
    int lineHeight = 0;
    Function<float, float>* speed = nullptr;
    float stepPeriod = 1e10f;
    float lastStepTime = 0.0f;
    std::unique_ptr<FontRenderer> font;
    std::unique_ptr<Image> image;
    std::unique_ptr<Core::Texture> texture;
};

// Scrolling text over an SVG background on a screen quad, placed by the
// channels of a parameter object.
class TextPanel {
public:
    TextPanel(LwScene& scene, const std::string& svgFile, const std::string& textFile,
              const std::string& paramObjectName);
    ~TextPanel();
    void update(LwScene& scene, float time, const std::string& targetName);
    void renderTexture(RenderTexture& target);
    const std::string& getMeshName() const;
    TextScroller& getScroller() const { return *scroller; }

private:
    std::unique_ptr<Core::Texture> background;
    std::unique_ptr<TextScroller> scroller;
    std::unique_ptr<PanelQuad> quad;
    SceneObject* parameters;
};

} // namespace Vostrel
