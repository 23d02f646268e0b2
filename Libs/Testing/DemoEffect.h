#pragma once

namespace Vostrel {

struct RenderTexture;

// A demo part. The shell makes it, calls init once, then on every frame of
// the part's timeline segments setTime (local seconds times the segment's
// speed, the segment's variant) followed by render into the screen or a
// shared 512 x 512 target. A part draws a whole frame and clears its target
// itself where it needs to: the shell does not clear the window.
class DemoEffect {
public:
    virtual ~DemoEffect() = default;
    virtual void init() = 0;
    virtual void release() = 0;
    virtual void setTime(float seconds, int variant) = 0;
    virtual void render(RenderTexture& target) = 0;
};

} // namespace Vostrel
