#include "Libs/Testing/Timeline.h"

#include "Libs/Common/Exception.h"
#include "Libs/Common/StringUtils.h"
#include "Libs/Core/RenderWindow.h"
#include "Libs/Postprocessing/HDRLighting.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Testing/DemoEffect.h"
#include "Libs/Time/Syncronizer.h"

namespace Vostrel {

namespace {

// Beats per second of the two tempos.
const double k85 = 85.0 / 60.0;
const double k110 = 110.0 / 60.0;

const Vec4 transparentBlack(0.0f, 0.0f, 0.0f, 0.0f);

enum SegmentIndex {
    TRANSITION, MAP1, ELEVATOR, MAP2, MAP3, AGENT_FOLLOW, MAP4, HAXOR1, MAP5_FIRST, ATTACK, MAP5_SECOND, ADMIN,
    END_SENTINEL
};

class BlitComposer : public FrameComposer {
public:
    void blitCopy(RenderTexture* destination, RenderTexture* source) override
    {
        Vostrel::blitCopy(destination, source, 0, 0, -1, -1);
    }
    void blitCrossfade(RenderTexture* destination, RenderTexture* first, RenderTexture* second, float t, float start,
                       float end) override
    {
        Vostrel::blitCrossfade(destination, first, second, t, start, end);
    }
    void blitOldMultipass(RenderTexture* destination, RenderTexture* source, float scale, int passes,
                          float unused) override
    {
        Vostrel::blitOldMultipass(destination, source, scale, passes, unused);
    }
    void blitHdrLighting(RenderTexture* destination, RenderTexture* source, const Vec4& parameter,
                         float key) override
    {
        Vostrel::blitHdrLighting(destination, source, parameter, key);
    }
    void blitInvert(RenderTexture* destination, RenderTexture* source) override
    {
        Vostrel::blitInvert(destination, source);
    }
    void clearTarget(RenderTexture* target, const Vec4& colour) override { Vostrel::clearTarget(target, colour); }
};

} // namespace

DemoTargets acquireDemoTargets(RenderTexture* screen)
{
    DemoTargets targets;
    targets.screen = screen;
    targets.a = RenderTargetPool::acquire(512, 512, Core::FORMAT_A8R8G8B8);
    targets.b = RenderTargetPool::acquire(512, 512, Core::FORMAT_RGBA16F);
    targets.c = RenderTargetPool::acquire(512, 512, Core::FORMAT_A8R8G8B8);
    targets.black = RenderTargetPool::acquire(1, 1, Core::FORMAT_A8R8G8B8);
    targets.white = RenderTargetPool::acquire(1, 1, Core::FORMAT_A8R8G8B8);
    clearTarget(targets.black, transparentBlack);
    clearTarget(targets.white, Vec4(1.0f, 1.0f, 1.0f, 1.0f));
    return targets;
}

void releaseDemoTargets(const DemoTargets& targets)
{
    for (RenderTexture* target : {targets.a, targets.b, targets.c, targets.black, targets.white})
        if (target)
            RenderTargetPool::release(target);
}

std::unique_ptr<FrameComposer> createBlitComposer()
{
    return std::make_unique<BlitComposer>();
}

const std::array<Timeline::Segment, Timeline::segmentCount>& Timeline::segments()
{
    static const std::array<Segment, segmentCount> table = {{
        {"TransitionEffect", 0.0f, 11.294118f},
        {"MapEffect1", 11.294118f, 22.588236f},
        {"ElevatorEffect", 33.882355f, 22.588236f},
        {"MapEffect2", 56.470589f, 22.588236f},
        {"MapEffect3", 79.058823f, 17.454546f},
        {"AgentFollowEffect", 96.513374f, 17.454546f},
        {"MapEffect4", 113.967918f, 8.727273f},
        {"HaxorEffect1", 122.69519f, 26.181818f},
        {"MapEffect5", 148.877014f, 8.727273f},
        {"AttackEffect", 157.604279f, 26.181818f},
        {"MapEffect5", 183.786102f, 17.454546f},
        {"AdminEffect", 201.240646f, 17.454546f},
        {"EndSentinel", 218.69519f, 100.0f},
    }};
    return table;
}

Timeline::Timeline(Syncronizer& clock, TimelineParts& parts, const DemoTargets& targets, FrameComposer& composer,
                   float endTime, float musicOffset)
    : clock(clock), parts(parts), targets(targets), composer(composer), endTime(endTime), musicOffset(musicOffset)
{
}

bool Timeline::renderFrame(Core::RenderWindow* window)
{
    const float time = clock.getTime();
    if ((clock.isStopped() && !clock.isPaused()) || time > endTime)
        return false;
    const float showTime = time - musicOffset;
    if (window)
        window->setTitle(StringUtils::floatToString(showTime) + "s");
    play(showTime);
    return true;
}

int Timeline::segmentAt(float showTime)
{
    // Start plus length in float misses the next start by a rounding at
    // several boundaries; two segments would then play in one frame.
    for (int i = 0; i < segmentCount; ++i) {
        const float end = i + 1 < segmentCount ? segments()[i + 1].start : segments()[i].start + segments()[i].length;
        if (showTime >= segments()[i].start && showTime < end)
            return i;
    }
    return -1;
}

void Timeline::play(float showTime)
{
    const int segment = segmentAt(showTime);
    if (segment < 0 || !parts.isEnabled(segments()[segment].name))
        return;
    if (segment == END_SENTINEL) {
        composer.clearTarget(targets.screen, transparentBlack);
        return;
    }
    DemoEffect* part = parts.getPart(segments()[segment].name);
    // An enabled part this build lacks shows black rather than what the
    // window held before.
    if (!part) {
        composer.clearTarget(targets.screen, transparentBlack);
        return;
    }
    // A failure while the part plays names it and the moment of the show.
    inContext([&] { return std::string(segments()[segment].name) + " at show second " +
                           StringUtils::floatToString(showTime); },
              [&] { compose(segment, *part, showTime - segments()[segment].start); });
}

void Timeline::compose(int segment, DemoEffect& part, float local)
{
    RenderTexture* screen = targets.screen;
    RenderTexture* a = targets.a;
    RenderTexture* c = targets.c;
    RenderTexture* black = targets.black;
    RenderTexture* white = targets.white;
    const int multipassPasses = 6;
    const float multipassUnused = 1.0f;
    switch (segment) {
    case TRANSITION:
        part.setTime(static_cast<float>(local * k85), 0);
        part.render(*screen);
        break;
    case MAP1:
    case MAP2:
    case MAP3:
    case MAP4:
        part.setTime(segment == MAP4 ? static_cast<float>(local * k110) : local, 0);
        part.render(*a);
        composer.blitCopy(screen, a);
        break;
    case ELEVATOR: {
        const float s = static_cast<float>(local * k85);
        part.setTime(s, 0);
        part.render(*a);
        if (s < 1.0f) {
            composer.blitCrossfade(screen, black, a, s * s, 0.0f, 1.0f);
        } else if (s <= 29.0f) {
            composer.blitCopy(screen, a);
        } else {
            const float weight = s <= 30.0f ? 1.0f : (32.0f - s) * 0.25f + 1.0f;
            composer.blitOldMultipass(c, a, weight, multipassPasses, multipassUnused);
            composer.blitCrossfade(screen, c, black, s, 29.0f, 32.0f);
        }
        break;
    }
    case AGENT_FOLLOW:
        part.setTime(local * 0.9777777f, 0);
        part.render(*a);
        if (local < 1.0f) {
            composer.blitOldMultipass(screen, a, (1.0f - local) * (1.0f - local) * 0.75f + 1.0f, multipassPasses,
                                      multipassUnused);
        } else if (local <= 16.454546f) {
            composer.blitCopy(screen, a);
        } else {
            const float d = 17.454546f - local;
            composer.blitOldMultipass(c, a, 1.75f - 0.75f * d * d, multipassPasses, multipassUnused);
            composer.blitCrossfade(screen, black, c, d, 0.0f, 1.0f);
        }
        break;
    case HAXOR1:
        part.setTime(local, 0);
        part.render(*c);
        composer.blitHdrLighting(a, c, Vec4(1.2f, 1.2f, 1.2f, 1.2f), 0.0003f);
        composer.blitCopy(screen, a);
        break;
    case MAP5_FIRST: {
        part.setTime(local, 0);
        part.render(*a);
        // Compared before rounding to float.
        const double beats = local * k110;
        const float b = static_cast<float>(beats);
        if (beats < 1.0) {
            composer.blitCrossfade(c, white, a, b * b, 0.0f, 2.0f);
            composer.blitInvert(screen, c);
        } else if (beats < 2.0) {
            composer.blitCrossfade(screen, white, a, b * b, 0.0f, 2.0f);
        } else if (beats <= 14.5) {
            composer.blitCopy(screen, a);
        } else {
            composer.blitCrossfade(screen, a, black, b, 14.5f, 16.0f);
        }
        break;
    }
    case ATTACK: {
        const float beats = static_cast<float>(local * k110);
        part.setTime(beats, 0);
        if (beats < 44.0f) {
            part.render(*screen);
        } else {
            part.render(*a);
            const float d = (48.0f - beats) * 0.25f;
            composer.blitOldMultipass(screen, a, 3.0f - 2.0f * d * d, multipassPasses, multipassUnused);
        }
        break;
    }
    case MAP5_SECOND: {
        const float b = static_cast<float>(local * k110);
        part.setTime(b, 1);
        if (b < 2.0f) {
            part.render(*a);
            composer.blitCrossfade(screen, white, a, b * b, 0.0f, 2.0f);
        } else if (b <= 30.5f) {
            part.render(*screen);
        } else {
            part.render(*a);
            composer.blitCrossfade(screen, a, black, b, 30.5f, 32.0f);
        }
        break;
    }
    case ADMIN: {
        part.setTime(local, 0);
        const double beats = local * k110;
        if (beats < 28.0) {
            part.render(*screen);
        } else {
            part.render(*a);
            composer.blitCrossfade(screen, a, black, static_cast<float>(beats), 28.0f, 32.0f);
        }
        break;
    }
    }
}

} // namespace Vostrel
