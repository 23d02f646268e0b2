#pragma once

namespace Vostrel {
namespace Core {

// The kinds of texture: a texture's parameters and a shader's sampler
// registers both carry one.
enum TextureType : int {
    TEXTURE_TYPE_2D = 0,
    TEXTURE_TYPE_VOLUME = 1,
    TEXTURE_TYPE_CUBE = 2,
};

} // namespace Core
} // namespace Vostrel
