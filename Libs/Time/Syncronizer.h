#pragma once

namespace Vostrel {

// The show clock. Times are the clock's own units (seconds for the show).
class Syncronizer {
public:
    virtual void setSpeed(float factor) = 0;
    virtual void start() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    virtual float getTime() = 0;
    virtual void setTime(float time) = 0;
    virtual bool isStopped() = 0;
    virtual bool isPaused() = 0;

    // The demo frees its clock on destruction.
    virtual ~Syncronizer() = default;
};

} // namespace Vostrel
