#pragma once

#include "Libs/Math/Function.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace Vostrel {

class Deserializer;
class Serializer;

struct EnvelopeKey {
    uint32_t id;
    float time;
    float value;
    float tension;
    float continuity;
    float bias;
};

// One segment's cubic in the local time d = t - time of its first key:
// value = ((c3 d + c2) d + c1) d + c0.
struct EnvelopeSegment {
    float c0;
    float c1;
    float c2;
    float c3;
};

// A key-frame curve interpolated by a Kochanek-Bartels spline, with a
// behaviour before the first and after the last key. The segment cubics are
// a cache rebuilt on the first evaluation after a change.
class Envelope : public DerivableFunction<float> {
public:
    // Behaviour modes outside the key range; the numbers are stored in files.
    enum Behavior {
        Reset = 0,        // 0
        Constant = 1,     // the boundary key's value
        Linear = 2,       // along the boundary key's tangent
        Repeat = 3,       // the key range repeated
        OffsetRepeat = 4, // repeated, each period shifted by last - first value
        Oscillate = 5     // played forwards and backwards alternately
    };

    // Sampling refuses more pairs than this rather than allocate without bound.
    static constexpr int maxSampleCount = 1 << 22;

    Envelope();
    // Reads the VSE record written by serialize.
    explicit Envelope(Deserializer& in);
    ~Envelope() override;

    void serialize(Serializer& out) const;

    // Inserts after every key of an equal time; the key's own id is ignored.
    uint32_t addKey(const EnvelopeKey& key);
    void removeKey(uint32_t id);
    // Replaces the key with key.id and moves it to keep the order by time.
    void setKey(const EnvelopeKey& key);
    const std::vector<EnvelopeKey>& getKeys() const { return keys; }

    float getStartTime() const;
    float getEndTime() const;
    float getMaxValue() const;
    float getMinValue() const;

    void setPreBehavior(int mode) { preBehavior = mode; }
    void setPostBehavior(int mode) { postBehavior = mode; }
    int getPreBehavior() const { return preBehavior; }
    int getPostBehavior() const { return postBehavior; }
    void setAuxiliaryFlag(bool flag);
    bool getAuxiliaryFlag() const { return auxiliaryFlag; }

    // Rebuilds the segment cubics from the keys now.
    void computeCoefficients() const;
    // The cubics, rebuilt first when the keys changed.
    const std::vector<EnvelopeSegment>& getSegments() const;

    float evaluate(const float& time) const override;
    float derivative(float time) const override;

    // ceil((end - start) / step) pairs (time, value) at equal steps from start.
    void sample(float start, float end, float step, std::vector<std::pair<float, float>>& out) const;

private:
    double read(double time, bool slope) const;
    double readInRange(double time, bool slope) const;
    int findSegment(double time) const;

    std::vector<EnvelopeKey> keys;
    uint32_t nextId;
    int32_t preBehavior;
    int32_t postBehavior;
    bool auxiliaryFlag; // kept and stored; evaluation does not read it
    mutable std::vector<EnvelopeSegment> segments;
    mutable bool segmentsValid;
    mutable int32_t lastSegment;
};

} // namespace Vostrel
