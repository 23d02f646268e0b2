#include "Platform/Shader/GlslTranslator.h"
#include "Platform/Shader/ShaderParser.h"
#include "Tests/Shader/RandomProgram.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <unistd.h>

using namespace Shader;

namespace {

// A scratch folder for the shader files glslangValidator reads.
class GlslangFiles {
public:
    GlslangFiles()
    {
        char pattern[] = "/tmp/vostrel-glsl-XXXXXX";
        folder = ::mkdtemp(pattern) ? pattern : "";
    }
    ~GlslangFiles()
    {
        if (!folder.empty())
            std::system(("rm -rf '" + folder + "'").c_str());
    }

    std::string write(const std::string& name, const std::string& source) const
    {
        std::string path = folder + "/" + name;
        std::ofstream(path) << source;
        return path;
    }

    // Runs glslangValidator; returns its output when it refuses, "" otherwise.
    std::string refusal(const std::string& arguments) const
    {
        std::string log = folder + "/log.txt";
        int status = std::system(("glslangValidator " + arguments + " > '" + log + "' 2>&1").c_str());
        if (status == 0)
            return "";
        std::ifstream in(log);
        std::string output((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return output.empty() ? "glslangValidator failed to run" : output;
    }

    std::string folder;
};

std::string vertexText()
{
    return "vs_2_0\ndcl_texcoord0 v0\ndcl_texcoord3 v3\ndef c10, 0.5, 1, -2.25, 0\n"
           "dp4 oPos.x, v0, c0\ndp4 oPos.y, v0, c1\ndp4 oPos.z, v0, c2\ndp4 oPos.w, v0, c3\n"
           "mova a0.x, v3.x\nmov oT0, c[4+a0.x]\nmov oD0, v3\nmov oPts, c10.y\n";
}

std::string pixelText()
{
    return "ps_2_0\ndcl_2d s0\ndcl_cube s2\ndcl v0\ndcl t0\ndef c3, 1, 0, 0, 1\n"
           "texld r0, t0, s0\ntexld r1, r0, s2\nmul r0, r0, v0\nadd r0, r0, r1\nmov oC0, r0\n";
}

} // namespace

TEST(GlslTranslator, FollowsTheInterfaceConventions)
{
    GlslShader vertex = translateToGlsl(assemble(vertexText()));
    const std::string& v = vertex.source;
    EXPECT_EQ(v.rfind("#version 450 core\n", 0), 0u);
    EXPECT_NE(v.find("layout(location = 3) in vec4 v3;"), std::string::npos);
    EXPECT_NE(v.find("layout(location = 0) out vec4 oT0;"), std::string::npos);
    EXPECT_NE(v.find("layout(location = 8) out vec4 oD0;"), std::string::npos);
    EXPECT_NE(v.find("const vec4 def_c10 = vec4(0.5, 1.0, -2.25, 0.0);"), std::string::npos);
    EXPECT_NE(v.find("if (i == 10) return def_c10;"), std::string::npos);
    EXPECT_NE(v.find("gl_Position.xy += vostrel_pixelOffset * gl_Position.w;"), std::string::npos);
    EXPECT_EQ(vertex.constantCount, 256); // relative addressing reaches every constant
    EXPECT_EQ(v.find("gl_PointSize"), std::string::npos);

    GlslShader pixel = translateToGlsl(assemble(pixelText()));
    const std::string& p = pixel.source;
    EXPECT_NE(p.find("layout(binding = 2) uniform samplerCube s2;"), std::string::npos);
    EXPECT_NE(p.find("layout(location = 8) in vec4 v0;"), std::string::npos);
    EXPECT_NE(p.find("layout(location = 0) in vec4 t0;"), std::string::npos);
    EXPECT_NE(p.find("texture(s2, src0.xyz)"), std::string::npos);
    EXPECT_EQ(pixel.constantCount, 1); // only defined constants are read
    EXPECT_EQ(p.find("discard"), std::string::npos);
}

TEST(GlslTranslator, VariantsAddTheirHooks)
{
    ProgramVariant vertexVariant;
    vertexVariant.clipPlanes = 5;
    vertexVariant.pointSprites = true;
    std::string v = translateToGlsl(assemble(vertexText()), vertexVariant).source;
    EXPECT_NE(v.find("out float gl_ClipDistance[3];"), std::string::npos);
    EXPECT_NE(v.find("gl_ClipDistance[2] = dot(oPos, vostrel_clipPlanes[2]);"), std::string::npos);
    EXPECT_EQ(v.find("gl_ClipDistance[1] ="), std::string::npos);
    EXPECT_NE(v.find("gl_PointSize = clamp(oPts.x,"), std::string::npos);

    ProgramVariant pixelVariant;
    pixelVariant.alphaFunction = 5; // greater
    pixelVariant.pointSprites = true;
    std::string p = translateToGlsl(assemble(pixelText()), pixelVariant).source;
    EXPECT_NE(p.find("if (!(vostrel_alpha > vostrel_alphaRef)) discard;"), std::string::npos);
    EXPECT_NE(p.find("vec4 t0 = vec4(gl_PointCoord, 0.0, 1.0);"), std::string::npos);
    EXPECT_EQ(p.find("in vec4 t0;"), std::string::npos);
}

TEST(GlslTranslator, GlslangAcceptsAndLinksRandomPrograms)
{
    GlslangFiles files;
    ASSERT_FALSE(files.folder.empty());
    std::mt19937 random(20240611);
    for (int round = 0; round < 24; ++round) {
        std::string vertexAssembly = ShaderTesting::randomAssembly(Stage::Vertex, random, 4 + round * 2);
        std::string pixelAssembly = ShaderTesting::randomAssembly(Stage::Pixel, random, 4 + round);
        Program vertex = assemble(vertexAssembly);
        Program pixel = assemble(pixelAssembly);
        ProgramVariant variant;
        variant.clipPlanes = round % 3 == 0 ? 0x3f & (round * 7) : 0;
        variant.pointSprites = round % 4 == 1;
        variant.alphaFunction = round % 9;
        std::string vertexPath = files.write("shader.vert", translateToGlsl(vertex, variant).source);
        std::string pixelPath = files.write("shader.frag", translateToGlsl(pixel, variant).source);
        std::string refusal = files.refusal("-l '" + vertexPath + "' '" + pixelPath + "'");
        ASSERT_EQ(refusal, "") << vertexAssembly << "\n" << pixelAssembly << "\n"
                               << translateToGlsl(vertex, variant).source << "\n"
                               << translateToGlsl(pixel, variant).source;
    }
}
