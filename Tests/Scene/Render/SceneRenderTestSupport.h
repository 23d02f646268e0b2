#pragma once

// Renderable scenes over generated files, drawn on the headless Direct3D
// stand-in. The mesh cache is emptied after each test, while the core lives.

#include "Libs/Common/Exception.h"
#include "Libs/Core/PixelShader.h"
#include "Libs/Core/Texture.h"
#include "Libs/Core/VertexShader.h"
#include "Libs/EvaluationGraph/ShaderContext.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Libs/Math/Function.h"
#include "Libs/Scene/LwScene.h"
#include "Tests/Support/HeadlessCore.h"
#include "Tests/Scene/SceneTestSupport.h"
#include "Tests/Support/TempDir.h"
#include "Tools/Content/Lwo2Writer.h"

#include <functional>
#include <memory>
#include <string>

namespace SceneRenderTest {

using namespace Vostrel;

using SceneTest::Failure;
using SceneTest::failureOf;

// A typed object of an in-memory scene with the nine constant channels.
inline SceneObject* addObject(Scene& scene, const std::string& name, int type, const Vec3& position = Vec3(0.0f))
{
    SceneObject* object = new SceneObject;
    scene.addObject(object);
    object->setStringConstant("objectName", name);
    if (type != 0)
        object->setIntConstant("objectType", type);
    const float values[9] = {position[0], position[1], position[2], 0, 0, 0, 1, 1, 1};
    const char* const names[9] = {"x", "y", "z", "heading", "pitch", "bank", "sx", "sy", "sz"};
    for (int i = 0; i < 9; ++i)
        object->setAttribute(names[i], new ConstantFunction<float>(values[i]));
    return object;
}

// A shader context the test holds (its build's programs go with it).
struct OwnedShaderContext {
    explicit OwnedShaderContext(const ShaderGraph& graph) : context(std::make_unique<ShaderContext>(graph)) {}
    ShaderContext* get() const { return context.get(); }
    ShaderContext* operator->() const { return context.get(); }
    std::unique_ptr<ShaderContext> context;
};

// Position by "fullTransform"; colour "lightColor" x the object's
// "objectColor". With "zero" left at 0 the other scene inputs change
// nothing, but the shader declares them all.
inline ShaderGraph flatGraph()
{
    ShaderGraph g;
    ShaderValue location = g.vertexStream("location");
    ShaderValue zero = g.uniform("zero", 1);
    ShaderValue unused = matrixProduct4(g.uniform("meshTransform", 4), location) +
                         matrixProduct4(g.uniform("cameraSpace", 4), location) +
                         matrixProduct4(g.uniform("perspectiveTransform", 4), location) +
                         matrixProduct4(g.uniform("cameraView", 4), location) +
                         matrixProduct4(g.uniform("cameraTransform", 4), location) + g.uniform("meshPosition", 1) +
                         g.uniform("cameraPosition", 1) + g.uniform("lightPos", 1) + g.uniform("time", 1);
    g.setPosition(matrixProduct4(g.uniform("fullTransform", 4), location) + zero * unused);
    g.setColorResult(g.uniform("lightColor", 1) * g.uniform("objectColor", 1));
    return g;
}

// A bias-material shader: colour from the per-object "mesh:glow".
inline ShaderGraph glowGraph()
{
    ShaderGraph g;
    ShaderValue location = g.vertexStream("location");
    ShaderValue zero = g.uniform("zero", 1);
    g.setPosition(matrixProduct4(g.uniform("fullTransform", 4), location) +
                  zero * (matrixProduct4(g.uniform("meshTransform", 4), location) + g.uniform("time", 1)));
    g.setColorResult(g.uniform("mesh:glow", 1));
    return g;
}

class SceneRenderFixture : public TestSupport::HeadlessCoreTest {
protected:

    std::string writeObject(const std::string& name, const Content::Lwo2Object& object)
    {
        const std::string path = dir.file(name);
        Content::writeLwo2(path, object);
        return path;
    }

    // A render-target texture of the size, with its depth buffer.
    static std::unique_ptr<Core::Texture> makeTarget(int width, int height)
    {
        Core::TextureParameters parameters;
        parameters.width = width;
        parameters.height = height;
        parameters.minFilter = Core::MIN_LINEAR;
        parameters.renderTarget = true;
        return std::unique_ptr<Core::Texture>(Core::createTexture(parameters));
    }

    std::string quadFile()
    {
        Content::writeUnitQuad(dir.path);
        return dir.path + "/data/Models/quad.lwo";
    }

    VostrelTest::TempDir dir;
};

} // namespace SceneRenderTest
