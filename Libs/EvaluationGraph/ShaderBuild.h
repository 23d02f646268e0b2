#pragma once

#include "Libs/Math/Matrix.h"
#include "Libs/Math/Vec.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Vostrel {

namespace Core {
class PixelShader;
class RenderContext;
class Texture;
class VertexShader;
} // namespace Core

// What a shader graph compiles to: the two shader objects and the bindings
// through which uniforms and textures are set by name at draw time. A value:
// copies share the shader objects, which go with the last copy (while the
// render core that made them still exists).
class ShaderBuild {
public:
    struct UniformBinding {
        int32_t vsReg;  // first vertex-shader register, -1 when the vertex shader does not read it
        int32_t psReg;  // likewise for the pixel shader
        uint32_t size;  // registers: 1 vector, 4 matrix
    };
    struct TextureBinding {
        uint32_t sampler;
        uint32_t type;  // Core::TextureType
    };

    ShaderBuild();

    // Sets the shaders and their constant counts on the context.
    void apply(Core::RenderContext& context) const;

    // Names the shaders do not read are ignored, so that a material may set
    // everything it knows on every shader.
    void setUniform(Core::RenderContext& context, const std::string& name, const float value[4]) const;
    void setUniform(Core::RenderContext& context, const std::string& name, const Vec4& value) const;
    // (x, y, z, 1).
    void setUniformVec3(Core::RenderContext& context, const std::string& name, const Vec3& value) const;
    // Sixteen floats as four registers of four (a Matrix4's columns).
    void setUniformMatrix(Core::RenderContext& context, const std::string& name, const float value[16]) const;
    void setUniformMatrix(Core::RenderContext& context, const std::string& name, const Matrix4& value) const;
    // Null unbinds the texture's sampler.
    void setTexture(Core::RenderContext& context, const std::string& name, Core::Texture* texture) const;

    Core::VertexShader* getVertexShader() const { return vertexShader.get(); }
    Core::PixelShader* getPixelShader() const { return pixelShader.get(); }
    // Index i is vertex input i.
    const std::vector<std::string>& getStreamNames() const { return streamNames; }
    const std::map<std::string, int>& getUniformMap() const { return uniformMap; }
    const std::vector<UniformBinding>& getUniformBindings() const { return uniformBindings; }
    // Null when the shaders do not read the uniform.
    const UniformBinding* findUniform(const std::string& name) const;
    uint32_t getVertexUniformCount() const { return vertexUniformCount; }
    uint32_t getPixelUniformCount() const { return pixelUniformCount; }
    const std::map<std::string, TextureBinding>& getTextureMap() const { return textureMap; }

private:
    friend class IntermediateShaderGraph;

    std::shared_ptr<Core::VertexShader> vertexShader;
    std::shared_ptr<Core::PixelShader> pixelShader;
    std::vector<std::string> streamNames;
    std::map<std::string, int> uniformMap;
    std::vector<UniformBinding> uniformBindings;
    uint32_t vertexUniformCount;
    uint32_t pixelUniformCount;
    std::map<std::string, TextureBinding> textureMap;
};

} // namespace Vostrel
