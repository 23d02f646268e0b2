#pragma once

#include <fstream>
#include <string>

namespace Vostrel {

// Reads a VSE file written by Serializer; the header selects the variant.
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

private:
    std::string readToken();

    std::string fileName;
    bool binary;
    std::ifstream in;
};

} // namespace Vostrel
