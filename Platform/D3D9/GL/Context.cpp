#include "Platform/D3D9/GL/Context.h"

#include "Platform/D3D9/GL/Objects.h"
#include "Platform/D3D9/GL/ProgramCache.h"
#include "Platform/D3D9/Internal.h"
#include "Platform/D3D9/StateTranslation.h"
#include "Platform/Win32/Host.h"

#include <SDL.h>

#include <cstring>
#include <iostream>

namespace D3D9::GL {

namespace {

void GLAPIENTRY reportDebugMessage(GLenum source, GLenum type, GLuint id, GLenum severity, GLsizei length,
                                   const GLchar* message, const void* user)
{
    if (type == GL_DEBUG_TYPE_ERROR)
        recordGlError(message);
}

// Reported at the failing call, so a debugger stops where the error is made.
void reportErrors()
{
    glEnable(GL_DEBUG_OUTPUT);
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    glDebugMessageControl(GL_DONT_CARE, GL_DONT_CARE, GL_DONT_CARE, 0, nullptr, GL_FALSE);
    glDebugMessageControl(GL_DONT_CARE, GL_DEBUG_TYPE_ERROR, GL_DONT_CARE, 0, nullptr, GL_TRUE);
    glDebugMessageCallback(reportDebugMessage, nullptr);
}

// The fill-rule probe's reading under the clip origin (see chooseClipOrigin),
// the square placed as the translated vertex shaders place it (y negated
// under the lower-left origin).
FillProbeReading probeFillRule(GLenum origin)
{
    static const ProgramSources probe = {
        "#version 450 core\n"
        "uniform float ySign;\n"
        "const vec2 corners[4] = vec2[](vec2(-0.5, 0.5), vec2(0.5, 0.5), vec2(-0.5, -0.5), vec2(0.5, -0.5));\n"
        "void main() { gl_Position = vec4(corners[gl_VertexID] * vec2(1.0, ySign), 0.0, 1.0); }\n",
        "#version 450 core\nout vec4 color;\nvoid main() { color = vec4(1.0); }\n"};
    std::string log;
    Program program(linkProgram(probe, log));
    if (!program)
        return std::nullopt;
    Texture target = makeTexture(GL_TEXTURE_2D);
    glTextureStorage2D(target.get(), 1, GL_RGBA8, 2, 2);
    Framebuffer framebuffer = makeFramebuffer();
    glNamedFramebufferTexture(framebuffer.get(), GL_COLOR_ATTACHMENT0, target.get(), 0);
    if (glCheckNamedFramebufferStatus(framebuffer.get(), GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        return std::nullopt;
    VertexArray emptyArray = makeVertexArray();

    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glClipControl(origin, GL_ZERO_TO_ONE);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer.get());
    glViewport(0, 0, 2, 2);
    const GLfloat clear[4] = {0, 0, 0, 0};
    glClearNamedFramebufferfv(framebuffer.get(), GL_COLOR, 0, clear);
    glUseProgram(program.get());
    glProgramUniform1f(program.get(), glGetUniformLocation(program.get(), "ySign"),
                       origin == GL_LOWER_LEFT ? -1.0f : 1.0f);
    glBindVertexArray(emptyArray.get());
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    uint8_t pixels[4][4] = {};
    glReadPixels(0, 0, 2, 2, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glBindVertexArray(0);
    glUseProgram(0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    unsigned reading = 0;
    for (unsigned i = 0; i < 4; ++i)
        if (pixels[i][0] == 255)
            reading |= 1u << i;
    return reading;
}

} // namespace

std::unique_ptr<Context> Context::create(std::string& error)
{
    if (!Win32Host::ensureVideo()) {
        error = std::string("no SDL video; SDL: ") + SDL_GetError();
        return nullptr;
    }
    SDL_Window* anchor = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!anchor) {
        error = std::string("no hidden OpenGL window; SDL: ") + SDL_GetError();
        return nullptr;
    }
    const int major = adapterSwitches().glMajorVersion;
    const int minor = adapterSwitches().glMinorVersion;
    const bool debug = glDebugContextWanted();
    const std::string asked = "OpenGL " + std::to_string(major) + "." + std::to_string(minor) + " core context" +
                              (debug ? " with the debug flag" : "");
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, major);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, minor);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, debug ? SDL_GL_CONTEXT_DEBUG_FLAG : 0);
    SDL_GLContext context = SDL_GL_CreateContext(anchor);
    if (!context) {
        error = "no " + asked + "; SDL: " + SDL_GetError();
        SDL_DestroyWindow(anchor);
        return nullptr;
    }
    Win32Host::pinLoadedLibraries();
    std::unique_ptr<Context> result(new Context(anchor, context));
    result->makeCurrent();
    if (epoxy_gl_version() < major * 10 + minor) {
        const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        error = "no " + asked + "; SDL gave OpenGL " + (version ? version : "of no version");
        return nullptr;
    }
    if (debug)
        reportErrors();
    // Direct3D's conventions: depth 0..1, row 0 at the top, clockwise front
    // faces, and a pixel centre on an edge filled by the triangle below or
    // right of it. OpenGL leaves that last choice to the driver, and a driver
    // may tie it to the clip origin (Mesa does): both origins put every row
    // in the same place (with y negated under the lower-left one), so keep
    // the one under which the driver fills top and left edges.
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const FillProbeReading upperLeft = probeFillRule(GL_UPPER_LEFT);
    const FillProbeReading lowerLeft = probeFillRule(GL_LOWER_LEFT);
    ClipOriginChoice origin = chooseClipOrigin(upperLeft, lowerLeft);
    static bool warned = false;
    if (!origin.problem.empty() && !warned) {
        // Said once: every device of the process draws alike.
        std::cerr << "Direct3D 9: OpenGL renderer \"" << (renderer ? renderer : "") << "\": " << origin.problem
                  << std::endl;
        warned = true;
    }
    result->lowerLeftOrigin_ = origin.lowerLeft;
    glClipControl(result->lowerLeftOrigin_ ? GL_LOWER_LEFT : GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    // Facing follows the winding in clip space, which the negation mirrors.
    glFrontFace(result->lowerLeftOrigin_ ? GL_CCW : GL_CW);
    glEnable(GL_PROGRAM_POINT_SIZE);
    glGetIntegerv(GL_MAX_SAMPLES, &result->maxSamples_);
    for (const char* name : {"llvmpipe", "softpipe", "swrast"})
        if (renderer && std::strstr(renderer, name))
            result->software_ = true;
    return result;
}

Context::Context(SDL_Window* anchor, void* context) : anchor_(anchor), context_(context) {}

Context::~Context()
{
    SDL_GL_MakeCurrent(nullptr, nullptr);
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
    SDL_DestroyWindow(anchor_);
}

void Context::makeCurrent()
{
    if (SDL_GL_GetCurrentContext() != context_ || SDL_GL_GetCurrentWindow() != anchor_)
        SDL_GL_MakeCurrent(anchor_, static_cast<SDL_GLContext>(context_));
}

void Context::presentToWindow(SDL_Window* window, GLuint readFramebuffer, int width, int height, bool keepAspect,
                              int swapInterval)
{
    if (SDL_GL_MakeCurrent(window, static_cast<SDL_GLContext>(context_)) != 0) {
        makeCurrent();
        return;
    }
    auto interval = swapIntervals_.find(window);
    if (interval == swapIntervals_.end() || interval->second != swapInterval) {
        SDL_GL_SetSwapInterval(swapInterval);
        swapIntervals_[window] = swapInterval;
    }
    int drawableWidth = 0;
    int drawableHeight = 0;
    SDL_GL_GetDrawableSize(window, &drawableWidth, &drawableHeight);
    PixelRect target = presentRectangle(width, height, drawableWidth, drawableHeight, keepAspect);

    // The caller's state shadow keeps these; restore what it believes.
    GLint previousRead = 0;
    GLint previousDraw = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previousRead);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &previousDraw);
    GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    if (keepAspect) {
        GLboolean mask[4];
        glGetBooleanv(GL_COLOR_WRITEMASK, mask);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glColorMask(mask[0], mask[1], mask[2], mask[3]);
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, readFramebuffer);
    bool sameSize = target.right - target.left == width && target.bottom - target.top == height;
    glBlitFramebuffer(0, 0, width, height, target.left, drawableHeight - target.top, target.right,
                      drawableHeight - target.bottom, GL_COLOR_BUFFER_BIT, sameSize ? GL_NEAREST : GL_LINEAR);
    SDL_GL_SwapWindow(window);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(previousRead));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(previousDraw));
    if (scissor)
        glEnable(GL_SCISSOR_TEST);
    makeCurrent();
}

} // namespace D3D9::GL
