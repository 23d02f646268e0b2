// Arbitrary text through the assembler: an AssemblyError or a program, never
// a crash. Programs that assemble also go through the interpreter and the
// GLSL translator, which must take every valid program.
#include "Platform/Shader/GlslTranslator.h"
#include "Platform/Shader/ShaderInterpreter.h"
#include "Platform/Shader/ShaderParser.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    Shader::Program program;
    try {
        program = Shader::assemble(text);
    } catch (const Shader::AssemblyError&) {
        return 0;
    }
    Shader::Machine machine;
    machine.inputs[0] = {1, -2, 0.5f, 0};
    machine.texcoords[0] = {0.25f, 0.75f, -1, 2};
    Shader::execute(program, machine);
    Shader::ProgramVariant variant;
    variant.clipPlanes = size & 63;
    variant.pointSprites = size & 1;
    variant.alphaFunction = static_cast<int>(size % 9);
    Shader::translateToGlsl(program, variant);
    return 0;
}
