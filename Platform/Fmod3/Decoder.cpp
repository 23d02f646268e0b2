#include "Platform/Fmod3/Decoder.h"

#include <cstdio>
#include <cstring>

namespace Fmod3 {

namespace {

bool startsWith(const std::vector<unsigned char>& data, size_t at, const char* text)
{
    size_t size = std::strlen(text);
    return data.size() >= at + size && std::memcmp(data.data() + at, text, size) == 0;
}

} // namespace

std::unique_ptr<Decoder> openDecoder(std::vector<unsigned char> data)
{
    if (startsWith(data, 0, "RIFF") && startsWith(data, 8, "WAVE"))
        return openWavDecoder(data);
    if (startsWith(data, 0, "OggS"))
        return openVorbisDecoder(data);
    return openMpegDecoder(data);
}

size_t MemoryReader::read(void* out, size_t bytes)
{
    size_t available = data.size() - position;
    if (bytes > available)
        bytes = available;
    if (bytes == 0)
        return 0;
    std::memcpy(out, data.data() + position, bytes);
    position += bytes;
    return bytes;
}

int64_t MemoryReader::seek(int64_t offset, int whence)
{
    int64_t base = whence == SEEK_CUR ? static_cast<int64_t>(position)
                   : whence == SEEK_END ? static_cast<int64_t>(data.size())
                                        : 0;
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END)
        return -1;
    if (offset > static_cast<int64_t>(data.size()) || offset < -static_cast<int64_t>(data.size()))
        return -1;
    int64_t target = base + offset;
    if (target < 0 || target > static_cast<int64_t>(data.size()))
        return -1;
    position = static_cast<size_t>(target);
    return target;
}

} // namespace Fmod3
