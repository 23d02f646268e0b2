#include "Libs/Serializing/Deserializer.h"
#include "Libs/Serializing/Serializer.h"

#include "Libs/Common/Exception.h"
#include "Tests/Support/TempDir.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <random>

using Vostrel::Deserializer;
using Vostrel::Serializer;
using VostrelTest::TempDir;

namespace {

const char* const curveNames[] = {"constant", "smooth step", "linear"};

// The record that data/make_golden.py spells out byte by byte.
void writeGoldenRecord(Serializer& s)
{
    s.writeInt(42, 4);
    s.writeInt(-7, 4);
    s.writeInt(300, 2);
    for (float f : {0.1f, 1.5f, 123456789.0f, -3.4028235e38f, 1e-45f})
        s.writeFloat(f);
    s.comment("scalars");
    s.indent(1);
    s.writeString("a b\\c");
    s.writeString("#tag");
    s.writeString("tab\tand\nline");
    s.writeEnum(2, 3, curveNames);
    s.writeEnum(1, 3, curveNames);
    s.newline();
    const int ints[] = {1, -2, 3, -4, 5};
    s.writeIntArray(5, ints, 4, 2);
    s.indent(1);
    s.newline();
    const float floats[] = {0.25f, -1e10f, 6.5f};
    s.writeFloatArray(3, floats, 0);
    s << Serializer::Manipulator{1, "end"};
    s.indent(-2);
    const int bytes[] = {255, 256, -1};
    s.writeIntArray(3, bytes, 1, 0);
    s.writeString(" lead");
    s << Serializer::Manipulator{0, ""};
    s << Serializer::Manipulator{7, "ignored"};
}

std::string golden(const std::string& name)
{
    return TempDir::read("data/" + name);
}

class GoldenFile : public ::testing::TestWithParam<bool> {};

TEST_P(GoldenFile, WritesTheHandWrittenBytes)
{
    const bool binary = GetParam();
    TempDir dir;
    std::string path = dir.file("record.vse");
    {
        Serializer s(path, binary);
        writeGoldenRecord(s);
    }
    std::string expected = golden(binary ? "golden-binary.vse" : "golden-text.vse");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(TempDir::read(path), expected);
}

TEST_P(GoldenFile, ReadsBackEveryValue)
{
    const bool binary = GetParam();
    Deserializer d(std::string("data/") + (binary ? "golden-binary.vse" : "golden-text.vse"));
    EXPECT_EQ(d.isBinary(), binary);
    EXPECT_EQ(d.readInt(4), 42);
    EXPECT_EQ(d.readInt(4), -7);
    EXPECT_EQ(d.readInt(2), 300);
    for (float f : {0.1f, 1.5f, 123456789.0f, -3.4028235e38f, 1e-45f})
        EXPECT_EQ(d.readFloat(), f);
    EXPECT_EQ(d.readString(), "a b\\c");
    EXPECT_EQ(d.readString(), "#tag");
    EXPECT_EQ(d.readString(), "tab\tand\nline");
    EXPECT_EQ(d.readEnum(3, curveNames), 2);
    EXPECT_EQ(d.readEnum(3, curveNames), 1);
    int ints[5];
    d.readIntArray(5, ints, 4);
    EXPECT_EQ(std::vector<int>(ints, ints + 5), (std::vector<int>{1, -2, 3, -4, 5}));
    float floats[3];
    d.readFloatArray(3, floats);
    EXPECT_EQ(std::vector<float>(floats, floats + 3), (std::vector<float>{0.25f, -1e10f, 6.5f}));
    int bytes[3];
    d.readIntArray(3, bytes, 1);
    // One-byte values come back as their unsigned low byte in the binary variant.
    std::vector<int> expectedBytes = binary ? std::vector<int>{255, 0, 255} : std::vector<int>{255, 256, -1};
    EXPECT_EQ(std::vector<int>(bytes, bytes + 3), expectedBytes);
    EXPECT_EQ(d.readString(), " lead");
}

INSTANTIATE_TEST_SUITE_P(BothVariants, GoldenFile, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Binary" : "Text";
                         });

// One value of a random record, kept to compare after reading back.
struct Value {
    enum Kind { Int, Float, String, Enum, IntArray, FloatArray } kind;
    int width;
    int i;
    float f;
    std::string s;
    std::vector<int> ints;
    std::vector<float> floats;
};

float randomFloat(std::mt19937& rng)
{
    switch (rng() % 5) {
    case 0: {
        std::uint32_t bits = rng();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return std::isnan(f) ? 0.5f : f;
    }
    case 1:
        return std::uniform_real_distribution<float>(-1, 1)(rng);
    case 2:
        return static_cast<float>(static_cast<int>(rng()));
    case 3:
        return (rng() & 1) ? INFINITY : -INFINITY;
    default:
        return (rng() & 1) ? FLT_MIN / 4 : -0.0f;
    }
}

std::string randomString(std::mt19937& rng)
{
    static const char alphabet[] = " \t\n\\#\"\r az09-.,";
    std::string s;
    std::size_t length = 1 + rng() % 12;
    while (s.size() < length) {
        char c = (rng() % 3 == 0) ? static_cast<char>(1 + rng() % 255) : alphabet[rng() % (sizeof alphabet - 1)];
        s += c;
    }
    return s;
}

std::vector<Value> randomRecord(std::mt19937& rng)
{
    std::vector<Value> record;
    int count = 1 + static_cast<int>(rng() % 40);
    for (int n = 0; n < count; ++n) {
        Value v{};
        v.kind = static_cast<Value::Kind>(rng() % 6);
        v.width = 4;
        switch (v.kind) {
        case Value::Int:
            v.i = static_cast<int>(rng());
            break;
        case Value::Float:
            v.f = randomFloat(rng);
            break;
        case Value::String:
            v.s = randomString(rng);
            break;
        case Value::Enum:
            v.i = static_cast<int>(rng() % 3);
            break;
        case Value::IntArray:
            v.ints.resize(rng() % 9);
            for (int& x : v.ints)
                x = static_cast<int>(rng());
            break;
        case Value::FloatArray:
            v.floats.resize(rng() % 9);
            for (float& x : v.floats)
                x = randomFloat(rng);
            break;
        }
        record.push_back(v);
    }
    return record;
}

void writeRecord(Serializer& s, const std::vector<Value>& record, std::mt19937& rng)
{
    for (const Value& v : record) {
        // Layout requests change nothing that is read back.
        switch (rng() % 6) {
        case 0:
            s.newline();
            break;
        case 1:
            s.comment("c # \\ x");
            break;
        case 2:
            s.indent(static_cast<int>(rng() % 3) - 1);
            break;
        }
        int perLine = static_cast<int>(rng() % 4) - 1;
        switch (v.kind) {
        case Value::Int:
            s.writeInt(v.i, 4);
            break;
        case Value::Float:
            s.writeFloat(v.f);
            break;
        case Value::String:
            s.writeString(v.s);
            break;
        case Value::Enum:
            s.writeEnum(v.i, 3, curveNames);
            break;
        case Value::IntArray:
            s.writeIntArray(static_cast<int>(v.ints.size()), v.ints.data(), 4, perLine);
            break;
        case Value::FloatArray:
            s.writeFloatArray(static_cast<int>(v.floats.size()), v.floats.data(), perLine);
            break;
        }
    }
}

void expectSameFloat(float expected, float actual)
{
    std::uint32_t a, b;
    std::memcpy(&a, &expected, 4);
    std::memcpy(&b, &actual, 4);
    EXPECT_EQ(a, b) << expected << " read back as " << actual;
}

TEST_P(GoldenFile, RandomRecordsSurviveTheRoundTrip)
{
    const bool binary = GetParam();
    TempDir dir;
    std::mt19937 rng(binary ? 77 : 78);
    for (int round = 0; round < 200; ++round) {
        std::vector<Value> record = randomRecord(rng);
        std::string path = dir.file("random.vse");
        {
            Serializer s(path, binary);
            writeRecord(s, record, rng);
        }
        Deserializer d(path);
        for (const Value& v : record) {
            switch (v.kind) {
            case Value::Int:
                EXPECT_EQ(d.readInt(4), v.i);
                break;
            case Value::Float:
                expectSameFloat(v.f, d.readFloat());
                break;
            case Value::String:
                EXPECT_EQ(d.readString(), v.s);
                break;
            case Value::Enum:
                EXPECT_EQ(d.readEnum(3, curveNames), v.i);
                break;
            case Value::IntArray: {
                std::vector<int> ints(v.ints.size());
                d.readIntArray(static_cast<int>(ints.size()), ints.data(), 4);
                EXPECT_EQ(ints, v.ints);
                break;
            }
            case Value::FloatArray: {
                std::vector<float> floats(v.floats.size());
                d.readFloatArray(static_cast<int>(floats.size()), floats.data());
                for (std::size_t k = 0; k < floats.size(); ++k)
                    expectSameFloat(v.floats[k], floats[k]);
                break;
            }
            }
        }
        if (::testing::Test::HasFailure())
            FAIL() << "round " << round << ":\n" << TempDir::read(path);
    }
}

TEST(Serializer, FloatsUseNineSignificantDigits)
{
    TempDir dir;
    std::string path = dir.file("f.vse");
    {
        Serializer s(path, false);
        s.writeFloat(0.1f);
    }
    EXPECT_EQ(TempDir::read(path), "VSEASCII\n0.100000001");
    Deserializer d(path);
    EXPECT_EQ(d.readFloat(), 0.1f);
}

TEST(Serializer, CommentInTheMiddleOfALineAndIndentAfterIt)
{
    TempDir dir;
    std::string path = dir.file("c.vse");
    {
        Serializer s(path, false);
        s.indent(2);
        s.writeInt(1, 4);
        s.comment("why");
        s.writeInt(2, 4);
        s.indent(-5);
        s.newline();
        s.writeInt(3, 4);
        s.getStream() << "raw";
    }
    EXPECT_EQ(TempDir::read(path), "VSEASCII\n        1 # why\n        2\n3 raw");
}

TEST(Serializer, CommentTextWithNewlinesStaysComment)
{
    TempDir dir;
    std::string path = dir.file("c.vse");
    {
        Serializer s(path, false);
        s.comment("one\n7");
        s.writeInt(5, 4);
    }
    EXPECT_EQ(TempDir::read(path), "VSEASCII\n# one\n# 7\n5");
    Deserializer d(path);
    EXPECT_EQ(d.readInt(4), 5);
}

TEST(Serializer, IntArrayPerLineBreaksAfterEveryPerLineValues)
{
    TempDir dir;
    std::string path = dir.file("a.vse");
    const int values[] = {1, 2, 3, 4, 5};
    {
        Serializer s(path, false);
        s.writeIntArray(5, values, 4, 2);
    }
    EXPECT_EQ(TempDir::read(path), "VSEASCII\n1 2\n3 4\n5");
}

TEST(Serializer, BinaryWritesLowBytesOfNarrowIntsAndNothingForNewlines)
{
    TempDir dir;
    std::string path = dir.file("b.vse");
    {
        Serializer s(path, true);
        s.writeInt(-1, 2);
        s.newline();
        s.comment("x");
        s.writeInt(0x12345678, 3);
        s.writeInt(0x7f, 1);
    }
    EXPECT_EQ(TempDir::read(path), std::string("VSEBINARY\0\xff\xff\x78\x56\x34\x7f", 16));
    Deserializer d(path);
    EXPECT_EQ(d.readInt(2), 65535);
    EXPECT_EQ(d.readInt(3), 0x345678);
    EXPECT_EQ(d.readInt(1), 0x7f);
}

TEST(Serializer, StringsThatWouldNotSurviveAreRefused)
{
    TempDir dir;
    struct Case {
        bool binary;
        std::string text;
        std::string message;
    };
    std::string text = dir.file("t.vse");
    std::string binary = dir.file("b.vse");
    const Case cases[] = {
        {false, "", "Cannot write an empty string to the text file " + text + "."},
        {true, std::string("a\0b", 3),
         "Cannot write a string holding a NUL character to the binary file " + binary + "."},
    };
    for (const Case& c : cases) {
        Serializer s(c.binary ? binary : text, c.binary);
        try {
            s.writeString(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const Vostrel::Exception& e) {
            EXPECT_EQ(e.message, c.message);
            EXPECT_STREQ(e.file, "Libs\\Serializing\\Serializer");
        }
    }
    // The empty string is fine in the binary variant, and a NUL in the text one.
    {
        Serializer s(binary, true);
        s.writeString("");
        s.writeInt(9, 4);
    }
    {
        Serializer s(text, false);
        s.writeString(std::string("a\0b", 3));
    }
    Deserializer b(binary);
    EXPECT_EQ(b.readString(), "");
    EXPECT_EQ(b.readInt(4), 9);
    Deserializer t(text);
    EXPECT_EQ(t.readString(), std::string("a\0b", 3));
}

TEST(Serializer, WidthAndIndexChecks)
{
    TempDir dir;
    Serializer b(dir.file("b.vse"), true);
    Serializer t(dir.file("t.vse"), false);
    const int values[] = {1};
    struct Case {
        std::function<void()> call;
        const char* message;
    };
    const Case cases[] = {
        {[&] { b.writeInt(1, 5); }, "bytes<=4 does not hold."},
        {[&] { b.writeIntArray(1, values, 5, 0); }, "bytesPerInt<=4 does not hold."},
        {[&] { t.writeEnum(3, 3, curveNames); }, "index >= 0 && index < count does not hold."},
        {[&] { t.writeEnum(-1, 3, curveNames); }, "index >= 0 && index < count does not hold."},
        {[&] { b.writeEnum(3, 3, curveNames); }, "index >= 0 && index < count does not hold."},
    };
    for (const Case& c : cases) {
        try {
            c.call();
            ADD_FAILURE() << "no failure for " << c.message;
        } catch (const Vostrel::Exception& e) {
            EXPECT_EQ(e.message, c.message);
            EXPECT_STREQ(e.file, "Libs\\Serializing\\Serializer");
        }
    }
    // The text variant does not care about widths.
    t.writeInt(1, 5);
    t.writeIntArray(1, values, 9, 0);
}

TEST(Serializer, AFileThatCannotBeCreatedFailsLoudly)
{
    TempDir dir;
    std::string path = dir.file("missing/x.vse");
    try {
        Serializer s(path, false);
        FAIL() << "created " << path;
    } catch (const Vostrel::Exception& e) {
        EXPECT_EQ(e.message, "Cannot create the file " + path + ".");
    }
}

} // namespace
