#include "Platform/D3D9/GL/ProgramCache.h"
#include "Tests/D3D9/DeviceFixture.h"

namespace {

using ProgramCacheTest = DeviceTest;

const char* vertexSource = "#version 450 core\nvoid main() { gl_Position = vec4(0.0, 0.0, 0.0, 1.0); }\n";
const char* fragmentSource = "#version 450 core\nout vec4 color;\nvoid main() { color = vec4(1.0); }\n";

TEST_F(ProgramCacheTest, LinksOncePerKeyAndReportsFailures)
{
    D3D9::GL::ProgramCache cache;
    int built = 0;
    auto sources = [&] {
        ++built;
        return D3D9::GL::ProgramSources{vertexSource, fragmentSource};
    };
    std::string log;
    int vertexShader = 0;
    int pixelShader = 0;
    GLuint first = cache.program({&vertexShader, &pixelShader, 0}, sources, log);
    ASSERT_NE(first, 0u) << log;
    EXPECT_EQ(cache.program({&vertexShader, &pixelShader, 0}, sources, log), first);
    EXPECT_EQ(built, 1);
    GLuint variant = cache.program({&vertexShader, &pixelShader, 1}, sources, log);
    EXPECT_NE(variant, first);
    EXPECT_EQ(cache.size(), 2u);
    cache.forgetShader(&pixelShader);
    EXPECT_EQ(cache.size(), 0u);

    GLuint broken = cache.program({&vertexShader, nullptr, 0},
                                  [] { return D3D9::GL::ProgramSources{vertexSource, "#version 450 core\nnonsense"}; },
                                  log);
    EXPECT_EQ(broken, 0u);
    EXPECT_FALSE(log.empty());
    EXPECT_EQ(cache.size(), 0u);
    std::vector<std::string> errors = D3D9Testing::takeGlErrors();
    ASSERT_EQ(errors.size(), 1u) << "the debug context reports the failed compile";
    EXPECT_NE(errors[0].find("syntax error"), std::string::npos) << errors[0];
}

} // namespace
