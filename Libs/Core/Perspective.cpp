#include "Libs/Core/Perspective.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/RenderTarget.h"

#include <utility>

namespace Vostrel {
namespace Core {
namespace Perspective {

namespace {
Matrix4 zeroMatrix()
{
    return Matrix4(0.0f);
}
} // namespace

// Intermediates are doubles; 2n, 1 / (f - n) and s are rounded to float
// before they take part in products. The off-centre terms carry a minus sign
// because the eye looks along +z: the near rectangle's edges then land on
// -1 and +1 whatever its position. The depth row maps n to zMin and f to 1
// for any zMin; its constant (1 + zMin) / 2 is what makes both ends hold.
Matrix4 frustum(float left, float right, float bottom, float top, float zNear, float zFar)
{
    APICore& core = *APICore::getInstance();
    if (core.flipsProjectionY())
        std::swap(bottom, top);
    double zMin = core.getMinimumClipDepth();
    double s = static_cast<float>((1.0 - zMin) / 2.0);
    double twoNear = static_cast<float>(2.0 * zNear);
    double inverseDepth = static_cast<float>(1.0 / (static_cast<double>(zFar) - zNear));
    double width = static_cast<double>(right) - left;
    double height = static_cast<double>(top) - bottom;

    Matrix4 m = zeroMatrix();
    m(0, 0) = static_cast<float>(twoNear / width);
    m(0, 2) = static_cast<float>(-(static_cast<double>(left) + right) / width);
    m(1, 1) = static_cast<float>(twoNear / height);
    m(1, 2) = static_cast<float>(-(static_cast<double>(bottom) + top) / height);
    m(2, 2) = static_cast<float>((static_cast<double>(zNear) + zFar) * inverseDepth * s + (1.0 + zMin) / 2.0);
    m(2, 3) = static_cast<float>(-(twoNear * zFar * s) * inverseDepth);
    m(3, 2) = 1.0f;
    return m;
}

Matrix4 ortho(float left, float right, float bottom, float top, float zNear, float zFar)
{
    APICore& core = *APICore::getInstance();
    if (core.flipsProjectionY())
        std::swap(bottom, top);
    double zMin = core.getMinimumClipDepth();
    double s = (1.0 - zMin) / 2.0;
    double depth = static_cast<float>(static_cast<double>(zFar) - zNear);
    double width = static_cast<double>(right) - left;
    double height = static_cast<double>(top) - bottom;

    Matrix4 m = zeroMatrix();
    m(0, 0) = static_cast<float>(2.0 / width);
    m(0, 3) = static_cast<float>(-(static_cast<double>(left) + right) / width);
    m(1, 1) = static_cast<float>(2.0 / height);
    m(1, 3) = static_cast<float>(-(static_cast<double>(bottom) + top) / height);
    m(2, 2) = static_cast<float>(2.0 * s / depth);
    m(2, 3) = static_cast<float>((1.0 + zMin) / 2.0 - (static_cast<double>(zNear) + zFar) / depth * s);
    m(3, 3) = 1.0f;
    return m;
}

Matrix4 perspective(float aspect, float focal, float zNear, float zFar)
{
    float x = static_cast<float>(static_cast<double>(aspect) * zNear / focal);
    float y = static_cast<float>(static_cast<double>(zNear) / focal);
    return frustum(-x, x, -y, y, zNear, zFar);
}

Matrix4 ortho2D(float left, float right, float bottom, float top)
{
    return ortho(left, right, bottom, top, -1.0f, 1.0f);
}

Matrix4 frustumMatrix(RenderTarget* target, float focal, float zNear, float zFar)
{
    if (!target)
        VOSTREL_THROW("Perspective::frustumMatrix(): aspect ratio not attainable, no render target");
    return perspective(static_cast<float>(target->getAspectRatio()), focal, zNear, zFar);
}

Matrix4 frustumMatrix(float focal, float zNear, float zFar)
{
    RenderTarget* target = RenderTarget::getCurrentTarget();
    if (!target)
        VOSTREL_THROW("Perspective::frustumMatrix(): aspect ratio not attainable, no current render target");
    return frustumMatrix(target, focal, zNear, zFar);
}

Matrix4 orthoMatrix(RenderTarget* target, bool centred)
{
    if (!target)
        VOSTREL_THROW("Perspective::orthoMatrix(): target size not attainable, no render target");
    float w = static_cast<float>(target->getWidth());
    float h = static_cast<float>(target->getHeight());
    if (centred)
        return ortho(-w / 2, w / 2, -h / 2, h / 2, -1.0f, 1.0f);
    return ortho(0.0f, w, 0.0f, h, -1.0f, 1.0f);
}

Matrix4 orthoMatrix(bool centred)
{
    return orthoMatrix(RenderTarget::getCurrentTarget(), centred);
}

} // namespace Perspective
} // namespace Core
} // namespace Vostrel
