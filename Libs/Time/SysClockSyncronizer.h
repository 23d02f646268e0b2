#pragma once

#include "Libs/Time/HiResTimer.h"
#include "Libs/Time/Syncronizer.h"

namespace Vostrel {

// Real time from the performance counter, scaled by a speed. Starts stopped.
class SysClockSyncronizer : public Syncronizer {
public:
    explicit SysClockSyncronizer(float startTime);

    void setSpeed(float factor) override;
    void start() override;
    void pause() override;
    void stop() override;
    float getTime() override;
    void setTime(float time) override;
    bool isStopped() override { return stopped; }
    bool isPaused() override { return paused; }

private:
    float now() const;
    void catchUp();

    HiResTimer timer;
    float time;
    float lastReading = 0.0f;
    float speed = 1.0f;
    bool paused = false;
    bool stopped = true;
};

} // namespace Vostrel
