#include "Libs/Core/RenderTarget.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"

namespace Vostrel {
namespace Core {

namespace {
RenderTarget* currentTarget = nullptr;
}

RenderTarget::RenderTarget()
    : previous(nullptr), width(0), height(0), viewportX(0.0f), viewportY(0.0f), viewportWidth(1.0f),
      viewportHeight(1.0f)
{
}

RenderTarget::~RenderTarget()
{
    if (currentTarget == this) {
        currentTarget = previous;
    } else {
        for (RenderTarget* target = currentTarget; target; target = target->previous)
            if (target->previous == this) {
                target->previous = previous;
                break;
            }
    }
    APICore::objectDestroyed(this);
}

void RenderTarget::setViewport(float x, float y, float w, float h)
{
    viewportX = x;
    viewportY = y;
    viewportWidth = w;
    viewportHeight = h;
}

bool RenderTarget::queryFlag()
{
    return false;
}

void RenderTarget::getViewport(float& x, float& y, float& w, float& h) const
{
    x = viewportX;
    y = viewportY;
    w = viewportWidth;
    h = viewportHeight;
}

RenderTarget* RenderTarget::getCurrentTarget()
{
    return currentTarget;
}

void RenderTarget::becomeCurrent()
{
    currentTarget = this;
}

bool RenderTarget::isSuspended() const
{
    if (!currentTarget)
        return false;
    for (const RenderTarget* target = currentTarget->previous; target; target = target->previous)
        if (target == this)
            return true;
    return false;
}

void RenderTarget::begin()
{
    // Beginning a suspended target again would link the chain into a loop.
    if (isSuspended())
        VOSTREL_THROW("RenderTarget::begin(): invalid call, target is suspended under another target");
    RenderTarget* suspended = currentTarget;
    // Beginning the current target again restarts its scene but keeps what
    // it resumes when it ends; it must not become its own previous target.
    if (suspended != this)
        previous = suspended;
    if (suspended)
        suspended->endScene();
    beginScene();
    APICore::getInstance()->setCurrentTarget(this);
}

void RenderTarget::end()
{
    if (currentTarget != this)
        VOSTREL_THROW("RenderTarget::end(): invalid call, currentTarget is not this target");
    endScene();
    update();
    RenderTarget* resumed = previous;
    previous = nullptr;
    if (resumed) {
        resumed->beginScene();
        APICore::getInstance()->setCurrentTarget(resumed);
    }
    currentTarget = resumed;
}

} // namespace Core
} // namespace Vostrel
