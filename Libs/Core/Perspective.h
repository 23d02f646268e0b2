#pragma once

#include "Libs/Math/Matrix.h"

namespace Vostrel {
namespace Core {

class RenderTarget;

// Projection matrices for the API in use: one formula serves every API by
// asking the rendering interface whether clip-space y runs the other way and
// which depth the near plane maps to (the far plane maps to 1). The eye looks
// along +z; matrices apply to column vectors.
namespace Perspective {

// The view volume whose near rectangle is given; w = z.
Matrix4 frustum(float left, float right, float bottom, float top, float zNear, float zFar);
Matrix4 ortho(float left, float right, float bottom, float top, float zNear, float zFar);
// focal is 1 / tan of half the vertical field of view.
Matrix4 perspective(float aspect, float focal, float zNear, float zFar);
Matrix4 ortho2D(float left, float right, float bottom, float top);

// perspective with the aspect ratio of the target (or of the current target).
Matrix4 frustumMatrix(RenderTarget* target, float focal, float zNear, float zFar);
Matrix4 frustumMatrix(float focal, float zNear, float zFar);
// Pixel units of the target (or the current target), centred or from the
// lower left corner.
Matrix4 orthoMatrix(RenderTarget* target, bool centred);
Matrix4 orthoMatrix(bool centred);

} // namespace Perspective
} // namespace Core
} // namespace Vostrel
