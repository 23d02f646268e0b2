#pragma once

#include "Libs/Core/RenderContext.h"
#include "Libs/Core/ShaderGen.h"

#include <memory>

namespace Vostrel {

namespace Core {
class RenderTarget;
class VertexFormat;
class VertexStream;
} // namespace Core

// A quad of its own for full-screen passes: corners (0, 0) to (1, 1) in one
// stream of two floats, drawn as a strip with a draw state of its own.
class ScreenQuad {
public:
    ScreenQuad();
    ~ScreenQuad();
    ScreenQuad(const ScreenQuad&) = delete;
    ScreenQuad& operator=(const ScreenQuad&) = delete;

    Core::RenderContext& getContext() { return context; }
    void setVertexShader(Core::VertexShader* shader);
    void setPixelShader(Core::PixelShader* shader);
    // Vertex constants first .. first + 2 cover the target from (-1, 1) at
    // corner (0, 0), shifted half a pixel.
    void place(int first, const Core::RenderTarget& target) { place(context, first, target); }
    static void place(Core::RenderContext& context, int first, const Core::RenderTarget& target);
    void draw();

    // Writes destination = c[first] + x c[first + 1] + y c[first + 2] for the corner (x, y) in v0.
    static void writeAffine(Core::ShaderGen& gen, const Core::ShaderGen::Register& destination, int first);
    static void writePosition(Core::ShaderGen& gen, int first)
    {
        writeAffine(gen, gen.vary(Core::VARY_POSITION), first);
    }

private:
    Core::RenderContext context;
    std::unique_ptr<Core::VertexStream> stream;
    std::unique_ptr<Core::VertexFormat> format;
};

} // namespace Vostrel
