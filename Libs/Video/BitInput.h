#pragma once

// Bit input of the video decoder: a file or a memory image read as a
// big-endian bit string. For a system stream only the payload of the packets
// of video stream 0 reaches the bits; the end of the data (or of the system
// stream) continues as an endless run of sequence end codes, so the layers
// above always end cleanly.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Vostrel::Video {

class BitInput {
public:
    BitInput();
    ~BitInput();
    BitInput(const BitInput&) = delete;
    BitInput& operator=(const BitInput&) = delete;

    // Throws "Base layer input file <name> not found" when it cannot be read.
    void openFile(const std::string& name);
    void openMemory(std::vector<uint8_t> bytes);
    // The same, for a second layer's file: throws the given message when it
    // cannot be read.
    void openFile(const std::string& name, const std::string& notFound);
    // Back to the first byte of the data; the window is filled again.
    void rewind();
    void setSystemStream(bool system) { systemStream = system; }
    bool isSystemStream() const { return systemStream; }
    // Called for every video packet with an MPEG-2 PES header.
    void setPesPacketNotice(std::function<void()> notice) { pesNotice = std::move(notice); }

    // n from 1 to 32.
    uint32_t showBits(int n) const { return static_cast<uint32_t>(window >> (64 - n)); }
    uint32_t showWord() const { return static_cast<uint32_t>(window >> 32); }
    void skipBits(int n)
    {
        window <<= n;
        windowBits -= n;
        if (windowBits < 32)
            refillWindow();
    }
    uint32_t getBits(int n)
    {
        uint32_t value = showBits(n);
        skipBits(n);
        return value;
    }
    uint32_t getBit() { return getBits(1); }
    // Byte-aligns, then skips bytes until a start code prefix 0x000001 is next.
    void nextStartCode();
    // Exchanges the whole reading state with another input: the bits of the
    // other stream are read through this object until it is exchanged back.
    void exchange(BitInput& other);
    // Whether every bit of the data has been read: what follows is only the
    // run of end codes.
    bool exhausted() const
    {
        return payloadEnded && int64_t(streamBytes) * 8 - windowBits >= int64_t(dataBytes) * 8;
    }

    // The window copied out for a tight loop, so that it can stay in
    // registers; it goes back to the input to be refilled and when the copy
    // ends. The input must not be read while a copy lives.
    class Local {
    public:
        explicit Local(BitInput& input) : input(input), window(input.window), windowBits(input.windowBits) {}
        ~Local() { store(); }
        Local(const Local&) = delete;
        Local& operator=(const Local&) = delete;

        uint32_t showBits(int n) const { return static_cast<uint32_t>(window >> (64 - n)); }
        uint32_t showWord() const { return static_cast<uint32_t>(window >> 32); }
        void skipBits(int n)
        {
            window <<= n;
            windowBits -= n;
            if (windowBits < 32)
                refill();
        }
        uint32_t getBits(int n)
        {
            uint32_t value = showBits(n);
            skipBits(n);
            return value;
        }

        // Hands the window back to the input, and takes it again, around
        // anything else that reads or replaces the input.
        void store()
        {
            input.window = window;
            input.windowBits = windowBits;
        }
        void reload()
        {
            window = input.window;
            windowBits = input.windowBits;
        }

    private:
        void refill()
        {
            // Most refills find eight bytes ahead: the same as refillWindow, in place.
            if (input.payloadEnd - input.payloadPosition >= 8) {
                const size_t bytes = appendBytes(input.payload.data() + input.payloadPosition, window, windowBits);
                input.payloadPosition += bytes;
                input.streamBytes += bytes;
                return;
            }
            store();
            input.refillWindow();
            window = input.window;
            windowBits = input.windowBits;
        }

        BitInput& input;
        uint64_t window;
        int windowBits;
    };

private:
    // Fills the window with whole bytes from p (eight readable); returns how
    // many it took. The partial byte below the whole ones is ORed again, in
    // the same place, by the next refill.
    static size_t appendBytes(const uint8_t* p, uint64_t& window, int& windowBits)
    {
        uint64_t next = 0;
        for (int i = 0; i < 8; ++i)
            next = (next << 8) | p[i];
        const int bytes = (64 - windowBits) >> 3;
        window |= next >> windowBits;
        windowBits += bytes * 8;
        return static_cast<size_t>(bytes);
    }
    void refillWindow();
    void refillPayload();
    void appendEndCodes(size_t limit);
    // Raw bytes of the source.
    size_t readRaw(uint8_t* destination, size_t count);
    int rawByte();
    bool rawWord16(uint32_t& value);
    bool skipRaw(size_t count);
    // System layer: positions the raw input on the payload of the next video
    // packet; false at the end of the system stream or of the data.
    bool nextVideoPacket();

    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, FileCloser> file;
    std::string fileName;
    // A read error ends the data like its end; its reason is said once.
    bool readFailureSaid = false;
    std::vector<uint8_t> memory;
    size_t memoryPosition = 0;
    std::vector<uint8_t> raw = std::vector<uint8_t>(65536);
    size_t rawPosition = 0, rawEnd = 0;
    bool rawEof = false;
    uint64_t rawConsumed = 0;

    bool systemStream = false;
    int64_t packetRemaining = 0;
    std::function<void()> pesNotice;

    // Video payload as a contiguous run; after its end, the end-code pattern.
    std::vector<uint8_t> payload;
    size_t payloadPosition = 0, payloadEnd = 0;
    bool payloadEnded = false;
    unsigned endCodePhase = 0;
    uint64_t dataBytes = 0;   // payload bytes that came from the data
    uint64_t streamBytes = 0; // payload bytes taken into the window

    uint64_t window = 0; // next bits, first in bit 63
    int windowBits = 0;  // valid bits in the window, at least 32 between calls
};

} // namespace Vostrel::Video
