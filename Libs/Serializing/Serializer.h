#pragma once

#include <fstream>
#include <string>

namespace Vostrel {

// Writes a VSE file: the text variant ("VSEASCII") or the binary one
// ("VSEBINARY"). Objects write their fields in order; nothing names them.
class Serializer {
public:
    // A stream manipulator record: kind 0 a newline, kind 1 a comment.
    struct Manipulator {
        int kind;
        std::string text;
    };

    Serializer(const std::string& fileName, bool binary);

    bool isBinary() const { return binary; }
    // The underlying stream; in the text variant the separator step runs first.
    std::ostream& getStream();

    void indent(int delta);
    void writeInt(int value, int bytes);
    void writeIntArray(int count, const int* values, int bytesPerInt, int perLine);
    void writeFloat(float value);
    void writeFloatArray(int count, const float* values, int perLine);
    void writeString(const std::string& text);
    void writeEnum(int index, int count, const char* const* names);
    void newline();
    void comment(const std::string& text);
    // Flushes; throws when anything written so far failed to reach the file.
    void finish();

    Serializer& operator<<(const Manipulator& manipulator);

private:
    void separate();

    std::string fileName;
    bool binary;
    std::ofstream out;
    bool atLineStart;
    int indentLevel;
};

} // namespace Vostrel
