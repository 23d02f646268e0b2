#include "Libs/Scene/LwScene.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/Perspective.h"

namespace Vostrel {

// ---- Camera projection -----------------------------------------------------

namespace {

// A frame narrower or lower than a pixel has no aspect ratio.
void checkFrame(const SceneObject& camera)
{
    const int width = camera.getIntConstant("frameWidth");
    const int height = camera.getIntConstant("frameHeight");
    if (width < 1 || height < 1)
        VOSTREL_THROW("PerspectiveFunction: camera '" << camera.describe() << "' has the frame size " << width
                                                      << " x " << height << ", not at least 1 x 1");
}

} // namespace

PerspectiveFunction::PerspectiveFunction(SceneObject* camera) : camera(camera)
{
    VOSTREL_ASSERT_AT_LINE(37, camera->hasAttribute("zoomFactor"));
    VOSTREL_ASSERT_AT_LINE(38, camera->hasIntConstant("frameWidth"));
    VOSTREL_ASSERT_AT_LINE(39, camera->hasIntConstant("frameHeight"));
    checkFrame(*camera);
}

Matrix4 PerspectiveFunction::evaluate(const float& time) const
{
    const SceneObject::AttributeFunction* nearPlane = camera->getAttributeFunction("nearPlane");
    const SceneObject::AttributeFunction* farPlane = camera->getAttributeFunction("farPlane");
    const float zNear = nearPlane ? nearPlane->evaluate(time) : 0.01f;
    const float zFar = farPlane ? farPlane->evaluate(time) : 2000.0f;
    const float zoom = camera->requireAttribute("zoomFactor").evaluate(time);
    // The constants may have been edited since the camera was checked.
    checkFrame(*camera);
    const float aspect = static_cast<float>(camera->getIntConstant("frameWidth"))
                         / static_cast<float>(camera->getIntConstant("frameHeight"));
    return perspectiveMatrix(aspect, zoom, zNear, zFar);
}

Matrix4 perspectiveMatrix(float a, float b, float zNear, float zFar)
{
    return Core::Perspective::frustum(-a * zNear / b, a * zNear / b, -zNear / b, zNear / b, zNear, zFar);
}

// ---- end of camera projection ----------------------------------------------

} // namespace Vostrel
