#include "Libs/Common/StringUtils.h"

#include "Libs/Common/Exception.h"

#include <climits>
#include <gtest/gtest.h>

using namespace Vostrel::StringUtils;

TEST(StringUtils, ParseIntTakesTheLeadingDecimalNumber)
{
    EXPECT_EQ(parseInt("42abc"), 42);
    EXPECT_EQ(parseInt("-17"), -17);
    EXPECT_EQ(parseInt("-"), 0);
    EXPECT_EQ(parseInt("007"), 7);
}

TEST(StringUtils, ParseIntClampsToThirtyTwoBits)
{
    EXPECT_EQ(parseInt("2147483648"), INT_MAX);
    EXPECT_EQ(parseInt("99999999999999999999"), INT_MAX);
    EXPECT_EQ(parseInt("-2147483649"), INT_MIN);
}

TEST(StringUtils, ParseIntRefusesTextsNotStartingWithDigitOrMinus)
{
    for (const char* text : {" 1", "+1", "", "x1"}) {
        try {
            parseInt(text);
            FAIL() << "accepted '" << text << "'";
        } catch (const Vostrel::Exception& e) {
            EXPECT_EQ(e.message, std::string("Integer parsing failed. (") + text + ")");
            EXPECT_STREQ(e.file, "Libs\\Common\\StringUtils");
        }
    }
}

TEST(StringUtils, ParseDoubleIsZeroWhenNothingConverts)
{
    EXPECT_DOUBLE_EQ(parseDouble("2.5e1x"), 25.0);
    EXPECT_DOUBLE_EQ(parseDouble("abc"), 0.0);
}

TEST(StringUtils, PrefixAndSuffix)
{
    EXPECT_TRUE(startsWith("", "abc"));
    EXPECT_TRUE(startsWith("ab", "abc"));
    EXPECT_FALSE(startsWith("bc", "abc"));
    EXPECT_TRUE(endsWith("", "abc"));
    EXPECT_TRUE(endsWith("bc", "abc"));
    EXPECT_TRUE(endsWith("a", "aba"));
    EXPECT_FALSE(endsWith("ab", "abc"));
    EXPECT_FALSE(endsWith("abcd", "abc"));
}

TEST(StringUtils, EscapePutsABackslashBeforeSeparatorsAndBackslashes)
{
    EXPECT_EQ(escape("a b\\c"), "a\\ b\\\\c");
    EXPECT_EQ(escape("\t\n#"), "\\\t\\\n#");
}

TEST(StringUtils, JoinAndSplit)
{
    EXPECT_EQ(join({}, ","), "");
    EXPECT_EQ(join({"a"}, ","), "a");
    EXPECT_EQ(join({"a", "b", "c"}, ", "), "a, b, c");

    struct Case {
        const char* text;
        std::vector<std::string> pieces;
    } cases[] = {
        {"a,,b", {"a", "", "b"}}, {"a,b,", {"a", "b"}}, {"", {}}, {"abc", {"abc"}}, {",a", {"", "a"}},
    };
    std::vector<std::string> out{"stale"};
    for (const Case& c : cases) {
        split(out, c.text, ',');
        EXPECT_EQ(out, c.pieces) << c.text;
    }
}

TEST(StringUtils, NumbersUseTheStreamDefaults)
{
    EXPECT_EQ(floatToString(0.1f), "0.1");
    EXPECT_EQ(intToString(-7), "-7");
    EXPECT_EQ(doubleToString(1234567.0), "1.23457e+06");
    EXPECT_EQ(concatFloat("fog", 2.5f), "fog2.5");
    EXPECT_EQ(concatDouble("x", 1.0 / 3.0), "x0.333333");
}

// Every byte comes out as printable ASCII: itself when it is printable,
// otherwise \x and its two hexadecimal digits, which read back to it.
TEST(StringUtils, PrintableEscapesEveryByteATerminalCouldActOn)
{
    for (int byte = 0; byte < 256; ++byte) {
        const std::string text(1, static_cast<char>(byte));
        const std::string shown = printable(text);
        for (char c : shown)
            EXPECT_TRUE(c >= 0x20 && c < 0x7f) << byte;
        if (byte >= 0x20 && byte < 0x7f) {
            EXPECT_EQ(shown, text);
            continue;
        }
        ASSERT_EQ(shown.size(), 4u) << byte;
        EXPECT_EQ(shown.substr(0, 2), "\\x");
        EXPECT_EQ(std::stoi(shown.substr(2), nullptr, 16), byte);
    }
    EXPECT_EQ(printable(std::string("a\0b\x1b[2J\xc3\xa9 \\x", 12)), "a\\x00b\\x1b[2J\\xc3\\xa9 \\x");
}
