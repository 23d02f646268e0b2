// The blit set made from nothing: the twenty predefined programs and the tap
// blitters the show uses (1, 5 and 11 taps) created and each drawn once, with
// every program-wide blitter object released in between, against compiling,
// linking and drawing once the same GLSL the device wrote for them (taken
// from the device as it compiles) straight through OpenGL, in one process
// and one context. Mesa's shader cache is off, so every link compiles anew
// for both sides. Prints the ratio of the two times. Run with
// SDL_VIDEODRIVER=offscreen where there is no display.
#include "Bench/Support/Briefly.h"
#include "Bench/Support/RatioReporter.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/RenderTarget.h"
#include "Libs/Core/Texture.h"
#include "Libs/Postprocessing/Blitter.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Postprocessing/RenderTexture.h"

#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <cstdio>
#include <cstdlib>
#include <list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace Vostrel;

const int kPredefinedPrograms = 20;
const int kRayMarch = 18; // reads a volume at stage 1
const int kTapCounts[] = {1, 5, 11};
const int kSize = 64;

// What every draw reads and writes, made once before the timing.
struct Scene {
    std::unique_ptr<Core::Texture> image, volume;
    RenderTexture* target = nullptr;

    Scene()
    {
        Core::TextureParameters parameters;
        parameters.width = parameters.height = 4;
        parameters.minFilter = Core::MIN_LINEAR;
        std::vector<uint32_t> texels(64, 0xFF336699u);
        image.reset(Core::createTexture(parameters));
        image->update(0, texels.data());
        parameters.type = Core::TEXTURE_TYPE_VOLUME;
        parameters.depth = 4;
        volume.reset(Core::createTexture(parameters));
        volume->update(0, texels.data());
        target = RenderTargetPool::create(kSize, kSize, Core::FORMAT_A8R8G8B8);
    }
};

Scene& scene()
{
    static Scene made;
    return made;
}

// Every predefined program and tap blitter made and drawn once, then
// finished; the blitters are left for the caller to delete.
void makeBlitSet(std::vector<std::unique_ptr<CustomBlitter>>& custom, std::vector<std::unique_ptr<Blitter>>& taps)
{
    Scene& s = scene();
    s.target->target->begin();
    // The caller's constants stay as they start: the cost is in the programs.
    const std::list<Vec4> constants;
    for (int id = 0; id < kPredefinedPrograms; ++id) {
        custom.emplace_back(createPredefinedBlitter(id));
        custom.back()->blit({s.image.get(), id == kRayMarch ? s.volume.get() : s.image.get()}, constants, constants);
    }
    for (int count : kTapCounts) {
        taps.emplace_back(createBlitter(count));
        std::vector<float> offsets(2 * count, 0.0f), weights(count, 1.0f / count);
        taps.back()->setOffsets(offsets.data());
        taps.back()->setWeights(weights.data());
        taps.back()->blit(s.image.get());
    }
    s.target->target->end();
    glFinish();
}

void releaseBlitSet(std::vector<std::unique_ptr<CustomBlitter>>& custom, std::vector<std::unique_ptr<Blitter>>& taps)
{
    custom.clear();
    taps.clear();
    releaseBlitterObjects();
}

// The GLSL the device compiles while the blit set is made: each shader's
// source as glShaderSource receives it, vertex and fragment in pairs.
struct Captured {
    std::vector<std::pair<GLenum, std::string>> shaders;
};
Captured* capturing = nullptr;
PFNGLSHADERSOURCEPROC realShaderSource = nullptr;

void GLAPIENTRY recordShaderSource(GLuint shader, GLsizei count, const GLchar* const* strings, const GLint* lengths)
{
    std::string source;
    for (GLsizei i = 0; i < count; ++i)
        source += lengths && lengths[i] >= 0 ? std::string(strings[i], size_t(lengths[i])) : std::string(strings[i]);
    GLint type = 0;
    glGetShaderiv(shader, GL_SHADER_TYPE, &type);
    capturing->shaders.emplace_back(GLenum(type), source);
    realShaderSource(shader, count, strings, lengths);
}

std::vector<std::pair<std::string, std::string>> captureBlitSetGlsl()
{
    std::vector<std::unique_ptr<CustomBlitter>> custom;
    std::vector<std::unique_ptr<Blitter>> taps;
    // Once without the recorder, so that the entry point is resolved and
    // the recorder calls the driver's own.
    makeBlitSet(custom, taps);
    releaseBlitSet(custom, taps);
    Captured captured;
    capturing = &captured;
    realShaderSource = epoxy_glShaderSource;
    epoxy_glShaderSource = recordShaderSource;
    makeBlitSet(custom, taps);
    epoxy_glShaderSource = realShaderSource;
    capturing = nullptr;
    releaseBlitSet(custom, taps);
    std::vector<std::pair<std::string, std::string>> pairs;
    for (size_t i = 0; i + 1 < captured.shaders.size(); i += 2) {
        if (captured.shaders[i].first != GL_VERTEX_SHADER || captured.shaders[i + 1].first != GL_FRAGMENT_SHADER)
            throw std::runtime_error("the device compiled something other than vertex and fragment pairs");
        pairs.emplace_back(captured.shaders[i].second, captured.shaders[i + 1].second);
    }
    return pairs;
}

const std::vector<std::pair<std::string, std::string>>& blitSetGlsl()
{
    static const std::vector<std::pair<std::string, std::string>> pairs = captureBlitSetGlsl();
    return pairs;
}

void vostrelBlitSet(benchmark::State& state)
{
    std::vector<std::unique_ptr<CustomBlitter>> custom;
    std::vector<std::unique_ptr<Blitter>> taps;
    for (auto _ : state) {
        makeBlitSet(custom, taps);
        state.PauseTiming();
        releaseBlitSet(custom, taps);
        state.ResumeTiming();
    }
    state.counters["programs"] = double(blitSetGlsl().size());
}

GLuint compile(GLenum stage, const std::string& source)
{
    GLuint shader = glCreateShader(stage);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    return shader;
}

GLuint link(const std::pair<std::string, std::string>& sources)
{
    GLuint vertex = compile(GL_VERTEX_SHADER, sources.first);
    GLuint fragment = compile(GL_FRAGMENT_SHADER, sources.second);
    GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDetachShader(program, vertex);
    glDetachShader(program, fragment);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked)
        throw std::runtime_error("the captured GLSL does not link");
    return program;
}

void openGLBlitSet(benchmark::State& state)
{
    const auto& pairs = blitSetGlsl();
    // The device's quad: location and texture coordinate, two triangles.
    const float quad[] = {-1, 1, 0, 0, 0, 1, 1, 0, 1, 0, 1, -1, 0, 1, 1, -1, -1, 0, 0, 1};
    const unsigned short indices[] = {0, 1, 2, 0, 2, 3};
    GLuint buffers[2];
    glCreateBuffers(2, buffers);
    glNamedBufferData(buffers[0], sizeof(quad), quad, GL_STATIC_DRAW);
    glNamedBufferData(buffers[1], sizeof(indices), indices, GL_STATIC_DRAW);
    GLuint array;
    glCreateVertexArrays(1, &array);
    glVertexArrayVertexBuffer(array, 0, buffers[0], 0, 20);
    glVertexArrayElementBuffer(array, buffers[1]);
    for (GLuint location = 0; location < 2; ++location) {
        glVertexArrayAttribFormat(array, location, location == 0 ? 3 : 2, GL_FLOAT, GL_FALSE, location * 12);
        glVertexArrayAttribBinding(array, location, 0);
        glEnableVertexArrayAttrib(array, location);
    }
    GLuint target;
    glCreateTextures(GL_TEXTURE_2D, 1, &target);
    glTextureStorage2D(target, 1, GL_RGBA8, kSize, kSize);
    GLuint framebuffer;
    glCreateFramebuffers(1, &framebuffer);
    glNamedFramebufferTexture(framebuffer, GL_COLOR_ATTACHMENT0, target, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, kSize, kSize);
    glBindVertexArray(array);
    std::vector<GLuint> programs;
    for (auto _ : state) {
        for (const auto& sources : pairs) {
            programs.push_back(link(sources));
            glUseProgram(programs.back());
            glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_SHORT, nullptr);
        }
        glFinish();
        state.PauseTiming();
        glUseProgram(0);
        for (GLuint program : programs)
            glDeleteProgram(program);
        programs.clear();
        state.ResumeTiming();
    }
    state.counters["programs"] = double(pairs.size());
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &target);
    glDeleteVertexArrays(1, &array);
    glDeleteBuffers(2, buffers);
}

} // namespace

int main(int argc, char** argv)
{
    // Every link compiles anew, for both sides alike.
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
    benchmark::Initialize(&argc, argv);
    Core::DXCore::install();
    Core::WindowParameters window;
    window.width = 32;
    window.height = 32;
    if (!Core::createCore(window)) {
        std::fprintf(stderr, "no Direct3D core\n");
        return 1;
    }
    blitSetGlsl();
    // The device's runs first: the OpenGL runs change bindings it does not know of.
    VostrelBench::runFor(benchmark::RegisterBenchmark("Vostrel/blit-set", vostrelBlitSet), 2.0)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    VostrelBench::runFor(benchmark::RegisterBenchmark("OpenGL/blit-set", openGLBlitSet), 2.0)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    VostrelBench::RatioReporter reporter("Vostrel", "OpenGL", "Vostrel / OpenGL time, %s from nothing: %.2f\n");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    scene().image.reset();
    scene().volume.reset();
    releasePostprocessingObjects();
    Core::APICore::destroyInstance();
    return reporter.anyFailed() ? 1 : 0;
}
