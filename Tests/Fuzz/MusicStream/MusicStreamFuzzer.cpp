// Feeds bytes to the sound library stand-in as a music file in memory: it
// may refuse them (null, unknown format); what it opens must decode to
// finite samples in -1..1 at a sane rate, seek, and close.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "Platform/Fmod3/Decoder.h"
#include "Platform/Fmod3/Fmod.h"

namespace {

void decodeSome(Fmod3::Decoder& decoder, size_t limit)
{
    std::vector<float> samples(4096 * 2);
    size_t total = 0, got;
    while (total < limit && (got = decoder.read(samples.data(), 4096)) > 0) {
        if (got > 4096)
            std::abort();
        for (size_t k = 0; k < got * decoder.getChannels(); ++k)
            if (!(samples[k] >= -1.0f && samples[k] <= 1.0f))
                std::abort();
        total += got;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool initialised = FSOUND_Init(44100, 1, 0);
    if (!initialised)
        std::abort();

    auto decoder = Fmod3::openDecoder(std::vector<unsigned char>(data, data + size));
    if (decoder) {
        if (decoder->getRate() < 1000 || decoder->getRate() > 384000 || decoder->getChannels() < 1 ||
            decoder->getChannels() > 2 || decoder->getLength() <= 0)
            std::abort();
        decodeSome(*decoder, 1u << 20);
        if (decoder->seek(decoder->getLength() / 2))
            decodeSome(*decoder, 8192);
    }

    // The same bytes through the library's entry points.
    FSOUND_STREAM* stream = FSOUND_Stream_Open(reinterpret_cast<const char*>(data), FSOUND_NORMAL | FSOUND_LOADMEMORY,
                                               0, static_cast<int>(size));
    if ((stream != nullptr) != (decoder != nullptr))
        std::abort();
    if (stream) {
        if (FSOUND_Stream_GetLengthMs(stream) < 0)
            std::abort();
        FSOUND_Stream_SetTime(stream, FSOUND_Stream_GetLengthMs(stream) / 3);
        FSOUND_Stream_GetTime(stream);
        if (!FSOUND_Stream_Close(stream))
            std::abort();
    }
    return 0;
}
