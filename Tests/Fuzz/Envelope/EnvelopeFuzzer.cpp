// Feeds bytes as a VSE file holding one envelope record. A record that reads
// must evaluate, sample and survive writing and reading in both variants;
// bad input may only throw Vostrel::Exception.
#include "Libs/Common/Exception.h"
#include "Libs/Math/Envelope.h"
#include "Libs/Serializing/Deserializer.h"
#include "Libs/Serializing/Serializer.h"
#include "Tests/Fuzz/InputFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

bool sameFloat(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0 || (a != a && b != b);
}

void exercise(const Vostrel::Envelope& envelope)
{
    if (envelope.getKeys().empty())
        return;
    float start = envelope.getStartTime(), end = envelope.getEndTime();
    for (float t : {start - 3.5f, start, 0.5f * (start + end), end, end + 7.25f, -1e30f, 1e30f}) {
        envelope.evaluate(t);
        envelope.derivative(t);
    }
    std::vector<std::pair<float, float>> samples;
    try {
        envelope.sample(start, end, (end - start) / 8.0f, samples);
    } catch (const Vostrel::Exception&) {
        // Degenerate ranges are refused with a message.
    }
}

void checkRoundTrip(const Vostrel::Envelope& envelope, bool binary)
{
    std::string path = VostrelFuzz::tempPath(binary ? "envelope.b" : "envelope.t");
    {
        Vostrel::Serializer out(path, binary);
        envelope.serialize(out);
    }
    Vostrel::Deserializer in(path);
    Vostrel::Envelope copy(in);
    const std::vector<Vostrel::EnvelopeKey>& a = envelope.getKeys();
    const std::vector<Vostrel::EnvelopeKey>& b = copy.getKeys();
    bool same = a.size() == b.size() && copy.getPreBehavior() == envelope.getPreBehavior() &&
                copy.getPostBehavior() == envelope.getPostBehavior() &&
                copy.getAuxiliaryFlag() == envelope.getAuxiliaryFlag();
    for (std::size_t i = 0; same && i < a.size(); ++i)
        same = sameFloat(a[i].time, b[i].time) && sameFloat(a[i].value, b[i].value) &&
               sameFloat(a[i].tension, b[i].tension) && sameFloat(a[i].continuity, b[i].continuity) &&
               sameFloat(a[i].bias, b[i].bias);
    if (!same) {
        std::fprintf(stderr, "envelope record changed in a round trip\n");
        std::abort();
    }
    std::remove(path.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = VostrelFuzz::writeInputFile("envelope.in", data, size);

    std::unique_ptr<Vostrel::Envelope> envelope;
    try {
        Vostrel::Deserializer in(path);
        envelope.reset(new Vostrel::Envelope(in));
        exercise(*envelope);
    } catch (const Vostrel::Exception&) {
        // Bad input ends with a clear message.
    }
    std::remove(path.c_str());
    if (envelope) {
        checkRoundTrip(*envelope, false);
        checkRoundTrip(*envelope, true);
    }
    return 0;
}
