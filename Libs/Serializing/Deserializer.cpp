#include "Libs/Serializing/Deserializer.h"

#include "Libs/Common/Exception.h"
#include "Libs/Common/StringUtils.h"
#include "Platform/Runtime/Runtime.h"

#include <cstring>
#include <iostream>

namespace Vostrel {

namespace {

std::uint32_t getLittleEndian(const char* from, int bytes)
{
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(from[i])) << (8 * i);
    return value;
}

// Far above any scene the show holds; a larger file is refused.
constexpr std::size_t maxFileBytes = std::size_t(1) << 28;

bool isSeparator(int c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

} // namespace

Deserializer::Deserializer(const std::string& fileName)
    : fileName(fileName), binary(false), fileSize(0)
{
    // Read whole: a failed read says why as a failed open does.
    std::vector<char> bytes;
    std::string reason;
    std::string header;
    if (Runtime::readDataFile(fileName, bytes, maxFileBytes, reason)) {
        fileSize = bytes.size();
        in.str(std::string(bytes.begin(), bytes.end()));
        while (header.size() < 16) {
            int c = in.get();
            if (c == std::char_traits<char>::eof() || c == '\n' || c == '\0')
                break;
            header += static_cast<char>(c);
        }
    }
    if (header == "VSEBINARY") {
        binary = true;
    } else if (header != "VSEASCII") {
        std::cout << StringUtils::printable(header) << std::endl;
        if (!reason.empty())
            reportFileFailure(fileName, reason);
        VOSTREL_THROW("The file " << fileName << " is not in the VSE serialization format.");
    }
}

Deserializer::~Deserializer() = default;

void Deserializer::readBytes(char* to, std::size_t size, const char* what)
{
    in.read(to, static_cast<std::streamsize>(size));
    if (static_cast<std::size_t>(in.gcount()) != size)
        VOSTREL_THROW("The file " << fileName << " ends in the middle of " << what << ".");
}

std::uint64_t Deserializer::bytesLeft()
{
    if (!in.good())
        return 0;
    std::streamoff at = in.tellg();
    if (at < 0 || static_cast<std::uint64_t>(at) > fileSize)
        return 0;
    return fileSize - static_cast<std::uint64_t>(at);
}

void Deserializer::checkCount(int count, int valuesPerElement, int bytesPerValue)
{
    if (count < 0)
        VOSTREL_THROW("The file " << fileName << " holds the negative count " << count << ".");
    // Every text value takes at least one character and a separator after
    // it, except the last one of the file.
    std::uint64_t values = static_cast<std::uint64_t>(count)
                           * static_cast<std::uint64_t>(valuesPerElement > 0 ? valuesPerElement : 0);
    std::uint64_t needed = binary ? values * static_cast<std::uint64_t>(bytesPerValue > 0 ? bytesPerValue : 0)
                                  : (values > 0 ? 2 * values - 1 : 0);
    if (needed > bytesLeft())
        VOSTREL_THROW("The file " << fileName << " holds the count " << count
                                  << ", more than the rest of the file can hold.");
}

void Deserializer::skipRestOfLine()
{
    int c;
    do
        c = in.get();
    while (c != std::char_traits<char>::eof() && c != '\n');
}

std::string Deserializer::readToken()
{
    typedef std::char_traits<char> traits;
    const int end = traits::eof();
    int c;
    for (;;) {
        c = in.get();
        if (c == end)
            return std::string();
        if (isSeparator(c))
            continue;
        if (c == '#') {
            skipRestOfLine();
            continue;
        }
        break;
    }
    std::string token;
    for (; c != end; c = in.get()) {
        if (isSeparator(c))
            break;
        if (c == '#') {
            skipRestOfLine();
            break;
        }
        if (c == '\\') {
            c = in.get();
            if (c == end)
                break;
        }
        token += static_cast<char>(c);
    }
    return token;
}

int Deserializer::readInt(int bytes)
{
    if (!binary)
        return StringUtils::parseInt(readToken());
    VOSTREL_ASSERT(bytes<=4);
    if (bytes <= 0)
        return 0;
    char encoded[4];
    readBytes(encoded, static_cast<std::size_t>(bytes), "an int");
    return static_cast<int>(getLittleEndian(encoded, bytes));
}

void Deserializer::readIntArray(int count, int* out, int bytesPerInt)
{
    if (count < 0)
        VOSTREL_THROW("Cannot read an int array of negative count " << count << " from the file "
                                                                    << fileName << ".");
    if (!binary) {
        for (int i = 0; i < count; ++i)
            out[i] = StringUtils::parseInt(readToken());
        return;
    }
    VOSTREL_ASSERT(bytesPerInt<=4);
    int width = bytesPerInt > 0 ? bytesPerInt : 0;
    if (width == 0) {
        for (int i = 0; i < count; ++i)
            out[i] = 0;
        return;
    }
    // Through a small buffer: a count from a damaged file must not decide
    // how much is allocated.
    char chunk[4096];
    const int perChunk = static_cast<int>(sizeof chunk) / width;
    for (int done = 0; done < count;) {
        int n = count - done < perChunk ? count - done : perChunk;
        readBytes(chunk, static_cast<std::size_t>(n) * width, "an int array");
        for (int i = 0; i < n; ++i)
            out[done + i] = static_cast<int>(getLittleEndian(chunk + i * width, width));
        done += n;
    }
}

float Deserializer::readFloat()
{
    if (!binary)
        return static_cast<float>(StringUtils::parseDouble(readToken()));
    char encoded[4];
    readBytes(encoded, 4, "a float");
    std::uint32_t bits = getLittleEndian(encoded, 4);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void Deserializer::readFloatArray(int count, float* out)
{
    if (count < 0)
        VOSTREL_THROW("Cannot read a float array of negative count " << count << " from the file "
                                                                     << fileName << ".");
    for (int i = 0; i < count; ++i)
        out[i] = readFloat();
}

std::string Deserializer::readString()
{
    if (!binary)
        return readToken();
    std::string text;
    std::getline(in, text, '\0');
    // getline stops at the end of the file as well; only a NUL ends a string.
    if (in.eof())
        VOSTREL_THROW("The file " << fileName << " ends in the middle of a string.");
    return text;
}

int Deserializer::readEnum(int count, const char* const* names)
{
    if (binary) {
        int index = readInt(4);
        // The caller indexes its tables with it.
        if (index < 0 || index >= count)
            VOSTREL_THROW("Unidentified enum " << index << ".");
        return index;
    }
    std::string token = readToken();
    for (int i = 0; i < count; ++i)
        if (token == names[i])
            return i;
    VOSTREL_THROW("Unidentified enum " << StringUtils::printable(token) << ".");
}

} // namespace Vostrel
