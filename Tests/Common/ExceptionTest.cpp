#include "Libs/Common/Exception.h"

#include <gtest/gtest.h>

using Vostrel::Exception;

namespace {
int checkedHalf(int value)
{
    VOSTREL_ASSERT(value % 2 == 0);
    return value / 2;
}
} // namespace

TEST(Exception, ThrowComposesTheMessageAndNamesTheSourceBelowTheTree)
{
    try {
        int id = 42;
        VOSTREL_THROW("No key with id " << id);
        FAIL() << "did not throw";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message, "No key with id 42");
        EXPECT_STREQ(e.file, "Tests\\Common\\ExceptionTest");
        EXPECT_EQ(e.line, __LINE__ - 5);
        EXPECT_EQ(e.report(), std::string("Tests\\Common\\ExceptionTest(") + std::to_string(e.line) +
                                  "): No key with id 42");
    }
}

TEST(Exception, AssertionMessageIsTheExpressionText)
{
    EXPECT_EQ(checkedHalf(4), 2);
    try {
        checkedHalf(3);
        FAIL() << "did not throw";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message, "value % 2 == 0 does not hold.");
    }
}

TEST(Exception, SourceNamesAreInternedAndNormalised)
{
    const char* a = Vostrel::sourceName("Libs/Math/Envelope.cpp");
    const char* b = Vostrel::sourceName("/home/someone/vostrel/Libs/Math/Envelope.cpp");
    EXPECT_STREQ(a, "Libs\\Math\\Envelope");
    EXPECT_EQ(a, b);
    EXPECT_STREQ(Vostrel::sourceName("Libs/Core/DirectX/DXCore.h"), "Libs\\Core\\DirectX\\DXCore");
}

TEST(Exception, CopiesKeepMessageFileAndLine)
{
    Exception original("m", "Libs\\Common\\StringUtils", 7);
    Exception copy = original;
    EXPECT_EQ(copy.message, "m");
    EXPECT_EQ(copy.file, original.file);
    EXPECT_EQ(copy.line, 7);
}

TEST(Exception, ReportLinesEscapeWhatATerminalWouldActOnAndKeepTheirBreaks)
{
    testing::internal::CaptureStderr();
    Vostrel::reportContext("In load(\x1b]0;x\x07name\xc3\xa9.png)");
    Vostrel::writeReportLine("Libs\\A(1): first\nsecond\r");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "In load(\\x1b]0;x\\x07name\\xc3\\xa9.png)\nLibs\\A(1): first\nsecond\\x0d\n");
}
