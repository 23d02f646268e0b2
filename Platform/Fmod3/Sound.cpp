// The FSOUND calls the engine makes: streams from memory on software
// channels, mixed into an SDL audio device, or, with no device (or SDL's
// dummy driver), into a sink that plays at the pace of the performance
// counter. Stream callbacks run on the stand-in's own thread, never inside
// its lock.
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "Platform/Fmod3/Decoder.h"
#include "Platform/Fmod3/Fmod.h"
#include "Platform/Fmod3/Sound.h"
#include "Platform/Win32/Windows.h"

struct FSOUND_STREAM {
    std::unique_ptr<Fmod3::Decoder> decoder;
    // Decoded stereo frames not yet played; pending[0] is source frame base.
    std::vector<float> pending;
    int64_t base = 0;
    // Where the next output frame is taken, in source frames from base.
    double phase = 0.0;
    bool decoderDone = false;
    bool ended = false;
    int channel = -1;
    FSOUND_STREAMCALLBACK endCallback = nullptr;
    void* endUserData = nullptr;
    FSOUND_STREAMCALLBACK syncCallback = nullptr;
    void* syncUserData = nullptr;

    int64_t position() const { return base + static_cast<int64_t>(phase); }
    size_t pendingFrames() const { return pending.size() / 2; }
};

namespace Fmod3 {

namespace {

constexpr float version = 3.75f;
// The device's buffer, well inside the 50 ms that may separate the reported
// position from what is heard.
constexpr int deviceFrames = 1024;
constexpr int mixChunkFrames = 4096;

struct Channel {
    FSOUND_STREAM* stream = nullptr;
    bool paused = false;
    int volume = 255;
    int pan = FSOUND_STEREOPAN;
};

struct System {
    std::mutex lock;
    std::condition_variable wake;
    bool initialised = false;
    int mixRate = 44100;
    std::vector<Channel> channels;
    std::map<FSOUND_STREAM*, std::unique_ptr<FSOUND_STREAM>> streams;
    std::deque<FSOUND_STREAM*> endEvents;
    // The stream whose callback the worker is running, outside the lock.
    FSOUND_STREAM* delivering = nullptr;
    std::thread worker;
    std::thread::id workerId;
    // Bumped by Init and Close; a worker of an older generation ends.
    unsigned generation = 0;
    SDL_AudioDeviceID device = 0;
    bool audioSubsystem = false;
    bool sink = false;
    int64_t sinkStart = 0;
    int64_t sinkFrames = 0;
    std::vector<float> scratch;
};

System& sys()
{
    static System* instance = new System; // outlives every static destructor
    return *instance;
}

std::atomic<int> lastError{FMOD_ERR_NONE};

template <class Result>
Result fail(int code, Result result)
{
    lastError = code;
    return result;
}

int64_t counterNow()
{
    LARGE_INTEGER value;
    QueryPerformanceCounter(&value);
    return value.QuadPart;
}

int64_t counterFrequency()
{
    LARGE_INTEGER value;
    QueryPerformanceFrequency(&value);
    return value.QuadPart;
}

bool alive(System& s, FSOUND_STREAM* stream)
{
    return stream && s.streams.count(stream) != 0;
}

Channel* channelAt(System& s, int channel)
{
    return channel >= 0 && channel < static_cast<int>(s.channels.size()) ? &s.channels[channel] : nullptr;
}

bool audible(const Channel& channel)
{
    return channel.stream && !channel.paused && !channel.stream->ended;
}

// Decodes until the frame at index is buffered; false at the end.
bool buffer(FSOUND_STREAM& stream, size_t index)
{
    float decoded[2 * 2048];
    while (stream.pendingFrames() <= index && !stream.decoderDone) {
        Decoder& decoder = *stream.decoder;
        size_t got = decoder.read(decoded, 2048);
        if (got == 0) {
            stream.decoderDone = true;
            break;
        }
        for (size_t k = 0; k < got; ++k) {
            float left = decoded[k * decoder.getChannels()];
            float right = decoder.getChannels() == 2 ? decoded[k * 2 + 1] : left;
            stream.pending.push_back(left);
            stream.pending.push_back(right);
        }
    }
    return index < stream.pendingFrames();
}

// Adds frames of the stream to out (stereo), resampled linearly to the mix
// rate; marks the stream ended when its data runs out.
void mixStream(System& s, FSOUND_STREAM& stream, const Channel& channel, float* out, int frames)
{
    const double step = static_cast<double>(stream.decoder->getRate()) / s.mixRate;
    float leftGain = channel.volume / 255.0f, rightGain = leftGain;
    if (channel.pan != FSOUND_STEREOPAN) {
        leftGain *= std::min(1.0f, (255 - channel.pan) / 127.5f);
        rightGain *= std::min(1.0f, channel.pan / 127.5f);
    }
    for (int k = 0; k < frames; ++k) {
        size_t index = static_cast<size_t>(stream.phase);
        float fraction = static_cast<float>(stream.phase - static_cast<double>(index));
        if (!buffer(stream, index)) {
            stream.ended = true;
            stream.phase = static_cast<double>(stream.pendingFrames());
            s.endEvents.push_back(&stream);
            break;
        }
        // Buffering may move the frames, so take the pointer after it.
        const bool interpolate = fraction > 0.0f && buffer(stream, index + 1);
        const float* a = &stream.pending[index * 2];
        const float* b = interpolate ? a + 2 : a;
        out[k * 2] += (a[0] + (b[0] - a[0]) * fraction) * leftGain;
        out[k * 2 + 1] += (a[1] + (b[1] - a[1]) * fraction) * rightGain;
        stream.phase += step;
    }
    size_t played = std::min(static_cast<size_t>(stream.phase), stream.pendingFrames());
    if (played > 8192) {
        stream.pending.erase(stream.pending.begin(), stream.pending.begin() + played * 2);
        stream.base += static_cast<int64_t>(played);
        stream.phase -= static_cast<double>(played);
    }
}

void mix(System& s, float* out, int frames)
{
    std::fill(out, out + frames * 2, 0.0f);
    for (Channel& channel : s.channels)
        if (audible(channel))
            mixStream(s, *channel.stream, channel, out, frames);
    for (int k = 0; k < frames * 2; ++k)
        out[k] = std::max(-1.0f, std::min(1.0f, out[k]));
    if (!s.endEvents.empty())
        s.wake.notify_all();
}

// Plays the sink up to the counter's present reading.
void pumpSink(System& s)
{
    if (!s.initialised || !s.sink)
        return;
    const long double elapsed = static_cast<long double>(counterNow() - s.sinkStart);
    const int64_t target = static_cast<int64_t>(elapsed * s.mixRate / counterFrequency());
    s.scratch.resize(mixChunkFrames * 2);
    while (s.sinkFrames < target) {
        if (std::none_of(s.channels.begin(), s.channels.end(), audible)) {
            s.sinkFrames = target;
            break;
        }
        int frames = static_cast<int>(std::min<int64_t>(mixChunkFrames, target - s.sinkFrames));
        mix(s, s.scratch.data(), frames);
        s.sinkFrames += frames;
    }
}

void deviceCallback(void* userData, Uint8* bytes, int length)
{
    System& s = *static_cast<System*>(userData);
    std::lock_guard<std::mutex> guard(s.lock);
    mix(s, reinterpret_cast<float*>(bytes), length / static_cast<int>(2 * sizeof(float)));
}

void runWorker(unsigned generation)
{
    System& s = sys();
    std::unique_lock<std::mutex> guard(s.lock);
    while (s.generation == generation) {
        s.wake.wait_for(guard, std::chrono::milliseconds(5));
        if (s.generation != generation)
            break;
        pumpSink(s);
        while (!s.endEvents.empty() && s.generation == generation) {
            FSOUND_STREAM* stream = s.endEvents.front();
            s.endEvents.pop_front();
            if (!alive(s, stream) || !stream->endCallback)
                continue;
            FSOUND_STREAMCALLBACK callback = stream->endCallback;
            void* userData = stream->endUserData;
            // As a sync callback gets its point's name, an end the data cut
            // short gets the decoder's reason; a whole stream's end gets none.
            std::string fault = stream->decoder->getFault();
            s.delivering = stream;
            guard.unlock();
            callback(stream, fault.empty() ? nullptr : &fault[0], static_cast<int>(fault.size()), userData);
            guard.lock();
            s.delivering = nullptr;
            s.wake.notify_all();
        }
    }
}

bool openDevice(System& s)
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    s.audioSubsystem = true;
    const char* driver = SDL_GetCurrentAudioDriver();
    if (!driver || std::strcmp(driver, "dummy") == 0)
        return false;
    SDL_AudioSpec wanted{};
    wanted.freq = s.mixRate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 2;
    wanted.samples = deviceFrames;
    wanted.callback = deviceCallback;
    wanted.userdata = &s;
    SDL_AudioSpec obtained{};
    s.device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (s.device == 0)
        return false;
    SDL_PauseAudioDevice(s.device, 0);
    return true;
}

void closeDevice(System& s)
{
    if (s.device)
        SDL_CloseAudioDevice(s.device);
    s.device = 0;
    if (s.audioSubsystem)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    s.audioSubsystem = false;
}

} // namespace

void failUnsupported()
{
    lastError = FMOD_ERR_INVALID_PARAM;
}

bool usesWallClockSink()
{
    System& s = sys();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.initialised && s.sink;
}

} // namespace Fmod3

using namespace Fmod3;

float FSOUND_GetVersion()
{
    return version;
}

int FSOUND_GetError()
{
    return lastError;
}

signed char FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned int)
{
    System& s = sys();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (s.initialised)
            return fail(FMOD_ERR_BUSY, false);
        if (mixRate < 4000 || mixRate > 65535 || maxSoftwareChannels < 0 || maxSoftwareChannels > 1024)
            return fail(FMOD_ERR_INVALID_PARAM, false);
        s.mixRate = mixRate;
        s.channels.assign(static_cast<size_t>(maxSoftwareChannels), Channel());
    }
    // The device's thread takes the lock, so it is opened outside it.
    bool device = openDevice(s);
    if (!device)
        closeDevice(s);
    std::lock_guard<std::mutex> guard(s.lock);
    s.sink = !device;
    s.sinkStart = counterNow();
    s.sinkFrames = 0;
    s.initialised = true;
    unsigned generation = ++s.generation;
    s.worker = std::thread(runWorker, generation);
    s.workerId = s.worker.get_id();
    return true;
}

void FSOUND_Close()
{
    System& s = sys();
    std::thread worker;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (!s.initialised)
            return;
        ++s.generation;
        s.initialised = false;
        worker = std::move(s.worker);
        s.wake.notify_all();
    }
    if (worker.joinable()) {
        if (worker.get_id() == std::this_thread::get_id())
            worker.detach(); // closed from a callback: the worker ends on its own
        else
            worker.join();
    }
    closeDevice(s);
    std::map<FSOUND_STREAM*, std::unique_ptr<FSOUND_STREAM>> streams;
    std::lock_guard<std::mutex> guard(s.lock);
    streams.swap(s.streams);
    s.channels.clear();
    s.endEvents.clear();
}

signed char FSOUND_Stream_SetBufferSize(int milliseconds)
{
    if (milliseconds < 0 || milliseconds > 2000)
        return fail(FMOD_ERR_INVALID_PARAM, false);
    return true;
}

FSOUND_STREAM* FSOUND_Stream_Open(const char* data, unsigned int mode, int offset, int length)
{
    if (!data || !(mode & FSOUND_LOADMEMORY) || length <= 0 || offset < 0 || offset >= length)
        return fail(FMOD_ERR_INVALID_PARAM, static_cast<FSOUND_STREAM*>(nullptr));
    {
        std::lock_guard<std::mutex> guard(sys().lock);
        if (!sys().initialised)
            return fail(FMOD_ERR_UNINITIALIZED, static_cast<FSOUND_STREAM*>(nullptr));
    }
    auto stream = std::make_unique<FSOUND_STREAM>();
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
    stream->decoder = openDecoder(std::vector<unsigned char>(bytes + offset, bytes + length));
    if (!stream->decoder)
        return fail(FMOD_ERR_FILE_FORMAT, static_cast<FSOUND_STREAM*>(nullptr));
    System& s = sys();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.initialised)
        return fail(FMOD_ERR_UNINITIALIZED, static_cast<FSOUND_STREAM*>(nullptr));
    FSOUND_STREAM* handle = stream.get();
    s.streams[handle] = std::move(stream);
    return handle;
}

signed char FSOUND_Stream_Close(FSOUND_STREAM* stream)
{
    System& s = sys();
    std::unique_ptr<FSOUND_STREAM> closed;
    std::unique_lock<std::mutex> guard(s.lock);
    if (!alive(s, stream))
        return fail(FMOD_ERR_INVALID_PARAM, false);
    // No callback of this stream may run once Close returns; from inside
    // its own callback there is nothing to wait for.
    if (std::this_thread::get_id() != s.workerId)
        s.wake.wait(guard, [&] { return s.delivering != stream; });
    if (Channel* channel = channelAt(s, stream->channel))
        channel->stream = nullptr;
    s.endEvents.erase(std::remove(s.endEvents.begin(), s.endEvents.end(), stream), s.endEvents.end());
    auto found = s.streams.find(stream);
    closed = std::move(found->second);
    s.streams.erase(found);
    return true;
}

int FSOUND_Stream_PlayEx(int channel, FSOUND_STREAM* stream, FSOUND_DSPUNIT* dsp, signed char startPaused)
{
    System& s = sys();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.initialised)
        return fail(FMOD_ERR_UNINITIALIZED, -1);
    if (!alive(s, stream) || dsp)
        return fail(FMOD_ERR_INVALID_PARAM, -1);
    if (channel == FSOUND_FREE) {
        auto free = std::find_if(s.channels.begin(), s.channels.end(),
                                 [](const Channel& c) { return c.stream == nullptr; });
        if (free == s.channels.end())
            return fail(FMOD_ERR_CHANNEL_ALLOC, -1);
        channel = static_cast<int>(free - s.channels.begin());
    }
    Channel* target = channelAt(s, channel);
    if (!target)
        return fail(FMOD_ERR_INVALID_PARAM, -1);
    pumpSink(s);
    if (Channel* previous = channelAt(s, stream->channel))
        previous->stream = nullptr;
    if (target->stream)
        target->stream->channel = -1;
    *target = Channel();
    target->stream = stream;
    target->paused = startPaused != 0;
    stream->channel = channel;
    return channel;
}

int FSOUND_Stream_GetLengthMs(FSOUND_STREAM* stream)
{
    System& s = sys();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!alive(s, stream))
        return fail(FMOD_ERR_INVALID_PARAM, 0);
    const Decoder& decoder = *stream->decoder;
    return static_cast<int>(std::min<int64_t>(decoder.getLength() * 1000 / decoder.getRate(), 2147483647));
}

signed char FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int milliseconds)
{
    System& s = sys();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!alive(s, stream) || milliseconds < 0)
        return fail(FMOD_ERR_INVALID_PARAM, false);
    pumpSink(s);
    Decoder& decoder = *stream->decoder;
    const int64_t frame = std::min<int64_t>(static_cast<int64_t>(milliseconds) * decoder.getRate() / 1000,
                                            decoder.getLength());
    if (!decoder.seek(frame))
        return fail(FMOD_ERR_FILE_BAD, false);
    stream->pending.clear();
    stream->base = frame;
    stream->phase = 0.0;
    stream->decoderDone = false;
    stream->ended = false;
    return true;
}

int FSOUND_Stream_GetTime(FSOUND_STREAM* stream)
{
    System& s = sys();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!alive(s, stream))
        return fail(FMOD_ERR_INVALID_PARAM, 0);
    pumpSink(s);
    return static_cast<int>(std::min<int64_t>(stream->position() * 1000 / stream->decoder->getRate(), 2147483647));
}

static signed char setCallback(FSOUND_STREAM* stream, FSOUND_STREAMCALLBACK callback, void* userData, bool end)
{
    System& s = sys();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!alive(s, stream))
        return fail(FMOD_ERR_INVALID_PARAM, false);
    (end ? stream->endCallback : stream->syncCallback) = callback;
    (end ? stream->endUserData : stream->syncUserData) = userData;
    return true;
}

signed char FSOUND_Stream_SetEndCallback(FSOUND_STREAM* stream, FSOUND_STREAMCALLBACK callback, void* userData)
{
    return setCallback(stream, callback, userData, true);
}

// Sync points are never added (that call is not provided), so the sync
// callback is kept and never called.
signed char FSOUND_Stream_SetSyncCallback(FSOUND_STREAM* stream, FSOUND_STREAMCALLBACK callback, void* userData)
{
    return setCallback(stream, callback, userData, false);
}

int FSOUND_GetFrequency(int channel)
{
    System& s = sys();
    std::lock_guard<std::mutex> guard(s.lock);
    Channel* target = channelAt(s, channel);
    if (!target || !target->stream)
        return fail(FMOD_ERR_INVALID_PARAM, 0);
    return target->stream->decoder->getRate();
}

// Applies a change to one channel or, with FSOUND_ALL, to every channel.
template <class Change>
static signed char changeChannels(int channel, Change change)
{
    System& s = sys();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.initialised)
        return fail(FMOD_ERR_UNINITIALIZED, false);
    pumpSink(s);
    if (channel == FSOUND_ALL) {
        for (Channel& each : s.channels)
            change(each);
        return true;
    }
    Channel* target = channelAt(s, channel);
    if (!target)
        return fail(FMOD_ERR_INVALID_PARAM, false);
    change(*target);
    return true;
}

signed char FSOUND_SetPan(int channel, int pan)
{
    if (pan != FSOUND_STEREOPAN && (pan < 0 || pan > 255))
        return fail(FMOD_ERR_INVALID_PARAM, false);
    return changeChannels(channel, [pan](Channel& c) { c.pan = pan; });
}

signed char FSOUND_SetVolume(int channel, int volume)
{
    volume = std::max(0, std::min(255, volume));
    return changeChannels(channel, [volume](Channel& c) { c.volume = volume; });
}

signed char FSOUND_SetPaused(int channel, signed char paused)
{
    return changeChannels(channel, [paused](Channel& c) { c.paused = paused != 0; });
}

signed char FSOUND_IsPlaying(int channel)
{
    System& s = sys();
    std::lock_guard<std::mutex> guard(s.lock);
    pumpSink(s);
    Channel* target = channelAt(s, channel);
    return target && target->stream && !target->stream->ended;
}
