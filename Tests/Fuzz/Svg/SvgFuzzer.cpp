// Feeds bytes to the SVG import and draws what it accepts into a small
// buffer, turned and scaled: refusals are the engine's exception, never a
// crash or a hang.
#include "Libs/Common/Exception.h"
#include "Libs/Image/RenderingBuffer.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint32_t> pixels(48 * 32, 0);
    Vostrel::RenderingBuffer buffer(48, 32, pixels.data());
    try {
        buffer.loadSvgFromMemory(reinterpret_cast<const char*>(data), size);
    } catch (const Vostrel::Exception&) {
    }
    // Whatever was parsed before a refusal stays drawable.
    const Vec2 extent = buffer.getSvgSize();
    if (std::isnan(extent[0]) || std::isnan(extent[1]))
        std::abort();
    buffer.drawSvg(0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.5f, 1.0f);
    buffer.drawSvg(0.25f, -0.1f, 0.5f, 3.0f, 30.0f, 0.0f, 2.2f);
    return 0;
}
