#include "Libs/Math/Random.h"
#include "Platform/Runtime/Runtime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>

namespace {

// The reference generator of the standard library, loaded with the 624 words
// that the 69069 seeding rule gives; its next output regenerates them.
std::mt19937 referenceSeededWith(uint32_t seed)
{
    std::ostringstream words;
    uint32_t x = seed | 1u;
    for (int i = 0; i < 624; ++i, x *= 69069u)
        words << x << ' ';
    words << 624; // position: the whole state is used up
    std::mt19937 reference;
    std::istringstream in(words.str());
    in >> reference;
    EXPECT_FALSE(in.fail());
    return reference;
}

class RandomGenerator : public ::testing::Test {
protected:
    void SetUp() override { Vostrel::resetRandomGenerator(); }
    void TearDown() override { Vostrel::resetRandomGenerator(); }
};

} // namespace

TEST_F(RandomGenerator, SeededStateMatchesTheStandardMt19937)
{
    for (uint32_t seed : {0u, 1u, 4357u, 0xDEADBEEFu, 0xFFFFFFFFu}) {
        std::mt19937 reference = referenceSeededWith(seed);
        Vostrel::seedMT(seed);
        EXPECT_EQ(Vostrel::reloadMT(), reference()) << seed;
        for (int i = 1; i < 624; ++i)
            ASSERT_EQ(Vostrel::randomUInt32(), reference()) << "seed " << seed << " word " << i;
    }
}

TEST_F(RandomGenerator, TheFirstDrawSeedsFromTheClockOnceAndOnlyOnce)
{
    EXPECT_FALSE(Vostrel::isRandomClockSeeded());
    std::time_t before = std::time(nullptr);
    uint32_t first = Vostrel::randomUInt32();
    std::time_t after = std::time(nullptr);
    EXPECT_TRUE(Vostrel::isRandomClockSeeded());

    // The seed is time * 2 + 1 for one of the seconds the draw spanned.
    std::mt19937 reference;
    bool found = false;
    for (std::time_t t = before; t <= after && !found; ++t) {
        reference = referenceSeededWith(static_cast<uint32_t>(t) * 2u + 1u);
        found = reference() == first;
    }
    ASSERT_TRUE(found);
    // Past the 624 words the state is only regenerated, never seeded again.
    for (int i = 1; i < 3000; ++i)
        ASSERT_EQ(Vostrel::randomUInt32(), reference()) << "word " << i;

    // An explicit seed after the clock seeding is taken as it is.
    Vostrel::seedMT(77u);
    std::mt19937 seeded = referenceSeededWith(77u);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(Vostrel::randomUInt32(), seeded()) << "word " << i;
}

TEST(RandomFloat, WordsMapOntoMinusOneToOne)
{
    const std::pair<uint32_t, float> cases[] = {
        {0u, -1.0f}, {0x40000000u, -0.5f}, {0x80000000u, 0.0f}, {0xC0000000u, 0.5f},
        {0xFFFFFF00u, 1.0f - 1.0f / 8388608.0f}, {0xFFFFFFBFu, 1.0f - 1.0f / 16777216.0f},
        {0xFFFFFFC0u, 1.0f}, // half a float step below 1 rounds to even, up
        {0xFFFFFFFFu, 1.0f},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Vostrel::signedUnitFloat(c.first), c.second) << std::hex << c.first;
}

TEST_F(RandomGenerator, PointsInTheUnitSphereComeFromRejectedTriples)
{
    Vostrel::randomUInt32(); // the clock seeding
    Vostrel::seedMT(2024u);
    std::mt19937 reference = referenceSeededWith(2024u);
    auto referenceFloat = [&] { return float(double(reference()) / 2147483648.0 - 1.0); };
    int rejected = 0;
    for (int i = 0; i < 2000; ++i) {
        Vec3 p = Vostrel::randomPointInUnitSphere();
        ASSERT_LE(double(p[0]) * p[0] + double(p[1]) * p[1] + double(p[2]) * p[2], 1.0 + 1e-6);
        for (;;) {
            float x = referenceFloat(), y = referenceFloat(), z = referenceFloat();
            if (double(x) * x + double(y) * y + double(z) * z <= 1.0) {
                ASSERT_EQ(p, Vec3(x, y, z)) << "point " << i;
                break;
            }
            ++rejected;
        }
    }
    // A cube's corners outside the ball are almost half of it: 1 - pi / 6.
    EXPECT_NEAR(rejected / (rejected + 2000.0), 1.0 - 3.14159265 / 6.0, 0.03);
}

TEST(RandomOperands, MatchTheRecipesOverTheRuntimeRand)
{
    const char* root = std::getenv("VOSTREL_SOURCE_DIR");
    std::ifstream in(root ? std::string(root) + "/Tests/Math/data/random_operands.txt" : "data/random_operands.txt");
    ASSERT_TRUE(in.good()) << "data/random_operands.txt is missing";
    const std::map<std::string, std::function<double()>> generators = {
        {"wideDouble", Vostrel::wideDoubleRand},       {"narrowDouble", Vostrel::narrowDoubleRand},
        {"uniformDouble", Vostrel::uniformDoubleRand}, {"wideFloat", [] { return double(Vostrel::wideFloatRand()); }},
        {"narrowFloat", [] { return double(Vostrel::narrowFloatRand()); }},
        {"uniformFloat", [] { return double(Vostrel::uniformFloatRand()); }},
    };
    int checked = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string name;
        fields >> name;
        ASSERT_EQ(generators.count(name), 1u) << name;
        Runtime::srand(1); // the runtime's unseeded state
        double expected;
        for (int i = 0; fields >> expected; ++i, ++checked)
            EXPECT_EQ(generators.at(name)(), expected) << name << " value " << i;
    }
    EXPECT_EQ(checked, 6 * 24);
    Runtime::srand(1);
}
