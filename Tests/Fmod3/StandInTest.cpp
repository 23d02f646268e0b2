#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "Platform/Fmod3/Decoder.h"
#include "Platform/Fmod3/Fmod.h"
#include "Platform/Fmod3/Module.h"
#include "Platform/Fmod3/Sound.h"
#include "Platform/Win32/Host.h"
#include "Tests/Support/DamagedAudio.h"
#include "Tests/Support/Ffmpeg.h"
#include "Tests/Support/TempDir.h"
#include "Tests/Support/Wav.h"

namespace {

using VostrelTest::ffmpeg;

constexpr int64_t second = 1000000000LL;

void advance(double seconds)
{
    Win32Host::advanceCounter(static_cast<int64_t>(seconds * second));
}

// ffmpeg's own decode of a file's first channel, at the file's rate.
std::vector<float> ffmpegDecode(const VostrelTest::TempDir& folder, const std::string& file)
{
    const std::string raw = ffmpeg(folder, "decoded.f32", "-i " + folder.file(file) + " -af 'pan=mono|c0=c0' -f f32le");
    std::vector<float> samples(raw.size() / sizeof(float));
    std::memcpy(samples.data(), raw.data(), samples.size() * sizeof(float));
    return samples;
}

std::vector<float> decodeFirstChannel(Fmod3::Decoder& decoder, size_t frames)
{
    std::vector<float> interleaved(frames * decoder.getChannels());
    size_t got = 0, more;
    while (got < frames && (more = decoder.read(interleaved.data() + got * decoder.getChannels(), frames - got)) > 0)
        got += more;
    std::vector<float> mono(got);
    for (size_t k = 0; k < got; ++k)
        mono[k] = interleaved[k * decoder.getChannels()];
    return mono;
}

std::vector<unsigned char> bytesOf(const std::string& text)
{
    return std::vector<unsigned char>(text.begin(), text.end());
}

struct Format {
    const char* file;
    const char* arguments;
    int rate;
    // How far our decode and ffmpeg's may differ in length (frames) and value.
    int64_t lengthSlack;
    float valueSlack;
};

const Format formats[] = {
    {"tone.wav", "-c:a pcm_s16le -ac 2", 44100, 0, 1e-6f},
    {"tone8.wav", "-c:a pcm_u8 -ac 1 -ar 22050", 22050, 0, 1e-6f},
    {"tone.ogg", "-c:a libvorbis -q:a 4 -ac 2", 44100, 0, 2e-3f},
    {"mono.ogg", "-c:a libvorbis -q:a 2 -ac 1 -ar 22050", 22050, 0, 2e-3f},
    // Within one MPEG frame.
    {"tone.mp3", "-c:a libmp3lame -b:a 128k -ac 2", 44100, 1152, 2e-2f},
};

TEST(Fmod3Decoder, LengthsSamplesAndSeeksAgreeWithFfmpeg)
{
    VostrelTest::TempDir folder;
    for (const Format& format : formats) {
        const std::string bytes =
            ffmpeg(folder, format.file,
                   "-f lavfi -i sine=frequency=330:duration=2.3457:sample_rate=" + std::to_string(format.rate) +
                       " -af volume=0.5 " + format.arguments);
        auto decoder = Fmod3::openDecoder(bytesOf(bytes));
        ASSERT_TRUE(decoder) << format.file;
        const std::vector<float> reference = ffmpegDecode(folder, format.file);
        EXPECT_EQ(decoder->getRate(), format.rate) << format.file;
        EXPECT_NEAR(decoder->getLength(), static_cast<int64_t>(reference.size()), format.lengthSlack) << format.file;

        const std::vector<float> ours = decodeFirstChannel(*decoder, static_cast<size_t>(decoder->getLength()) + 10);
        EXPECT_EQ(static_cast<int64_t>(ours.size()), decoder->getLength()) << format.file;
        float worst = 0.0f;
        for (size_t k = 0; k < std::min(ours.size(), reference.size()); ++k)
            worst = std::max(worst, std::fabs(ours[k] - reference[k]));
        EXPECT_LT(worst, format.valueSlack) << format.file;

        // A seek lands on the very frame a straight decode reaches.
        for (int64_t frame : {int64_t(0), int64_t(12345), decoder->getLength() - 700}) {
            ASSERT_TRUE(decoder->seek(frame)) << format.file << " " << frame;
            const std::vector<float> after = decodeFirstChannel(*decoder, 500);
            ASSERT_EQ(after.size(), 500u) << format.file;
            for (size_t k = 0; k < after.size(); k += 50)
                EXPECT_NEAR(after[k], ours[static_cast<size_t>(frame) + k], 1e-4f) << format.file << " " << frame;
        }
    }
}

// Data that turns to noise part-way, or a file cut short, ends the frames
// early; the decoder says where, and whole data has nothing to say.
TEST(Fmod3Decoder, DataThatBreaksOffEndsTheFramesAndSaysWhere)
{
    VostrelTest::TempDir folder;
    const std::string ogg =
        ffmpeg(folder, "long.ogg", "-f lavfi -i anoisesrc=d=6:c=pink:r=44100:a=0.3 -c:a libvorbis -ac 2");
    const size_t half = ogg.size() / 2;
    std::string noise = ogg;
    VostrelTest::turnToNoise(noise, half);
    const std::string wav = VostrelTest::toneWav(8000, 8000, 3000, 0.1);
    const std::string cutWav = wav.substr(0, wav.size() - 4000);
    const struct {
        std::string bytes;
        std::string fault;
    } cases[] = {
        {ogg, ""},
        {noise, "the Ogg data breaks off at byte # of " + std::to_string(ogg.size())},
        {wav, ""},
        {cutWav, "the WAV data holds 12000 of its 16000 bytes"},
    };
    for (const auto& c : cases) {
        auto decoder = Fmod3::openDecoder(bytesOf(c.bytes));
        ASSERT_TRUE(decoder) << c.fault;
        const std::vector<float> frames = decodeFirstChannel(*decoder, 10 * 44100);
        EXPECT_EQ(static_cast<int64_t>(frames.size()), decoder->getLength()) << c.fault;
        const std::string fault = decoder->getFault();
        const size_t at = c.fault.find('#');
        if (at == std::string::npos) {
            EXPECT_EQ(fault, c.fault);
            continue;
        }
        // The break is the end of the last whole page before the noise.
        ASSERT_EQ(fault.substr(0, at), c.fault.substr(0, at)) << fault;
        const size_t byte = std::stoul(fault.substr(at));
        EXPECT_LE(byte, half) << fault;
        EXPECT_GT(byte + 10000, half) << fault;
        EXPECT_EQ(fault.substr(fault.find(" of ")), c.fault.substr(at + 1)) << fault;
        EXPECT_LT(decoder->getLength(), 4 * 44100) << "the frames end where the data breaks off";
    }
}

// Silence stands in for the pages damage spoils: the frames last as long as
// the whole file's, what survives is where the whole has it, seeks agree.
TEST(Fmod3Decoder, DamagedOggKeepsItsTimeWithSilenceForWhatIsLost)
{
    VostrelTest::TempDir folder;
    const std::string whole = ffmpeg(folder, "whole.ogg",
                                     "-f lavfi -i anoisesrc=d=20:c=pink:r=44100:a=0.3 -c:a libvorbis -ac 2 "
                                     "-page_duration 250000");
    std::string damaged = whole;
    VostrelTest::flipBits(damaged, 8192, damaged.size() - 8192, 40, 7);
    auto decoder = Fmod3::openDecoder(bytesOf(damaged));
    auto reference = Fmod3::openDecoder(bytesOf(whole));
    ASSERT_TRUE(decoder && reference);
    const std::vector<float> frames = decodeFirstChannel(*decoder, 30 * 44100);
    const std::vector<float> wholeFrames = decodeFirstChannel(*reference, 30 * 44100);
    ASSERT_EQ(frames.size(), wholeFrames.size());
    // Only a packet's overlap with a lost one comes out unlike the whole.
    size_t silent = 0, alike = 0, seekedAmiss = 0;
    for (size_t k = 0; k < frames.size(); ++k) {
        silent += frames[k] == 0.0f && wholeFrames[k] != 0.0f;
        alike += std::fabs(frames[k] - wholeFrames[k]) < 1e-4f;
    }
    EXPECT_GT(silent, frames.size() / 10) << "the damage spoils no page";
    EXPECT_GT(alike + silent, frames.size() * 95 / 100);
    for (size_t frame = 12345; frame + 4096 < frames.size(); frame += 3 * 44100) {
        ASSERT_TRUE(decoder->seek(static_cast<int64_t>(frame)));
        const std::vector<float> after = decodeFirstChannel(*decoder, 4096);
        for (size_t k = 0; k < after.size(); ++k)
            seekedAmiss += after[k] != 0.0f && frames[frame + k] != 0.0f &&
                           std::fabs(after[k] - frames[frame + k]) > 1e-4f;
    }
    EXPECT_EQ(seekedAmiss, 0u);
}

// The library on virtual time with no device: positions are exact.
class Fmod3Stream : public ::testing::Test {
protected:
    void SetUp() override
    {
        Win32Host::setVirtualCounter(true);
        ASSERT_TRUE(FSOUND_Init(44100, 2, 0));
        ASSERT_TRUE(Fmod3::usesWallClockSink());
        wav = VostrelTest::toneWav(44100, 3 * 44100, 8000, 0.05);
    }
    void TearDown() override
    {
        FSOUND_Close();
        Win32Host::setVirtualCounter(false);
    }
    FSOUND_STREAM* open(const std::string& bytes)
    {
        return FSOUND_Stream_Open(bytes.data(), FSOUND_NORMAL | FSOUND_LOADMEMORY | FSOUND_MPEGACCURATE, 0,
                                  static_cast<int>(bytes.size()));
    }
    std::string wav;
};

TEST_F(Fmod3Stream, OtherBytesAreAnUnknownFormat)
{
    const std::string cases[] = {
        "hello, world",
        "RIFF\x10\0\0\0WAVEfmt \x04\0\0\0",
        std::string("OggS\0\x02", 6) + std::string(200, 'x'),
        std::string("\xFF\xFB\x90", 3),
        wav.substr(0, 44),
    };
    for (const std::string& bytes : cases) {
        EXPECT_EQ(open(bytes), nullptr) << bytes;
        EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_FILE_FORMAT) << bytes;
    }
}

TEST_F(Fmod3Stream, PositionMovesOnlyWhilePlaying)
{
    FSOUND_STREAM* stream = open(wav);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(FSOUND_Stream_GetLengthMs(stream), 3000);
    const int channel = FSOUND_Stream_PlayEx(FSOUND_FREE, stream, nullptr, true);
    ASSERT_GE(channel, 0);
    EXPECT_EQ(FSOUND_GetFrequency(channel), 44100);
    EXPECT_TRUE(FSOUND_IsPlaying(channel));
    const struct {
        const char* action;
        double elapse;
        int expected;
    } steps[] = {
        {"", 1.0, 0},          {"resume", 1.0, 1000}, {"", 0.25, 1250},    {"pause", 2.0, 1250},
        {"seek", 1.0, 2500},   {"resume", 0.1, 2600}, {"seek 0", 0.0, 0},  {"", 0.0025, 2},
    };
    for (const auto& step : steps) {
        const std::string action = step.action;
        if (action == "resume")
            FSOUND_SetPaused(channel, false);
        else if (action == "pause")
            FSOUND_SetPaused(channel, true);
        else if (action == "seek")
            FSOUND_Stream_SetTime(stream, 2500);
        else if (action == "seek 0")
            FSOUND_Stream_SetTime(stream, 0);
        advance(step.elapse);
        EXPECT_EQ(FSOUND_Stream_GetTime(stream), step.expected) << action;
    }
    EXPECT_TRUE(FSOUND_Stream_Close(stream));
    EXPECT_FALSE(FSOUND_IsPlaying(channel));
}

struct EndRecord {
    std::atomic<int> calls{0};
    int channel = -1;
    std::thread::id thread;
};

signed char recordEnd(FSOUND_STREAM*, void*, int, void* userData)
{
    EndRecord& record = *static_cast<EndRecord*>(userData);
    record.thread = std::this_thread::get_id();
    // Calling back in from the callback must not deadlock.
    FSOUND_SetPaused(record.channel, true);
    ++record.calls;
    return true;
}

TEST_F(Fmod3Stream, TheEndIsReportedOnceFromTheLibrarysThread)
{
    FSOUND_STREAM* stream = open(wav);
    EndRecord record;
    record.channel = FSOUND_Stream_PlayEx(FSOUND_FREE, stream, nullptr, false);
    ASSERT_TRUE(FSOUND_Stream_SetEndCallback(stream, recordEnd, &record));
    advance(2.9);
    EXPECT_TRUE(FSOUND_IsPlaying(record.channel));
    advance(0.2);
    EXPECT_FALSE(FSOUND_IsPlaying(record.channel));
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 3000);
    for (int wait = 0; wait < 2000 && record.calls == 0; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    advance(5.0);
    FSOUND_Stream_GetTime(stream);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(record.calls, 1);
    EXPECT_NE(record.thread, std::this_thread::get_id());
    EXPECT_TRUE(FSOUND_Stream_Close(stream));
}

struct SlowEnd {
    std::atomic<bool> entered{false}, closing{false}, closedDuringCallback{false}, done{false};
    std::atomic<bool>* closed = nullptr;
};

signed char slowEnd(FSOUND_STREAM*, void*, int, void* userData)
{
    SlowEnd& slow = *static_cast<SlowEnd*>(userData);
    slow.entered = true;
    while (!slow.closing)
        std::this_thread::yield();
    // Close is on its way: it must wait for this callback to return.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    slow.closedDuringCallback = slow.closed->load();
    slow.done = true;
    return true;
}

TEST_F(Fmod3Stream, CloseWaitsForACallbackInProgress)
{
    FSOUND_STREAM* stream = open(wav);
    SlowEnd slow;
    std::atomic<bool> closed{false};
    slow.closed = &closed;
    FSOUND_Stream_PlayEx(FSOUND_FREE, stream, nullptr, false);
    FSOUND_Stream_SetEndCallback(stream, slowEnd, &slow);
    advance(3.5);
    FSOUND_Stream_GetTime(stream);
    while (!slow.entered)
        std::this_thread::yield();
    std::thread closer([&] {
        slow.closing = true;
        FSOUND_Stream_Close(stream);
        closed = true;
    });
    closer.join();
    while (!slow.done)
        std::this_thread::yield();
    EXPECT_FALSE(slow.closedDuringCallback);
}

// SDL's disk driver plays at the pace of a device and keeps what it heard.
TEST(Fmod3Device, PlaysTheStreamIntoTheDevice)
{
    VostrelTest::TempDir folder;
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", folder.file("heard.raw").c_str(), 1);
    ASSERT_TRUE(FSOUND_Init(44100, 1, 0));
    EXPECT_FALSE(Fmod3::usesWallClockSink());
    // 351 Hz at a quarter of full scale.
    const std::string wav = VostrelTest::toneWav(44100, 3 * 44100, 8192, 0.05);
    FSOUND_STREAM* stream = FSOUND_Stream_Open(wav.data(), FSOUND_LOADMEMORY, 0, static_cast<int>(wav.size()));
    const int channel = FSOUND_Stream_PlayEx(FSOUND_FREE, stream, nullptr, false);
    for (int wait = 0; wait < 2000 && FSOUND_Stream_GetTime(stream) < 400; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    FSOUND_SetPaused(channel, true);
    const int played = FSOUND_Stream_GetTime(stream);
    FSOUND_Close();
    setenv("SDL_AUDIODRIVER", "dummy", 1);

    const std::string raw = VostrelTest::TempDir::read(folder.file("heard.raw"));
    std::vector<float> heard(raw.size() / sizeof(float));
    std::memcpy(heard.data(), raw.data(), heard.size() * sizeof(float));
    ASSERT_GE(played, 400);
    // The device ran silent until the stream started.
    size_t start = 0;
    while (start < heard.size() && heard[start] == 0.0f)
        start += 2;
    ASSERT_GE(heard.size(), start + 2 * 44100 * 300 / 1000);
    // Nothing beyond the device's buffer was mixed ahead of the position.
    size_t end = heard.size();
    while (end > start && heard[end - 2] == 0.0f)
        end -= 2;
    EXPECT_LE((end - start) / 2, played * 44100 / 1000 + 3 * 2048u);
    int crossings = 0, uneven = 0;
    float peak = 0.0f;
    for (size_t k = start + 2; k < start + 2 * 44100 * 300 / 1000; k += 2) {
        crossings += (heard[k - 2] < 0.0f) != (heard[k] < 0.0f);
        peak = std::max(peak, heard[k]);
        uneven += heard[k] != heard[k + 1];
    }
    EXPECT_EQ(uneven, 0) << "mono plays on both sides";
    EXPECT_NEAR(crossings / 2 / 0.3, 44100 * 0.05 / (2 * M_PI), 5.0);
    EXPECT_NEAR(peak, 0.25f, 0.01f);
}

TEST(Fmod3Module, EveryExportResolvesAndTheUnprovidedOnesFail)
{
    Fmod3::registerModule();
    Fmod3::registerModule();
    HMODULE module = LoadLibraryA("C:\\Windows\\FMOD.DLL");
    ASSERT_NE(module, nullptr);
    int unprovided = 0;
    for (const char* name : Fmod3::exportNames) {
        FARPROC entry = GetProcAddress(module, name);
        ASSERT_NE(entry, nullptr) << name;
        if (entry == GetProcAddress(module, "_FMUSIC_GetUserData@4")) {
            ++unprovided;
            EXPECT_EQ(entry(), 0) << name;
        }
    }
    EXPECT_EQ(unprovided, 207);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
    FARPROC version = GetProcAddress(module, "_FSOUND_GetVersion@0");
    auto getVersion = reinterpret_cast<float (*)()>(reinterpret_cast<void (*)()>(version));
    EXPECT_GE(getVersion(), 3.73f);
    EXPECT_TRUE(FreeLibrary(module));
}

} // namespace
