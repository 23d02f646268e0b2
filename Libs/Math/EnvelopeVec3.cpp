#include "Libs/Math/EnvelopeVec3.h"

#include "Libs/Common/Exception.h"

#include <algorithm>

namespace Vostrel {

EnvelopeVec3::EnvelopeVec3(Envelope* x, Envelope* y, Envelope* z) : x(x), y(y), z(z)
{
    VOSTREL_ASSERT(x != 0 && y != 0 && z != 0);
}

// z, then y, then x: the order in which callers have always seen the
// channels evaluated.
Vec3 EnvelopeVec3::evaluate(const float& time) const
{
    const float vz = z->evaluate(time);
    const float vy = y->evaluate(time);
    const float vx = x->evaluate(time);
    return Vec3(vx, vy, vz);
}

Vec3 EnvelopeVec3::derivative(float time) const
{
    const float dz = z->derivative(time);
    const float dy = y->derivative(time);
    const float dx = x->derivative(time);
    return Vec3(dx, dy, dz);
}

float EnvelopeVec3::getStartTime() const
{
    return std::min(x->getStartTime(), std::min(y->getStartTime(), z->getStartTime()));
}

float EnvelopeVec3::getEndTime() const
{
    return std::max(x->getEndTime(), std::max(y->getEndTime(), z->getEndTime()));
}

} // namespace Vostrel
