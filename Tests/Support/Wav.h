#pragma once

#include <cmath>
#include <cstdint>
#include <string>

namespace VostrelTest {

// A mono 16-bit PCM WAV file of a sine tone, as bytes.
inline std::string toneWav(int rate, int frames, double amplitude, double radiansPerFrame)
{
    auto little = [](uint32_t value, int bytes) {
        std::string out;
        for (int k = 0; k < bytes; ++k)
            out += static_cast<char>((value >> (8 * k)) & 0xFF);
        return out;
    };
    std::string samples;
    for (int k = 0; k < frames; ++k)
        samples += little(static_cast<uint16_t>(static_cast<int16_t>(amplitude * std::sin(k * radiansPerFrame))), 2);
    return "RIFF" + little(static_cast<uint32_t>(36 + samples.size()), 4) + "WAVEfmt " + little(16, 4) + little(1, 2) +
           little(1, 2) + little(static_cast<uint32_t>(rate), 4) + little(static_cast<uint32_t>(rate * 2), 4) +
           little(2, 2) + little(16, 2) + "data" + little(static_cast<uint32_t>(samples.size()), 4) + samples;
}

} // namespace VostrelTest
