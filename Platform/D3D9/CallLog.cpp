#include "Platform/D3D9/Internal.h"

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <utility>

namespace D3D9 {

namespace {

struct Log {
    bool on = false;
    std::vector<D3D9Testing::Call> calls;
    std::string refusal;
    bool glDebugContext = false;
    std::vector<std::string> glErrors;
};

Log& log()
{
    static Log state;
    return state;
}

} // namespace

bool logging() { return log().on; }

void logCall(const char* name, std::initializer_list<int64_t> arguments)
{
    if (log().on)
        log().calls.push_back({name, std::vector<int64_t>(arguments)});
}

void logCall(const char* name, const std::vector<int64_t>& arguments)
{
    if (log().on)
        log().calls.push_back({name, arguments});
}

HRESULT refuse(const char* call, std::string rule, HRESULT result)
{
    log().refusal = std::string(call) + ": " + rule;
    return result;
}

bool glDebugContextWanted()
{
    const char* variable = std::getenv("VOSTREL_GL_DEBUG");
    return log().glDebugContext || (variable && *variable && std::strcmp(variable, "0") != 0);
}

void recordGlError(const char* message)
{
    std::cerr << "OpenGL error: " << message << "\n";
    log().glErrors.emplace_back(message);
}

AdapterSwitches& adapterSwitches()
{
    static AdapterSwitches switches;
    return switches;
}

} // namespace D3D9

namespace D3D9Testing {

void startLog()
{
    D3D9::log().on = true;
    D3D9::log().calls.clear();
}

void stopLog() { D3D9::log().on = false; }

std::vector<Call> takeLog()
{
    std::vector<Call> result;
    result.swap(D3D9::log().calls);
    return result;
}

std::vector<Call> callsNamed(const std::vector<Call>& log, const std::string& name)
{
    std::vector<Call> result;
    for (const Call& call : log)
        if (call.name == name)
            result.push_back(call);
    return result;
}

std::string takeRefusal()
{
    return std::exchange(D3D9::log().refusal, std::string());
}

void setGlDebugContext(bool on) { D3D9::log().glDebugContext = on; }

std::vector<std::string> takeGlErrors()
{
    return std::exchange(D3D9::log().glErrors, {});
}

void setHalShaderVersions(DWORD vertexVersion, DWORD pixelVersion)
{
    D3D9::adapterSwitches().halVertexShaderVersion = vertexVersion & 0xFFFF;
    D3D9::adapterSwitches().halPixelShaderVersion = pixelVersion & 0xFFFF;
}

void setHalDeviceFails(bool fails) { D3D9::adapterSwitches().halDeviceFails = fails; }

void setGlContextVersion(int major, int minor)
{
    D3D9::adapterSwitches().glMajorVersion = major;
    D3D9::adapterSwitches().glMinorVersion = minor;
}

void resetAdapter() { D3D9::adapterSwitches() = D3D9::AdapterSwitches(); }

} // namespace D3D9Testing
