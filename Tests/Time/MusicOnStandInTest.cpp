// The music clock over the real stand-in "fmod.dll", on virtual time.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "Libs/Common/Exception.h"
#include "Libs/Time/FmodInstance.h"
#include "Libs/Time/MusicSyncronizer.h"
#include "Platform/Fmod3/Fmod.h"
#include "Platform/Fmod3/Module.h"
#include "Platform/Win32/Host.h"
#include "Tests/Support/DamagedAudio.h"
#include "Tests/Support/Ffmpeg.h"
#include "Tests/Support/TempDir.h"
#include "Tests/Support/Wav.h"

namespace {

TEST(MusicOnStandIn, PlaysToTheEndOfTheMusicAndStops)
{
    Fmod3::registerModule();
    Win32Host::setVirtualCounter(true);
    VostrelTest::TempDir folder;
    {
        const std::string music = folder.write("tone.wav", VostrelTest::toneWav(22050, 2 * 22050, 3000, 0.1));
        Vostrel::MusicSyncronizer clock(60.0f, 0.5f, 100.0f, music, 0.0f);
        EXPECT_EQ(clock.getFrequency(), 22050.0f);
        EXPECT_EQ(clock.getLengthMs(), 2000.0f);
        clock.start();
        Win32Host::advanceCounter(1000000000LL);
        EXPECT_NEAR(clock.getTime(), 1.5f, 0.001f);
        // The music ends before the end value: the library stops the clock.
        Win32Host::advanceCounter(600000000LL);
        for (int wait = 0; wait < 2000 && !clock.isStopped(); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_TRUE(clock.isStopped());
        EXPECT_EQ(clock.getTime(), 0.0f);
    }
    EXPECT_EQ(Vostrel::fmodInstance(), nullptr);
    Win32Host::setVirtualCounter(false);
}

// The show ends with its music; when the music's data broke off, the end
// says so, with the second and the decoder's reason. Whole music ends quietly.
TEST(MusicOnStandIn, MusicThatBreaksOffSaysWhereAndWhyItStopped)
{
    Fmod3::registerModule();
    Win32Host::setVirtualCounter(true);
    VostrelTest::TempDir folder;
    const std::string wav = VostrelTest::toneWav(22050, 2 * 22050, 3000, 0.1);
    for (bool cut : {false, true}) {
        const std::string music = folder.write("tone.wav", cut ? wav.substr(0, wav.size() - 22050) : wav);
        testing::internal::CaptureStderr();
        {
            Vostrel::MusicSyncronizer clock(60.0f, 0.0f, 100.0f, music, 0.0f);
            clock.start();
            Win32Host::advanceCounter(2500000000LL);
            for (int wait = 0; wait < 2000 && !clock.isStopped(); ++wait)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            EXPECT_TRUE(clock.isStopped());
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  cut ? music + ": the music stops at 1.5 s: the WAV data holds 66150 of its 88200 bytes\n" : "");
    }
    Win32Host::setVirtualCounter(false);
}

// Damaged music plays on in time, silent where pages are lost; with its last
// pages lost too, the clock says why at the second where ffmpeg's reading of
// the same file ends.
TEST(MusicOnStandIn, DamagedMusicPlaysOnAndSaysWhereItStops)
{
    Fmod3::registerModule();
    Win32Host::setVirtualCounter(true);
    VostrelTest::TempDir folder;
    std::string damaged = VostrelTest::ffmpeg(
        folder, "damaged.ogg", "-f lavfi -i anoisesrc=d=12:c=pink:r=44100:a=0.3 -c:a libvorbis -page_duration 250000");
    ASSERT_FALSE(HasFailure()) << "no music to damage";
    VostrelTest::flipBits(damaged, 8192, damaged.size() - 4096, 40, 7);
    VostrelTest::flipBits(damaged, damaged.size() - 4096, damaged.size(), 20, 7);
    const std::string music = folder.write("damaged.ogg", damaged);
    const int64_t end = VostrelTest::ffmpegAudioEnd(music);
    ASSERT_GT(end, 0);
    testing::internal::CaptureStderr();
    {
        Vostrel::MusicSyncronizer clock(60.0f, 0.0f, 100.0f, music, 0.0f);
        clock.start();
        Win32Host::advanceCounter(end * 1000000000LL / 44100 - 500000000LL);
        EXPECT_TRUE(FSOUND_IsPlaying(clock.getChannel()));
        EXPECT_NEAR(clock.getTime(), end / 44100.0 - 0.5, 0.01);
        Win32Host::advanceCounter(1000000000LL);
        for (int wait = 0; wait < 2000 && !clock.isStopped(); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::ostringstream expected;
    expected << music << ": the music stops at " << end * 1000 / 44100 * 0.001
             << " s: the Ogg data breaks off at byte ";
    EXPECT_EQ(testing::internal::GetCapturedStderr().substr(0, expected.str().size()), expected.str());
    Win32Host::setVirtualCounter(false);
}

TEST(MusicOnStandIn, UndecodableMusicNamesTheLibrarysTextAndTheFile)
{
    Fmod3::registerModule();
    VostrelTest::TempDir folder;
    const std::string file = folder.write("notes.txt", "these are not notes");
    testing::internal::CaptureStderr();
    try {
        Vostrel::MusicSyncronizer clock(60.0f, 0.0f, 10.0f, file, 1.0f);
        ADD_FAILURE() << "opened";
    } catch (const Vostrel::Exception& e) {
        EXPECT_EQ(e.report(), "Libs\\Time\\MusicSyncronizer(202): Unknown file format");
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "In MusicSyncronizer::MusicSyncronizer(" + file + ")\n");
    EXPECT_EQ(Vostrel::fmodInstance(), nullptr);
}

} // namespace
