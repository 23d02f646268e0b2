#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace Vostrel {

struct RenderTexture;

// The title with a progress bar while the parts load, then a one-second
// dissolve into noise. Loading steps take very different times, so the bar
// follows a calibration: "pings" holds the times at which the steps of an
// earlier run ended (a count, then the times in seconds from the first step,
// rising; the last is the total).
class LoadingEffect {
public:
    virtual ~LoadingEffect() = default;
    // The title over the whole screen, presented.
    virtual void draw(RenderTexture& screen) = 0;
    // One loading step is done: the bar moves to the calibrated time of the
    // step, shown three times.
    virtual void ping(RenderTexture& screen) = 0;
    // The steps' measured times to "pings.new", a new calibration.
    virtual void savePings() = 0;
    virtual void loadPings() = 0;
    // The dissolve; blocks for one second of real time.
    virtual void finish(RenderTexture& screen) = 0;
};

// Called after every frame the loading screen presents, to handle the
// window's messages; false when the run is to end (Escape, a closed
// window), which cuts the loading frames short.
using MessagePump = std::function<bool()>;

// Loads the title and the calibration; throws "file not found: pings"
// without it.
LoadingEffect* createLoadingEffect(MessagePump pumpMessages = nullptr);

// Reads a calibration: the count, then as many times as there are, the
// missing ones 0. A file cut short or unreadable gets a warning naming it on
// the standard error stream, and so does a time that is not finite, which
// counts as 0; only a count below 0 or past maxPingCount is refused, quoted
// as the file writes it.
std::vector<float> readPings(std::FILE* file, const std::string& fileName);
constexpr int maxPingCount = 4096;

// How far along the bar is after ping k (counted from 1) of a calibration:
// the step's time over the total, within 0 to 1. Beyond the calibration, or
// when its total is not above 0, the bar is full.
float pingProgress(const std::vector<float>& calibration, size_t k);

} // namespace Vostrel
