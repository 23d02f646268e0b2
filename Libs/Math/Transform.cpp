#include "Libs/Math/Matrix.h"

namespace Vostrel {

Matrix4 transformMatrixFromHpb(float x, float y, float z, float heading, float pitch, float bank,
                               float sx, float sy, float sz)
{
    Matrix3 m = Matrix3::scaling(Vec3(sx, sy, sz));
    m = Matrix3::rotation(Vec3(0.0f, 0.0f, -1.0f), bank) * m;
    m = Matrix3::rotation(Vec3(-1.0f, 0.0f, 0.0f), pitch) * m;
    m = Matrix3::rotation(Vec3(0.0f, -1.0f, 0.0f), heading) * m;
    return affineTransform(m, Vec3(x, y, z));
}

Vec3 lookAtAngles(float bank, const Vec3& from, const Vec3& to)
{
    Vec3 d = to - from;
    float heading = std::atan2(d[0], d[2]);
    float pitch = std::atan2(-d[1], std::sqrt(d[0] * d[0] + d[2] * d[2]));
    return Vec3(heading, pitch, bank);
}

} // namespace Vostrel
