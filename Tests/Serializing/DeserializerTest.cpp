#include "Libs/Serializing/Deserializer.h"
#include "Libs/Serializing/Serializer.h"

#include "Libs/Common/Exception.h"
#include "Tests/Support/TempDir.h"

#include <climits>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

using Vostrel::Deserializer;
using VostrelTest::TempDir;

namespace {

const char* const modeNames[] = {"reset", "constant", "lin ear"};

std::string failureOf(const std::function<void()>& call, const char* expectedFile)
{
    try {
        call();
    } catch (const Vostrel::Exception& e) {
        EXPECT_STREQ(e.file, expectedFile) << e.message;
        return e.message;
    }
    return "(no failure)";
}

TEST(DeserializerHeader, AcceptsExactlyTheTwoHeaders)
{
    TempDir dir;
    {
        // The end of the file ends the header as well.
        Deserializer d(dir.write("h.vse", "VSEASCII"));
        EXPECT_FALSE(d.isBinary());
    }
    struct Case {
        std::string bytes;
        bool binary;
    };
    const Case cases[] = {
        {"VSEASCII\n1", false},
        {std::string("VSEASCII\0" "1", 10), false},
        {std::string("VSEBINARY\0\1\0\0\0", 14), true},
        {std::string("VSEBINARY\n\1\0\0\0", 14), true},
    };
    for (const Case& c : cases) {
        Deserializer d(dir.write("h.vse", c.bytes));
        EXPECT_EQ(d.isBinary(), c.binary);
        EXPECT_EQ(d.readInt(4), 1);
    }
}

TEST(DeserializerHeader, RefusesEverythingElseAndPrintsWhatItRead)
{
    TempDir dir;
    struct Case {
        std::string bytes;
        std::string printed;
    };
    const Case cases[] = {
        {"VSEASCII\r\n1", "VSEASCII\\x0d"},
        // Bytes a terminal would act on are printed escaped.
        {"\x1b]0;title\a\xff\x7f\n", "\\x1b]0;title\\x07\\xff\\x7f"},
        {"VSEASCIIVSEASCIIVSEASCII\n", "VSEASCIIVSEASCII"},
        {"vseascii\n", "vseascii"},
        {"", ""},
        {"VSEBIN", "VSEBIN"},
    };
    for (const Case& c : cases) {
        std::string path = dir.write("h.vse", c.bytes);
        ::testing::internal::CaptureStdout();
        std::string message = failureOf([&] { Deserializer d(path); }, "Libs\\Serializing\\Deserializer");
        std::string printed = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(message, "The file " + path + " is not in the VSE serialization format.");
        EXPECT_EQ(printed, c.printed + "\n");
    }
    std::string missing = dir.file("absent.vse");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(failureOf([&] { Deserializer d(missing); }, "Libs\\Serializing\\Deserializer"),
              "The file " + missing + " is not in the VSE serialization format.");
    ::testing::internal::GetCapturedStdout();
}

TEST(DeserializerHeader, ReadsTheFileItsNameResolvesToAndSaysWhyOneCannotBeRead)
{
    TempDir dir;
    dir.write("Scene.SCE", "VSEASCII\n7");
    const std::string asked = dir.file("scene.sce");
    Deserializer resolved(asked);
    EXPECT_EQ(resolved.readInt(4), 7);

    const std::string memory = dir.file("memory.sce");
    ASSERT_TRUE(TempDir::makeUnreadable(memory));
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(failureOf([&] { Deserializer d(memory); }, "Libs\\Serializing\\Deserializer"),
              "The file " + memory + " is not in the VSE serialization format.");
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), memory + ": Input/output error\n");
}

TEST(DeserializerText, TokenGrammar)
{
    TempDir dir;
    struct Case {
        std::string body;
        std::vector<std::string> tokens;
    };
    const Case cases[] = {
        {"  a\t\tb\n\nc", {"a", "b", "c", ""}},
        {"# only a comment\n  x # trailing\ny", {"x", "y", ""}},
        {"ab#cd ef\ngh", {"ab", "gh"}},
        {"\\ lead \\#x a\\\\b", {" lead", "#x", "a\\b"}},
        {"\\", {"", ""}},
        {"end\\", {"end", ""}},
        {"a\\\nb", {"a\nb"}},
        {"a\rb\r\n", {"a\rb\r", ""}},
        {"# no newline at all", {""}},
    };
    for (const Case& c : cases) {
        Deserializer d(dir.write("t.vse", "VSEASCII\n" + c.body));
        for (const std::string& token : c.tokens)
            EXPECT_EQ(d.readString(), token) << "in " << c.body;
    }
}

TEST(DeserializerText, ValuesAfterTheLastOne)
{
    TempDir dir;
    std::string path = dir.write("t.vse", "VSEASCII\nlast");
    Deserializer d(path);
    EXPECT_EQ(d.readString(), "last");
    EXPECT_EQ(d.readString(), "");
    EXPECT_EQ(d.readFloat(), 0.0f);
    EXPECT_EQ(failureOf([&] { d.readInt(4); }, "Libs\\Common\\StringUtils"), "Integer parsing failed. ()");
    EXPECT_EQ(failureOf([&] { d.readEnum(3, modeNames); }, "Libs\\Serializing\\Deserializer"),
              "Unidentified enum .");
}

TEST(DeserializerText, NumbersAndEnums)
{
    TempDir dir;
    Deserializer d(dir.write("t.vse", "VSEASCII\n12abc -0 99999999999 1e40 .5 x lin\\ ear reset linear +3"));
    EXPECT_EQ(d.readInt(4), 12);
    EXPECT_EQ(d.readInt(4), 0);
    EXPECT_EQ(d.readInt(4), INT_MAX);
    EXPECT_EQ(d.readFloat(), INFINITY);
    EXPECT_EQ(d.readFloat(), 0.5f);
    EXPECT_EQ(d.readFloat(), 0.0f);
    EXPECT_EQ(d.readEnum(3, modeNames), 2);
    EXPECT_EQ(d.readEnum(3, modeNames), 0);
    EXPECT_EQ(failureOf([&] { d.readEnum(3, modeNames); }, "Libs\\Serializing\\Deserializer"),
              "Unidentified enum linear.");
    EXPECT_EQ(failureOf([&] { d.readInt(4); }, "Libs\\Common\\StringUtils"), "Integer parsing failed. (+3)");
}

TEST(DeserializerText, TokensQuotedInFailuresAreEscaped)
{
    TempDir dir;
    Deserializer d(dir.write("t.vse", "VSEASCII\n\x1b[2Jlinear \x9b""1m"));
    EXPECT_EQ(failureOf([&] { d.readEnum(3, modeNames); }, "Libs\\Serializing\\Deserializer"),
              "Unidentified enum \\x1b[2Jlinear.");
    EXPECT_EQ(failureOf([&] { d.readInt(4); }, "Libs\\Common\\StringUtils"), "Integer parsing failed. (\\x9b1m)");
}

TEST(DeserializerBinary, TruncatedValuesNameTheFile)
{
    TempDir dir;
    const std::string header("VSEBINARY\0", 10);
    int buffer[4];
    float floats[4];
    struct Case {
        std::string body;
        std::function<void(Deserializer&)> read;
        std::string what;
    };
    const Case cases[] = {
        {"\1\2\3", [](Deserializer& d) { d.readInt(4); }, "an int"},
        {"", [](Deserializer& d) { d.readInt(1); }, "an int"},
        {"\1\2\3", [](Deserializer& d) { d.readFloat(); }, "a float"},
        {"abc", [](Deserializer& d) { d.readString(); }, "a string"},
        {"", [](Deserializer& d) { d.readString(); }, "a string"},
        {std::string(15, 'x'), [&](Deserializer& d) { d.readIntArray(4, buffer, 4); }, "an int array"},
        {std::string(7, 'x'), [&](Deserializer& d) { d.readIntArray(4, buffer, 2); }, "an int array"},
        {std::string(15, 'x'), [&](Deserializer& d) { d.readFloatArray(4, floats); }, "a float"},
        {"\1\0", [](Deserializer& d) { d.readEnum(3, modeNames); }, "an int"},
    };
    for (const Case& c : cases) {
        std::string path = dir.write("b.vse", header + c.body);
        Deserializer d(path);
        EXPECT_EQ(failureOf([&] { c.read(d); }, "Libs\\Serializing\\Deserializer"),
                  "The file " + path + " ends in the middle of " + c.what + ".");
    }
}

TEST(DeserializerBinary, NarrowIntsReadAsTheirUnsignedLowPart)
{
    TempDir dir;
    Deserializer d(dir.write("b.vse", std::string("VSEBINARY\0\xff\xff\x80\xfe\xff\xff\xff", 17)));
    EXPECT_EQ(d.readInt(2), 65535);
    EXPECT_EQ(d.readInt(1), 128);
    EXPECT_EQ(d.readInt(4), -2);
    EXPECT_EQ(failureOf([&] { d.readInt(5); }, "Libs\\Serializing\\Deserializer"), "bytes<=4 does not hold.");
}

TEST(DeserializerBinary, EnumIndexMustBeInTheTable)
{
    TempDir dir;
    Deserializer d(dir.write("b.vse", std::string("VSEBINARY\0\2\0\0\0\3\0\0\0\xff\xff\xff\xff", 22)));
    EXPECT_EQ(d.readEnum(3, modeNames), 2);
    EXPECT_EQ(failureOf([&] { d.readEnum(3, modeNames); }, "Libs\\Serializing\\Deserializer"),
              "Unidentified enum 3.");
    EXPECT_EQ(failureOf([&] { d.readEnum(3, modeNames); }, "Libs\\Serializing\\Deserializer"),
              "Unidentified enum -1.");
}

TEST(Deserializer, CountsFromTheFileAreChecked)
{
    TempDir dir;
    // 24 bytes after the header: room for six 4-byte values.
    std::string binaryPath = dir.write("b.vse", std::string("VSEBINARY\0", 10) + std::string(24, '\0'));
    std::string textPath = dir.write("t.vse", "VSEASCII\n1 2 3");
    int out[1];
    for (const std::string& path : {binaryPath, textPath}) {
        Deserializer d(path);
        EXPECT_EQ(failureOf([&] { d.readIntArray(-5, out, 4); }, "Libs\\Serializing\\Deserializer"),
                  "Cannot read an int array of negative count -5 from the file " + path + ".");
        EXPECT_EQ(failureOf([&] { d.readFloatArray(INT_MIN, nullptr); }, "Libs\\Serializing\\Deserializer"),
                  "Cannot read a float array of negative count -2147483648 from the file " + path + ".");
        EXPECT_EQ(failureOf([&] { d.checkCount(-5, 5); }, "Libs\\Serializing\\Deserializer"),
                  "The file " + path + " holds the negative count -5.");
        EXPECT_EQ(failureOf([&] { d.checkCount(INT_MAX, 5); }, "Libs\\Serializing\\Deserializer"),
                  "The file " + path + " holds the count 2147483647, more than the rest of the file can hold.");
        d.checkCount(0, 5);
    }
    Deserializer b(binaryPath);
    b.checkCount(6, 1);
    b.checkCount(1, 5, 4);
    EXPECT_NE(failureOf([&] { b.checkCount(7, 1); }, "Libs\\Serializing\\Deserializer"), "(no failure)");
    b.readInt(4);
    EXPECT_NE(failureOf([&] { b.checkCount(6, 1); }, "Libs\\Serializing\\Deserializer"), "(no failure)");
    Deserializer t(textPath);
    t.checkCount(3, 1); // "1 2 3": three values in five characters
    EXPECT_NE(failureOf([&] { t.checkCount(4, 1); }, "Libs\\Serializing\\Deserializer"), "(no failure)");
}

} // namespace
