#pragma once

namespace Vostrel {
namespace Core {

struct TextureParameters;

// An image resource of the render core, bound to a sampler stage by the draw
// state. Made by the rendering interface's createTexture.
class Texture {
public:
    Texture() = default;
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;
    virtual ~Texture() = 0;

    // Binds the texture to a sampler stage; the base does nothing.
    virtual void bind(int stage) {}
};

} // namespace Core
} // namespace Vostrel
