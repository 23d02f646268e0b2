#pragma once

// The run-time binding of the FMOD 3 library: a table of every entry point
// resolved by its decorated name from the loaded "fmod.dll".

#include <string>

#include "Platform/Fmod3/Fmod.h"
#include "Platform/Win32/Windows.h"

namespace Vostrel {

// The entries the engine calls, by their place in the table.
enum class FmodEntry : int {
    FSOUND_Init = 8,
    FSOUND_Close = 9,
    FSOUND_GetError = 15,
    FSOUND_GetVersion = 16,
    FSOUND_SetVolume = 56,
    FSOUND_SetPan = 58,
    FSOUND_SetPaused = 63,
    FSOUND_IsPlaying = 68,
    FSOUND_GetFrequency = 69,
    FSOUND_Stream_SetBufferSize = 103,
    FSOUND_Stream_Open = 104,
    FSOUND_Stream_Close = 106,
    FSOUND_Stream_PlayEx = 108,
    FSOUND_Stream_SetTime = 112,
    FSOUND_Stream_GetTime = 113,
    FSOUND_Stream_GetLengthMs = 115,
    FSOUND_Stream_SetEndCallback = 123,
    FSOUND_Stream_SetSyncCallback = 124,
};

struct FmodInstance {
    HMODULE module = nullptr;
    FARPROC entries[Fmod3::exportCount] = {};

    template <class Function>
    Function entry(FmodEntry which) const
    {
        // Through void (*)(), the generic function pointer type.
        return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(entries[static_cast<int>(which)]));
    }
};

// The entry of a table typed as the library declares it:
// VOSTREL_FMOD(fmod, FSOUND_Init)(44100, 1, 0).
#define VOSTREL_FMOD(instance, name) ((instance)->entry<decltype(&::name)>(::Vostrel::FmodEntry::name))

// Loads the library and resolves all its entries; null when the library or
// any one entry is missing (nothing stays loaded then).
FmodInstance* createFmodInstance(const char* libraryName);
// Unloads the library and frees the table; null is ignored.
void freeFmodInstance(FmodInstance* instance);

// The program-wide table while the library is loaded and initialised, else
// null.
FmodInstance* fmodInstance();

// Loads "fmod.dll", checks its version and initialises the output, once:
// nothing happens while the program-wide table is set. A failure leaves
// nothing loaded and the table null, so a later call tries again.
void initFmod();
// Closes the output, unloads the library and clears the program-wide table.
void shutdownFmod();

// The text of an FSOUND_GetError code.
std::string fmodErrorString(int errorCode);

} // namespace Vostrel
