#pragma once

#include "Libs/Core/DirectX/DXCore.h"

#include <cstdlib>

namespace VostrelFuzz {

// Meshes keep their data in the render core's streams: one small core serves
// the whole run.
inline void ensureCore()
{
    static const bool made = [] {
        Vostrel::Core::DXCore::install();
        Vostrel::Core::WindowParameters parameters;
        parameters.width = parameters.height = 16;
        return Vostrel::Core::createCore(parameters) != nullptr;
    }();
    if (!made)
        std::abort();
}

} // namespace VostrelFuzz
