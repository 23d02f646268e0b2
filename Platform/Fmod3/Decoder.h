#pragma once

// The audio formats the stand-in streams from memory: Ogg Vorbis, MPEG audio
// (exact length and sample-accurate seeking) and PCM WAV.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Fmod3 {

class Decoder {
public:
    virtual ~Decoder() = default;

    int getRate() const { return rate; }
    // 1 or 2; frames are interleaved floats in -1..1.
    int getChannels() const { return channels; }
    // Frames in the whole stream (what a full decode yields for well-formed
    // data).
    int64_t getLength() const { return length; }

    // Decodes up to maxFrames frames into out; 0 at the end or on bad data.
    virtual size_t read(float* out, size_t maxFrames) = 0;
    // Moves to a frame in 0..length; false when the data does not allow it.
    virtual bool seek(int64_t frame) = 0;
    // Why the frames end before the data does ("the Ogg data breaks off at
    // byte 914737 of 1832617"); "" while the data is whole as far as known.
    const std::string& getFault() const { return fault; }

protected:
    int rate = 0;
    int channels = 0;
    int64_t length = 0;
    std::string fault;
};

// Null when the bytes are none of the formats or their header is unusable.
std::unique_ptr<Decoder> openDecoder(std::vector<unsigned char> data);

std::unique_ptr<Decoder> openWavDecoder(std::vector<unsigned char>& data);
std::unique_ptr<Decoder> openVorbisDecoder(std::vector<unsigned char>& data);
std::unique_ptr<Decoder> openMpegDecoder(std::vector<unsigned char>& data);

// Reads and seeks over bytes held in memory, for the decoders' I/O hooks.
struct MemoryReader {
    std::vector<unsigned char> data;
    size_t position = 0;

    size_t read(void* out, size_t bytes);
    // As lseek: the new position, or -1 when it would leave 0..size.
    int64_t seek(int64_t offset, int whence);
};

} // namespace Fmod3
