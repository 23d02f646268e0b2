#include "Platform/Runtime/Runtime.h"
#include "Tests/Support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// First in the file: nothing in this process has drawn yet, so the stream
// starts from its unseeded state, as the data that depends on it expects.
TEST(RuntimeRand, UnseededStreamStartsLikeTheOriginalRuntime)
{
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int value : expected)
        EXPECT_EQ(Runtime::rand(), value);
}

TEST(RuntimeRand, SeedingRestartsTheStream)
{
    Runtime::srand(1);
    EXPECT_EQ(Runtime::rand(), 41);
    Runtime::srand(12345);
    // state = 12345 * 214013 + 2531011 (mod 2^32) = 2644521496; (state >> 16) & 32767 = 7584
    EXPECT_EQ(Runtime::rand(), 7584);
    for (int i = 0; i < 100000; ++i) {
        int value = Runtime::rand();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, Runtime::RAND_MAX_VALUE);
    }
    Runtime::srand(1);
}

namespace {

class DataPathTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/vostrel-runtime-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
        ASSERT_EQ(::mkdir((root + "/Data").c_str(), 0755), 0);
        ASSERT_EQ(::mkdir((root + "/Data/Models").c_str(), 0755), 0);
        write(root + "/Data/Models/Quad.LWO", "quad");
        write(root + "/Data/Models/same.txt", "lower");
        write(root + "/Data/Models/SAME.txt", "upper");
    }
    void TearDown() override
    {
        for (const char* name : {"/Data/Models/Quad.LWO", "/Data/Models/same.txt", "/Data/Models/SAME.txt"})
            ::unlink((root + name).c_str());
        ::rmdir((root + "/Data/Models").c_str());
        ::rmdir((root + "/Data").c_str());
        ::rmdir(root.c_str());
    }
    static void write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
    static std::string read(std::FILE* file)
    {
        std::string text;
        if (!file)
            return "<not opened>";
        for (int c; (c = std::fgetc(file)) != EOF;)
            text += char(c);
        std::fclose(file);
        return text;
    }
    std::string root;
};

} // namespace

TEST_F(DataPathTree, BackslashesAndCaseAreResolvedComponentByComponent)
{
    std::string backslashed = root + "\\data\\MODELS\\quad.lwo";
    for (char& c : backslashed)
        if (c == '/')
            c = '\\';
    EXPECT_EQ(Runtime::resolveDataPath(backslashed), root + "/Data/Models/Quad.LWO");
    EXPECT_EQ(read(Runtime::openDataFile(root + "/DATA/models/QUAD.lwo", "rb")), "quad");
}

TEST_F(DataPathTree, AnExactNameWinsOverACaseInsensitiveOne)
{
    EXPECT_EQ(read(Runtime::openDataFile(root + "/Data/Models/SAME.txt", "rb")), "upper");
    EXPECT_EQ(read(Runtime::openDataFile(root + "/Data/Models/same.txt", "rb")), "lower");
}

TEST_F(DataPathTree, AMissingNameComesBackWithSlashes)
{
    EXPECT_EQ(Runtime::resolveDataPath(root + "/Data\\Models\\missing.lwo"), root + "/Data/Models/missing.lwo");
    EXPECT_EQ(Runtime::openDataFile(root + "/data/nothing/quad.lwo", "rb"), nullptr);
    EXPECT_EQ(Runtime::resolveDataPath(""), "");
}

TEST_F(DataPathTree, OnlyARegularFileOpensForReadingAndAFailureSaysWhy)
{
    const std::string fifo = root + "/Data/pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A reader of the FIFO would wait for a writer for ever; it is refused at once.
    const struct {
        std::string name;
        const char* reason;
    } cases[] = {{root + "/Data/Models", "Is a directory"},
                 {fifo, "Not a regular file"},
                 {root + "/Data/missing.lwo", "No such file or directory"},
                 {root + "/Data/Models/Quad.LWO", ""}};
    for (const auto& c : cases) {
        std::string reason;
        std::FILE* file = Runtime::openDataFile(c.name, "rb", reason);
        EXPECT_EQ(reason, c.reason) << c.name;
        EXPECT_EQ(file != nullptr, *c.reason == 0) << c.name;
        EXPECT_EQ(Runtime::unreadableReason(c.name), c.reason) << c.name;
        std::vector<char> bytes;
        std::string readReason;
        EXPECT_EQ(Runtime::readDataFile(c.name, bytes, 100, readReason), *c.reason == 0) << c.name;
        EXPECT_EQ(readReason, c.reason) << c.name;
        if (file) {
            EXPECT_EQ(read(file), "quad");
        }
    }
    std::vector<unsigned char> bytes;
    std::string reason;
    EXPECT_FALSE(Runtime::readDataFile(root + "/Data/Models/Quad.LWO", bytes, 3, reason));
    EXPECT_EQ(reason, "File too large");
    EXPECT_TRUE(Runtime::readDataFile(root + "/Data/Models/Quad.LWO", bytes, 4, reason));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "quad");
    ::unlink(fifo.c_str());
}

TEST_F(DataPathTree, AReadThatFailsAfterTheOpenSaysWhy)
{
    const std::string memory = root + "/Data/memory";
    ASSERT_TRUE(VostrelTest::TempDir::makeUnreadable(memory));
    std::string reason;
    std::FILE* file = Runtime::openDataFile(memory, "rb", reason);
    ASSERT_NE(file, nullptr) << reason;
    EXPECT_EQ(Runtime::unreadableReason(memory), "");
    char byte;
    EXPECT_EQ(std::fread(&byte, 1, 1, file), 0u);
    EXPECT_EQ(Runtime::readFailure(file), "Input/output error");
    std::fclose(file);
    std::vector<char> bytes;
    EXPECT_FALSE(Runtime::readDataFile(memory, bytes, 100, reason));
    EXPECT_EQ(reason, "Input/output error");
    // Reads that end at the end of the file have nothing to say.
    file = Runtime::openDataFile(root + "/Data/Models/Quad.LWO", "rb");
    while (std::fgetc(file) != EOF) {
    }
    EXPECT_EQ(Runtime::readFailure(file), "");
    std::fclose(file);
    ::unlink(memory.c_str());
}
