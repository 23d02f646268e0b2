#include "Libs/Testing/Properties.h"

#include "Libs/Common/Exception.h"
#include "Tests/Support/TempDir.h"

#include <gtest/gtest.h>

#include <thread>

using Vostrel::Properties;
using VostrelTest::TempDir;

namespace {

typedef Vec<float, 2> Vec2;
typedef Vec<float, 3> Vec3;
typedef Vec<float, 4> Vec4;

template <int N> std::vector<float> components(const Vec<float, N>& v)
{
    return std::vector<float>(v.ptr(), v.ptr() + N);
}

class PropertiesTest : public ::testing::Test {
protected:
    void SetUp() override { Properties::clear(); }
    void TearDown() override { Properties::clear(); }

    // Loads the text as a property file and returns what went to stdout.
    std::string load(const std::string& text)
    {
        path = dir.write("demo.props", text);
        ::testing::internal::CaptureStdout();
        Properties::load(path);
        return ::testing::internal::GetCapturedStdout();
    }

    TempDir dir;
    std::string path;
};

TEST_F(PropertiesTest, EachTypeHasItsOwnMap)
{
    std::string printed = load("S demo.window.title \"My Demo\"\n"
                               "I demo.window.width 800\n"
                               "R demo.window.width 1.5\n"
                               "V2 size 1 2\n"
                               "V3 pos 1 2 3\n"
                               "V4 colour -1 0.5 3e2 4\n");
    EXPECT_EQ(printed, "");
    EXPECT_EQ(Properties::getString("demo.window.title", "x"), "My Demo");
    EXPECT_EQ(Properties::getInt("demo.window.width", 640), 800);
    EXPECT_EQ(Properties::getFloat("demo.window.width", 0), 1.5f);
    EXPECT_EQ(components(Properties::getVec2("size", Vec2(0, 0))), (std::vector<float>{1, 2}));
    EXPECT_EQ(components(Properties::getVec3("pos", Vec3(0, 0, 0))), (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(components(Properties::getVec4("colour", Vec4(0, 0, 0, 0))), (std::vector<float>{-1, 0.5f, 300, 4}));
    // A getter never looks into another type's map.
    EXPECT_EQ(Properties::getInt("pos", 7), 7);
    EXPECT_EQ(components(Properties::getVec4("pos", Vec4(9, 9, 9, 9))), (std::vector<float>{9, 9, 9, 9}));
    EXPECT_EQ(Properties::getString("demo.window.width", "d"), "d");
    EXPECT_EQ(Properties::getFloat("Demo.window.width", -1), -1.0f);
}

TEST_F(PropertiesTest, StringValuesAreTheQuotedCharacters)
{
    struct Case {
        const char* line;
        const char* value;
    };
    const Case cases[] = {
        {"S t \"My Demo\"", "My Demo"},
        {"S t My Demo", ""},
        {"S t \"a\"x\"b\"", "ab"},
        {"S t   \" padded \"  ", " padded "},
        {"S t \"unclosed to the end ", "unclosed to the end "},
        {"S t \"crlf\r", "crlf"},
        {"S t \"#not a comment\"", "#not a comment"},
        {"S\tt\t\"tabs\"", "tabs"},
        {"S t \"\"", ""},
    };
    for (const Case& c : cases) {
        Properties::clear();
        load(std::string(c.line) + "\n");
        EXPECT_EQ(Properties::getString("t", "default"), c.value) << c.line;
    }
}

TEST_F(PropertiesTest, TheLastEntryWinsAndLoadsAccumulate)
{
    load("I demo.window.width 800\nI demo.window.width 1024\nI kept 1\n");
    EXPECT_EQ(Properties::getInt("demo.window.width", 0), 1024);
    load("I demo.window.width 640\n");
    EXPECT_EQ(Properties::getInt("demo.window.width", 0), 640);
    EXPECT_EQ(Properties::getInt("kept", 0), 1);
    // Looking up a missing name does not create it.
    EXPECT_EQ(Properties::getInt("absent", 5), 5);
    EXPECT_EQ(Properties::getInt("absent", 6), 6);
}

TEST_F(PropertiesTest, LinesThatAreNotEntriesAreSkipped)
{
    std::string printed = load("# I a 1\n"
                               " # I b 2\n"
                               "#I c 3\n"
                               "\n"
                               "   \n"
                               "i d 4\n"
                               "V5 e 1 2 3 4 5\n"
                               "Int f 6\n"
                               "I g 7\n");
    EXPECT_EQ(printed, "");
    for (const char* name : {"a", "b", "c", "d", "f"})
        EXPECT_EQ(Properties::getInt(name, -1), -1) << name;
    EXPECT_EQ(Properties::getInt("g", -1), 7);
}

TEST_F(PropertiesTest, AMalformedNumberKeepsTheVariableOfItsTypeAndWarns)
{
    std::string printed = load("I demo.window.width 800\n"
                               "I demo.window.height abc\n"
                               "V3 a 1 2 3\n"
                               "V3 b 4 x 6\n"
                               "V3 c 7 8\n"
                               "R r 2.5\n"
                               "R big 1e99\n"
                               "I huge 99999999999\n"
                               "R first\n"
                               "V2 v2 x\n"
                               "I trailing 12abc\n");
    EXPECT_EQ(Properties::getInt("demo.window.height", -1), 800);
    // Once one component fails the rest of the line fails as well.
    EXPECT_EQ(components(Properties::getVec3("b", Vec3(0, 0, 0))), (std::vector<float>{4, 2, 3}));
    EXPECT_EQ(components(Properties::getVec3("c", Vec3(0, 0, 0))), (std::vector<float>{7, 8, 3}));
    EXPECT_EQ(Properties::getFloat("big", 0), 2.5f);
    EXPECT_EQ(Properties::getInt("huge", 0), 800);
    EXPECT_EQ(Properties::getFloat("first", -1), 2.5f);
    EXPECT_EQ(components(Properties::getVec2("v2", Vec2(9, 9))), (std::vector<float>{0, 0}));
    EXPECT_EQ(Properties::getInt("trailing", 0), 12);
    const std::string expected =
        "WARNING: " + path + " line 2: malformed number in the I entry demo.window.height, storing 800\n"
        "WARNING: " + path + " line 4: malformed number in the V3 entry b, storing 4 2 3\n"
        "WARNING: " + path + " line 5: malformed number in the V3 entry c, storing 7 8 3\n"
        "WARNING: " + path + " line 7: malformed number in the R entry big, storing 2.5\n"
        "WARNING: " + path + " line 8: malformed number in the I entry huge, storing 800\n"
        "WARNING: " + path + " line 9: malformed number in the R entry first, storing 2.5\n"
        "WARNING: " + path + " line 10: malformed number in the V2 entry v2, storing 0 0\n";
    EXPECT_EQ(printed, expected);
}

TEST_F(PropertiesTest, ALineLongerThan1023CharactersIsSkippedWithAWarning)
{
    std::string longest = "S longest \"" + std::string(1023 - 12, 'x') + "\"";
    ASSERT_EQ(longest.size(), 1023u);
    std::string tooLong = "S long \"" + std::string(1024 - 9, 'y') + "\"";
    ASSERT_EQ(tooLong.size(), 1024u);
    std::string huge = "I huge " + std::string(100000, '1');
    std::string printed = load("I before 1\n" + tooLong + "\n" + longest + "\r\n" + huge + "\nI after 2");
    EXPECT_EQ(Properties::getInt("before", 0), 1);
    EXPECT_EQ(Properties::getString("long", "none"), "none");
    EXPECT_EQ(Properties::getString("longest", "none"), std::string(1023 - 12, 'x'));
    EXPECT_EQ(Properties::getInt("huge", -1), -1);
    EXPECT_EQ(Properties::getInt("after", 0), 2);
    EXPECT_EQ(printed, "WARNING: " + path + " line 2: longer than 1023 characters, skipped\n"
                       "WARNING: " + path + " line 4: longer than 1023 characters, skipped\n");
}

TEST_F(PropertiesTest, CrLfLineEndsReadAsLf)
{
    std::string printed = load("# comment\r\nI i 5\r\nR r 1.5\r\nV2 v 1 2\r\nS s \"x\"\r\nS open \"to the end\r\n\r\nI last 3");
    EXPECT_EQ(printed, "");
    EXPECT_EQ(Properties::getInt("i", 0), 5);
    EXPECT_EQ(Properties::getFloat("r", 0), 1.5f);
    EXPECT_EQ(components(Properties::getVec2("v", Vec2(0, 0))), (std::vector<float>{1, 2}));
    EXPECT_EQ(Properties::getString("s", ""), "x");
    EXPECT_EQ(Properties::getString("open", ""), "to the end");
    EXPECT_EQ(Properties::getInt("last", 0), 3);
}

TEST_F(PropertiesTest, AMissingFileThrows)
{
    std::string missing = dir.file("demo.props");
    try {
        Properties::load(missing);
        FAIL() << "loaded a missing file";
    } catch (const Vostrel::Exception& e) {
        EXPECT_EQ(e.message, "Cannot load property file '" + missing + "'");
        EXPECT_STREQ(e.file, "Libs\\Testing\\Properties");
        // The report line of a missing "demo.props" has always named line 20.
        EXPECT_EQ(e.report(), "Libs\\Testing\\Properties(20): Cannot load property file '" + missing + "'");
    }
}

TEST_F(PropertiesTest, TheFileOpenedIsTheOneItsNameResolvesTo)
{
    dir.write("Demo.PROPS", "I demo.window.width 800\n");
    Properties::load(dir.file("demo.props"));
    EXPECT_EQ(Properties::getInt("demo.window.width", 0), 800);
}

TEST_F(PropertiesTest, AFileThatCannotBeReadThrowsInsteadOfLoadingNothing)
{
    // A directory opens on this platform but every read fails.
    try {
        Properties::load(dir.path);
        FAIL() << "loaded a directory";
    } catch (const Vostrel::Exception& e) {
        EXPECT_EQ(e.message, "Cannot load property file '" + dir.path + "'");
        EXPECT_STREQ(e.file, "Libs\\Testing\\Properties");
    }
}

// What a part was built from: every read while a record lives, in the
// order first read, once each, with the value the getter gave.
TEST_F(PropertiesTest, ARecordNotesEveryReadWithItsValue)
{
    load("I Part.count -1\nR Part.size 0.25\nS Part.image \"a b.png\"\nV2 Part.v2 1 2\nV3 Part.v3 1 2 3\n"
         "V4 Part.colour 0.5 1 0 1\nS Part.empty \"\"\n");
    Properties::getInt("Before", 1);
    Properties::ReadRecord record;
    EXPECT_TRUE(record.empty());
    EXPECT_EQ(record.describe(), "");
    Properties::getInt("Part.count", 0);
    Properties::getFloat("Part.size", 0);
    Properties::getString("Part.image", "");
    Properties::getVec2("Part.v2", Vec2(0, 0));
    Properties::getVec3("Part.v3", Vec3(0, 0, 0));
    Properties::getVec4("Part.colour", Vec4(0, 0, 0, 0));
    Properties::getString("Part.empty", "default");
    Properties::getInt("Part.count", 0);
    Properties::getFloat("Part.fog", 1.5f);
    Properties::getString("Part.text", "test2.txt");
    // A name asked for with another type is another setting.
    Properties::getString("Part.count", "x");
    EXPECT_FALSE(record.empty());
    EXPECT_EQ(record.describe(), "Part.count -1, Part.size 0.25, Part.image \"a b.png\", Part.v2 1 2, Part.v3 1 2 3, "
                                 "Part.colour 0.5 1 0 1, Part.empty \"\", Part.fog 1.5 (not set), "
                                 "Part.text \"test2.txt\" (not set), Part.count \"x\" (not set)");
}

// What the file holds is stored as it is, and quoted escaped.
TEST_F(PropertiesTest, BytesOfTheFileAreQuotedEscaped)
{
    const std::string warnings = load("I \x1b[2Jkey x\nS title \"\x1b]0;t\a\xc3\xa9\"\n");
    EXPECT_EQ(warnings, "WARNING: " + path + " line 1: malformed number in the I entry \\x1b[2Jkey, storing 0\n");
    Properties::ReadRecord record;
    EXPECT_EQ(Properties::getString("title", ""), "\x1b]0;t\a\xc3\xa9");
    EXPECT_EQ(record.describe(), "title \"\\x1b]0;t\\x07\\xc3\\xa9\"");
}

TEST_F(PropertiesTest, RecordsNestAndEndWithTheirScope)
{
    load("I a 1\nI b 2\n");
    Properties::ReadRecord outer;
    Properties::getInt("a", 0);
    {
        Properties::ReadRecord inner;
        Properties::getInt("b", 0);
        Properties::getInt("a", 0);
        EXPECT_EQ(inner.describe(), "b 2, a 1");
    }
    Properties::getInt("c", 3);
    EXPECT_EQ(outer.describe(), "a 1, b 2, c 3 (not set)");
    // Another thread's reads are its own.
    std::thread([] { Properties::getInt("d", 4); }).join();
    EXPECT_EQ(outer.describe(), "a 1, b 2, c 3 (not set)");
}

} // namespace
