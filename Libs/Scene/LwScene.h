#pragma once

#include "Libs/Math/Function.h"
#include "Libs/Math/Matrix.h"
#include "Libs/Scene/Scene.h"

namespace Vostrel {

// ---- Camera projection -----------------------------------------------------

// A camera's projection at a time, from its "zoomFactor", optional
// "nearPlane" and "farPlane" (0.01 and 2000 without) and its frame size.
// Reads the camera; does not own it.
class PerspectiveFunction : public Function<float, Matrix4> {
public:
    // The camera needs "zoomFactor", "frameWidth" and "frameHeight", the
    // frame at least one pixel each way.
    explicit PerspectiveFunction(SceneObject* camera);

    // Evaluated at time itself: the camera's time offset does not shift it.
    Matrix4 evaluate(const float& time) const override;
    bool isConstant() const override { return false; }

private:
    SceneObject* camera;
};

// The render core's frustum whose near rectangle is a / b wide and 1 / b high
// per unit of near distance: b is the cotangent of half the vertical field of
// view, a the aspect ratio.
Matrix4 perspectiveMatrix(float a, float b, float zNear, float zFar);

// ---- end of camera projection ----------------------------------------------

} // namespace Vostrel
