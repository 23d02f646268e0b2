#pragma once

// A scripted "fmod.dll" for the clock tests: every call the engine makes is
// logged, and the answers come from the script.

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "Platform/Fmod3/Fmod.h"
#include "Platform/Win32/Host.h"

namespace VostrelTest {

struct FmodScript {
    float version = 3.75f;
    bool initSucceeds = true;
    bool openSucceeds = true;
    int error = 0;
    int channel = 7;
    bool playing = true;
    // The music's position, moved by Stream_SetTime.
    int musicMs = 0;
    FSOUND_STREAMCALLBACK endCallback = nullptr;
    void* endUserData = nullptr;
    std::vector<std::string> calls;
    std::mutex lock;

    void log(const std::string& call)
    {
        std::lock_guard<std::mutex> guard(lock);
        calls.push_back(call);
    }
    std::vector<std::string> take()
    {
        std::lock_guard<std::mutex> guard(lock);
        std::vector<std::string> taken;
        taken.swap(calls);
        return taken;
    }
};

inline FmodScript& script()
{
    static FmodScript instance;
    return instance;
}

namespace scripted {

inline FSOUND_STREAM* const theStream = reinterpret_cast<FSOUND_STREAM*>(0x5000);

inline float GetVersion() { return script().version; }
inline signed char Init(int rate, int channels, unsigned int flags)
{
    script().log("Init " + std::to_string(rate) + " " + std::to_string(channels) + " " + std::to_string(flags));
    return script().initSucceeds;
}
inline void Close() { script().log("Close"); }
inline int GetError() { return script().error; }
inline signed char SetBufferSize(int ms)
{
    script().log("SetBufferSize " + std::to_string(ms));
    return true;
}
inline FSOUND_STREAM* Open(const char*, unsigned int mode, int offset, int length)
{
    char text[64];
    std::snprintf(text, sizeof(text), "Open 0x%x %d %d", mode, offset, length);
    script().log(text);
    return script().openSucceeds ? theStream : nullptr;
}
inline int PlayEx(int channel, FSOUND_STREAM*, FSOUND_DSPUNIT* dsp, signed char paused)
{
    script().log("PlayEx " + std::to_string(channel) + " " + (dsp ? "dsp" : "null") + " " + std::to_string(paused));
    return script().channel;
}
inline int GetFrequency(int) { return 44100; }
inline signed char SetPan(int channel, int pan)
{
    script().log("SetPan " + std::to_string(channel) + " " + std::to_string(pan));
    return true;
}
inline int GetLengthMs(FSOUND_STREAM*) { return 220000; }
inline signed char SetVolume(int channel, int volume)
{
    script().log("SetVolume " + std::to_string(channel) + " " + std::to_string(volume));
    return true;
}
inline signed char SetSyncCallback(FSOUND_STREAM*, FSOUND_STREAMCALLBACK, void* userData)
{
    script().log(userData ? "SetSyncCallback" : "SetSyncCallback null");
    return true;
}
inline signed char SetEndCallback(FSOUND_STREAM*, FSOUND_STREAMCALLBACK callback, void* userData)
{
    script().log(userData ? "SetEndCallback" : "SetEndCallback null");
    script().endCallback = callback;
    script().endUserData = userData;
    return true;
}
inline signed char SetPaused(int channel, signed char paused)
{
    script().log("SetPaused " + std::to_string(channel) + " " + std::to_string(paused));
    return true;
}
inline signed char IsPlaying(int) { return script().playing; }
inline signed char SetTime(FSOUND_STREAM*, int ms)
{
    script().log("SetTime " + std::to_string(ms));
    script().musicMs = ms;
    return true;
}
inline int GetTime(FSOUND_STREAM*) { return script().musicMs; }
inline signed char StreamClose(FSOUND_STREAM*)
{
    script().log("StreamClose");
    return true;
}
inline LONG_PTR Other() { return 0; }

template <class Function>
FARPROC entry(Function function)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

} // namespace scripted

// Registers the scripted library under "fmod.dll" without the named export
// (none when empty), and resets the script.
inline void registerScriptedFmod(const std::string& missing = "")
{
    using namespace scripted;
    const std::map<std::string, FARPROC> calls = {
        {"_FSOUND_GetVersion@0", entry(GetVersion)}, {"_FSOUND_Init@12", entry(Init)},
        {"_FSOUND_Close@0", entry(Close)}, {"_FSOUND_GetError@0", entry(GetError)},
        {"_FSOUND_Stream_SetBufferSize@4", entry(SetBufferSize)}, {"_FSOUND_Stream_Open@16", entry(Open)},
        {"_FSOUND_Stream_PlayEx@16", entry(PlayEx)}, {"_FSOUND_GetFrequency@4", entry(GetFrequency)},
        {"_FSOUND_SetPan@8", entry(SetPan)}, {"_FSOUND_Stream_GetLengthMs@4", entry(GetLengthMs)},
        {"_FSOUND_SetVolume@8", entry(SetVolume)}, {"_FSOUND_Stream_SetSyncCallback@12", entry(SetSyncCallback)},
        {"_FSOUND_Stream_SetEndCallback@12", entry(SetEndCallback)}, {"_FSOUND_SetPaused@8", entry(SetPaused)},
        {"_FSOUND_IsPlaying@4", entry(IsPlaying)}, {"_FSOUND_Stream_SetTime@8", entry(SetTime)},
        {"_FSOUND_Stream_GetTime@4", entry(GetTime)}, {"_FSOUND_Stream_Close@4", entry(StreamClose)},
    };
    std::map<std::string, FARPROC> entryPoints;
    for (const char* name : Fmod3::exportNames) {
        auto found = calls.find(name);
        entryPoints[name] = found != calls.end() ? found->second : entry(Other);
    }
    entryPoints.erase(missing);
    Win32Host::registerModule("fmod.dll", entryPoints);
    FmodScript& s = script();
    std::lock_guard<std::mutex> guard(s.lock);
    s.version = 3.75f;
    s.initSucceeds = s.openSucceeds = s.playing = true;
    s.error = 0;
    s.channel = 7;
    s.musicMs = 0;
    s.endCallback = nullptr;
    s.endUserData = nullptr;
    s.calls.clear();
}

} // namespace VostrelTest
