#include "Platform/Shader/GlslTranslator.h"
#include "Platform/Shader/ShaderParser.h"

#include <gtest/gtest.h>

using namespace Shader;

namespace {

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

void expectContains(const std::string& text, std::initializer_list<const char*> pieces)
{
    for (const char* piece : pieces)
        EXPECT_NE(text.find(piece), std::string::npos) << piece;
}

} // namespace

TEST(GlslTranslator, FollowsTheInterfaceConventions)
{
    GlslShader vertex = translateToGlsl(assemble(vertexText()));
    const std::string& v = vertex.source;
    EXPECT_EQ(v.rfind("#version 450 core\n", 0), 0u);
    expectContains(v, {"layout(location = 3) in vec4 v3;", "layout(location = 0) out vec4 oT0;",
                       "layout(location = 8) out vec4 oD0;", "const vec4 def_c10 = vec4(0.5, 1.0, -2.25, 0.0);",
                       "if (i == 10) return def_c10;", "gl_Position.xy += vostrel_pixelOffset * gl_Position.w;",
                       "gl_Position.y *= vostrel_clipYSign;"});
    EXPECT_EQ(vertex.constantCount, 256); // relative addressing reaches every constant
    EXPECT_EQ(v.find("gl_PointSize"), std::string::npos);

    GlslShader pixel = translateToGlsl(assemble(pixelText()));
    const std::string& p = pixel.source;
    expectContains(p, {"layout(binding = 2) uniform samplerCube s2;", "layout(location = 8) in vec4 v0;",
                       "layout(location = 0) in vec4 t0;", "texture(s2, src0.xyz)"});
    EXPECT_EQ(pixel.constantCount, 1); // only defined constants are read
    EXPECT_EQ(p.find("discard"), std::string::npos);
}

TEST(GlslTranslator, VariantsAddTheirHooks)
{
    ProgramVariant vertexVariant;
    vertexVariant.clipPlanes = 5;
    vertexVariant.pointSprites = true;
    std::string v = translateToGlsl(assemble(vertexText()), vertexVariant).source;
    expectContains(v, {"out float gl_ClipDistance[3];", "gl_ClipDistance[2] = dot(oPos, vostrel_clipPlanes[2]);"});
    EXPECT_EQ(v.find("gl_ClipDistance[1] ="), std::string::npos);
    EXPECT_NE(v.find("gl_PointSize = clamp(oPts.x,"), std::string::npos);

    ProgramVariant pixelVariant;
    pixelVariant.alphaFunction = 5; // greater
    pixelVariant.pointSprites = true;
    std::string p = translateToGlsl(assemble(pixelText()), pixelVariant).source;
    expectContains(p, {"if (!(vostrel_alpha > vostrel_alphaRef)) discard;",
                       "vec4 t0 = vec4(gl_PointCoord, 0.0, 1.0);"});
    EXPECT_EQ(p.find("in vec4 t0;"), std::string::npos);
}
