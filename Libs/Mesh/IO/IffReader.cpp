#include "Libs/Mesh/IO/IffReader.h"

#include "Libs/Common/Exception.h"
#include "Libs/Common/StringUtils.h"
#include "Libs/Mesh/IO/FileBytes.h"

#include <cstring>

namespace Vostrel {
namespace Mesh {

namespace {

std::vector<uint8_t> readWholeFile(const std::string& fileName)
{
    std::vector<uint8_t> bytes;
    if (!readFileBytes(fileName, bytes))
        VOSTREL_THROW_AT_LINE(11, "File not found: " << StringUtils::printable(fileName));
    return bytes;
}

} // namespace

IffReader::IffReader(const std::string& fileName) : IffReader(readWholeFile(fileName)) {}

IffReader::IffReader(std::vector<uint8_t> bytes) : buffer(std::move(bytes))
{
    if (buffer.size() >= 0xffffffffu)
        VOSTREL_THROW("The file is too large for an IFF file.");
    size = static_cast<uint32_t>(buffer.size());
    bound = size;
    buffer.push_back(0); // current() stays valid at the end of the data
}

IffReader::~IffReader() {}

void IffReader::updateBound()
{
    bound = size;
    for (auto it = chunks.rbegin(); it != chunks.rend(); ++it)
        if (*it) {
            bound = (*it)->end;
            break;
        }
}

void IffReader::truncated() const
{
    const Chunk* chunk = topChunk();
    VOSTREL_THROW("Truncated data at offset " << position << (chunk ? " in chunk " : "")
                                              << (chunk ? StringUtils::printable(chunk->id) : "") << ".");
}

void IffReader::skip(uint32_t count)
{
    need(count);
    position += count;
}

std::string IffReader::readS0()
{
    const uint32_t end = limit();
    const uint8_t* begin = buffer.data() + position;
    const void* nul = position < end ? std::memchr(begin, 0, end - position) : nullptr;
    if (!nul)
        VOSTREL_THROW("Unterminated string at offset " << position << ".");
    const uint32_t length = static_cast<uint32_t>(static_cast<const uint8_t*>(nul) - begin);
    std::string text(reinterpret_cast<const char*>(begin), length);
    position += length + 1;
    // Strings occupy an even number of bytes; the pad may be the chunk's last.
    if ((position & 1) && position < end)
        ++position;
    else if (position & 1)
        position = end;
    return text;
}

bool IffReader::isId(const char* id) const
{
    return static_cast<uint64_t>(position) + 4 <= limit() && std::memcmp(current(), id, 4) == 0;
}

bool IffReader::pushChunk(bool shortHeader)
{
    if (!chunks.empty() && !chunks.back())
        return false;
    const uint32_t bound = limit();
    const uint32_t headerSize = shortHeader ? 6 : 8;
    if (static_cast<uint64_t>(position) + headerSize > bound)
        return false;
    auto chunk = std::make_unique<Chunk>();
    std::memcpy(chunk->id, current(), 4);
    chunk->id[4] = 0;
    const uint8_t* b = current() + 4;
    chunk->size = shortHeader ? (static_cast<uint32_t>(b[0]) << 8 | b[1])
                              : (static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
                                 static_cast<uint32_t>(b[2]) << 8 | b[3]);
    const uint64_t start = static_cast<uint64_t>(position) + headerSize;
    if (start + chunk->size > bound)
        return false;
    chunk->start = static_cast<uint32_t>(start);
    chunk->end = static_cast<uint32_t>(start + chunk->size);
    position = chunk->start;
    chunks.push_back(std::move(chunk));
    updateBound();
    return true;
}

bool IffReader::popChunk()
{
    if (chunks.empty())
        return false;
    if (chunks.back()) {
        position = chunks.back()->end;
        // The pad byte of an odd chunk, unless it would leave the parent.
        chunks.pop_back();
        updateBound();
        if ((position & 1) && position < limit())
            ++position;
        return true;
    }
    chunks.pop_back();
    updateBound();
    return true;
}

bool IffReader::nextChunk(bool shortHeader)
{
    if (!popChunk())
        return false;
    if (pushChunk(shortHeader))
        return true;
    chunks.push_back(nullptr);
    updateBound();
    return false;
}

const IffReader::Chunk* IffReader::topChunk() const
{
    return chunks.empty() ? nullptr : chunks.back().get();
}

} // namespace Mesh
} // namespace Vostrel
