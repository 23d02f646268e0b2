#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "Libs/Time/HiResTimer.h"
#include "Libs/Time/Syncronizer.h"

struct FSOUND_STREAM;

namespace Vostrel {

// Plays a music file through FMOD and keeps its time locked to the music's
// playing position. Times are in beats (seconds at 60 bpm). Starts stopped.
// The sound library may stop it from its own thread when the music ends.
class MusicSyncronizer : public Syncronizer {
public:
    // Loads the library when needed and opens the file, playing paused;
    // throws Vostrel::Exception when any of that fails.
    MusicSyncronizer(float bpm, float start, float end, const std::string& file, float volume);
    ~MusicSyncronizer() override;

    MusicSyncronizer(const MusicSyncronizer&) = delete;
    MusicSyncronizer& operator=(const MusicSyncronizer&) = delete;

    void setSpeed(float factor) override;
    void start() override;
    void pause() override;
    void stop() override;
    float getTime() override;
    void setTime(float time) override;
    bool isStopped() override { return stopped; }
    bool isPaused() override { return paused; }

    // What the library was given, for the diagnostics and the tests.
    int getChannel() const { return channel; }
    float getFrequency() const { return frequency; }
    float getLengthMs() const { return lengthMs; }

private:
    float reading() const;
    int toMilliseconds(float beats) const;
    void readMusicFile();
    void openStream(float volume);
    void releaseStream();

    static signed char syncCallback(FSOUND_STREAM* stream, void* buffer, int length, void* userData);
    static signed char endCallback(FSOUND_STREAM* stream, void* buffer, int length, void* userData);

    HiResTimer timer;
    float startReading = 0.0f;
    // Written by the library's thread when the music ends.
    std::atomic<bool> paused{false};
    std::atomic<bool> stopped{true};
    float pauseReading = 0.0f;
    float correction = 0.0f;
    float bpm;
    float beatsPerSecond;
    float startValue;
    float endValue;
    std::string fileName;
    FSOUND_STREAM* stream = nullptr;
    int channel = -1;
    float frequency = 0.0f;
    float lengthMs = 0.0f;
    std::vector<char> musicData;
};

} // namespace Vostrel
