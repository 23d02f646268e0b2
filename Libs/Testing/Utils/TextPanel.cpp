#include "Libs/Testing/Utils/TextPanel.h"

#include "Libs/Common/StringUtils.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/Texture.h"
#include "Libs/Image/FontRenderer.h"
#include "Libs/Image/Image.h"
#include "Libs/Math/Function.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Scene/LwScene.h"
#include "Libs/Scene/Scene.h"
#include "Libs/Scene/SceneRenderer.h"
#include "Libs/Testing/Utils/Panels.h"
#include "Libs/Testing/Utils/ToolkitAssert.h"
#include "Libs/Testing/Utils/Utils.h"

#include <cmath>
#include <cstring>

namespace Vostrel {

namespace {

int textPanelCounter = 0;

float periodOf(float linesPerSecond)
{
    return linesPerSecond >= 0.001f ? 1.0f / linesPerSecond : 1e10f;
}

} // namespace

TextScroller::TextScroller(const std::string& textFile, int width, int height, int visibleLines,
                           float linesPerSecond)
{
    init(textFile, width, height, visibleLines);
    stepPeriod = periodOf(linesPerSecond);
}

TextScroller::TextScroller(const std::string& textFile, int width, int height, int visibleLines, LwScene& scene,
                           const std::string& objectName)
{
    init(textFile, width, height, visibleLines);
    SceneMesh* mesh = scene.findMesh(objectName);
    if (!mesh || !mesh->object)
        TOOLKIT_THROW("TextScroller: object " << objectName << " not found");
    Function<float, float>* speedFunction = mesh->object->getAttributeFunction("z");
    TOOLKIT_ASSERT(speedFunction != 0);
    speed = speedFunction;
}

TextScroller::~TextScroller() = default;

void TextScroller::init(const std::string& textFile, int width, int height, int visibleLines)
{
    TOOLKIT_ASSERT(width > 0 && height > 0 && visibleLines > 0 && height / visibleLines > 0);
    ReadLines(textFile, lines);
    this->width = width;
    this->height = height;
    this->visibleLines = visibleLines;
    nextLine = currentRow = 0;
    lastStepTime = 0.0f;
    lineHeight = height / visibleLines;

    Core::TextureParameters parameters;
    parameters.width = width;
    parameters.height = height;
    parameters.minFilter = Core::MIN_LINEAR;
    parameters.dynamic = true;
    texture.reset(Core::createTexture(parameters));
    image.reset(Image::create(width, height, 4));
    std::memset(image->getData(), 0, static_cast<size_t>(width) * height * 4);

    font.reset(FontRenderer::create(width, height, image->getData()));
    font->selectFace(font->loadFace("data/Fonts/Prototype.ttf"));
    font->setCharSize(lineHeight, 72, 72);
    font->setColor(Vec4(1, 1, 1, 1));
    for (int i = 0; i < visibleLines; ++i)
        redraw();
}

void TextScroller::update(float time)
{
    if (speed)
        stepPeriod = periodOf(speed->evaluate(time));
    if (time - lastStepTime > stepPeriod) {
        redraw();
        lastStepTime += stepPeriod;
    }
}

float TextScroller::getOffset() const
{
    return static_cast<float>(currentRow) / static_cast<float>(visibleLines);
}

const unsigned char* TextScroller::getPixels() const
{
    return image->getData();
}

void TextScroller::redraw()
{
    unsigned char* band = image->getData() + static_cast<size_t>(currentRow) * lineHeight * width * 4;
    font->setTarget(width, lineHeight, band);
    font->clear(Vec4(0, 0, 0, 0));
    if (!lines.empty()) {
        std::string text = lines[nextLine];
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        // The pen sits on the band's baseline, a quarter of a row up for descenders.
        const float identity[4] = {1, 0, 0, 1};
        const float pen[2] = {2.0f, lineHeight * 0.25f};
        font->setTransform(identity, pen);
        font->drawText(text.c_str());
        nextLine = (nextLine + 1) % static_cast<int>(lines.size());
    }
    texture->update(0, image->getData());
    currentRow = (currentRow + 1) % visibleLines;
}

TextPanel::TextPanel(LwScene& scene, const std::string& svgFile, const std::string& textFile,
                     const std::string& paramObjectName)
{
    const std::string meshName = "TextPanel_Auto" + StringUtils::intToString(textPanelCounter++);
    parameters = panelParameterObject(scene, paramObjectName, "TextPanel", {"x", "y", "z", "sx", "sy"});
    scroller = std::make_unique<TextScroller>(textFile, 512, 512, 16, scene, paramObjectName);
    background = renderSvgTexture(svgFile);
    quad = std::make_unique<PanelQuad>(scene, meshName);
}

TextPanel::~TextPanel() = default;

const std::string& TextPanel::getMeshName() const
{
    return quad->getMeshName();
}

void TextPanel::update(LwScene& scene, float time, const std::string& targetName)
{
    const float x = parameters->getAttribute("x", time);
    const float y = parameters->getAttribute("y", time);
    const float sx = parameters->getAttribute("sx", time);
    const float sy = parameters->getAttribute("sy", time);
    const bool onCamera = scene.findCamera(targetName) != nullptr;
    quad->place(scene, targetName, onCamera, Vec4(x, y, onCamera ? 10.0f : 0.0f, 0), Vec4(sx, sy, 0, 0));
    scroller->update(onCamera ? time * 3.0f : time);
}

void TextPanel::renderTexture(RenderTexture& target)
{
    quad->show(target);
    blitTexture(&target, background.get());
    blitShifted(&target, scroller->getTexture(), 0, scroller->getOffset(), 125, 75, 325, 325);
}

} // namespace Vostrel
