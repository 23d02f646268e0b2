#include "Libs/Video/BitInput.h"

#include "Libs/Common/Exception.h"

#include <algorithm>
#include <cstring>

namespace Vostrel::Video {

namespace {

constexpr size_t kPayloadCapacity = 65536;
const uint8_t kSequenceEndCode[4] = {0x00, 0x00, 0x01, 0xB7};

std::string hex8(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

} // namespace

BitInput::BitInput() : payload(kPayloadCapacity) {}

BitInput::~BitInput() = default;

void BitInput::openFile(const std::string& name)
{
    openFile(name, "Base layer input file " + name + " not found");
}

void BitInput::openFile(const std::string& name, const std::string& notFound)
{
    std::FILE* opened = openDataFileOrSayWhy(name, "rb");
    if (!opened)
        VOSTREL_THROW(notFound);
    file.reset(opened);
    fileName = name;
    readFailureSaid = false;
    memory.clear();
    rewind();
}

void BitInput::openMemory(std::vector<uint8_t> bytes)
{
    file.reset();
    memory = std::move(bytes);
    rewind();
}

void BitInput::rewind()
{
    if (file) {
        std::clearerr(file.get());
        std::fseek(file.get(), 0, SEEK_SET);
    }
    memoryPosition = 0;
    rawPosition = rawEnd = 0;
    rawEof = false;
    rawConsumed = 0;
    packetRemaining = 0;
    payloadPosition = payloadEnd = 0;
    payloadEnded = false;
    endCodePhase = 0;
    dataBytes = streamBytes = 0;
    window = 0;
    windowBits = 0;
    refillWindow();
}

void BitInput::exchange(BitInput& other)
{
    std::swap(file, other.file);
    std::swap(fileName, other.fileName);
    std::swap(readFailureSaid, other.readFailureSaid);
    std::swap(memory, other.memory);
    std::swap(memoryPosition, other.memoryPosition);
    std::swap(raw, other.raw);
    std::swap(rawPosition, other.rawPosition);
    std::swap(rawEnd, other.rawEnd);
    std::swap(rawEof, other.rawEof);
    std::swap(rawConsumed, other.rawConsumed);
    std::swap(systemStream, other.systemStream);
    std::swap(packetRemaining, other.packetRemaining);
    std::swap(pesNotice, other.pesNotice);
    std::swap(payload, other.payload);
    std::swap(payloadPosition, other.payloadPosition);
    std::swap(payloadEnd, other.payloadEnd);
    std::swap(payloadEnded, other.payloadEnded);
    std::swap(endCodePhase, other.endCodePhase);
    std::swap(dataBytes, other.dataBytes);
    std::swap(streamBytes, other.streamBytes);
    std::swap(window, other.window);
    std::swap(windowBits, other.windowBits);
}

void BitInput::nextStartCode()
{
    skipBits(windowBits & 7);
    while (showBits(24) != 1)
        skipBits(8);
}

void BitInput::refillWindow()
{
    if (payloadEnd - payloadPosition < 8)
        refillPayload();
    const size_t bytes = appendBytes(payload.data() + payloadPosition, window, windowBits);
    payloadPosition += bytes;
    streamBytes += bytes;
}

void BitInput::refillPayload()
{
    size_t remaining = payloadEnd - payloadPosition;
    std::memmove(payload.data(), payload.data() + payloadPosition, remaining);
    payloadPosition = 0;
    payloadEnd = remaining;
    while (payloadEnd < kPayloadCapacity) {
        if (payloadEnded) {
            appendEndCodes(kPayloadCapacity);
            break;
        }
        if (!systemStream) {
            size_t count = readRaw(payload.data() + payloadEnd, kPayloadCapacity - payloadEnd);
            payloadEnd += count;
            dataBytes += count;
            if (count == 0) {
                // Zero bytes up to a multiple of four, then the end codes.
                while (rawConsumed % 4 != 0 && payloadEnd < kPayloadCapacity) {
                    payload[payloadEnd++] = 0;
                    ++rawConsumed;
                    ++dataBytes;
                }
                if (rawConsumed % 4 == 0)
                    payloadEnded = true;
            }
            continue;
        }
        if (packetRemaining == 0) {
            if (!nextVideoPacket())
                payloadEnded = true;
            continue;
        }
        size_t wanted = std::min<size_t>(kPayloadCapacity - payloadEnd, static_cast<size_t>(packetRemaining));
        size_t count = readRaw(payload.data() + payloadEnd, wanted);
        payloadEnd += count;
        dataBytes += count;
        packetRemaining -= static_cast<int64_t>(count);
        if (count < wanted)
            payloadEnded = true;
    }
}

void BitInput::appendEndCodes(size_t limit)
{
    while (payloadEnd < limit) {
        payload[payloadEnd++] = kSequenceEndCode[endCodePhase];
        endCodePhase = (endCodePhase + 1) & 3;
    }
}

size_t BitInput::readRaw(uint8_t* destination, size_t count)
{
    size_t done = 0;
    while (done < count) {
        if (rawPosition == rawEnd) {
            if (rawEof)
                break;
            rawPosition = 0;
            if (file) {
                rawEnd = std::fread(raw.data(), 1, raw.size(), file.get());
                if (rawEnd == 0 && !readFailureSaid)
                    readFailureSaid = sayWhyReadFailed(file.get(), fileName);
            } else {
                rawEnd = std::min(raw.size(), memory.size() - memoryPosition);
                if (rawEnd)
                    std::memcpy(raw.data(), memory.data() + memoryPosition, rawEnd);
                memoryPosition += rawEnd;
            }
            // A read error counts as the end of the data (said above).
            if (rawEnd == 0) {
                rawEof = true;
                break;
            }
        }
        size_t take = std::min(count - done, rawEnd - rawPosition);
        std::memcpy(destination + done, raw.data() + rawPosition, take);
        rawPosition += take;
        done += take;
    }
    rawConsumed += done;
    return done;
}

int BitInput::rawByte()
{
    uint8_t byte;
    return readRaw(&byte, 1) == 1 ? byte : -1;
}

bool BitInput::rawWord16(uint32_t& value)
{
    int high = rawByte();
    int low = rawByte();
    if (high < 0 || low < 0)
        return false;
    value = static_cast<uint32_t>(high << 8 | low);
    return true;
}

bool BitInput::skipRaw(size_t count)
{
    uint8_t scratch[256];
    while (count > 0) {
        size_t take = std::min(count, sizeof scratch);
        if (readRaw(scratch, take) != take)
            return false;
        count -= take;
    }
    return true;
}

bool BitInput::nextVideoPacket()
{
    // The end of the data inside the system layer ends the system stream, as
    // its end code would; the pictures decoded so far are kept.
    for (;;) {
        uint32_t code = 0;
        for (int i = 0; i < 4; ++i) {
            int byte = rawByte();
            if (byte < 0)
                return false;
            code = code << 8 | static_cast<uint32_t>(byte);
        }
        while ((code & 0xFFFFFF00u) != 0x00000100u) {
            int byte = rawByte();
            if (byte < 0)
                return false;
            code = code << 8 | static_cast<uint32_t>(byte);
        }

        if (code == 0x000001BA) { // pack header
            if (!skipRaw(8))
                return false;
            continue;
        }
        if (code == 0x000001B9) // end of the system stream
            return false;
        if (code == 0x000001E0) {
            uint32_t length;
            if (!rawWord16(length))
                return false;
            int64_t headerBytes = 1;
            int c = rawByte();
            if (c < 0)
                return false;
            if ((c >> 6) == 2) {
                int flags = rawByte();
                int dataLength = rawByte();
                if (flags < 0 || dataLength < 0 || !skipRaw(static_cast<size_t>(dataLength)))
                    return false;
                headerBytes += 2 + dataLength;
                if (pesNotice)
                    pesNotice();
            } else {
                while (c == 0xFF) {
                    c = rawByte();
                    if (c < 0)
                        return false;
                    ++headerBytes;
                }
                if (c >= 0x40) {
                    if (c >= 0x80)
                        VOSTREL_THROW("Error in packet header");
                    if (rawByte() < 0)
                        return false;
                    c = rawByte();
                    if (c < 0)
                        return false;
                    headerBytes += 2;
                }
                if (c >= 0x30 && c <= 0x3F) {
                    if (!skipRaw(9))
                        return false;
                    headerBytes += 9;
                } else if (c >= 0x40) {
                    VOSTREL_THROW("Error in packet header");
                } else if (c >= 0x20 && c <= 0x2F) {
                    if (!skipRaw(4))
                        return false;
                    headerBytes += 4;
                } else if (c != 0x0F) {
                    VOSTREL_THROW("Error in packet header");
                }
            }
            // A header longer than its packet leaves no payload rather than
            // a payload end behind the read position.
            packetRemaining = std::max<int64_t>(0, int64_t(length) - headerBytes);
            return true;
        }
        if (code >= 0x000001BB) { // system header, other streams, padding
            uint32_t length;
            if (!rawWord16(length) || !skipRaw(length))
                return false;
            continue;
        }
        VOSTREL_THROW("Unexpected startcode " << hex8(code) << " in system layer");
    }
}

} // namespace Vostrel::Video
