#pragma once

#include "Libs/Core/RenderTarget.h"

namespace Vostrel {
namespace Core {

// The program's top-level window: a render target that owns a window of the
// platform. Made by the rendering interface (the core's main window, or
// createRenderWindow).
class RenderWindow : public RenderTarget {
public:
    ~RenderWindow() override;
};

} // namespace Core
} // namespace Vostrel
