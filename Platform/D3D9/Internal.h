#pragma once

// Internal: the call log, refusals, OpenGL error reports and the adapter
// switches behind D3D9Testing.h.

#include "Platform/D3D9/D3D9Testing.h"

#include <initializer_list>
#include <string>

namespace D3D9 {

bool logging();
void logCall(const char* name, std::initializer_list<int64_t> arguments);
void logCall(const char* name, const std::vector<int64_t>& arguments);

template <typename Pointer>
int64_t pointerArgument(Pointer* pointer)
{
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(pointer));
}

// Records which rule refused a call and returns the refusal's result.
HRESULT refuse(const char* call, std::string rule, HRESULT result = D3DERR_INVALIDCALL);

// Whether new contexts should be debug contexts, and where their errors go.
bool glDebugContextWanted();
void recordGlError(const char* message);

struct AdapterSwitches {
    DWORD halVertexShaderVersion = 0x200;
    DWORD halPixelShaderVersion = 0x200;
    bool halDeviceFails = false;
    // The OpenGL version a device's context asks for.
    int glMajorVersion = 4;
    int glMinorVersion = 5;
};
AdapterSwitches& adapterSwitches();

} // namespace D3D9
