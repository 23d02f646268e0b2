#include "Libs/Common/Exception.h"
#include "Libs/Math/Envelope.h"
#include "Libs/Serializing/Deserializer.h"
#include "Libs/Serializing/Serializer.h"
#include "Tests/Support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

using Vostrel::Deserializer;
using Vostrel::Envelope;
using Vostrel::EnvelopeKey;
using Vostrel::Serializer;
using VostrelTest::TempDir;

namespace {

// Little-endian bytes built by shifting, not by the writer under test.
std::string int32Bytes(uint32_t v)
{
    return std::string{char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}

std::string floatBytes(float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return int32Bytes(bits);
}

Envelope sampleEnvelope()
{
    Envelope envelope;
    envelope.addKey(EnvelopeKey{0, 2.0f, -3.0f, 0.5f, 0.0f, 1.0f});
    envelope.addKey(EnvelopeKey{0, 0.0f, 1.5f, 0.0f, 0.1f, -0.25f});
    envelope.setPreBehavior(3);
    envelope.setPostBehavior(4);
    envelope.setAuxiliaryFlag(true);
    return envelope;
}

std::string written(const TempDir& dir, const Envelope& envelope, bool binary)
{
    std::string path = dir.file(binary ? "e.bin.vse" : "e.txt.vse");
    {
        Serializer out(path, binary);
        envelope.serialize(out);
    }
    return TempDir::read(path);
}

std::string readFailure(const std::string& path)
{
    try {
        Deserializer in(path);
        Envelope envelope(in);
    } catch (const Vostrel::Exception& e) {
        return e.message;
    }
    return "(no failure)";
}

} // namespace

TEST(EnvelopeRecord, GoldenTextAndBinaryBytes)
{
    TempDir dir;
    Envelope envelope = sampleEnvelope();
    EXPECT_EQ(written(dir, envelope, false), "VSEASCII\n3 4 1 2 0 1.5 0 0.100000001 -0.25 2 -3 0.5 0 1");
    std::string binary = std::string("VSEBINARY", 10) + int32Bytes(3) + int32Bytes(4) + int32Bytes(1) +
                         int32Bytes(2);
    for (float f : {0.0f, 1.5f, 0.0f, 0.1f, -0.25f, 2.0f, -3.0f, 0.5f, 0.0f, 1.0f})
        binary += floatBytes(f);
    EXPECT_EQ(written(dir, envelope, true), binary);
}

TEST(EnvelopeRecord, ReadingRestoresKeysModesAndValues)
{
    TempDir dir;
    Envelope original = sampleEnvelope();
    for (bool binary : {false, true}) {
        written(dir, original, binary);
        Deserializer in(dir.file(binary ? "e.bin.vse" : "e.txt.vse"));
        Envelope copy(in);
        EXPECT_EQ(copy.getPreBehavior(), 3);
        EXPECT_EQ(copy.getPostBehavior(), 4);
        EXPECT_TRUE(copy.getAuxiliaryFlag());
        ASSERT_EQ(copy.getKeys().size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            const EnvelopeKey& a = original.getKeys()[i];
            const EnvelopeKey& b = copy.getKeys()[i];
            EXPECT_EQ(b.id, uint32_t(i));
            EXPECT_EQ(a.time, b.time);
            EXPECT_EQ(a.value, b.value);
            EXPECT_EQ(a.tension, b.tension);
            EXPECT_EQ(a.continuity, b.continuity);
            EXPECT_EQ(a.bias, b.bias);
        }
        for (float t = -5.0f; t < 7.0f; t += 0.37f)
            EXPECT_EQ(copy.evaluate(t), original.evaluate(t)) << t;
        EXPECT_EQ(copy.addKey(EnvelopeKey{0, 9.0f, 0, 0, 0, 0}), 2u); // ids continue after the file's
    }
}

TEST(EnvelopeRecord, KeysKeepTheFileOrder)
{
    TempDir dir;
    Deserializer in(dir.write("o.vse", "VSEASCII\n0 1 0 3\n2 5 0 0 0\n0 1 0 0 0\n1 7 0 0 0\n"));
    Envelope envelope(in);
    const std::vector<EnvelopeKey>& keys = envelope.getKeys();
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].time, 2.0f);
    EXPECT_EQ(keys[1].time, 0.0f);
    EXPECT_EQ(keys[2].time, 1.0f);
    EXPECT_EQ(keys[2].id, 2u);
    EXPECT_FALSE(envelope.getAuxiliaryFlag());
}

TEST(EnvelopeRecord, ImpossibleKeyCountsAreRefusedNamingTheFile)
{
    TempDir dir;
    const std::string header = std::string("VSEBINARY", 10) + int32Bytes(0) + int32Bytes(0) + int32Bytes(0);
    const std::string oneKey = floatBytes(1) + floatBytes(2) + floatBytes(0) + floatBytes(0) + floatBytes(0);
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"negative.vse", "VSEASCII\n0 0 0 -5 1 2 0 0 0"},
        {"huge.vse", "VSEASCII\n0 0 0 2147483648 1 2 0 0 0"},
        {"short.vse", "VSEASCII\n0 0 0 2 1 2 0 0 0"},
        {"negative-binary.vse", header + int32Bytes(uint32_t(-5)) + oneKey},
        {"huge-binary.vse", header + int32Bytes(0x80000000u) + oneKey},
        {"largest-binary.vse", header + int32Bytes(0x7FFFFFFFu) + oneKey},
        {"short-binary.vse", header + int32Bytes(2) + oneKey},
        {"cut-binary.vse", header + int32Bytes(1) + oneKey.substr(0, 13)},
        {"no-count-binary.vse", header.substr(0, 16)},
    };
    for (const Case& c : cases) {
        std::string path = dir.write(c.name, c.bytes);
        std::string message = readFailure(path);
        EXPECT_NE(message.find(path), std::string::npos) << c.name << ": " << message;
    }
    // The same records with a count that fits are read.
    Deserializer fits(dir.write("fits.vse", header + int32Bytes(1) + oneKey));
    EXPECT_EQ(Envelope(fits).evaluate(5.0f), 2.0f);
}
