#pragma once

// Internal: the call log and the adapter switches behind D3D9Testing.h.

#include "Platform/D3D9/D3D9Testing.h"

#include <initializer_list>

namespace D3D9 {

bool logging();
void logCall(const char* name, std::initializer_list<int64_t> arguments);
void logCall(const char* name, const std::vector<int64_t>& arguments);

template <typename Pointer>
int64_t pointerArgument(Pointer* pointer)
{
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(pointer));
}

struct AdapterSwitches {
    DWORD halVertexShaderVersion = 0x200;
    DWORD halPixelShaderVersion = 0x200;
    bool halDeviceFails = false;
};
AdapterSwitches& adapterSwitches();

} // namespace D3D9
