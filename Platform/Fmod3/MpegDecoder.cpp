// MPEG audio (MP3) through libmpg123, reading from memory. The whole stream
// is scanned when opened, so its length and seeks are exact.
#include <algorithm>
#include <mutex>

#include <mpg123.h>

#include "Platform/Fmod3/Decoder.h"

namespace Fmod3 {

namespace {

ssize_t readBytes(void* source, void* out, size_t bytes)
{
    return static_cast<ssize_t>(static_cast<MemoryReader*>(source)->read(out, bytes));
}

off_t seekBytes(void* source, off_t offset, int whence)
{
    return static_cast<off_t>(static_cast<MemoryReader*>(source)->seek(offset, whence));
}

// Only an ID3v2 tag or a valid frame header at the start counts: the
// decoder itself would resynchronise on noise.
bool looksLikeMpeg(const std::vector<unsigned char>& data)
{
    if (data.size() >= 10 && data[0] == 'I' && data[1] == 'D' && data[2] == '3')
        return true;
    if (data.size() < 4 || data[0] != 0xFF || (data[1] & 0xE0) != 0xE0)
        return false;
    const int version = (data[1] >> 3) & 3, layer = (data[1] >> 1) & 3;
    const int bitrate = data[2] >> 4, sampleRate = (data[2] >> 2) & 3;
    return version != 1 && layer != 0 && bitrate != 0 && bitrate != 15 && sampleRate != 3;
}

class MpegDecoder : public Decoder {
public:
    explicit MpegDecoder(std::vector<unsigned char>& bytes) { reader.data = std::move(bytes); }
    ~MpegDecoder() override
    {
        if (handle)
            mpg123_delete(handle);
    }

    bool open()
    {
        static std::once_flag initialised;
        std::call_once(initialised, [] { mpg123_init(); });
        handle = mpg123_new(nullptr, nullptr);
        if (!handle)
            return false;
        mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
        mpg123_format_none(handle);
        const long* rates = nullptr;
        size_t rateCount = 0;
        mpg123_rates(&rates, &rateCount);
        for (size_t k = 0; k < rateCount; ++k)
            mpg123_format(handle, rates[k], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
        long formatRate = 0;
        int formatChannels = 0, encoding = 0;
        if (mpg123_replace_reader_handle(handle, readBytes, seekBytes, nullptr) != MPG123_OK ||
            mpg123_open_handle(handle, &reader) != MPG123_OK || mpg123_scan(handle) != MPG123_OK ||
            mpg123_getformat(handle, &formatRate, &formatChannels, &encoding) != MPG123_OK)
            return false;
        const off_t total = mpg123_length(handle);
        if (formatChannels < 1 || formatChannels > 2 || encoding != MPG123_ENC_FLOAT_32 || total <= 0)
            return false;
        rate = static_cast<int>(formatRate);
        channels = formatChannels;
        length = total;
        return true;
    }

    size_t read(float* out, size_t maxFrames) override
    {
        unsigned char* bytes = reinterpret_cast<unsigned char*>(out);
        const size_t frameBytes = sizeof(float) * static_cast<size_t>(channels);
        size_t done = 0;
        while (done < maxFrames * frameBytes) {
            size_t got = 0;
            int result = mpg123_read(handle, bytes + done, maxFrames * frameBytes - done, &got);
            done += got;
            if (result == MPG123_NEW_FORMAT) {
                long newRate = 0;
                int newChannels = 0, encoding = 0;
                mpg123_getformat(handle, &newRate, &newChannels, &encoding);
                if (newRate != rate || newChannels != channels) {
                    fault = "the MPEG stream changes its rate or channels";
                    break;
                }
            } else if (result != MPG123_OK || got == 0) {
                if (result != MPG123_OK && result != MPG123_DONE)
                    fault = mpg123_plain_strerror(result);
                break;
            }
        }
        const size_t frames = done / frameBytes;
        for (size_t k = 0; k < frames * channels; ++k)
            out[k] = out[k] == out[k] ? std::max(-1.0f, std::min(1.0f, out[k])) : 0.0f;
        return frames;
    }

    bool seek(int64_t frame) override
    {
        return frame >= 0 && frame <= length && mpg123_seek(handle, static_cast<off_t>(frame), SEEK_SET) >= 0;
    }

private:
    MemoryReader reader;
    mpg123_handle* handle = nullptr;
};

} // namespace

std::unique_ptr<Decoder> openMpegDecoder(std::vector<unsigned char>& bytes)
{
    if (!looksLikeMpeg(bytes))
        return nullptr;
    auto decoder = std::make_unique<MpegDecoder>(bytes);
    if (!decoder->open())
        return nullptr;
    return decoder;
}

} // namespace Fmod3
