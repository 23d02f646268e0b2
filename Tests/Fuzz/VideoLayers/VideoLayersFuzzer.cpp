// Feeds the video decoder a two-layer stream: the first four bytes give the
// base layer's length (big-endian), the base layer follows, the rest is the
// second layer (an SNR enhancement layer or data partition one). Without a
// second layer the base is taken as a spatial enhancement layer whose lower
// layer files are missing (predicted as grey). Damage may only end the
// stream early or throw Vostrel::Exception.
#include "Libs/Common/Exception.h"
#include "Libs/Video/VideoDecoder.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    size_t baseSize = size_t(data[0]) << 24 | size_t(data[1]) << 16 | size_t(data[2]) << 8 | data[3];
    if (baseSize > size - 4)
        baseSize = size - 4;
    const uint8_t* base = data + 4;
    const uint8_t* second = base + baseSize;
    const int largest = 128;
    Vostrel::VideoDecoder decoder;
    decoder.setMessageStreams(nullptr, nullptr);
    decoder.setQuiet(false);
    decoder.setMaxPictureSize(largest, largest);
    decoder.setRgbOutput(false);
    try {
        decoder.setLowerLayerPattern("/nonexistent/lower%d%c");
        decoder.openMemory(base, baseSize);
        if (size - 4 - baseSize > 0)
            decoder.openEnhancementMemory(second, size - 4 - baseSize);
        for (int call = 0; call < 300 && decoder.decodeNextFrame(nullptr); ++call) {
        }
    } catch (const Vostrel::Exception&) {
    }
    return 0;
}
