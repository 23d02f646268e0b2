#include "Libs/Time/MusicSyncronizer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>

#include "Libs/Common/Exception.h"
#include "Libs/Time/FmodInstance.h"

namespace Vostrel {

namespace {

const char* const libraryName = "fmod.dll";

FmodInstance* fmod = nullptr;
// Music clocks share one output: the last one gone closes it.
int liveClocks = 0;

// Bounds the music file: the show's track is a few megabytes.
constexpr size_t maxMusicBytes = 256u << 20;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

FmodInstance* fmodInstance()
{
    return fmod;
}

// The table is published only once the output is up, so a refused library
// never stays behind for the next clock.
void initFmod()
{
    if (fmod)
        return;
    std::unique_ptr<FmodInstance, void (*)(FmodInstance*)> instance(createFmodInstance(libraryName),
                                                                    freeFmodInstance);
    if (!instance)
        VOSTREL_THROW_AT_LINE(112, "FMOD library '" << libraryName << "' not found.");
    if (!instance->entries[static_cast<int>(FmodEntry::FSOUND_GetVersion)])
        VOSTREL_THROW_AT_LINE(136, "fatal: invalid dynamic FMOD library: '" << libraryName << "'");
    if (VOSTREL_FMOD(instance, FSOUND_GetVersion)() < 3.73f)
        VOSTREL_THROW_AT_LINE(132, "fatal: FMOD version too old, get at least " << 3.73f);
    if (!VOSTREL_FMOD(instance, FSOUND_Init)(44100, 1, 0)) {
        std::string text = fmodErrorString(VOSTREL_FMOD(instance, FSOUND_GetError)());
        VOSTREL_FMOD(instance, FSOUND_Close)();
        VOSTREL_THROW_AT_LINE(142, text);
    }
    fmod = instance.release();
}

void shutdownFmod()
{
    if (!fmod)
        return;
    VOSTREL_FMOD(fmod, FSOUND_Close)();
    freeFmodInstance(fmod);
    fmod = nullptr;
}

MusicSyncronizer::MusicSyncronizer(float bpm, float start, float end, const std::string& file, float volume)
    : bpm(bpm), beatsPerSecond(static_cast<float>(bpm * (1.0 / 60.0))), startValue(start), endValue(end),
      fileName(file)
{
    initFmod();
    ++liveClocks;
    try {
        timer.reset();
        if (this->bpm < 1.0f)
            VOSTREL_THROW_AT_LINE(175, "BPM cannot be as low as " << this->bpm);
        VOSTREL_FMOD(fmod, FSOUND_Stream_SetBufferSize)(200);
        readMusicFile();
        openStream(volume);
    } catch (...) {
        releaseStream();
        throw;
    }
}

MusicSyncronizer::~MusicSyncronizer()
{
    releaseStream();
}

// Read to the end rather than sized by seeking, which a pipe or a folder
// answers with nonsense.
void MusicSyncronizer::readMusicFile()
{
    std::unique_ptr<std::FILE, FileCloser> file(openDataFileOrSayWhy(fileName, "rb"));
    if (!file)
        VOSTREL_THROW_AT_LINE(184, "Cannot find " << fileName << ".");
    musicData.clear();
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file.get())) > 0) {
        if (musicData.size() + got > maxMusicBytes)
            break;
        musicData.insert(musicData.end(), chunk, chunk + got);
    }
    if (sayWhyReadFailed(file.get(), fileName) || !std::feof(file.get()))
        VOSTREL_THROW_AT_LINE(191, "Unable to read audio file " << fileName << " completely.");
}

// The library's text is the whole message; which file it was about goes on a
// context line of its own, as the readers report theirs.
void MusicSyncronizer::openStream(float volume)
{
    inContext("MusicSyncronizer::MusicSyncronizer(" + fileName + ")", [&] {
        const unsigned int mode = FSOUND_NORMAL | FSOUND_LOADMEMORY | FSOUND_MPEGACCURATE;
        stream =
            VOSTREL_FMOD(fmod, FSOUND_Stream_Open)(musicData.data(), mode, 0, static_cast<int>(musicData.size()));
        if (!stream)
            VOSTREL_THROW_AT_LINE(202, fmodErrorString(VOSTREL_FMOD(fmod, FSOUND_GetError)()));
        channel = VOSTREL_FMOD(fmod, FSOUND_Stream_PlayEx)(FSOUND_FREE, stream, nullptr, true);
        if (channel == -1)
            VOSTREL_THROW_AT_LINE(207, fmodErrorString(VOSTREL_FMOD(fmod, FSOUND_GetError)()));
    });
    frequency = static_cast<float>(VOSTREL_FMOD(fmod, FSOUND_GetFrequency)(channel));
    VOSTREL_FMOD(fmod, FSOUND_SetPan)(channel, FSOUND_STEREOPAN);
    lengthMs = static_cast<float>(VOSTREL_FMOD(fmod, FSOUND_Stream_GetLengthMs)(stream));
    int level = static_cast<int>(std::clamp(volume, 0.0f, 1.0f) * 255.0f);
    VOSTREL_FMOD(fmod, FSOUND_SetVolume)(FSOUND_ALL, level);
    VOSTREL_FMOD(fmod, FSOUND_Stream_SetSyncCallback)(stream, syncCallback, this);
    VOSTREL_FMOD(fmod, FSOUND_Stream_SetEndCallback)(stream, endCallback, this);
}

// Closing the stream first guarantees that no callback runs on this clock
// afterwards; the output stays up while another clock still plays.
void MusicSyncronizer::releaseStream()
{
    if (stream)
        VOSTREL_FMOD(fmod, FSOUND_Stream_Close)(stream);
    stream = nullptr;
    if (--liveClocks == 0)
        shutdownFmod();
}

float MusicSyncronizer::reading() const
{
    return static_cast<float>(timer.getTime(beatsPerSecond));
}

int MusicSyncronizer::toMilliseconds(float beats) const
{
    double milliseconds = beats / beatsPerSecond * 1000.0;
    if (!(milliseconds > -2e9))
        return milliseconds > 0 ? 2000000000 : -2000000000;
    return static_cast<int>(std::min(milliseconds, 2e9));
}

void MusicSyncronizer::setSpeed(float)
{
}

void MusicSyncronizer::start()
{
    if (stopped) {
        startReading = reading();
        correction = 0.0f;
        stopped = false;
        VOSTREL_FMOD(fmod, FSOUND_Stream_SetTime)(stream, toMilliseconds(startValue));
        VOSTREL_FMOD(fmod, FSOUND_SetPaused)(channel, false);
    } else if (paused) {
        float resumeAt = getTime();
        VOSTREL_FMOD(fmod, FSOUND_Stream_SetTime)(stream, toMilliseconds(resumeAt));
        paused = false;
        correction += reading() - pauseReading;
        VOSTREL_FMOD(fmod, FSOUND_SetPaused)(channel, false);
    }
}

// A stopped clock stays stopped: pausing it would hold it at 0 for ever.
void MusicSyncronizer::pause()
{
    if (stopped)
        return;
    pauseReading = reading();
    paused = true;
    VOSTREL_FMOD(fmod, FSOUND_SetPaused)(channel, true);
}

void MusicSyncronizer::stop()
{
    stopped = true;
    paused = false;
    VOSTREL_FMOD(fmod, FSOUND_SetPaused)(channel, true);
}

float MusicSyncronizer::getTime()
{
    if (stopped)
        return 0.0f;
    float r = paused ? pauseReading : reading();
    float t = r - startReading - correction + startValue;
    if (VOSTREL_FMOD(fmod, FSOUND_IsPlaying)(channel)) {
        float music = static_cast<float>(VOSTREL_FMOD(fmod, FSOUND_Stream_GetTime)(stream) * 0.001 * beatsPerSecond);
        if (std::fabs(t - music) > 0.1f) {
            correction += t - music;
            t = music;
        }
    }
    if (t <= endValue)
        return t;
    stopped = true;
    paused = false;
    return 0.0f;
}

void MusicSyncronizer::setTime(float time)
{
    VOSTREL_FMOD(fmod, FSOUND_SetPaused)(channel, true);
    VOSTREL_FMOD(fmod, FSOUND_Stream_SetTime)(stream, toMilliseconds(time));
    float old = getTime();
    timer.reset(reading() + time - old);
    stopped = false;
    std::cout << "time was: " << old << std::endl;
    std::cout << "time to:  " << time << std::endl;
    std::cout << "time now: " << getTime() << std::endl;
    VOSTREL_FMOD(fmod, FSOUND_SetPaused)(channel, false);
}

// Both run on the sound library's thread, where nothing may throw.
signed char MusicSyncronizer::syncCallback(FSOUND_STREAM*, void*, int, void* userData)
{
    return userData != nullptr;
}

signed char MusicSyncronizer::endCallback(FSOUND_STREAM* stream, void* buffer, int length, void* userData)
{
    if (!userData)
        return false;
    auto* clock = static_cast<MusicSyncronizer*>(userData);
    // The end may come early, where the data broke off: the library then
    // gives its decoder's reason, and the show's end is no mystery.
    if (buffer && length > 0) {
        try {
            std::ostringstream why;
            why << "the music stops at " << VOSTREL_FMOD(fmod, FSOUND_Stream_GetTime)(stream) * 0.001 << " s: "
                << std::string(static_cast<const char*>(buffer), static_cast<size_t>(length));
            reportFileFailure(clock->fileName, why.str());
        } catch (...) {
            // Out of memory for the line: the clock still stops.
        }
    }
    clock->stop();
    return true;
}

} // namespace Vostrel
