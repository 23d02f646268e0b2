#pragma once

// OpenGL errors are never silent in tests: a fixture that makes a device
// starts the check before the device and ends it after the device is gone,
// so errors made while tearing down count too.

#include "Platform/D3D9/D3D9Testing.h"

#include <gtest/gtest.h>

#include <string>

namespace Vostrel::TestSupport {

inline void startGlErrorCheck()
{
    D3D9Testing::setGlDebugContext(true);
    D3D9Testing::takeGlErrors();
}

inline void expectNoGlErrors()
{
    for (const std::string& message : D3D9Testing::takeGlErrors())
        ADD_FAILURE() << "OpenGL error: " << message;
}

} // namespace Vostrel::TestSupport
