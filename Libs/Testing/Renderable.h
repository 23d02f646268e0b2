#pragma once

namespace Vostrel {

// A drawable scene object of the demo parts. The second value means what
// each implementation makes of it (the map scenes are handed 100).
class Renderable {
public:
    virtual ~Renderable() = default;
    virtual void render(float time, int secondValue) = 0;
};

// A scene object that is also brought up to a time before it renders.
class Effect : public Renderable {
public:
    virtual void update(float time) = 0;
};

} // namespace Vostrel
