// Feeds bytes as a VSE file to the reader and reads a mixed sequence of
// values chosen by the first byte. Whatever was read must survive being
// written and read again in both variants; bad input may only throw
// Vostrel::Exception.
#include "Libs/Common/Exception.h"
#include "Libs/Serializing/Deserializer.h"
#include "Libs/Serializing/Serializer.h"
#include "Tests/Fuzz/InputFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const names[] = {"reset", "constant", "linear", "re peat", "#off"};
const int nameCount = 5;

struct Value {
    int kind; // 0 int, 1 float, 2 string, 3 enum
    int i;
    float f;
    std::string s;
};

bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void readMixed(const std::string& path, unsigned program, std::vector<Value>& record)
{
    Vostrel::Deserializer d(path);
    int ints[8];
    float floats[8];
    for (int step = 0; step < 48; ++step) {
        program = program * 1103515245u + 12345u;
        unsigned op = (program >> 16) % 9;
        Value v{};
        switch (op) {
        case 0:
        case 1:
            v.kind = 0;
            v.i = d.readInt(op == 0 ? 4 : 1 + static_cast<int>((program >> 8) % 4));
            break;
        case 2:
            v.kind = 1;
            v.f = d.readFloat();
            break;
        case 3:
        case 4:
            v.kind = 2;
            v.s = d.readString();
            break;
        case 5:
            v.kind = 3;
            v.i = d.readEnum(nameCount, names);
            break;
        case 6: {
            int count = static_cast<int>((program >> 4) % 9);
            d.readIntArray(count, ints, 1 + static_cast<int>((program >> 8) % 4));
            continue;
        }
        case 7: {
            int count = static_cast<int>((program >> 4) % 9);
            d.readFloatArray(count, floats);
            continue;
        }
        default:
            d.checkCount(static_cast<int>(program), 1 + static_cast<int>((program >> 3) % 5));
            continue;
        }
        record.push_back(v);
    }
}

void checkRoundTrip(const std::vector<Value>& record, bool binary)
{
    std::string path = VostrelFuzz::tempPath(binary ? "vse-binary" : "vse-text");
    {
        Vostrel::Serializer s(path, binary);
        for (const Value& v : record) {
            switch (v.kind) {
            case 0:
                s.writeInt(v.i, 4);
                break;
            case 1:
                s.writeFloat(v.f);
                break;
            case 2:
                // Values each variant refuses to write are not part of the check.
                if ((binary && v.s.find('\0') != std::string::npos) || (!binary && v.s.empty()))
                    continue;
                s.writeString(v.s);
                break;
            default:
                s.writeEnum(v.i, nameCount, names);
                break;
            }
        }
    }
    Vostrel::Deserializer d(path);
    for (const Value& v : record) {
        bool same = true;
        switch (v.kind) {
        case 0:
            same = d.readInt(4) == v.i;
            break;
        case 1: {
            float f = d.readFloat();
            same = sameBits(f, v.f) || (f != f && v.f != v.f);
            break;
        }
        case 2:
            if ((binary && v.s.find('\0') != std::string::npos) || (!binary && v.s.empty()))
                continue;
            same = d.readString() == v.s;
            break;
        default:
            same = d.readEnum(nameCount, names) == v.i;
            break;
        }
        if (!same) {
            std::fprintf(stderr, "round trip changed a value of kind %d\n", v.kind);
            std::abort();
        }
    }
    std::remove(path.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    std::string path = VostrelFuzz::writeInputFile("vse-input", data + 1, size - 1);
    std::vector<Value> record;
    try {
        readMixed(path, data[0], record);
    } catch (const Vostrel::Exception&) {
        // Bad input ends reading with a clear message; what was read stays valid.
    }
    std::remove(path.c_str());
    checkRoundTrip(record, false);
    checkRoundTrip(record, true);
    return 0;
}
