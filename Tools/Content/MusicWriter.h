#pragma once

#include <string>
#include <vector>

namespace Vostrel {
namespace Content {

// The show's music: 112 beats at 85 bpm, 256 at 110 bpm, a closing chord to
// 220 s; a kick on every beat and an accent where each segment starts.
constexpr int musicRate = 44100;
constexpr double musicSeconds = 220.0;

// The beat times in seconds, the closing chord's beat last.
std::vector<double> musicBeats();

// Interleaved stereo samples in -1..1, the same on every run.
std::vector<float> synthesiseMusic();

// Writes "data/Music/vostrel.ogg" below root.
void writeMusic(const std::string& root);

} // namespace Content
} // namespace Vostrel
