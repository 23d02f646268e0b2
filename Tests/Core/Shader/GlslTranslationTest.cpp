// What the device compiles: random programs from the builder, optimised,
// written and assembled, then translated to GLSL in every variant, must pass
// glslangValidator as a linked vertex and pixel pair.
#include "Libs/Core/DirectX/DXShaderGen.h"
#include "Libs/Core/ShaderOptimization.h"
#include "Platform/Shader/GlslTranslator.h"
#include "Platform/Shader/ShaderParser.h"
#include "Tests/Core/Shader/RandomShaderProgram.h"
#include "Tests/Support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace Vostrel::Core;

namespace {

std::string writtenText(bool vertex, std::mt19937& random, int length)
{
    ShaderGen gen;
    VostrelTest::buildRandomProgram(gen, vertex, random, length);
    ShaderProgram program;
    gen.getProgram(program);
    ShaderOptimization(program).run();
    return DXShaderGen::generate(program, vertex ? DXShaderGen::VERTEX_STAGE : DXShaderGen::PIXEL_STAGE);
}

// Runs glslangValidator; its output when it refuses, "" otherwise.
std::string glslangRefusal(const VostrelTest::TempDir& folder, const std::string& arguments)
{
    std::string log = folder.file("log.txt");
    if (std::system(("glslangValidator " + arguments + " > '" + log + "' 2>&1").c_str()) == 0)
        return "";
    std::string output = VostrelTest::TempDir::read(log);
    return output.empty() ? "glslangValidator failed to run" : output;
}

} // namespace

TEST(GlslTranslation, GlslangLinksTheTranslatedPairsOfRandomPrograms)
{
    VostrelTest::TempDir folder;
    std::mt19937 random(20240611);
    for (int round = 0; round < 24; ++round) {
        std::string vertexText = writtenText(true, random, 4 + round * 2);
        std::string pixelText = writtenText(false, random, 4 + round % 12);
        Shader::ProgramVariant variant;
        variant.clipPlanes = round % 3 == 0 ? 0x3f & (round * 7) : 0;
        variant.pointSprites = round % 4 == 1;
        variant.alphaFunction = round % 9;
        std::string vertex = Shader::translateToGlsl(Shader::assemble(vertexText), variant).source;
        std::string pixel = Shader::translateToGlsl(Shader::assemble(pixelText), variant).source;
        std::string refusal = glslangRefusal(folder, "-l '" + folder.write("shader.vert", vertex) + "' '"
                                                         + folder.write("shader.frag", pixel) + "'");
        ASSERT_EQ(refusal, "") << vertexText << "\n" << pixelText << "\n" << vertex << "\n" << pixel;
    }
}
