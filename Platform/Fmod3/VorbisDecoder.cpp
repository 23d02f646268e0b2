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
            const size_t available = ready.size() / channels - readyAt;
            if (silence == 0 && available == 0) {
                if (!decode())
                    break;
                continue;
            }
            const size_t frames = std::min(maxFrames - done, silence > 0 ? silence : available);
            float* to = out + done * channels;
            if (silence > 0) {
                std::fill(to, to + frames * channels, 0.0f);
                silence -= frames;
            } else {
                const float* from = ready.data() + readyAt * channels;
                std::copy(from, from + frames * channels, to);
                readyAt += frames;
            }
            done += frames;
        }
        return done;
    }

    bool seek(int64_t frame) override
    {
        if (frame < 0 || frame > length || ov_pcm_seek(&file, frame) != 0)
            return false;
        next = frame;
        silence = readyAt = 0;
        ready.clear();
        page.clear();
        return true;
    }

private:
    // Decodes until the frames of one page are whole and moves them to
    // ready, after the silence that stands for the pages lost before them;
    // false when nothing more comes.
    bool decode()
    {
        ready.clear();
        readyAt = 0;
        for (;;) {
            float** pcm = nullptr;
            int section = 0;
            const long got = ov_read_float(&file, &pcm, 4096, &section);
            if (got == OV_HOLE)
                continue;
            // A chained link in another layout cannot join this stream.
            const vorbis_info* info = got > 0 ? ov_info(&file, section) : nullptr;
            const bool joins = info && info->channels == channels && info->rate == rate;
            if (!joins || file.offset != pageEnd)
                finishPage();
            if (got < 0)
                fault = "Vorbis decoding failed (error " + std::to_string(got) + ")";
            else if (got > 0 && !joins)
                fault = "a chained Ogg stream changes its rate or channels";
            else if (got == 0 && fault.empty() && next < length)
                fault = "the Ogg data cannot be decoded after byte " + std::to_string(decodedTo) + " of " +
                        std::to_string(reader.data.size());
            if (!joins)
                return silence > 0 || !ready.empty();
            const size_t at = page.size();
            page.resize(at + static_cast<size_t>(got) * channels);
            for (long k = 0; k < got; ++k)
                for (int c = 0; c < channels; ++c)
                    page[at + k * channels + c] = std::max(-1.0f, std::min(1.0f, pcm[c][k]));
            pageEnd = file.offset;
            // vorbisfile counts the first link from its first granule.
            pageTell = ov_pcm_tell(&file) - (section == 0 ? file.pcmlengths[0] : 0);
            if (!ready.empty())
                return true;
        }
    }

    // Pages lost to damage take their time with them: the granule position
    // of the next whole page, known once its last packet is decoded, tells
    // how much, and silence stands in for it.
    void finishPage()
    {
        if (page.empty())
            return;
        const int64_t frames = static_cast<int64_t>(page.size() / channels);
        const int64_t start = pageTell - frames;
        if (start > next && next < length)
            silence = static_cast<size_t>(std::min(start, length) - next);
        next += static_cast<int64_t>(silence) + frames;
        ready.swap(page);
        page.clear();
        decodedTo = static_cast<size_t>(pageEnd);
    }

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
    // The frames of the page being decoded: where it ends in the data and
    // where vorbisfile's count stood after its last frame.
    std::vector<float> page;
    ogg_int64_t pageEnd = 0;
    int64_t pageTell = 0;
    // Whole pages' frames not yet read, after the silence owed before them;
    // next is the frame that follows them, decodedTo the byte.
    std::vector<float> ready;
    size_t readyAt = 0;
    size_t silence = 0;
    int64_t next = 0;
    size_t decodedTo = 0;
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
