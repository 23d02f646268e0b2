#include "Libs/Time/SysClockSyncronizer.h"

namespace Vostrel {

SysClockSyncronizer::SysClockSyncronizer(float startTime) : time(startTime)
{
    timer.reset();
}

float SysClockSyncronizer::now() const
{
    return static_cast<float>(timer.getTime(1.0));
}

// A paused or stopped clock holds its time.
void SysClockSyncronizer::catchUp()
{
    if (stopped || paused)
        return;
    float reading = now();
    time += (reading - lastReading) * speed;
    lastReading = reading;
}

void SysClockSyncronizer::setSpeed(float factor)
{
    catchUp();
    speed = factor;
    lastReading = now();
}

void SysClockSyncronizer::start()
{
    lastReading = now();
    stopped = false;
    paused = false;
}

void SysClockSyncronizer::pause()
{
    if (stopped || paused)
        return;
    catchUp();
    paused = true;
}

void SysClockSyncronizer::stop()
{
    catchUp();
    stopped = true;
    paused = false;
}

float SysClockSyncronizer::getTime()
{
    catchUp();
    return time;
}

void SysClockSyncronizer::setTime(float newTime)
{
    time = newTime;
    lastReading = now();
}

} // namespace Vostrel
