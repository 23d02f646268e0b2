#include "Platform/D3D9/GL/ProgramCache.h"

#include <vector>

namespace D3D9::GL {

namespace {

std::string infoLog(GLuint object, bool isProgram)
{
    GLint length = 0;
    if (isProgram)
        glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
    else
        glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    std::vector<char> text(static_cast<size_t>(length > 0 ? length : 1), '\0');
    if (isProgram)
        glGetProgramInfoLog(object, length, nullptr, text.data());
    else
        glGetShaderInfoLog(object, length, nullptr, text.data());
    return std::string(text.data());
}

Shader compile(GLenum stage, const std::string& source, std::string& log)
{
    Shader shader(glCreateShader(stage));
    const char* text = source.c_str();
    glShaderSource(shader.get(), 1, &text, nullptr);
    glCompileShader(shader.get());
    GLint ok = GL_FALSE;
    glGetShaderiv(shader.get(), GL_COMPILE_STATUS, &ok);
    if (!ok) {
        log += infoLog(shader.get(), false);
        shader.reset();
    }
    return shader;
}

} // namespace

GLuint linkProgram(const ProgramSources& sources, std::string& log)
{
    Shader vertex = compile(GL_VERTEX_SHADER, sources.vertex, log);
    Shader fragment = compile(GL_FRAGMENT_SHADER, sources.fragment, log);
    if (!vertex || !fragment)
        return 0;
    GLuint program = glCreateProgram();
    glAttachShader(program, vertex.get());
    glAttachShader(program, fragment.get());
    glLinkProgram(program);
    glDetachShader(program, vertex.get());
    glDetachShader(program, fragment.get());
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        log += infoLog(program, true);
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

GLuint ProgramCache::program(const ProgramKey& key, const std::function<ProgramSources()>& sources, std::string& log)
{
    auto found = programs_.find(key);
    if (found != programs_.end())
        return found->second.get();
    GLuint linked = linkProgram(sources(), log);
    if (!linked)
        return 0;
    programs_.emplace(key, Program(linked));
    return linked;
}

void ProgramCache::forgetShader(const void* shader)
{
    for (auto it = programs_.begin(); it != programs_.end();) {
        if (it->first.vertexShader == shader || it->first.pixelShader == shader)
            it = programs_.erase(it);
        else
            ++it;
    }
}

} // namespace D3D9::GL
