#pragma once

// Linked programs by what they are made of. Direct3D binds vertex and pixel
// shaders independently and keeps state OpenGL core leaves to shaders
// (alpha test, clip planes, point sprites); each combination becomes one
// program, linked on first use and kept.

#include "Platform/D3D9/GL/Objects.h"

#include <functional>
#include <map>
#include <string>
#include <tuple>

namespace D3D9::GL {

struct ProgramKey {
    const void* vertexShader;
    const void* pixelShader;
    unsigned variant;
    bool operator<(const ProgramKey& other) const
    {
        return std::tie(vertexShader, pixelShader, variant) <
               std::tie(other.vertexShader, other.pixelShader, other.variant);
    }
};

struct ProgramSources {
    std::string vertex;
    std::string fragment;
};

class ProgramCache {
public:
    // The program for the key, built from the sources on first use. Zero
    // when compiling or linking fails; the log says why.
    GLuint program(const ProgramKey& key, const std::function<ProgramSources()>& sources, std::string& log);
    // Drops every program made with a shader that is going away.
    void forgetShader(const void* shader);
    size_t size() const { return programs_.size(); }

private:
    std::map<ProgramKey, Program> programs_;
};

// Compiles and links one program; zero with the log on failure.
GLuint linkProgram(const ProgramSources& sources, std::string& log);

} // namespace D3D9::GL
