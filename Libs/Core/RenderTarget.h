#pragma once

#include <cstdint>

namespace Vostrel {
namespace Core {

// Anything the engine draws into. Drawing is bracketed by begin and end,
// which nest: beginning a target suspends the current one, and ending it
// resumes the suspended one. One target is current at a time.
class RenderTarget {
public:
    RenderTarget();
    // A target destroyed while begun leaves the chain of suspended targets.
    virtual ~RenderTarget();

    RenderTarget(const RenderTarget&) = delete;
    RenderTarget& operator=(const RenderTarget&) = delete;

    // Fractions of the target's width and height; (0, 0, 1, 1) is all of it.
    virtual void setViewport(float x, float y, float width, float height);
    // Reads back width x height A8R8G8B8 pixels, row after row.
    virtual void getFramebuffer(std::uint32_t* destination) = 0;
    virtual bool queryFlag();
    // Binds the target's surfaces (unless it is current already), begins a
    // device scene, resets the viewport and makes the target current.
    virtual void beginScene() = 0;
    virtual void endScene() = 0;
    // Shows what was drawn: a window presents, a texture does nothing.
    virtual void update() = 0;

    void begin();
    void end();

    int getWidth() const { return width; }
    int getHeight() const { return height; }
    double getAspectRatio() const { return static_cast<double>(width) / height; }
    void getViewport(float& x, float& y, float& width, float& height) const;

    static RenderTarget* getCurrentTarget();

protected:
    // For beginScene.
    void becomeCurrent();

    RenderTarget* previous; // current when this one was begun; not owned
    int width;
    int height;
    float viewportX;
    float viewportY;
    float viewportWidth;
    float viewportHeight;

private:
    bool isSuspended() const;
};

} // namespace Core
} // namespace Vostrel
