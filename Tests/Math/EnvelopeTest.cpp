#include "Libs/Common/Exception.h"
#include "Libs/Math/Envelope.h"
#include "Libs/Math/EnvelopeVec3.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <fstream>
#include <limits>
#include <memory>
#include <random>
#include <sstream>

using Vostrel::Envelope;
using Vostrel::EnvelopeKey;
using Vostrel::EnvelopeSegment;

namespace {

EnvelopeKey key(float time, float value, float tension = 0.0f, float continuity = 0.0f, float bias = 0.0f)
{
    return EnvelopeKey{0, time, value, tension, continuity, bias};
}

Envelope makeEnvelope(const std::vector<EnvelopeKey>& keys, int pre = 0, int post = 0)
{
    Envelope envelope;
    for (const EnvelopeKey& k : keys)
        envelope.addKey(k);
    envelope.setPreBehavior(pre);
    envelope.setPostBehavior(post);
    return envelope;
}

// A curve with unequal key spacing and non-zero tension, continuity and bias,
// so that the behaviour identities below are not satisfied by accident.
Envelope bentEnvelope(float start, float end, int pre, int post)
{
    float third = start + (end - start) * 0.3f;
    return makeEnvelope({key(start, 0.0f, 0.2f, -0.3f, 0.1f), key(third, 2.5f, -0.4f, 0.5f, 0.3f),
                         key(end, 1.0f, 0.1f, 0.2f, -0.6f)},
                        pre, post);
}

// Envelopes with segments and sample values computed independently in double
// by Tests/Math/data/make_envelope_fixture.py.
struct FixtureEnvelope {
    int pre = 0, post = 0;
    std::vector<EnvelopeKey> keys;
    std::vector<std::array<double, 4>> segments;
    std::vector<std::array<double, 3>> samples; // time, value, slope
};

std::vector<FixtureEnvelope> readFixture()
{
    const char* root = std::getenv("VOSTREL_SOURCE_DIR");
    std::ifstream in(root ? std::string(root) + "/Tests/Math/data/envelope_fixture.txt" : "data/envelope_fixture.txt");
    EXPECT_TRUE(in.good()) << "data/envelope_fixture.txt is missing";
    std::vector<FixtureEnvelope> all;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string kind;
        fields >> kind;
        if (kind == "envelope") {
            all.emplace_back();
            int count;
            fields >> all.back().pre >> all.back().post >> count;
        } else if (kind == "key") {
            EnvelopeKey k{0, 0, 0, 0, 0, 0};
            fields >> k.time >> k.value >> k.tension >> k.continuity >> k.bias;
            all.back().keys.push_back(k);
        } else if (kind == "segment") {
            std::array<double, 4> c;
            fields >> c[0] >> c[1] >> c[2] >> c[3];
            all.back().segments.push_back(c);
        } else if (kind == "at") {
            std::array<double, 3> s;
            fields >> s[0] >> s[1] >> s[2];
            all.back().samples.push_back(s);
        }
    }
    return all;
}

// How far from a segment's first key the cubic may be read at time t: within
// the range for the periodic modes, as far as t for a continued cubic.
double readingDistance(const FixtureEnvelope& f, double t)
{
    double first = f.keys.front().time, last = f.keys.back().time;
    int mode = t < first ? f.pre : f.post;
    bool outside = t < first || t > last;
    if (outside && mode >= 0 && mode <= 2)
        return 0.0;
    if (outside && mode > 5)
        return std::max(std::fabs(t - first), std::fabs(t - last));
    return last - first;
}

// The file is checked where one is given.
void expectThrows(const std::function<void()>& call, const char* message, const char* file = nullptr)
{
    try {
        call();
        ADD_FAILURE() << "did not throw";
    } catch (const Vostrel::Exception& e) {
        EXPECT_EQ(e.message, message);
        if (file) {
            EXPECT_STREQ(e.file, file);
        }
    }
}

void expectThrowsAssertion(const std::function<void()>& call)
{
    expectThrows(call, "keys.size() > 0 does not hold.", "Libs\\Math\\Envelope");
}

} // namespace

TEST(EnvelopeFixture, SegmentCubicsValuesAndSlopesMatchTheIndependentComputation)
{
    std::vector<FixtureEnvelope> fixture = readFixture();
    ASSERT_GT(fixture.size(), 40u);
    for (std::size_t e = 0; e < fixture.size(); ++e) {
        const FixtureEnvelope& f = fixture[e];
        Envelope envelope = makeEnvelope(f.keys, f.pre, f.post);

        const std::vector<EnvelopeSegment>& segments = envelope.getSegments();
        ASSERT_EQ(segments.size(), f.segments.size()) << "envelope " << e;
        for (std::size_t i = 0; i < segments.size(); ++i) {
            const float got[4] = {segments[i].c0, segments[i].c1, segments[i].c2, segments[i].c3};
            for (int c = 0; c < 4; ++c)
                EXPECT_NEAR(got[c], f.segments[i][c], 2e-7 * std::fabs(f.segments[i][c]) + 1e-12)
                    << "envelope " << e << " segment " << i << " c" << c;
        }

        for (const std::array<double, 3>& s : f.samples) {
            // Error allowance: float rounding of every term of the cubic.
            double d = readingDistance(f, s[0]);
            double valueScale = std::max(1.0, std::fabs(s[1])), slopeScale = std::max(1.0, std::fabs(s[2]));
            for (const std::array<double, 4>& c : f.segments) {
                valueScale = std::max(valueScale, std::fabs(c[0]) + std::fabs(c[1]) * d + std::fabs(c[2]) * d * d +
                                                      std::fabs(c[3]) * d * d * d);
                slopeScale = std::max(slopeScale, std::fabs(c[1]) + 2 * std::fabs(c[2]) * d + 3 * std::fabs(c[3]) * d * d);
            }
            float t = static_cast<float>(s[0]);
            EXPECT_NEAR(envelope.evaluate(t), s[1], 1e-6 * valueScale)
                << "envelope " << e << " (modes " << f.pre << ", " << f.post << ") at " << t;
            EXPECT_NEAR(envelope.derivative(t), s[2], 1e-6 * slopeScale)
                << "envelope " << e << " (modes " << f.pre << ", " << f.post << ") slope at " << t;
        }
    }
}

TEST(Envelope, DerivativeAgreesWithFiniteDifferencesInEveryMode)
{
    std::mt19937 engine(1103);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int round = 0; round < 60; ++round) {
        Envelope envelope;
        float t = unit(engine);
        for (int k = 0; k < 5; ++k) {
            envelope.addKey(key(t, 5.0f * unit(engine), 0.8f * unit(engine), 0.8f * unit(engine), 0.8f * unit(engine)));
            t += 0.5f + 0.5f * (unit(engine) + 1.0f);
        }
        envelope.setPreBehavior(round % 7);
        envelope.setPostBehavior((round / 7) % 7);
        const std::vector<EnvelopeKey>& keys = envelope.getKeys();
        float first = envelope.getStartTime(), span = envelope.getEndTime() - first;
        const float h = 1e-3f;
        for (int i = 0; i < 200; ++i) {
            float x = first - 2.5f * span + 6.0f * span * (i + 0.5f) / 200.0f;
            // Keys, their periodic images and fold points are corners of the
            // curve: differences across them say nothing about the slope.
            bool nearCorner = false;
            for (const EnvelopeKey& k : keys)
                for (int period = -4; period <= 4; ++period)
                    nearCorner = nearCorner || std::fabs(x - (k.time + period * span)) < 4 * h;
            if (nearCorner)
                continue;
            double difference = (double(envelope.evaluate(x + h)) - envelope.evaluate(x - h)) / (2.0 * h);
            float slope = envelope.derivative(x);
            EXPECT_NEAR(slope, difference, 2e-2 * (1.0 + std::fabs(difference)))
                << "modes " << envelope.getPreBehavior() << ", " << envelope.getPostBehavior() << " at " << x;
        }
    }
}

TEST(Envelope, KeysStaySortedWithIdsAttached)
{
    Envelope envelope;
    EXPECT_EQ(envelope.addKey(key(1.0f, 10.0f)), 0u);
    EXPECT_EQ(envelope.addKey(key(0.0f, 20.0f)), 1u);
    EXPECT_EQ(envelope.addKey(EnvelopeKey{99, 1.0f, 30.0f, 0, 0, 0}), 2u); // the given id is ignored
    const std::vector<EnvelopeKey>& keys = envelope.getKeys();
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].id, 1u);
    EXPECT_EQ(keys[1].id, 0u);
    EXPECT_EQ(keys[2].id, 2u); // after the key of the same time added before it

    EnvelopeKey moved = key(-1.0f, 40.0f);
    moved.id = 2;
    envelope.setKey(moved);
    EXPECT_EQ(keys[0].id, 2u);
    EXPECT_EQ(keys[0].value, 40.0f);
    EXPECT_EQ(keys[1].id, 1u);
    moved.time = 5.0f;
    envelope.setKey(moved);
    EXPECT_EQ(keys[2].id, 2u);
    EXPECT_EQ(keys[1].id, 0u);

    envelope.removeKey(0);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].id, 1u);
    EXPECT_EQ(keys[1].id, 2u);
    EXPECT_EQ(envelope.addKey(key(2.0f, 0.0f)), 3u);
    EXPECT_EQ(envelope.getMaxValue(), 40.0f);
    EXPECT_EQ(envelope.getMinValue(), 0.0f);
    EXPECT_EQ(envelope.getStartTime(), 0.0f);
    EXPECT_EQ(envelope.getEndTime(), 5.0f);
    EXPECT_EQ(envelope.getSegments().size(), 2u);
}

TEST(Envelope, UnknownKeyIdsAreReported)
{
    Envelope envelope = makeEnvelope({key(0.0f, 1.0f)});
    expectThrows([&] { envelope.removeKey(7); }, "No key with id 7");
    expectThrows([&] { envelope.setKey(EnvelopeKey{7, 0, 0, 0, 0, 0}); }, "No key with id 7");
}

TEST(Envelope, OneKeyIsConstantWhateverTheModes)
{
    for (int mode = 0; mode < 7; ++mode) {
        Envelope envelope = makeEnvelope({key(2.0f, 3.5f, 0.5f)}, mode, mode);
        for (float t : {-100.0f, 1.0f, 2.0f, 3.0f, 1e6f}) {
            EXPECT_EQ(envelope.evaluate(t), 3.5f);
            EXPECT_EQ(envelope.derivative(t), 0.0f);
        }
    }
}

TEST(Envelope, TwoPlainKeysMakeAStraightLineAndFullTensionFlattensTheEnds)
{
    Envelope line = makeEnvelope({key(0.0f, 0.0f), key(1.0f, 1.0f)});
    EXPECT_EQ(line.evaluate(0.5f), 0.5f);
    EXPECT_EQ(line.derivative(0.0f), 1.0f);
    EXPECT_EQ(line.derivative(1.0f), 1.0f);
    Envelope eased = makeEnvelope({key(0.0f, 0.0f, 1.0f), key(1.0f, 1.0f, 1.0f)});
    EXPECT_EQ(eased.derivative(0.0f), 0.0f);
    EXPECT_EQ(eased.derivative(1.0f), 0.0f);
    EXPECT_EQ(eased.evaluate(0.5f), 0.5f);
    EXPECT_LT(eased.evaluate(0.25f), 0.25f);
}

TEST(Envelope, BehaviourIdentities)
{
    struct Case {
        const char* what;
        float start, end;
        int pre, post;
        float t, same; // evaluate(t) == evaluate(same) + offset
        float offset;
        float slopeSign; // derivative(t) == slopeSign * derivative(same)
    };
    const Case cases[] = {
        {"post repeat", 0, 2, 0, 3, 2.5f, 0.5f, 0, 1},
        {"pre repeat", 0, 2, 3, 0, -0.5f, 1.5f, 0, 1},
        {"post offset repeat", 0, 1, 0, 4, 1.25f, 0.25f, 1, 1},
        {"pre offset repeat", 0, 1, 4, 0, -0.75f, 0.25f, -1, 1},
        // Oscillation runs backwards for one span after the last key, forwards
        // for the span before the first key.
        {"post oscillate", 0, 1, 0, 5, 1.25f, 0.75f, 0, -1},
        {"post oscillate back at first", 0, 1, 0, 5, 2.0f, 0.0f, 0, 1},
        {"post oscillate back at last", 0, 1, 0, 5, 3.0f, 1.0f, 0, -1},
        {"pre oscillate", 0, 1, 5, 0, -0.25f, 0.75f, 0, 1},
        {"pre oscillate at first", 0, 1, 5, 0, -1.0f, 0.0f, 0, 1},
        {"pre oscillate backwards", 0, 1, 5, 0, -1.25f, 0.25f, 0, -1},
    };
    for (const Case& c : cases) {
        Envelope envelope = bentEnvelope(c.start, c.end, c.pre, c.post);
        // The bent curve runs from 0 to 1, so the offset per period is 1.
        EXPECT_NEAR(envelope.evaluate(c.t), envelope.evaluate(c.same) + c.offset, 1e-5) << c.what;
        EXPECT_NEAR(envelope.derivative(c.t), c.slopeSign * envelope.derivative(c.same), 1e-4) << c.what;
    }
}

TEST(Envelope, TheLastKeyTimeBelongsToTheLastSegment)
{
    Envelope envelope = bentEnvelope(0.0f, 2.0f, 0, 0);
    EXPECT_NEAR(envelope.evaluate(2.0f), 1.0f, 1e-6);
    EXPECT_EQ(envelope.evaluate(2.0001f), 0.0f); // reset just past it
    EXPECT_EQ(envelope.evaluate(0.0f), 0.0f);
}

TEST(Envelope, LinearAndConstantBehaviours)
{
    Envelope envelope = makeEnvelope({key(1.0f, 2.0f, 0.5f), key(3.0f, 6.0f), key(4.0f, 5.0f, -1.0f)}, 2, 1);
    // Before: value 2 at 1 with slope (1 - 0.5) * (6 - 2) / (3 - 1) = 1.
    EXPECT_FLOAT_EQ(envelope.evaluate(-1.0f), 0.0f);
    EXPECT_FLOAT_EQ(envelope.derivative(-1.0f), 1.0f);
    EXPECT_EQ(envelope.evaluate(10.0f), 5.0f);
    EXPECT_EQ(envelope.derivative(10.0f), 0.0f);
    envelope.setPostBehavior(2);
    // After: slope (1 + 1) * (5 - 6) / (4 - 3) = -2.
    EXPECT_FLOAT_EQ(envelope.evaluate(5.0f), 3.0f);
    EXPECT_FLOAT_EQ(envelope.derivative(5.0f), -2.0f);
}

TEST(Envelope, AnEmptyEnvelopeFailsTheAssertionEverywhere)
{
    Envelope empty;
    expectThrowsAssertion([&] { empty.evaluate(0.0f); });
    expectThrowsAssertion([&] { empty.derivative(0.0f); });
    expectThrowsAssertion([&] { empty.getStartTime(); });
    expectThrowsAssertion([&] { empty.getEndTime(); });
    expectThrowsAssertion([&] { empty.getMaxValue(); });
    expectThrowsAssertion([&] { empty.getMinValue(); });
    std::vector<std::pair<float, float>> out;
    expectThrowsAssertion([&] { empty.sample(0.0f, 1.0f, 0.5f, out); });
    EXPECT_TRUE(empty.getSegments().empty());
}

TEST(Envelope, KeysAtOneTimeGiveNumbersNotNaN)
{
    // All keys at one time: every behaviour falls back to the boundary value.
    for (int mode = 0; mode < 7; ++mode) {
        Envelope envelope = makeEnvelope({key(1.0f, 2.0f), key(1.0f, 5.0f)}, mode, mode);
        for (float t : {-3.0f, 0.5f, 1.0f, 1.5f, 7.0f}) {
            EXPECT_TRUE(std::isfinite(envelope.evaluate(t))) << "mode " << mode << " at " << t;
            EXPECT_TRUE(std::isfinite(envelope.derivative(t))) << "mode " << mode << " at " << t;
        }
        if (mode >= 1 && mode <= 5) {
            EXPECT_EQ(envelope.evaluate(0.0f), 2.0f) << "mode " << mode;
            EXPECT_EQ(envelope.evaluate(2.0f), 5.0f) << "mode " << mode;
        }
        EXPECT_EQ(envelope.evaluate(1.0f), 5.0f);
    }
    // A step inside the range takes the later key's value at its time.
    Envelope step = makeEnvelope({key(0.0f, 0.0f), key(1.0f, 0.0f), key(1.0f, 1.0f), key(2.0f, 1.0f)}, 2, 2);
    EXPECT_EQ(step.evaluate(1.0f), 1.0f);
    for (float t = -1.0f; t < 3.0f; t += 0.125f)
        EXPECT_TRUE(std::isfinite(step.evaluate(t)) && std::isfinite(step.derivative(t))) << t;
}

TEST(Envelope, SampleSpreadsTheRangeEvenly)
{
    Envelope envelope = bentEnvelope(0.0f, 1.0f, 1, 1);
    std::vector<std::pair<float, float>> out(3, std::make_pair(9.0f, 9.0f));
    envelope.sample(0.0f, 1.0f, 0.3f, out); // ceil(3.33) = 4 pairs at steps of 0.25
    ASSERT_EQ(out.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(out[i].first, 0.25f * i);
        EXPECT_EQ(out[i].second, envelope.evaluate(0.25f * i));
    }
    envelope.sample(1.0f, 1.0f, 0.1f, out);
    EXPECT_TRUE(out.empty());
    envelope.sample(2.0f, 1.0f, 0.1f, out);
    EXPECT_TRUE(out.empty());
    envelope.sample(0.0f, 1.0f, -0.5f, out);
    EXPECT_TRUE(out.empty());

    // A negative step walks back from the start: ceil(-1 / -0.3) = 4 pairs.
    envelope.sample(1.0f, 0.0f, -0.3f, out);
    ASSERT_EQ(out.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(out[i].first, 1.0f - 0.25f * i);
        EXPECT_EQ(out[i].second, envelope.evaluate(1.0f - 0.25f * i));
    }

    // Nothing to evaluate, so an empty envelope has nothing to object to.
    Envelope empty;
    empty.sample(1.0f, 1.0f, 0.5f, out);
    EXPECT_TRUE(out.empty());
}

TEST(Envelope, SampleRefusesStepsThatNeverEndOrCountsThatCannotFit)
{
    Envelope envelope = bentEnvelope(0.0f, 1.0f, 1, 1);
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    struct Case {
        float start, end, step;
    };
    const Case cases[] = {{0, 1, 0}, {0, 1, -0.0f}, {0, 1, nan}, {nan, 1, 0.1f}, {0, nan, 0.1f},
                          {-inf, inf, 1}, {0, 1e9f, 1e-3f}, {inf, inf, 1}};
    for (const Case& c : cases) {
        std::vector<std::pair<float, float>> out;
        try {
            envelope.sample(c.start, c.end, c.step, out);
            ADD_FAILURE() << "sampled " << c.start << " to " << c.end << " by " << c.step;
        } catch (const Vostrel::Exception& e) {
            EXPECT_EQ(e.message.rfind("Envelope::sample: ", 0), 0u) << e.message;
            EXPECT_TRUE(out.empty());
        }
    }
}

TEST(Envelope, FunctionInterfaces)
{
    Vostrel::ConstantFunction<float> constant(4.5f);
    const Vostrel::DerivableFunction<float>& asDerivable = constant;
    EXPECT_TRUE(asDerivable.isConstant());
    EXPECT_EQ(asDerivable.evaluate(-3.0f), 4.5f);
    EXPECT_EQ(asDerivable.derivative(10.0f), 0.0f);

    std::unique_ptr<Vostrel::Function<float, float>> envelope(new Envelope(bentEnvelope(0, 1, 0, 0)));
    EXPECT_FALSE(envelope->isConstant());
    EXPECT_NEAR(envelope->evaluate(1.0f), 1.0f, 1e-6);
}

TEST(EnvelopeVec3, ChannelsAreReadTogetherAndLeftToTheirOwner)
{
    Envelope x = bentEnvelope(0.0f, 2.0f, 1, 1);
    Envelope y = makeEnvelope({key(-1.0f, 3.0f), key(1.0f, 5.0f)});
    Envelope z = makeEnvelope({key(0.5f, 7.0f), key(3.0f, 7.0f)}, 2, 2);
    {
        Vostrel::EnvelopeVec3 curve(&x, &y, &z);
        EXPECT_EQ(curve.getStartTime(), -1.0f);
        EXPECT_EQ(curve.getEndTime(), 3.0f);
        for (float t : {-2.0f, 0.0f, 0.7f, 1.9f, 4.0f}) {
            EXPECT_EQ(curve.evaluate(t), Vec3(x.evaluate(t), y.evaluate(t), z.evaluate(t)));
            EXPECT_EQ(curve.derivative(t), Vec3(x.derivative(t), y.derivative(t), z.derivative(t)));
        }
    }
    EXPECT_EQ(x.getKeys().size(), 3u); // still alive and untouched
}
