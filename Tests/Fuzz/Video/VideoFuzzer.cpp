// Feeds bytes to the video decoder as a whole stream (elementary or system)
// and decodes it to the end. Damaged data may only end the stream early or
// throw Vostrel::Exception; the sanitizers watch every buffer on the way.
#include "Libs/Common/Exception.h"
#include "Libs/Video/VideoDecoder.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Small pictures keep each input fast; larger sizes are refused.
    const int largest = 128;
    Vostrel::VideoDecoder decoder;
    decoder.setMessageStreams(nullptr, nullptr);
    decoder.setMaxPictureSize(largest, largest);
    decoder.setOutputSize(largest, largest);
    decoder.setDoubleIdct(size % 7 == 0);
    std::vector<uint8_t> rgb(size_t(largest) * largest * 3);
    try {
        decoder.openMemory(data, size);
        for (int call = 0; call < 300 && decoder.decodeNextFrame(rgb.data()); ++call) {
        }
    } catch (const Vostrel::Exception&) {
    }
    return 0;
}
