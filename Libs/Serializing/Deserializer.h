#pragma once

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

namespace Vostrel {

// Reads a VSE file written by Serializer; the header selects the variant.
// Binary reads that run out of file throw instead of returning partial values.
class Deserializer {
public:
    explicit Deserializer(const std::string& fileName);
    ~Deserializer();

    bool isBinary() const { return binary; }
    std::istream& getStream() { return in; }
    const std::string& getFileName() const { return fileName; }

    int readInt(int bytes);
    void readIntArray(int count, int* out, int bytesPerInt);
    float readFloat();
    void readFloatArray(int count, float* out);
    std::string readString();
    int readEnum(int count, const char* const* names);

    // For callers that size storage from a count read from the file: throws
    // unless 0 <= count and count elements of valuesPerElement values each
    // (bytesPerValue each in the binary variant) can still be in the file.
    void checkCount(int count, int valuesPerElement, int bytesPerValue = 4);

private:
    std::string readToken();
    void skipRestOfLine();
    void readBytes(char* to, std::size_t size, const char* what);
    std::uint64_t bytesLeft();

    std::string fileName;
    bool binary;
    std::istringstream in;
    std::uint64_t fileSize;
};

} // namespace Vostrel
