// Ogg Vorbis through libvorbisfile, reading from memory.
#include <algorithm>
#include <cstring>
#include <string>

#include <vorbis/vorbisfile.h>

#include "Platform/Fmod3/Decoder.h"

namespace Fmod3 {

namespace {

size_t readBytes(void* out, size_t size, size_t count, void* source)
{
    if (size == 0)
        return 0;
    return static_cast<MemoryReader*>(source)->read(out, size * count) / size;
}

int seekBytes(void* source, ogg_int64_t offset, int whence)
{
    return static_cast<MemoryReader*>(source)->seek(offset, whence) < 0 ? -1 : 0;
}

long tellBytes(void* source)
{
    return static_cast<long>(static_cast<MemoryReader*>(source)->position);
}

class VorbisDecoder : public Decoder {
public:
    explicit VorbisDecoder(std::vector<unsigned char>& bytes) { reader.data = std::move(bytes); }
    ~VorbisDecoder() override
    {
        if (opened)
            ov_clear(&file);
    }

    bool open()
    {
        const ov_callbacks callbacks = {readBytes, seekBytes, nullptr, tellBytes};
        if (ov_open_callbacks(&reader, &file, nullptr, 0, callbacks) != 0)
            return false;
        opened = true;
        const vorbis_info* info = ov_info(&file, -1);
        const ogg_int64_t total = ov_pcm_total(&file, -1);
        if (!info || info->channels < 1 || info->channels > 2 || info->rate < 1000 || info->rate > 384000 ||
            total <= 0)
            return false;
        rate = static_cast<int>(info->rate);
        channels = info->channels;
        length = total;
        const size_t end = lastPageEnd();
        if (end < reader.data.size())
            fault = "the Ogg data breaks off at byte " + std::to_string(end) + " of " +
                    std::to_string(reader.data.size());
        return true;
    }

    size_t read(float* out, size_t maxFrames) override
    {
        size_t done = 0;
        while (done < maxFrames) {
            float** pcm = nullptr;
            int section = 0;
            int wanted = static_cast<int>(std::min<size_t>(maxFrames - done, 4096));
            long got = ov_read_float(&file, &pcm, wanted, &section);
            if (got == OV_HOLE)
                continue;
            if (got < 0)
                fault = "Vorbis decoding failed (error " + std::to_string(got) + ")";
            if (got <= 0)
                break;
            // A chained link in another layout cannot join this stream.
            const vorbis_info* info = ov_info(&file, section);
            if (!info || info->channels != channels || info->rate != rate) {
                fault = "a chained Ogg stream changes its rate or channels";
                break;
            }
            for (long k = 0; k < got; ++k)
                for (int c = 0; c < channels; ++c)
                    out[(done + k) * channels + c] = std::max(-1.0f, std::min(1.0f, pcm[c][k]));
            done += static_cast<size_t>(got);
        }
        return done;
    }

    bool seek(int64_t frame) override
    {
        return frame >= 0 && frame <= length && ov_pcm_seek(&file, frame) == 0;
    }

private:
    // Where the last page that vorbisfile found ends (it looks for it back
    // from the end of the data): nothing after it is Ogg data.
    size_t lastPageEnd() const
    {
        const std::vector<unsigned char>& data = reader.data;
        const ogg_int64_t start = file.offsets ? file.offsets[file.links] : -1;
        if (start < 0 || static_cast<size_t>(start) + 27 > data.size() ||
            std::memcmp(data.data() + start, "OggS", 4) != 0)
            return data.size();
        const size_t segments = data[static_cast<size_t>(start) + 26];
        size_t end = static_cast<size_t>(start) + 27 + segments;
        if (end > data.size())
            return data.size();
        for (size_t k = 0; k < segments; ++k)
            end += data[static_cast<size_t>(start) + 27 + k];
        return std::min(end, data.size());
    }

    MemoryReader reader;
    OggVorbis_File file;
    bool opened = false;
};

} // namespace

std::unique_ptr<Decoder> openVorbisDecoder(std::vector<unsigned char>& bytes)
{
    auto decoder = std::make_unique<VorbisDecoder>(bytes);
    if (!decoder->open())
        return nullptr;
    return decoder;
}

} // namespace Fmod3
