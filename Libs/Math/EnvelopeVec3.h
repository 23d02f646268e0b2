#pragma once

#include "Libs/Math/Envelope.h"
#include "Libs/Math/Vec.h"

namespace Vostrel {

// Three envelopes as one 3-vector function of time. The channels belong to
// whoever made them; this object never frees them.
class EnvelopeVec3 : public DerivableFunction<Vec3> {
public:
    EnvelopeVec3(Envelope* x, Envelope* y, Envelope* z);

    Vec3 evaluate(const float& time) const override;
    Vec3 derivative(float time) const override;

    // The earliest first key and the latest last key of the three channels.
    float getStartTime() const;
    float getEndTime() const;

    Envelope* getX() const { return x; }
    Envelope* getY() const { return y; }
    Envelope* getZ() const { return z; }

private:
    Envelope* x;
    Envelope* y;
    Envelope* z;
};

} // namespace Vostrel
