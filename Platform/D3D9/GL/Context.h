#pragma once

// The device's OpenGL context. It lives on a hidden window of its own, so
// that windows may come and go; presenting borrows a window's drawable for
// the blit and the swap only.

#include <epoxy/gl.h>

#include <map>
#include <memory>
#include <string>

struct SDL_Window;

namespace D3D9::GL {

class Context {
public:
    // Null (with the reason) when SDL gives no OpenGL 4.5 core context.
    static std::unique_ptr<Context> create(std::string& error);
    ~Context();

    void makeCurrent();

    // Blits the colour attachment of the given read framebuffer, rows
    // top-first, into the window upside down (OpenGL's windows count rows
    // from the bottom), then swaps with the given swap interval.
    void presentToWindow(SDL_Window* window, GLuint readFramebuffer, int width, int height, bool keepAspect,
                         int swapInterval);

    int maxSamples() const { return maxSamples_; }
    // Whether the processor rasterises (Mesa's llvmpipe, softpipe, swrast):
    // there a pass the driver renders for us costs more than doing its work
    // on our side.
    bool software() const { return software_; }
    // The sign the translated vertex shaders give y: -1 where the context
    // draws under the lower-left clip origin, whose driver then fills pixel
    // centres on top and left edges as Direct3D 9 does.
    float clipYSign() const { return lowerLeftOrigin_ ? -1.0f : 1.0f; }

private:
    Context(SDL_Window* anchor, void* context);

    SDL_Window* anchor_;
    void* context_;
    int maxSamples_ = 0;
    bool software_ = false;
    bool lowerLeftOrigin_ = false;
    std::map<SDL_Window*, int> swapIntervals_;
};

} // namespace D3D9::GL
