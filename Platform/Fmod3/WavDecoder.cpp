// PCM WAV: 8-, 16-, 24- and 32-bit integer and 32-bit float samples, mono or
// stereo, also in the extensible header form.
#include <algorithm>
#include <cstring>
#include <string>

#include "Platform/Fmod3/Decoder.h"

namespace Fmod3 {

namespace {

uint32_t readLittle(const unsigned char* bytes, int count)
{
    uint32_t value = 0;
    for (int k = count - 1; k >= 0; --k)
        value = (value << 8) | bytes[k];
    return value;
}

class WavDecoder : public Decoder {
public:
    WavDecoder(std::vector<unsigned char>& bytes, size_t dataStart, size_t frames, int rate, int channels,
               int bitsPerSample, bool isFloat)
        : bytes(std::move(bytes)), dataStart(dataStart), bitsPerSample(bitsPerSample), isFloat(isFloat)
    {
        this->rate = rate;
        this->channels = channels;
        length = static_cast<int64_t>(frames);
    }

    size_t read(float* out, size_t maxFrames) override
    {
        size_t frames = std::min<size_t>(maxFrames, static_cast<size_t>(length - frame));
        const int sampleBytes = bitsPerSample / 8;
        const unsigned char* in = bytes.data() + dataStart + static_cast<size_t>(frame) * sampleBytes * channels;
        for (size_t k = 0; k < frames * channels; ++k, in += sampleBytes)
            out[k] = sample(in);
        frame += static_cast<int64_t>(frames);
        return frames;
    }

    void cutShort(size_t held, size_t stated)
    {
        fault = "the WAV data holds " + std::to_string(held) + " of its " + std::to_string(stated) + " bytes";
    }

    bool seek(int64_t target) override
    {
        if (target < 0 || target > length)
            return false;
        frame = target;
        return true;
    }

private:
    float sample(const unsigned char* in) const
    {
        if (isFloat) {
            float value;
            std::memcpy(&value, in, sizeof(value));
            return value == value ? std::max(-1.0f, std::min(1.0f, value)) : 0.0f;
        }
        if (bitsPerSample == 8)
            return (static_cast<int>(in[0]) - 128) / 128.0f;
        // Sign-extend from the top byte.
        uint32_t raw = readLittle(in, bitsPerSample / 8) << (32 - bitsPerSample);
        return static_cast<float>(static_cast<int32_t>(raw) / 2147483648.0);
    }

    std::vector<unsigned char> bytes;
    size_t dataStart;
    int bitsPerSample;
    bool isFloat;
    int64_t frame = 0;
};

} // namespace

std::unique_ptr<Decoder> openWavDecoder(std::vector<unsigned char>& bytes)
{
    const size_t size = bytes.size();
    bool haveFormat = false;
    int format = 0, channels = 0, rate = 0, blockAlign = 0, bits = 0;
    size_t at = 12;
    while (at + 8 <= size) {
        const unsigned char* chunk = bytes.data() + at;
        const size_t chunkSize = readLittle(chunk + 4, 4);
        const size_t body = at + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && chunkSize >= 16 && chunkSize <= size - body) {
            format = static_cast<int>(readLittle(chunk + 8, 2));
            channels = static_cast<int>(readLittle(chunk + 10, 2));
            rate = static_cast<int>(readLittle(chunk + 12, 4));
            blockAlign = static_cast<int>(readLittle(chunk + 20, 2));
            bits = static_cast<int>(readLittle(chunk + 22, 2));
            // WAVE_FORMAT_EXTENSIBLE names the real format in its sub-format.
            if (format == 0xFFFE && chunkSize >= 40)
                format = static_cast<int>(readLittle(chunk + 32, 2));
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat)
                return nullptr;
            const bool isFloat = format == 3 && bits == 32;
            const bool isInteger = format == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
            if (!(isFloat || isInteger) || channels < 1 || channels > 2 || rate < 1000 || rate > 384000 ||
                blockAlign != channels * bits / 8)
                return nullptr;
            // A cut file plays what it holds.
            const size_t available = std::min(chunkSize, size - body);
            const size_t frames = available / static_cast<size_t>(blockAlign);
            if (frames == 0)
                return nullptr;
            auto decoder = std::make_unique<WavDecoder>(bytes, body, frames, rate, channels, bits, isFloat);
            // A writer that did not know the length states the largest.
            if (available < chunkSize && chunkSize != 0xFFFFFFFFu)
                decoder->cutShort(available, chunkSize);
            return decoder;
        }
        if (chunkSize > size - body)
            break;
        at = body + chunkSize + (chunkSize & 1);
    }
    return nullptr;
}

} // namespace Fmod3
