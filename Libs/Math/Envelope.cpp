#include "Libs/Math/Envelope.h"

#include "Libs/Common/Exception.h"
#include "Libs/Serializing/Deserializer.h"
#include "Libs/Serializing/Serializer.h"

#include <algorithm>
#include <cmath>

namespace Vostrel {

Envelope::Envelope()
    : nextId(0), preBehavior(Reset), postBehavior(Reset), auxiliaryFlag(false), segmentsValid(false), lastSegment(0)
{
}

// The record: pre and post behaviour, the auxiliary flag, the key count, then
// time, value, tension, continuity and bias per key. Ids are not stored; the
// keys keep the file's order.
Envelope::Envelope(Deserializer& in)
    : nextId(0), preBehavior(Reset), postBehavior(Reset), auxiliaryFlag(false), segmentsValid(false), lastSegment(0)
{
    preBehavior = in.readInt(4);
    postBehavior = in.readInt(4);
    auxiliaryFlag = in.readInt(4) != 0;
    const int count = in.readInt(4);
    in.checkCount(count, 5);
    keys.resize(count);
    for (int i = 0; i < count; ++i) {
        EnvelopeKey& key = keys[i];
        key.id = static_cast<uint32_t>(i);
        key.time = in.readFloat();
        key.value = in.readFloat();
        key.tension = in.readFloat();
        key.continuity = in.readFloat();
        key.bias = in.readFloat();
    }
    nextId = static_cast<uint32_t>(count);
}

Envelope::~Envelope() {}

void Envelope::serialize(Serializer& out) const
{
    out.writeInt(preBehavior, 4);
    out.writeInt(postBehavior, 4);
    out.writeInt(auxiliaryFlag ? 1 : 0, 4);
    out.writeInt(static_cast<int>(keys.size()), 4);
    for (const EnvelopeKey& key : keys) {
        out.writeFloat(key.time);
        out.writeFloat(key.value);
        out.writeFloat(key.tension);
        out.writeFloat(key.continuity);
        out.writeFloat(key.bias);
    }
}

uint32_t Envelope::addKey(const EnvelopeKey& key)
{
    int lo = -1, hi = static_cast<int>(keys.size());
    while (lo + 1 < hi) {
        int mid = (lo + hi) / 2;
        if (key.time < keys[mid].time)
            hi = mid;
        else
            lo = mid;
    }
    EnvelopeKey added = key;
    added.id = nextId++;
    keys.insert(keys.begin() + hi, added);
    segmentsValid = false;
    return added.id;
}

void Envelope::removeKey(uint32_t id)
{
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (keys[i].id == id) {
            keys.erase(keys.begin() + i);
            segmentsValid = false;
            return;
        }
    VOSTREL_THROW("No key with id " << id);
}

void Envelope::setKey(const EnvelopeKey& key)
{
    std::size_t i = 0;
    while (i < keys.size() && keys[i].id != key.id)
        ++i;
    if (i == keys.size())
        VOSTREL_THROW("No key with id " << key.id);
    if (i > 0 && key.time < keys[i - 1].time) {
        for (; i > 0 && key.time < keys[i - 1].time; --i)
            keys[i] = keys[i - 1];
    } else {
        for (; i + 1 < keys.size() && key.time > keys[i + 1].time; ++i)
            keys[i] = keys[i + 1];
    }
    keys[i] = key;
    segmentsValid = false;
}

float Envelope::getStartTime() const
{
    VOSTREL_ASSERT(keys.size() > 0);
    return keys.front().time;
}

float Envelope::getEndTime() const
{
    VOSTREL_ASSERT(keys.size() > 0);
    return keys.back().time;
}

float Envelope::getMaxValue() const
{
    VOSTREL_ASSERT(keys.size() > 0);
    float best = keys[0].value;
    for (const EnvelopeKey& key : keys)
        if (key.value > best)
            best = key.value;
    return best;
}

float Envelope::getMinValue() const
{
    VOSTREL_ASSERT(keys.size() > 0);
    float best = keys[0].value;
    for (const EnvelopeKey& key : keys)
        if (key.value < best)
            best = key.value;
    return best;
}

void Envelope::setAuxiliaryFlag(bool flag)
{
    auxiliaryFlag = flag;
    segmentsValid = false;
}

// Cubic Hermite segments with Kochanek-Bartels tangents in value per second,
// worked out in double and stored in float.
void Envelope::computeCoefficients() const
{
    const std::size_t n = keys.size();
    segments.assign(n > 1 ? n - 1 : 0, EnvelopeSegment{0.0f, 0.0f, 0.0f, 0.0f});
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const EnvelopeKey& k0 = keys[i];
        const EnvelopeKey& k1 = keys[i + 1];
        const double h = double(k1.time) - k0.time;
        const double rise = double(k1.value) - k0.value;
        if (h == 0.0) {
            // Two keys at one time make a step: the curve holds the later
            // key's value there instead of dividing by the zero length.
            segments[i] = EnvelopeSegment{k1.value, 0.0f, 0.0f, 0.0f};
            continue;
        }
        double m0, m1;
        if (i == 0) {
            m0 = (1.0 - k0.tension) * rise / h;
        } else {
            const EnvelopeKey& before = keys[i - 1];
            m0 = (1.0 - k0.tension) *
                 ((1.0 - k0.continuity) * (1.0 - k0.bias) * rise +
                  (1.0 + k0.continuity) * (1.0 + k0.bias) * (double(k0.value) - before.value)) /
                 (double(k1.time) - before.time);
        }
        if (i + 2 == n) {
            m1 = (1.0 - k1.tension) * rise / h;
        } else {
            const EnvelopeKey& after = keys[i + 2];
            m1 = (1.0 - k1.tension) *
                 ((1.0 + k1.bias) * (1.0 - k1.continuity) * rise +
                  (1.0 - k1.bias) * (1.0 + k1.continuity) * (double(after.value) - k1.value)) /
                 (double(after.time) - k0.time);
        }
        const double e = 2.0 * (double(k0.value) - k1.value) + (m0 + m1) * h;
        segments[i].c0 = k0.value;
        segments[i].c1 = static_cast<float>(m0);
        segments[i].c2 = static_cast<float>((rise - h * m0 - e) / (h * h));
        segments[i].c3 = static_cast<float>(e / (h * h * h));
    }
    lastSegment = 0;
    segmentsValid = true;
}

const std::vector<EnvelopeSegment>& Envelope::getSegments() const
{
    if (!segmentsValid)
        computeCoefficients();
    return segments;
}

// The segment holding time: the remembered one when the time is exactly its
// first key's, else by binary search, clamped to the first and last segment.
int Envelope::findSegment(double time) const
{
    if (keys[lastSegment].time == time)
        return lastSegment;
    int lo = 0, hi = static_cast<int>(keys.size()) - 1;
    while (lo + 1 < hi) {
        int mid = (lo + hi) / 2;
        if (time < keys[mid].time)
            hi = mid;
        else
            lo = mid;
    }
    lastSegment = lo;
    return lo;
}

double Envelope::readInRange(double time, bool slope) const
{
    const int i = findSegment(time);
    const EnvelopeSegment& s = segments[i];
    const double d = time - keys[i].time;
    if (slope)
        return d * (3.0 * s.c3 * d + 2.0 * s.c2) + s.c1;
    return d * ((d * s.c3 + s.c2) * d + s.c1) + s.c0;
}

double Envelope::read(double time, bool slope) const
{
    VOSTREL_ASSERT(keys.size() > 0);
    if (keys.size() == 1)
        return slope ? 0.0 : keys[0].value;
    if (!segmentsValid)
        computeCoefficients();

    const EnvelopeKey& first = keys.front();
    const EnvelopeKey& last = keys.back();
    const bool before = time < first.time;
    if (!before && !(time > last.time))
        return readInRange(time, slope);

    const EnvelopeKey& boundary = before ? first : last;
    const double span = double(last.time) - first.time;
    switch (before ? preBehavior : postBehavior) {
    case Reset:
        return 0.0;
    case Constant:
        return slope ? 0.0 : boundary.value;
    case Linear: {
        const EnvelopeKey& inner = before ? keys[1] : keys[keys.size() - 2];
        const double h = before ? double(inner.time) - first.time : double(last.time) - inner.time;
        const double rise = before ? double(inner.value) - first.value : double(last.value) - inner.value;
        // A boundary segment of zero length has no direction: hold the value.
        const double tangent = h == 0.0 ? 0.0 : (1.0 - boundary.tension) * rise / h;
        return slope ? tangent : boundary.value + (time - boundary.time) * tangent;
    }
    case Repeat:
    case OffsetRepeat:
    case Oscillate:
        break;
    default:
        // Unknown modes continue the boundary segment's cubic.
        return readInRange(time, slope);
    }

    // Repeating a range of zero length has no period: hold the boundary value.
    if (!(span > 0.0))
        return slope ? 0.0 : boundary.value;
    const int mode = before ? preBehavior : postBehavior;
    if (mode == Oscillate) {
        const double phase = before ? std::fmod(double(first.time) - time, 2.0 * span)
                                    : std::fmod(time - last.time, 2.0 * span);
        const double result = readInRange(first.time + std::fabs(span - phase), slope);
        // The curve runs backwards after the last key for the first span of
        // each double period, and before the first key for the second.
        const bool backwards = before ? phase > span : phase < span;
        return slope && backwards ? -result : result;
    }
    if (mode == OffsetRepeat && !slope) {
        const double periods = std::floor((time - first.time) / span);
        return readInRange(time - periods * span, false) + periods * (double(last.value) - first.value);
    }
    const double repeated =
        before ? last.time - std::fmod(double(last.time) - time, span) : first.time + std::fmod(time - first.time, span);
    return readInRange(repeated, slope);
}

float Envelope::evaluate(const float& time) const { return static_cast<float>(read(time, false)); }

float Envelope::derivative(float time) const { return static_cast<float>(read(time, true)); }

void Envelope::sample(float start, float end, float step, std::vector<std::pair<float, float>>& out) const
{
    // A zero step never reaches the end; a negative one walks back from start
    // to an earlier end.
    if (step == 0.0f || std::isnan(step))
        VOSTREL_THROW("Envelope::sample: the step " << step << " cannot reach the end");
    const double range = double(end) - start;
    const double count = std::ceil(range / step);
    if (std::isnan(count))
        VOSTREL_THROW("Envelope::sample: cannot sample from " << start << " to " << end);
    if (count > maxSampleCount)
        VOSTREL_THROW("Envelope::sample: " << count << " samples from " << start << " to " << end << " by " << step
                                           << " exceed the limit of " << maxSampleCount);
    // An end on the far side of the step's direction leaves nothing to sample.
    const int n = count > 0.0 ? static_cast<int>(count) : 0;
    if (n > 0)
        VOSTREL_ASSERT(keys.size() > 0);
    out.resize(n);
    if (n == 0)
        return;
    const float actualStep = static_cast<float>(range / n);
    float time = start;
    for (int i = 0; i < n; ++i) {
        out[i] = std::make_pair(time, evaluate(time));
        time += actualStep;
    }
}

} // namespace Vostrel
