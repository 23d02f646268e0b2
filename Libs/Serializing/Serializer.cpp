#include "Libs/Serializing/Serializer.h"

#include "Libs/Common/Exception.h"
#include "Libs/Common/StringUtils.h"

#include <cstdint>
#include <cstring>
#include <locale>

namespace Vostrel {

namespace {

const char binaryHeader[10] = {'V', 'S', 'E', 'B', 'I', 'N', 'A', 'R', 'Y', '\0'};

// Little-endian whatever the host, so files move between machines.
void putLittleEndian(char* to, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        to[i] = static_cast<char>((value >> (8 * i)) & 0xFFu);
}

// The reader takes a '#' as the start of a comment, so it needs the same
// backslash as blanks and newlines or the rest of the line is lost.
std::string escapeToken(const std::string& text)
{
    std::string escaped = StringUtils::escape(text);
    std::string out;
    out.reserve(escaped.size());
    for (char c : escaped) {
        if (c == '#')
            out += '\\';
        out += c;
    }
    return out;
}

} // namespace

Serializer::Serializer(const std::string& fileName, bool binary)
    : fileName(fileName), binary(binary), atLineStart(true), indentLevel(0)
{
    out.open(fileName, std::ios::out | std::ios::binary | std::ios::trunc);
    if (!out.is_open())
        VOSTREL_THROW("Cannot create the file " << fileName << ".");
    out.imbue(std::locale::classic());
    if (binary) {
        out.write(binaryHeader, sizeof binaryHeader);
    } else {
        out << "VSEASCII\n";
        out.flush();
        out.precision(9);
    }
}

std::ostream& Serializer::getStream()
{
    if (!binary)
        separate();
    return out;
}

void Serializer::separate()
{
    if (atLineStart) {
        for (int i = 0; i < indentLevel; ++i)
            out << "    ";
        atLineStart = false;
    } else {
        out << ' ';
    }
}

void Serializer::indent(int delta)
{
    indentLevel += delta;
}

void Serializer::writeInt(int value, int bytes)
{
    if (binary) {
        VOSTREL_ASSERT(bytes<=4);
        char encoded[4];
        int width = bytes > 0 ? bytes : 0;
        putLittleEndian(encoded, static_cast<std::uint32_t>(value), width);
        out.write(encoded, width);
    } else {
        separate();
        out << value;
    }
}

void Serializer::writeIntArray(int count, const int* values, int bytesPerInt, int perLine)
{
    if (binary) {
        VOSTREL_ASSERT(bytesPerInt<=4);
        int width = bytesPerInt > 0 ? bytesPerInt : 0;
        char chunk[4096];
        int used = 0;
        for (int i = 0; i < count; ++i) {
            if (used + width > static_cast<int>(sizeof chunk)) {
                out.write(chunk, used);
                used = 0;
            }
            putLittleEndian(chunk + used, static_cast<std::uint32_t>(values[i]), width);
            used += width;
        }
        out.write(chunk, used);
        return;
    }
    for (int i = 0; i < count; ++i) {
        separate();
        out << values[i];
        if (perLine >= 1 && i % perLine == perLine - 1)
            newline();
    }
}

void Serializer::writeFloat(float value)
{
    if (binary) {
        std::uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        char encoded[4];
        putLittleEndian(encoded, bits, 4);
        out.write(encoded, 4);
    } else {
        separate();
        out << value;
    }
}

void Serializer::writeFloatArray(int count, const float* values, int perLine)
{
    if (binary) {
        for (int i = 0; i < count; ++i)
            writeFloat(values[i]);
        return;
    }
    for (int i = 0; i < count; ++i) {
        writeFloat(values[i]);
        if (perLine >= 1 && i % perLine == perLine - 1)
            newline();
    }
}

void Serializer::writeString(const std::string& text)
{
    if (binary) {
        // The reader stops at the first NUL; the values behind it would shift.
        if (text.find('\0') != std::string::npos)
            VOSTREL_THROW("Cannot write a string holding a NUL character to the binary file "
                          << fileName << ".");
        out.write(text.c_str(), static_cast<std::streamsize>(text.size() + 1));
    } else {
        // An empty token is invisible to the reader, which would then take the
        // next value in its place.
        if (text.empty())
            VOSTREL_THROW("Cannot write an empty string to the text file " << fileName << ".");
        separate();
        out << escapeToken(text);
    }
}

void Serializer::writeEnum(int index, int count, const char* const* names)
{
    // Checked in both variants: the reader refuses an index outside the table.
    VOSTREL_ASSERT(index >= 0 && index < count);
    if (binary) {
        writeInt(index, 4);
        return;
    }
    separate();
    out << escapeToken(names[index]);
}

void Serializer::newline()
{
    if (binary)
        return;
    out << '\n';
    out.flush();
    atLineStart = true;
}

void Serializer::comment(const std::string& text)
{
    if (binary)
        return;
    separate();
    // Every line of a comment needs its own "# ", or the reader would take
    // the text after an embedded newline as values.
    out << "# ";
    for (char c : text) {
        out << c;
        if (c == '\n')
            out << "# ";
    }
    out << '\n';
    out.flush();
    atLineStart = true;
}

void Serializer::finish()
{
    out.flush();
    if (!out)
        VOSTREL_THROW("Cannot write the file " << fileName << ".");
}

Serializer& Serializer::operator<<(const Manipulator& manipulator)
{
    if (manipulator.kind == 0)
        newline();
    else if (manipulator.kind == 1)
        comment(manipulator.text);
    return *this;
}

} // namespace Vostrel
