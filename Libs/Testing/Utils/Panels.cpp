#include "Libs/Testing/Utils/Panels.h"

#include "Libs/Common/StringUtils.h"
#include "Libs/Core/Texture.h"
#include "Libs/EvaluationGraph/ShaderContext.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Libs/Image/Image.h"
#include "Libs/Image/RenderingBuffer.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Scene/LwScene.h"
#include "Libs/Scene/Scene.h"
#include "Libs/Scene/SceneRenderer.h"
#include "Libs/Testing/LineDraw/LineDraw.h"
#include "Libs/Testing/Utils/ToolkitAssert.h"

#include <cstring>

namespace Vostrel {

namespace {

int imagePanelCounter = 0;
int svgPanelCounter = 0;

ShaderGraph screenQuadGraph()
{
    ShaderGraph graph;
    ShaderValue centre = matrixProduct4(graph.uniform("cameraView", 4), graph.uniform("meshPosition", 1));
    ShaderValue placed = centre + graph.vertexStream("location") * graph.uniform("panelSize", 1) +
                         graph.uniform("screenOffset", 1);
    graph.setPosition(matrixProduct4(graph.uniform("perspectiveTransform", 4), placed));
    // The quad's v runs up; pictures are stored top row first.
    ShaderValue coordinates = vs2ps(graph.vertexStream("Texture") * graph.constant4(1, -1, 0, 0));
    ShaderValue colour = texld(coordinates, graph.texture("texture1", 0));
    ShaderValue luminance = dp4(colour, graph.constant4(0.3f, 0.59f, 0.11f, 0));
    graph.setColorResult(graph.constant4(1, 1, 1, 0) * colour + graph.constant4(0, 0, 0, 1) * luminance);
    return graph;
}

} // namespace

PanelQuad::PanelQuad(LwScene& scene, const std::string& meshName) : meshName(meshName)
{
    shader = std::make_unique<ShaderContext>(screenQuadGraph());
    material = std::make_unique<BasicSceneMaterial>(shader.get());
    material->setTextureCount(1);
    material->setBlendEnabled(true);
    material->setSourceBlend(Core::BLEND_SOURCE_ALPHA);
    material->setDestinationBlend(Core::BLEND_INVERSE_SOURCE_ALPHA);
    scene.addMeshFromFile(meshName, "data/Models/quad.lwo@1", "");
    scene.setMaterial(meshName, material.get());
}

PanelQuad::~PanelQuad() = default;

void PanelQuad::show(const RenderTexture& target)
{
    if (!target.texture)
        TOOLKIT_THROW("Panel " << meshName << ": the render target has no texture to show");
    material->setTexture(0, target.texture);
}

void PanelQuad::show(Core::Texture* texture)
{
    material->setTexture(0, texture);
}

void PanelQuad::place(LwScene& scene, const std::string& targetName, bool onCamera, const Vec4& screenOffset,
                       const Vec4& panelSize)
{
    if (onCamera)
        scene.linkTransformToCamera(meshName, targetName);
    else
        scene.linkTransform(meshName, targetName);
    scene.setUniform(meshName, "screenOffset", screenOffset);
    scene.setUniform(meshName, "panelSize", panelSize);
    scene.setAttribute(meshName, "zBias", 0.1f);
}

SceneObject* panelParameterObject(LwScene& scene, const std::string& name, const char* panelKind,
                                  std::initializer_list<const char*> channels)
{
    SceneMesh* mesh = scene.findMesh(name);
    if (!mesh || !mesh->object)
        TOOLKIT_THROW(panelKind << ": parameter object " << name << " not found.");
    for (const char* channel : channels)
        TOOLKIT_ASSERT_TEXT(mesh->object->getAttributeFunction(channel),
                            std::string("paramObj->getAttribute(\"") + channel + "\")");
    return mesh->object;
}

std::unique_ptr<Core::Texture> renderSvgTexture(const std::string& svgFile)
{
    std::unique_ptr<Image> image(Image::create(1024, 1024, 4));
    std::memset(image->getData(), 0, 1024 * 1024 * 4);
    RenderingBuffer buffer(1024, 1024, image->getData());
    buffer.loadSvgFile(svgFile);
    buffer.drawSvg(0, 0, 1.0f, 1.0f, 0, 0.5f, 1.0f);
    Core::TextureParameters parameters;
    parameters.width = 1024;
    parameters.height = 1024;
    return std::unique_ptr<Core::Texture>(image->createTexture2D(&parameters));
}

ImagePanel::ImagePanel(LwScene& scene, const std::string& paramObjectName, const std::string& imageFile)
{
    const std::string meshName = "Auto" + StringUtils::intToString(imagePanelCounter++) + "_" + paramObjectName;
    TOOLKIT_ASSERT_TEXT(scene.findMesh(paramObjectName) != nullptr, "m != 0");
    parameters = panelParameterObject(scene, paramObjectName, "ImagePanel", {"x", "y", "sx", "sy", "bank"});
    image = loadTextureWithDefaults(imageFile, true);
    quad = std::make_unique<PanelQuad>(scene, meshName);
}

ImagePanel::~ImagePanel() = default;

void ImagePanel::update(LwScene& scene, float time, const std::string& targetName)
{
    panelTime = time;
    const float x = parameters->getAttribute("x", time);
    const float y = parameters->getAttribute("y", time);
    const float sx = parameters->getAttribute("sx", time);
    const float sy = parameters->getAttribute("sy", time);
    quad->place(scene, targetName, false, Vec4(x, y, 0, 0), Vec4(sx, sy, 0, 0));
}

void ImagePanel::renderTexture(RenderTexture& target)
{
    quad->show(target);
    blitRotated(&target, image, parameters->getAttribute("bank", panelTime));
}

SvgScreenPanel::SvgScreenPanel(LwScene& scene, const std::string& svgFile, const std::string& meshName)
{
    svg = renderSvgTexture(svgFile);
    quad = std::make_unique<PanelQuad>(scene, meshName);
    quad->show(svg.get());
}

SvgScreenPanel::~SvgScreenPanel() = default;

void SvgScreenPanel::update(LwScene& scene, float time, const std::string& targetName)
{
    if (scene.findCamera(targetName))
        quad->place(scene, targetName, true, Vec4(20.0f, 15.0f, 100.0f, 0), Vec4(40.0f, 40.0f, 0, 0));
    else
        quad->place(scene, targetName, false, Vec4(50.0f, 20.0f, 0, 0), Vec4(30.0f, 30.0f, 0, 0));
}

void SvgScreenPanel::setTexture(RenderTexture& source)
{
    quad->show(source);
}

SvgPanel::SvgPanel(LwScene& scene, const std::string& paramObjectName, const std::string& svgFile)
{
    parameters = panelParameterObject(scene, paramObjectName, "SvgPanel", {"x", "y", "sx", "sy"});
    drawing = std::make_unique<LineDrawing>(512, 512);
    drawing->loadSvg(svgFile);
    quad = std::make_unique<PanelQuad>(scene, "SvgPanel_Auto" + StringUtils::intToString(svgPanelCounter++));
}

SvgPanel::~SvgPanel() = default;

void SvgPanel::update(LwScene& scene, float time, const std::string& targetName)
{
    // A jump in time (a part entered again) starts the drawing over.
    if (time < lastTime || time - lastTime > 1.0f) {
        drawing->clear(Vec4(0, 0, 0, 0));
        startTime = lastStep = time;
        progress = 0.0f;
    }
    lastTime = time;
    if (time - lastStep >= stepSeconds && !drawing->getLines().empty()) {
        lastStep = time;
        progress = (time - startTime) / drawingSeconds;
        drawing->draw(progress, 2.0f, Vec4(1, 1, 1, 1));
    }
    const float x = parameters->getAttribute("x", time);
    const float y = parameters->getAttribute("y", time);
    quad->place(scene, targetName, false, Vec4(x, y, 0, 0),
                Vec4(parameters->getAttribute("sx", time), parameters->getAttribute("sy", time), 0, 0));
}

void SvgPanel::renderTexture(RenderTexture& target)
{
    quad->show(target);
    blitTexture(&target, drawing->getTexture());
}

} // namespace Vostrel
