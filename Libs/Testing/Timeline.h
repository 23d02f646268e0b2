#pragma once

#include "Libs/Math/Vec.h"

#include <array>
#include <memory>
#include <string>

namespace Vostrel {

class DemoEffect;
class Syncronizer;
struct RenderTexture;

namespace Core {
class RenderWindow;
}

// The window as a render texture, and the render textures the show shares
// between its parts: A and C (512 x 512, 8-bit) carry a part's picture to
// the window, B (512 x 512, 16-bit float) is held for the parts, black and
// white are 1 x 1.
struct DemoTargets {
    RenderTexture* screen = nullptr;
    RenderTexture* a = nullptr;
    RenderTexture* b = nullptr;
    RenderTexture* c = nullptr;
    RenderTexture* black = nullptr;
    RenderTexture* white = nullptr;
};

// Acquires the shared targets from the render-target pool in the show's
// order (A, B, C, black, white) and clears black and white.
DemoTargets acquireDemoTargets(RenderTexture* screen);
// Gives them back to the pool.
void releaseDemoTargets(const DemoTargets& targets);

// How the timeline brings the parts' pictures into the window: in the show
// the post-processing functions of the same names, destination first.
class FrameComposer {
public:
    virtual ~FrameComposer() = default;
    // The whole source over the whole destination.
    virtual void blitCopy(RenderTexture* destination, RenderTexture* source) = 0;
    // first at t = start, second at t = end.
    virtual void blitCrossfade(RenderTexture* destination, RenderTexture* first, RenderTexture* second, float t,
                               float start, float end) = 0;
    virtual void blitOldMultipass(RenderTexture* destination, RenderTexture* source, float scale, int passes,
                                  float unused) = 0;
    virtual void blitHdrLighting(RenderTexture* destination, RenderTexture* source, const Vec4& parameter,
                                 float key) = 0;
    virtual void blitInvert(RenderTexture* destination, RenderTexture* source) = 0;
    virtual void clearTarget(RenderTexture* target, const Vec4& colour) = 0;
};

// The show's composer: the blit functions of the post-processing library.
std::unique_ptr<FrameComposer> createBlitComposer();

// What the timeline asks of the parts.
class TimelineParts {
public:
    virtual ~TimelineParts() = default;
    // Asked anew every frame whose time lies in one of the name's segments.
    virtual bool isEnabled(const std::string& name) = 0;
    // The part made for the name; null when this build has none.
    virtual DemoEffect* getPart(const std::string& name) = 0;
};

// The show's fixed table of thirteen segments, each one part's, on whole
// beats of the music (85 per minute up to 79.058823 s, 110 after). Every
// frame is decided from the clock's time alone, so a seek or a later start
// lands in the right segment with the right composition.
class Timeline {
public:
    struct Segment {
        const char* name; // of the part's ".enabled" property
        float start;      // seconds of show time
        float length;
    };
    static constexpr int segmentCount = 13;
    static const std::array<Segment, segmentCount>& segments();

    Timeline(Syncronizer& clock, TimelineParts& parts, const DemoTargets& targets, FrameComposer& composer,
             float endTime, float musicOffset);

    // One frame at the clock's time, its show time in the window's title
    // (when there is a window). False when the show is over, that is when
    // the clock has stopped without being paused or its time is past the
    // end time; nothing is drawn then.
    bool renderFrame(Core::RenderWindow* window);

    // The segment that plays at a show time and its part's draw and
    // composition; nothing below 0 or from the end of the last segment.
    void play(float showTime);

    // The segment whose time span holds the show time, -1 for none. A
    // segment ends where the next one starts, whatever the float sum of its
    // start and length gives.
    static int segmentAt(float showTime);

private:
    void compose(int segment, DemoEffect& part, float local);

    Syncronizer& clock;
    TimelineParts& parts;
    DemoTargets targets;
    FrameComposer& composer;
    float endTime;
    float musicOffset;
};

} // namespace Vostrel
