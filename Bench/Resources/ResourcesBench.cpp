// Two costs of drawing through the Direct3D stand-in, each beside the same
// work done straight through OpenGL in the same context and run:
// - fill rate of a one-tap full-screen copy (the blitters' copy: a textured
//   quad, linear filtering) at 640 x 480 and 1280 x 720;
// - making a hundred typical shader pairs: assembling, creating, translating
//   and linking them (the first draw links), against compiling and linking
//   their finished GLSL and drawing once.
// Prints the ratio of each pair of times. Run with SDL_VIDEODRIVER=offscreen
// where there is no display. Direct3D runs come first: the OpenGL runs
// change bindings the device does not know of.
#include "Bench/Support/Briefly.h"
#include "Bench/Support/RatioReporter.h"
#include "Platform/D3D9/d3d9.h"
#include "Platform/D3DX9/d3dx9.h"
#include "Platform/Shader/GlslTranslator.h"
#include "Platform/Shader/ShaderParser.h"

#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

// One device for the whole run, on a small window; everything draws into
// render-target textures.
struct Device {
    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* device = nullptr;

    Device()
    {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = windowProcedure;
        windowClass.lpszClassName = "ResourcesBench";
        RegisterClassExA(&windowClass);
        HWND window = CreateWindowExA(0, "ResourcesBench", "bench", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr,
                                      nullptr, nullptr, nullptr);
        direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS parameters = {};
        parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
        parameters.hDeviceWindow = window;
        parameters.Windowed = TRUE;
        parameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        if (!direct3D || direct3D->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                                &parameters, &device) != D3D_OK)
            throw std::runtime_error("no Direct3D device");
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->BeginScene();
    }
};

Device& theDevice()
{
    static Device device;
    return device;
}

std::vector<DWORD> assemble(const std::string& text)
{
    LPD3DXBUFFER code = nullptr;
    if (D3DXAssembleShader(text.c_str(), static_cast<UINT>(text.size()), nullptr, nullptr, 0, &code, nullptr) != D3D_OK)
        throw std::runtime_error("does not assemble: " + text);
    auto* begin = static_cast<const DWORD*>(code->GetBufferPointer());
    std::vector<DWORD> tokens(begin, begin + code->GetBufferSize() / 4);
    code->Release();
    return tokens;
}

const char* copyVertex = "vs_2_0\ndcl_texcoord0 v0\ndcl_texcoord1 v1\nmov oPos, v0\nmov oT0, v1\n";
const char* copyPixel = "ps_2_0\ndcl t0.xy\ndcl_2d s0\ntexld r0, t0, s0\nmov oC0, r0\n";

IDirect3DTexture9* renderTarget(IDirect3DDevice9* device, UINT width, UINT height)
{
    IDirect3DTexture9* target = nullptr;
    device->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target, nullptr);
    IDirect3DSurface9* surface = nullptr;
    target->GetSurfaceLevel(0, &surface);
    device->SetRenderTarget(0, surface);
    device->SetDepthStencilSurface(nullptr);
    surface->Release();
    return target;
}

void direct3DCopy(benchmark::State& state, UINT width, UINT height)
{
    IDirect3DDevice9* device = theDevice().device;
    IDirect3DTexture9* target = renderTarget(device, width, height);
    IDirect3DTexture9* source = nullptr;
    device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &source, nullptr);
    IDirect3DSurface9* level = nullptr;
    source->GetSurfaceLevel(0, &level);
    device->ColorFill(level, nullptr, 0xFF336699u);
    level->Release();
    std::vector<DWORD> vertexCode = assemble(copyVertex);
    std::vector<DWORD> pixelCode = assemble(copyPixel);
    IDirect3DVertexShader9* vertexShader = nullptr;
    IDirect3DPixelShader9* pixelShader = nullptr;
    device->CreateVertexShader(vertexCode.data(), &vertexShader);
    device->CreatePixelShader(pixelCode.data(), &pixelShader);
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                          {0, 8, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 1},
                                          D3DDECL_END()};
    IDirect3DVertexDeclaration9* declaration = nullptr;
    device->CreateVertexDeclaration(elements, &declaration);
    float dx = -1.0f / width;
    float dy = 1.0f / height;
    const float quad[] = {-1 + dx, 1 + dy, 0, 0, 1 + dx, 1 + dy, 1, 0, -1 + dx, -1 + dy, 0, 1, 1 + dx, -1 + dy, 1, 1};
    IDirect3DVertexBuffer9* vertices = nullptr;
    device->CreateVertexBuffer(sizeof(quad), D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &vertices, nullptr);
    void* data = nullptr;
    vertices->Lock(0, 0, &data, 0);
    std::memcpy(data, quad, sizeof(quad));
    vertices->Unlock();
    device->SetVertexShader(vertexShader);
    device->SetPixelShader(pixelShader);
    device->SetVertexDeclaration(declaration);
    device->SetStreamSource(0, vertices, 0, 16);
    device->SetTexture(0, source);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    if (device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2) != D3D_OK)
        state.SkipWithError("the copy does not draw");
    glFinish();
    for (auto _ : state) {
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
        glFinish();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
    device->SetTexture(0, nullptr);
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetVertexDeclaration(nullptr);
    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);
    vertices->Release();
    declaration->Release();
    vertexShader->Release();
    pixelShader->Release();
    source->Release();
    target->Release();
}

GLuint linkGlsl(const std::string& vertex, const std::string& fragment)
{
    auto compile = [](GLenum stage, const std::string& source) {
        GLuint shader = glCreateShader(stage);
        const char* text = source.c_str();
        glShaderSource(shader, 1, &text, nullptr);
        glCompileShader(shader);
        return shader;
    };
    GLuint vertexShader = compile(GL_VERTEX_SHADER, vertex);
    GLuint fragmentShader = compile(GL_FRAGMENT_SHADER, fragment);
    GLuint program = glCreateProgram();
    glAttachShader(program, vertexShader);
    glAttachShader(program, fragmentShader);
    glLinkProgram(program);
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked)
        throw std::runtime_error("GLSL does not link");
    return program;
}

void openGLCopy(benchmark::State& state, UINT width, UINT height)
{
    theDevice();
    GLuint textures[2];
    glCreateTextures(GL_TEXTURE_2D, 2, textures);
    for (GLuint texture : textures) {
        glTextureStorage2D(texture, 1, GL_RGBA8, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
        glTextureParameteri(texture, GL_TEXTURE_MAX_LEVEL, 0);
        glTextureParameteri(texture, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTextureParameteri(texture, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTextureParameteri(texture, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTextureParameteri(texture, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    const float fill[4] = {0.2f, 0.4f, 0.6f, 1.0f};
    glClearTexImage(textures[0], 0, GL_RGBA, GL_FLOAT, fill);
    GLuint framebuffer;
    glCreateFramebuffers(1, &framebuffer);
    glNamedFramebufferTexture(framebuffer, GL_COLOR_ATTACHMENT0, textures[1], 0);
    GLuint program = linkGlsl("#version 450 core\n"
                              "layout(location = 0) in vec2 position;\n"
                              "layout(location = 1) in vec2 coordinate;\n"
                              "out vec2 uv;\n"
                              "void main() { uv = coordinate; gl_Position = vec4(position, 0.0, 1.0); }\n",
                              "#version 450 core\n"
                              "layout(binding = 0) uniform sampler2D source;\n"
                              "in vec2 uv;\n"
                              "out vec4 color;\n"
                              "void main() { color = texture(source, uv); }\n");
    const float quad[] = {-1, 1, 0, 0, 1, 1, 1, 0, -1, -1, 0, 1, 1, -1, 1, 1};
    GLuint buffer;
    glCreateBuffers(1, &buffer);
    glNamedBufferData(buffer, sizeof(quad), quad, GL_STATIC_DRAW);
    GLuint array;
    glCreateVertexArrays(1, &array);
    glVertexArrayVertexBuffer(array, 0, buffer, 0, 16);
    for (GLuint location = 0; location < 2; ++location) {
        glVertexArrayAttribFormat(array, location, 2, GL_FLOAT, GL_FALSE, location * 8);
        glVertexArrayAttribBinding(array, location, 0);
        glEnableVertexArrayAttrib(array, location);
    }
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    glUseProgram(program);
    glBindVertexArray(array);
    glBindTextureUnit(0, textures[0]);
    glBindSampler(0, 0);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glFinish();
    for (auto _ : state) {
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        glFinish();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
    glDeleteVertexArrays(1, &array);
    glDeleteBuffers(1, &buffer);
    glDeleteProgram(program);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(2, textures);
}

// A hundred shader pairs of the kinds the engine writes: a transform with
// lighting terms in the vertex stage, a blur of 1 to 10 taps with weights
// in the pixel stage. The constants differ, so no two texts are the same.
struct Pair {
    std::string vertex;
    std::string pixel;
};

std::vector<Pair> typicalPairs()
{
    std::vector<Pair> pairs;
    // Under ctest a tenth of them: enough to see every step still works.
    const int count = VostrelBench::once() ? 10 : 100;
    for (int i = 0; i < count; ++i) {
        char number[32];
        std::snprintf(number, sizeof(number), "%.4f", 0.001f * (i + 1));
        std::string vertex = "vs_2_0\ndcl_texcoord0 v0\ndcl_texcoord1 v1\ndcl_texcoord2 v2\n";
        vertex += std::string("def c20, ") + number + ", 0.5, 1, 0\n";
        vertex += "dp4 oPos.x, v0, c0\ndp4 oPos.y, v0, c1\ndp4 oPos.z, v0, c2\ndp4 oPos.w, v0, c3\n"
                  "dp3 r0.x, v2, c4\ndp3 r0.y, v2, c5\ndp3 r0.z, v2, c6\nnrm r1, r0\n"
                  "dp3 r2.x, r1, c7\nmax r2.x, r2.x, c20.w\nmul r3, r2.x, c8\nadd oD0, r3, c20.x\n"
                  "mov oT0, v1\nmad oT1.xy, v1, c20.y, c20.x\n";
        int taps = 1 + i % 10;
        std::string pixel = "ps_2_0\ndcl t0.xy\ndcl t1.xy\ndcl v0\ndcl_2d s0\n";
        for (int tap = 0; tap < taps; ++tap) {
            char line[96];
            std::snprintf(line, sizeof(line), "def c%d, %.4f, %.4f, %.4f, %.4f\n", tap, 0.01f * tap, -0.01f * tap,
                          1.0f / taps, 0.001f * i);
            pixel += line;
        }
        for (int tap = 0; tap < taps; ++tap) {
            pixel += "add r" + std::to_string(tap % 4) + ", t0, c" + std::to_string(tap) + "\n";
            pixel += "texld r" + std::to_string(tap % 4) + ", r" + std::to_string(tap % 4) + ", s0\n";
            pixel += tap == 0 ? "mul r5, r0, c0.z\n" : "mad r5, r" + std::to_string(tap % 4) + ", c" +
                                                           std::to_string(tap) + ".z, r5\n";
        }
        pixel += "mul r5, r5, v0\nmov oC0, r5\n";
        pairs.push_back({vertex, pixel});
    }
    return pairs;
}

void direct3DPrograms(benchmark::State& state)
{
    IDirect3DDevice9* device = theDevice().device;
    std::vector<Pair> pairs = typicalPairs();
    IDirect3DTexture9* target = renderTarget(device, 1, 1);
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_TEXCOORD, 0}, D3DDECL_END()};
    IDirect3DVertexDeclaration9* declaration = nullptr;
    device->CreateVertexDeclaration(elements, &declaration);
    const float point[] = {0, 0, 0, 1};
    IDirect3DVertexBuffer9* vertices = nullptr;
    device->CreateVertexBuffer(sizeof(point), D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &vertices, nullptr);
    void* data = nullptr;
    vertices->Lock(0, 0, &data, 0);
    std::memcpy(data, point, sizeof(point));
    vertices->Unlock();
    device->SetVertexDeclaration(declaration);
    device->SetStreamSource(0, vertices, 0, 16);
    // The device's first sampler as it starts; linear filtering (left by the
    // copy) makes the driver compile more for every texture read.
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
    for (auto _ : state) {
        for (const Pair& pair : pairs) {
            std::vector<DWORD> vertexCode = assemble(pair.vertex);
            std::vector<DWORD> pixelCode = assemble(pair.pixel);
            IDirect3DVertexShader9* vertexShader = nullptr;
            IDirect3DPixelShader9* pixelShader = nullptr;
            device->CreateVertexShader(vertexCode.data(), &vertexShader);
            device->CreatePixelShader(pixelCode.data(), &pixelShader);
            device->SetVertexShader(vertexShader);
            device->SetPixelShader(pixelShader);
            if (device->DrawPrimitive(D3DPT_POINTLIST, 0, 1) != D3D_OK)
                state.SkipWithError("a program does not draw");
            device->SetVertexShader(nullptr);
            device->SetPixelShader(nullptr);
            vertexShader->Release();
            pixelShader->Release();
        }
        glFinish();
    }
    state.SetItemsProcessed(state.iterations() * pairs.size());
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetVertexDeclaration(nullptr);
    vertices->Release();
    declaration->Release();
    target->Release();
}

void openGLPrograms(benchmark::State& state)
{
    theDevice();
    // The GLSL the device writes for these pairs drawn as points, made before
    // the timing.
    std::vector<std::pair<std::string, std::string>> sources;
    Shader::ProgramVariant points;
    points.pointSprites = true;
    for (const Pair& pair : typicalPairs())
        sources.emplace_back(Shader::translateToGlsl(Shader::assemble(pair.vertex), points).source,
                             Shader::translateToGlsl(Shader::assemble(pair.pixel)).source);
    GLuint target;
    glCreateTextures(GL_TEXTURE_2D, 1, &target);
    glTextureStorage2D(target, 1, GL_RGBA8, 1, 1);
    GLuint framebuffer;
    glCreateFramebuffers(1, &framebuffer);
    glNamedFramebufferTexture(framebuffer, GL_COLOR_ATTACHMENT0, target, 0);
    // The same vertex input as the Direct3D side: one point of four floats.
    const float point[] = {0, 0, 0, 1};
    GLuint buffer;
    glCreateBuffers(1, &buffer);
    glNamedBufferData(buffer, sizeof(point), point, GL_STATIC_DRAW);
    GLuint array;
    glCreateVertexArrays(1, &array);
    glVertexArrayVertexBuffer(array, 0, buffer, 0, 16);
    glVertexArrayAttribFormat(array, 0, 4, GL_FLOAT, GL_FALSE, 0);
    glVertexArrayAttribBinding(array, 0, 0);
    glEnableVertexArrayAttrib(array, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, 1, 1);
    glBindVertexArray(array);
    for (auto _ : state) {
        for (const auto& source : sources) {
            GLuint program = linkGlsl(source.first, source.second);
            glUseProgram(program);
            glDrawArrays(GL_POINTS, 0, 1);
            glUseProgram(0);
            glDeleteProgram(program);
        }
        glFinish();
    }
    state.SetItemsProcessed(state.iterations() * sources.size());
    glDeleteVertexArrays(1, &array);
    glDeleteBuffers(1, &buffer);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &target);
}

} // namespace

int main(int argc, char** argv)
{
    // Every link compiles anew, for both sides alike.
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
    benchmark::Initialize(&argc, argv);
    const std::pair<UINT, UINT> sizes[] = {{640, 480}, {1280, 720}};
    for (const char* api : {"Direct3D", "OpenGL"}) {
        bool ours = std::string(api) == "Direct3D";
        for (const auto& size : sizes) {
            std::string name = std::string(api) + "/copy-" + std::to_string(size.first) + "x" + std::to_string(size.second);
            VostrelBench::runFor(
                benchmark::RegisterBenchmark(name.c_str(), ours ? direct3DCopy : openGLCopy, size.first, size.second),
                1.0)
                ->Unit(benchmark::kMicrosecond)
                ->UseRealTime();
        }
        VostrelBench::runFor(benchmark::RegisterBenchmark((std::string(api) + "/100-programs").c_str(),
                                                          ours ? direct3DPrograms : openGLPrograms),
                             2.0)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    VostrelBench::RatioReporter reporter("Direct3D", "OpenGL", "Direct3D / OpenGL time, %s: %.2f\n");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.anyFailed() ? 1 : 0;
}
