#pragma once

// What tests need of the Direct3D stand-in beyond Direct3D itself: a log of
// the calls it receives, why it refused one, what OpenGL reported, and
// switches that make the adapter look different.

#include "Platform/D3D9/d3d9.h"

#include <cstdint>
#include <string>
#include <vector>

namespace D3D9Testing {

struct Call {
    std::string name;
    std::vector<int64_t> arguments;
};

// While logging, every device and swap-chain call is appended to the log.
void startLog();
void stopLog();
std::vector<Call> takeLog();
// Only the calls of one name, for tests that look at one kind.
std::vector<Call> callsNamed(const std::vector<Call>& log, const std::string& name);

// The last call the stand-in refused and the rule that refused it, as
// "CreateRenderTarget: zero width or height"; empty when nothing was refused
// since the last take.
std::string takeRefusal();

// Devices made while this is on, or with VOSTREL_GL_DEBUG set (and not "0"),
// run on an OpenGL debug context, and every GL_DEBUG_TYPE_ERROR message it
// reports is kept (and printed). The show runs without: a debug context costs.
void setGlDebugContext(bool on);
// The OpenGL error messages kept since the last take.
std::vector<std::string> takeGlErrors();

// The shader versions the HAL device reports (low 16 bits, e.g. 0x101 for
// 1.1); the reference device always reports 2.0.
void setHalShaderVersions(DWORD vertexVersion, DWORD pixelVersion);
// Makes CreateDevice on the HAL fail, as a driver that refuses would.
void setHalDeviceFails(bool fails);
// The OpenGL core version a device's context asks for (4.5); one the driver
// cannot give fails CreateDevice as on a machine without it.
void setGlContextVersion(int major, int minor);
// Back to an adapter with 2.0 shaders, a working HAL and OpenGL 4.5.
void resetAdapter();

} // namespace D3D9Testing
