#include "Platform/Win32/Host.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>

struct HINSTANCE__ {
    std::string name;
    std::map<std::string, FARPROC> entryPoints;
    int loadCount = 0;
};

namespace {

// The executable's own handle, for GetModuleHandleA(null).
HINSTANCE__ processModule;

std::map<std::string, std::unique_ptr<HINSTANCE__>>& modules()
{
    static std::map<std::string, std::unique_ptr<HINSTANCE__>> registry;
    return registry;
}

// "C:\\Program\\FMOD.DLL" and "fmod.dll" name the same module.
std::string moduleKey(const std::string& name)
{
    std::string base = name;
    size_t slash = base.find_last_of("/\\");
    if (slash != std::string::npos)
        base = base.substr(slash + 1);
    std::transform(base.begin(), base.end(), base.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return base;
}

} // namespace

namespace Win32Host {

void registerModule(const std::string& name, const std::map<std::string, FARPROC>& entryPoints)
{
    auto module = std::make_unique<HINSTANCE__>();
    module->name = name;
    module->entryPoints = entryPoints;
    modules()[moduleKey(name)] = std::move(module);
}

void unregisterModule(const std::string& name)
{
    modules().erase(moduleKey(name));
}

} // namespace Win32Host

HMODULE GetModuleHandleA(LPCSTR moduleName)
{
    if (!moduleName)
        return &processModule;
    auto found = modules().find(moduleKey(moduleName));
    if (found == modules().end() || found->second->loadCount == 0)
        return nullptr;
    return found->second.get();
}

HMODULE LoadLibraryA(LPCSTR fileName)
{
    if (!fileName)
        return nullptr;
    auto found = modules().find(moduleKey(fileName));
    if (found == modules().end())
        return nullptr;
    ++found->second->loadCount;
    return found->second.get();
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName)
{
    if (!module || !procName || module == &processModule)
        return nullptr;
    for (auto& entry : modules()) {
        if (entry.second.get() != module)
            continue;
        auto proc = module->entryPoints.find(procName);
        return proc == module->entryPoints.end() ? nullptr : proc->second;
    }
    return nullptr;
}

BOOL FreeLibrary(HMODULE module)
{
    for (auto& entry : modules()) {
        if (entry.second.get() == module && module->loadCount > 0) {
            --module->loadCount;
            return TRUE;
        }
    }
    return FALSE;
}
