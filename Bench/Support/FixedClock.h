#pragma once

#include "Libs/Time/Syncronizer.h"

namespace VostrelBench {

// A show clock that stands where it is set: a timeline frame at a chosen time.
class FixedClock : public Vostrel::Syncronizer {
public:
    void setSpeed(float) override {}
    void start() override {}
    void pause() override {}
    void stop() override {}
    float getTime() override { return time; }
    void setTime(float t) override { time = t; }
    bool isStopped() override { return false; }
    bool isPaused() override { return false; }
    float time = 0.0f;
};

} // namespace VostrelBench
