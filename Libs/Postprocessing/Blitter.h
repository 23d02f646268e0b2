#pragma once

#include "Libs/Core/RenderStates.h"
#include "Libs/Math/Matrix.h"
#include "Libs/Math/Vec.h"

#include <list>
#include <string>

namespace Vostrel {

namespace Core {
class Texture;
class VertexShader;
class PixelShader;
} // namespace Core

class ShaderBuild;

// The blend block a blitter draws with; blending is off until set.
struct BlitBlending {
    Core::BlendOperation operation = Core::BLENDOP_ADD;
    Core::BlendMode source = Core::BLEND_ONE;
    Core::BlendMode destination = Core::BLEND_ONE;
    Vec4 factor = Vec4(1.0f, 1.0f, 1.0f, 1.0f);
    bool separateAlpha = false;
    Core::BlendOperation alphaOperation = Core::BLENDOP_ADD;
    Core::BlendMode alphaSource = Core::BLEND_ONE;
    Core::BlendMode alphaDestination = Core::BLEND_ONE;
};

// An n-tap filter over one texture: the sum of weight i times the texel at
// the texture coordinate plus offset i, drawn over the current target.
class Blitter {
public:
    virtual ~Blitter() {}
    virtual void setOffsets(const float* pairs) = 0; // 2n floats
    virtual void setWeights(const float* weights) = 0; // n floats
    virtual void blit(Core::Texture* texture) = 0;
    virtual void disableBlending() = 0;
    virtual void setBlending(Core::BlendOperation operation, Core::BlendMode source, Core::BlendMode destination,
                             const Vec4& factor, bool separateAlpha, Core::BlendOperation alphaOperation,
                             Core::BlendMode alphaSource, Core::BlendMode alphaDestination) = 0;
};

// A caller's vertex and pixel program drawn into a rectangle of the current
// target (x, y from its lower-left corner; -1 for width or height means the
// whole target). Vertex constants 0 to 3 place the quad; the caller's vertex
// constants follow from 4, its pixel constants start at 0.
class CustomBlitter {
public:
    virtual ~CustomBlitter() {}
    virtual void setRect(const int& x, const int& y, const int& width, const int& height) = 0;
    virtual void blit(const std::list<Core::Texture*>& textures, const std::list<Vec4>& vertexConstants,
                      const std::list<Vec4>& pixelConstants) = 0;
    virtual void disableBlending() = 0;
    virtual void setBlending(Core::BlendOperation operation, Core::BlendMode source, Core::BlendMode destination,
                             const Vec4& factor, bool separateAlpha, Core::BlendOperation alphaOperation,
                             Core::BlendMode alphaSource, Core::BlendMode alphaDestination) = 0;
};

// A shader pair built from a shader graph, with uniforms and textures set by name.
class GenericFullscreenBlitter {
public:
    virtual ~GenericFullscreenBlitter() {}
    virtual void setMatrix(const std::string& name, const Matrix4& value) = 0;
    virtual void setVec3(const std::string& name, const Vec3& value) = 0;
    virtual void setVec4(const std::string& name, const Vec4& value) = 0;
    // Also sets name + "_xoffset" and name + "_yoffset" to one texel's step.
    virtual void setTexture(const std::string& name, Core::Texture* texture) = 0;
    virtual void blit() = 0;
    virtual void disableBlending() = 0;
    virtual void setBlending(Core::BlendOperation operation, Core::BlendMode source, Core::BlendMode destination,
                             const Vec4& factor, bool separateAlpha, Core::BlendOperation alphaOperation,
                             Core::BlendMode alphaSource, Core::BlendMode alphaDestination) = 0;
};

Blitter* createBlitter(int taps);
// Null for an id outside 0 to 19.
CustomBlitter* createPredefinedBlitter(int id);
GenericFullscreenBlitter* createGenericFullscreenBlitter(const ShaderBuild& build);
// A custom blitter over the caller's shaders (not owned).
CustomBlitter* createCustomBlitter(Core::VertexShader* vertexShader, int extraVertexConstants,
                                   Core::PixelShader* pixelShader, int pixelConstants);

// The shared quad, blit programs and predefined programs live until this is
// called (at shutdown, while the core still exists); blitters must be gone.
void releaseBlitterObjects();

} // namespace Vostrel
