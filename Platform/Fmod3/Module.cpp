#include "Platform/Fmod3/Module.h"

#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "Platform/Fmod3/Fmod.h"
#include "Platform/Fmod3/Sound.h"
#include "Platform/Win32/Host.h"

namespace Fmod3 {

namespace {

template <class Function>
FARPROC exported(Function function)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

// Every export the engine never calls: it fails honestly.
LONG_PTR unsupported()
{
    failUnsupported();
    return 0;
}

} // namespace

void registerModule()
{
    // A loaded module must stay what its users resolved; otherwise
    // registering again (over whatever held the name) changes nothing else.
    static std::mutex registering;
    std::lock_guard<std::mutex> guard(registering);
    if (GetModuleHandleA("fmod.dll"))
        return;
    const std::map<std::string, FARPROC> provided = {
        {"_FSOUND_GetVersion@0", exported(FSOUND_GetVersion)},
        {"_FSOUND_Init@12", exported(FSOUND_Init)},
        {"_FSOUND_Close@0", exported(FSOUND_Close)},
        {"_FSOUND_GetError@0", exported(FSOUND_GetError)},
        {"_FSOUND_Stream_SetBufferSize@4", exported(FSOUND_Stream_SetBufferSize)},
        {"_FSOUND_Stream_Open@16", exported(FSOUND_Stream_Open)},
        {"_FSOUND_Stream_PlayEx@16", exported(FSOUND_Stream_PlayEx)},
        {"_FSOUND_GetFrequency@4", exported(FSOUND_GetFrequency)},
        {"_FSOUND_SetPan@8", exported(FSOUND_SetPan)},
        {"_FSOUND_Stream_GetLengthMs@4", exported(FSOUND_Stream_GetLengthMs)},
        {"_FSOUND_SetVolume@8", exported(FSOUND_SetVolume)},
        {"_FSOUND_Stream_SetSyncCallback@12", exported(FSOUND_Stream_SetSyncCallback)},
        {"_FSOUND_Stream_SetEndCallback@12", exported(FSOUND_Stream_SetEndCallback)},
        {"_FSOUND_SetPaused@8", exported(FSOUND_SetPaused)},
        {"_FSOUND_IsPlaying@4", exported(FSOUND_IsPlaying)},
        {"_FSOUND_Stream_SetTime@8", exported(FSOUND_Stream_SetTime)},
        {"_FSOUND_Stream_GetTime@4", exported(FSOUND_Stream_GetTime)},
        {"_FSOUND_Stream_Close@4", exported(FSOUND_Stream_Close)},
    };
    std::map<std::string, FARPROC> entryPoints;
    for (const char* name : exportNames) {
        auto found = provided.find(name);
        entryPoints[name] = found != provided.end() ? found->second : exported(unsupported);
    }
    Win32Host::registerModule("fmod.dll", entryPoints);
}

} // namespace Fmod3
