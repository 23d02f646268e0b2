#include "Libs/Common/Exception.h"
#include "Libs/Math/Envelope.h"
#include "Libs/Testing/Utils/Utils.h"
#include "Tests/Support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace Vostrel {
namespace {

// "file(line): message" of what an action throws, without the line.
std::string failureOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Exception& e) {
        return std::string(e.file) + ": " + e.message;
    }
    return "";
}

TEST(ParseHtmlColor, ReadsHexPairsAndRefusesOtherCodes)
{
    Vec4 colour;
    for (const char* code : {"#ff8000", "#FF8000", "#fF8000"}) {
        parseHtmlColor(colour, code, 1.0f);
        EXPECT_EQ(colour, Vec4(1.0f, 128.0f / 255.0f, 0.0f, 1.0f)) << code;
    }
    parseHtmlColor(colour, "#BAB88D", 0.5f);
    EXPECT_EQ(colour, Vec4(0xBA / 255.0f, 0xB8 / 255.0f, 0x8D / 255.0f, 0.5f));

    const std::string shape =
        "Libs\\Testing\\Utils: htmlColorCode.size() == 7 && htmlColorCode[0] == '#' does not hold.";
    struct Case {
        const char* code;
        std::string failure;
    } cases[] = {
        {"ff8000", shape},
        {"ff80001", shape},
        {"#ff80000", shape},
        {"#gg0000", "Libs\\Testing\\Utils: Invalid hex digit: G"},
        {"#00 000", "Libs\\Testing\\Utils: Invalid hex digit:  "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(failureOf([&] { parseHtmlColor(colour, c.code, 1.0f); }), c.failure) << c.code;
}

// The largest words would round up to 1.0f, and a particle would pick frame
// 64 of an 8 x 8 atlas.
TEST(UnitRandom, StaysBelowOneForTheLargestWords)
{
    const float belowOne = std::nextafter(1.0f, 0.0f);
    const struct {
        uint32_t word;
        float value;
    } cases[] = {{0u, 0.0f}, {1u, 0x1p-32f}, {0x80000000u, 0.5f}, {0xFFFFFF7Fu, belowOne},
                 {0xFFFFFF80u, belowOne}, {0xFFFFFFFEu, belowOne}, {0xFFFFFFFFu, belowOne}};
    for (const auto& c : cases)
        EXPECT_EQ(unitRandom(c.word), c.value) << std::hex << c.word;
    for (uint32_t word = 0xFFFFFF00u; word != 0; ++word)
        ASSERT_EQ(std::trunc(64.0f * unitRandom(word)), 63.0f) << std::hex << word;
}

TEST(EnvelopeFromDigits, PulsesRepeatOneStepPerDigit)
{
    std::unique_ptr<Envelope> pulses = envelopeFromDigits("10", 1.0f, 0.0f);
    const std::vector<EnvelopeKey>& keys = pulses->getKeys();
    ASSERT_EQ(keys.size(), 4u);
    const float expected[4][2] = {{0.0f, 1.0f}, {0.9999f, 0.0f}, {1.0f, 0.0f}, {1.9999f, 0.0f}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(keys[i].time, expected[i][0]);
        EXPECT_EQ(keys[i].value, expected[i][1]);
        EXPECT_EQ(keys[i].tension, 1.0f);
    }
    EXPECT_FLOAT_EQ(pulses->evaluate(0.0f), 1.0f);
    EXPECT_FLOAT_EQ(pulses->evaluate(1.5f), 0.0f);
    // Repeats after the last key; holds the first value before it.
    EXPECT_NEAR(pulses->evaluate(1.9999f + 0.0f), 0.0f, 1e-6f);
    EXPECT_NEAR(pulses->evaluate(-3.0f), 1.0f, 1e-6f);

    std::unique_ptr<Envelope> quarter = envelopeFromDigits("0301", 0.25f, 0.0f);
    EXPECT_NEAR(quarter->evaluate(0.25f), 3.0f, 1e-5f);
    EXPECT_NEAR(quarter->evaluate(0.75f), 1.0f, 1e-5f);

    EXPECT_TRUE(envelopeFromDigits("", 1.0f, 0.0f)->getKeys().empty());
    EXPECT_EQ(failureOf([] { envelopeFromDigits("10a0", 1.0f, 0.0f); }),
              "Libs\\Testing\\Utils: c >= '0' && c <= '9' does not hold.");
}

TEST(ReadLines, KeepsLineEndsAndSplitsLongLines)
{
    VostrelTest::TempDir dir;
    const std::string longLine(300, 'x');
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"a\nb", {"a\n", "b"}},
        {"a\r\nb\n", {"a\r\n", "b\n"}},
        {"", {}},
        {"\n\n", {"\n", "\n"}},
        {longLine + "\n", {std::string(127, 'x'), std::string(127, 'x'), std::string(46, 'x') + "\n"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines{"kept"};
        ReadLines(dir.write("text.txt", c.bytes), lines);
        std::vector<std::string> expected{"kept"};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(lines, expected) << c.bytes;
    }

    std::vector<std::string> lines;
    const std::string missing = dir.file("missing.txt");
    EXPECT_EQ(failureOf([&] { ReadLines(missing, lines); }),
              "Libs\\Testing\\Utils: ReadLines: " + missing + " not found");
    const std::string withNul = dir.write("nul.txt", std::string("a\nb\0c\n", 6));
    EXPECT_NE(failureOf([&] { ReadLines(withNul, lines); }).find("NUL"), std::string::npos);
    EXPECT_TRUE(lines.empty()) << "nothing is appended from a refused file";
}

} // namespace
} // namespace Vostrel
