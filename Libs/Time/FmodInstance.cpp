#include "Libs/Time/FmodInstance.h"

#include <new>

namespace Vostrel {

namespace {

constexpr bool isEntry(FmodEntry entry, const char* name)
{
    const char* expected = Fmod3::exportNames[static_cast<int>(entry)];
    while (*expected && *expected == *name) {
        ++expected;
        ++name;
    }
    return *expected == *name;
}

static_assert(isEntry(FmodEntry::FSOUND_Init, "_FSOUND_Init@12"), "table place");
static_assert(isEntry(FmodEntry::FSOUND_Close, "_FSOUND_Close@0"), "table place");
static_assert(isEntry(FmodEntry::FSOUND_GetError, "_FSOUND_GetError@0"), "table place");
static_assert(isEntry(FmodEntry::FSOUND_GetVersion, "_FSOUND_GetVersion@0"), "table place");
static_assert(isEntry(FmodEntry::FSOUND_SetVolume, "_FSOUND_SetVolume@8"), "table place");
static_assert(isEntry(FmodEntry::FSOUND_SetPan, "_FSOUND_SetPan@8"), "table place");
static_assert(isEntry(FmodEntry::FSOUND_SetPaused, "_FSOUND_SetPaused@8"), "table place");
static_assert(isEntry(FmodEntry::FSOUND_IsPlaying, "_FSOUND_IsPlaying@4"), "table place");
static_assert(isEntry(FmodEntry::FSOUND_GetFrequency, "_FSOUND_GetFrequency@4"), "table place");
static_assert(isEntry(FmodEntry::FSOUND_Stream_SetBufferSize, "_FSOUND_Stream_SetBufferSize@4"), "table place");
static_assert(isEntry(FmodEntry::FSOUND_Stream_Open, "_FSOUND_Stream_Open@16"), "table place");
static_assert(isEntry(FmodEntry::FSOUND_Stream_Close, "_FSOUND_Stream_Close@4"), "table place");
static_assert(isEntry(FmodEntry::FSOUND_Stream_PlayEx, "_FSOUND_Stream_PlayEx@16"), "table place");
static_assert(isEntry(FmodEntry::FSOUND_Stream_SetTime, "_FSOUND_Stream_SetTime@8"), "table place");
static_assert(isEntry(FmodEntry::FSOUND_Stream_GetTime, "_FSOUND_Stream_GetTime@4"), "table place");
static_assert(isEntry(FmodEntry::FSOUND_Stream_GetLengthMs, "_FSOUND_Stream_GetLengthMs@4"), "table place");
static_assert(isEntry(FmodEntry::FSOUND_Stream_SetEndCallback, "_FSOUND_Stream_SetEndCallback@12"), "table place");
static_assert(isEntry(FmodEntry::FSOUND_Stream_SetSyncCallback, "_FSOUND_Stream_SetSyncCallback@12"), "table place");

} // namespace

FmodInstance* createFmodInstance(const char* libraryName)
{
    FmodInstance* instance = new (std::nothrow) FmodInstance();
    if (!instance)
        return nullptr;
    instance->module = LoadLibraryA(libraryName);
    if (!instance->module) {
        delete instance;
        return nullptr;
    }
    for (int k = 0; k < Fmod3::exportCount; ++k) {
        instance->entries[k] = GetProcAddress(instance->module, Fmod3::exportNames[k]);
        if (!instance->entries[k]) {
            freeFmodInstance(instance);
            return nullptr;
        }
    }
    return instance;
}

void freeFmodInstance(FmodInstance* instance)
{
    if (!instance)
        return;
    if (instance->module)
        FreeLibrary(instance->module);
    delete instance;
}

std::string fmodErrorString(int errorCode)
{
    static const char* const texts[] = {
        "No errors",
        "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.",
        "This command failed because FSOUND_Init was not called",
        "Error initializing output device.",
        "The output device is already in use and cannot be reused.",
        "Playing the sound failed.",
        "Soundcard does not support the features needed for this soundsystem (16bit stereo output)",
        "Error setting cooperative level for hardware.",
        "Error creating hardware sound buffer.",
        "File not found",
        "Unknown file format",
        "Error loading file",
        "Not enough memory ",
        "The version number of this file format is not supported",
        "An invalid parameter was passed to this function",
        "Tried to use an EAX command on a non EAX enabled channel or output.",
        "Failed to allocate a new channel",
        "Recording not supported on this device",
        "Required Mediaplayer codec is not installed",
    };
    static_assert(sizeof(texts) / sizeof(texts[0]) == FMOD_ERR_MEDIAPLAYER + 1, "one text per error code");
    if (errorCode < 0 || errorCode > FMOD_ERR_MEDIAPLAYER)
        return "Unknown error";
    return texts[errorCode];
}

} // namespace Vostrel
