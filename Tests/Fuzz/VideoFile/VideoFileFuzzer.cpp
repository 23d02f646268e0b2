// Opens bytes as a video file (the decoder reads files in its own buffered
// pieces) and decodes to the end: damaged data may only end the stream
// early or throw Vostrel::Exception.
#include "Libs/Common/Exception.h"
#include "Libs/Video/VideoDecoder.h"
#include "Tests/Fuzz/InputFile.h"

#include <cstdint>
#include <cstdio>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = VostrelFuzz::writeInputFile("input.mpg", data, size);
    const int largest = 128;
    Vostrel::VideoDecoder decoder;
    decoder.setMessageStreams(nullptr, nullptr);
    decoder.setMaxPictureSize(largest, largest);
    decoder.setOutputSize(largest, largest);
    std::vector<uint8_t> rgb(size_t(largest) * largest * 3);
    try {
        decoder.open(path.c_str());
        for (int call = 0; call < 300 && decoder.decodeNextFrame(rgb.data()); ++call) {
        }
    } catch (const Vostrel::Exception&) {
    }
    std::remove(path.c_str());
    return 0;
}
