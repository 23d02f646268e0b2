#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace Vostrel {
namespace Mesh {

// Reads an EA IFF 85 file (the LightWave object layout) from one in-memory
// copy: big-endian primitives at a position and a stack of nested chunks,
// whose bounds are checked on entry. Every primitive read stays inside the
// innermost chunk (or the file), so truncated data fails with an exception.
class IffReader {
public:
    struct Chunk {
        char id[5];
        uint32_t start; // first data byte, just after the header
        uint32_t size;  // as stored, without the pad byte
        uint32_t end;   // start + size
    };

    explicit IffReader(const std::string& fileName);
    explicit IffReader(std::vector<uint8_t> bytes);
    virtual ~IffReader();

    // The byte at the position, for single bytes and ID4s read in place.
    const uint8_t* current() const { return buffer.data() + position; }
    void skip(uint32_t count);
    uint32_t tell() const { return position; }
    uint32_t getSize() const { return size; }

    uint32_t readU4()
    {
        need(4);
        const uint8_t* b = buffer.data() + position;
        position += 4;
        return static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
               static_cast<uint32_t>(b[2]) << 8 | b[3];
    }
    uint32_t readU2()
    {
        need(2);
        const uint8_t* b = buffer.data() + position;
        position += 2;
        return static_cast<uint32_t>(b[0]) << 8 | b[1];
    }
    uint8_t readU1()
    {
        need(1);
        return buffer[position++];
    }
    float readF4()
    {
        const uint32_t bits = readU4();
        float value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }
    uint32_t readVX()
    {
        const uint32_t value = readU2();
        return (value >> 8) == 0xff ? (value & 0xff) << 16 | readU2() : value;
    }
    std::string readS0();
    // True when the four bytes at the position are id (and inside the chunk).
    bool isId(const char* id) const;

    bool pushChunk(bool shortHeader);
    bool popChunk();
    bool nextChunk(bool shortHeader);
    // The innermost chunk, null when there is none or the last nextChunk failed.
    const Chunk* topChunk() const;
    // True while the position is before the innermost chunk's end.
    bool insideChunk() const { return position < bound; }

private:
    // The end of the innermost chunk entered, or the file size.
    uint32_t limit() const { return bound; }
    void updateBound();
    void need(uint32_t bytes) const
    {
        if (static_cast<uint64_t>(position) + bytes > bound)
            truncated();
    }
    [[noreturn]] void truncated() const;

    std::vector<uint8_t> buffer;
    uint32_t position = 0;
    uint32_t size = 0;
    uint32_t bound = 0; // what limit() gives, kept as the chunk stack changes
    std::vector<std::unique_ptr<Chunk>> chunks; // null entry: a failed nextChunk
};

} // namespace Mesh
} // namespace Vostrel
