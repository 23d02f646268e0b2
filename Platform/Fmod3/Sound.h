#pragma once

// What the tests need to know of the stand-in's output.

namespace Fmod3 {

// True while initialised without an audio device: positions then move with
// the performance counter alone.
bool usesWallClockSink();

// Records the error of an export the stand-in does not provide.
void failUnsupported();

} // namespace Fmod3
