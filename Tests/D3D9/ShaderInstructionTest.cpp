// Every instruction of both stages, run on random inputs by the reference
// interpreter and by the device, must agree.

#include "Platform/Shader/ShaderInterpreter.h"
#include "Platform/Shader/ShaderParser.h"
#include "Tests/D3D9/DrawFixture.h"

#include <cmath>
#include <random>

namespace {

using Shader::Stage;

constexpr int side = 8;
constexpr int points = side * side;

struct Range {
    float low, high;
};

struct Case {
    const char* name;
    bool vertex;
    bool pixel;
    std::string body;        // reads r1, r2, r3, writes r0
    Range ranges[3];
    float tolerance;         // relative, absolute below 1
    unsigned mask = 15;      // components of r0 compared
};

const Range wide = {-4, 4};

std::vector<Case> cases()
{
    const float exact = 1e-5f;
    const float approximate = 2e-4f;
    const Range angle = {-3.14159f, 3.14159f};
    const std::string sincosConstants = "def c10, -1.55009923e-06, -2.17013894e-05, 0.00260416674, 0.00026041668\n"
                                        "def c11, -0.020833334, -0.125, 1, 0.5\n";
    return {
        {"abs", true, true, "abs r0, r1\n", {wide, wide, wide}, exact},
        {"add", true, true, "add r0, r1, r2\n", {wide, wide, wide}, exact},
        {"sub", true, true, "sub r0, r1, r2\n", {wide, wide, wide}, exact},
        {"mul", true, true, "mul r0, r1, r2\n", {wide, wide, wide}, exact},
        {"mad", true, true, "mad r0, r1, r2, r3\n", {wide, wide, wide}, exact},
        {"mov", true, true, "mov r0, -r1.wzyx\n", {wide, wide, wide}, exact},
        {"max", true, true, "max r0, r1, r2\n", {wide, wide, wide}, exact},
        {"min", true, true, "min r0, r1, r2\n", {wide, wide, wide}, exact},
        {"dp3", true, true, "dp3 r0, r1, r2\n", {wide, wide, wide}, exact},
        {"dp4", true, true, "dp4 r0, r1, r2\n", {wide, wide, wide}, exact},
        {"frc", true, true, "frc r0, r1\n", {{-40, 40}, wide, wide}, exact},
        {"lrp", true, true, "lrp r0, r1, r2, r3\n", {{-1, 2}, wide, wide}, exact},
        {"crs", true, true, "crs r0.xyz, r1, r2\n", {wide, wide, wide}, exact},
        {"rcp", true, true, "rcp r0, r1.y\n", {wide, wide, wide}, exact},
        {"rsq", true, true, "rsq r0, r1.z\n", {wide, wide, wide}, approximate},
        {"exp", true, true, "exp r0, r1.x\n", {{-10, 10}, wide, wide}, approximate},
        {"log", true, true, "log r0, r1.w\n", {{-1000, 1000}, wide, wide}, approximate},
        {"pow", true, true, "pow r0, r1.x, r2.x\n", {wide, {-3, 3}, wide}, approximate},
        {"nrm", true, true, "nrm r0, r1\n", {wide, wide, wide}, approximate},
        {"sincos", true, true, sincosConstants + "sincos r0.xy, r1.x, c10, c11\n", {angle, wide, wide}, approximate, 3},
        {"sincos.y", true, true, sincosConstants + "sincos r0.y, r1.w, c10, c11\n", {angle, angle, wide}, approximate, 3},
        {"saturate", false, true, "add_sat r0, r1, r2\n", {wide, wide, wide}, exact},
        {"masked", true, true, "mov r0, r3\nmul r0.xz, r1, r2\n", {wide, wide, wide}, exact},
        {"cmp", false, true, "cmp r0, r1, r2, r3\n", {wide, wide, wide}, exact},
        {"dst", true, false, "dst r0, r1, r2\n", {wide, wide, wide}, exact},
        {"expp", true, false, "expp r0, r1.y\n", {{-10, 10}, wide, wide}, approximate},
        {"logp", true, false, "logp r0, r1.y\n", {{-1000, 1000}, wide, wide}, approximate},
        {"lit", true, false, "lit r0, r1\n", {{-2, 2}, wide, wide}, approximate},
        {"sge", true, false, "sge r0, r1, r2\n", {{-2, 2}, {-2, 2}, wide}, exact},
        {"slt", true, false, "slt r0, r1, r2\n", {{-2, 2}, {-2, 2}, wide}, exact},
        {"sgn", true, false, "sgn r0, r1, r4, r5\n", {wide, wide, wide}, exact},
        {"mova", true, false, "mova a0.xy, r1\nmov r0, c[a0.x + 4]\nadd r0, r0, c[a0.y + 5]\n",
         {{-3.4f, 3.4f}, wide, wide}, exact},
    };
}

// Vertex inputs: v0 the point's pixel, v1 to v3 the operands.
struct PointVertex {
    Float4 position;
    std::array<Float4, 3> operands;
};

class ShaderInstructionTest : public DrawTest {
protected:
    void SetUp() override
    {
        DrawTest::SetUp();
        makeTarget(side, side, D3DFMT_A32B32G32R32F);
        setDeclaration({{D3DDECLTYPE_FLOAT4, 0}, {D3DDECLTYPE_FLOAT4, 16}, {D3DDECLTYPE_FLOAT4, 32},
                        {D3DDECLTYPE_FLOAT4, 48}});
        std::mt19937 random(7);
        std::uniform_real_distribution<float> any(-8, 8);
        for (Float4& constant : constants)
            for (float& value : constant)
                value = any(random);
        device->SetVertexShaderConstantF(0, constants[0].data(), 16);
        device->SetPixelShaderConstantF(0, constants[0].data(), 16);
    }

    std::vector<PointVertex> inputs(const Case& c, unsigned seed)
    {
        std::mt19937 random(seed);
        std::vector<PointVertex> result(points);
        for (int i = 0; i < points; ++i) {
            result[i].position = pixelCentre(i % side, i / side);
            for (int operand = 0; operand < 3; ++operand) {
                std::uniform_real_distribution<float> value(c.ranges[operand].low, c.ranges[operand].high);
                for (float& component : result[i].operands[operand])
                    component = value(random);
            }
        }
        // Edge values where the arithmetic has its special cases.
        result[0].operands[0] = {0.0f, -0.0f, 0.0f, 0.0f};
        result[1].operands[0] = {1.0f, -1.0f, 0.5f, -0.5f};
        result[2].operands = {Float4{0, 0, 0, 0}, Float4{2, -2, 0, 1}, Float4{-1, 1, 0, 0}};
        if (std::string(c.name).rfind("sincos", 0) == 0)
            result[1].operands[0] = {3.14159f, -3.14159f, 0.0f, -3.14159f};
        // Addresses away from the halfway points, where rounding is a tie.
        if (std::string(c.name) == "mova")
            for (PointVertex& vertex : result)
                for (float& component : vertex.operands[0])
                    component = std::round(component) + (component - std::round(component)) * 0.8f;
        return result;
    }

    static bool agree(float got, float want, float tolerance)
    {
        if (std::isnan(want))
            return std::isnan(got);
        if (std::isinf(want) || std::fabs(want) >= 3e38f)
            return got == want;
        return std::fabs(got - want) <= tolerance * std::max(1.0f, std::fabs(want));
    }

    void run(const Case& c, Stage stage)
    {
        SCOPED_TRACE(std::string(c.name) + (stage == Stage::Vertex ? " in the vertex stage" : " in the pixel stage"));
        std::string vertexText;
        std::string pixelText;
        if (stage == Stage::Vertex) {
            vertexText = "vs_2_0\ndcl_texcoord0 v0\ndcl_texcoord1 v1\ndcl_texcoord2 v2\ndcl_texcoord3 v3\n"
                         "mov r1, v1\nmov r2, v2\nmov r3, v3\n" +
                         c.body + "mov oPos, v0\nmov oT0, r0\n";
            pixelText = "ps_2_0\ndcl t0\nmov oC0, t0\n";
        } else {
            vertexText = "vs_2_0\ndcl_texcoord0 v0\ndcl_texcoord1 v1\ndcl_texcoord2 v2\ndcl_texcoord3 v3\n"
                         "mov oPos, v0\nmov oT0, v1\nmov oT1, v2\nmov oT2, v3\n";
            pixelText = "ps_2_0\ndcl t0\ndcl t1\ndcl t2\nmov r1, t0\nmov r2, t1\nmov r3, t2\n" + c.body +
                        "mov oC0, r0\n";
        }
        setShaders(vertexText, pixelText);
        Shader::Program program = Shader::assemble(stage == Stage::Vertex ? vertexText : pixelText);
        std::vector<PointVertex> data = inputs(c, stage == Stage::Vertex ? 11 : 12);
        setVertices(data.data(), static_cast<UINT>(data.size() * sizeof(PointVertex)), sizeof(PointVertex));
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        ASSERT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 0, points), D3D_OK);
        std::vector<Float4> read = readFloatTarget();
        int disagreements = 0;
        for (int i = 0; i < points; ++i) {
            Shader::Machine machine;
            for (int r = 0; r < 16; ++r)
                machine.constants[r] = constants[r];
            for (int operand = 0; operand < 3; ++operand) {
                machine.inputs[operand + 1] = data[i].operands[operand];
                machine.texcoords[operand] = data[i].operands[operand];
            }
            Shader::execute(program, machine);
            Float4 want = stage == Stage::Vertex ? machine.texcoordOutputs[0] : machine.renderTargets[0];
            for (int component = 0; component < 4; ++component) {
                if (!(c.mask & (1u << component)))
                    continue;
                if (!agree(read[i][component], want[component], c.tolerance) && ++disagreements <= 4)
                    ADD_FAILURE() << "point " << i << " component " << component << ": device " << read[i][component]
                                  << ", interpreter " << want[component] << " from (" << data[i].operands[0][0]
                                  << ", " << data[i].operands[0][1] << ", " << data[i].operands[0][2] << ", "
                                  << data[i].operands[0][3] << ")";
            }
        }
    }

    std::array<Float4, 16> constants;
};

TEST_F(ShaderInstructionTest, EveryInstructionAgreesWithTheInterpreterInBothStages)
{
    for (const Case& c : cases()) {
        if (c.vertex)
            run(c, Stage::Vertex);
        if (c.pixel)
            run(c, Stage::Pixel);
    }
}

TEST_F(ShaderInstructionTest, ColourOutputsSaturateAndTexkillDiscards)
{
    // oD0 arrives in 0..1.
    setShaders("vs_2_0\ndcl_texcoord0 v0\ndcl_texcoord1 v1\nmov oPos, v0\nmov oD0, v1\n",
               "ps_2_0\ndcl v0\nmov oC0, v0\n");
    Case c = {"saturation", true, false, "", {wide, wide, wide}, 0};
    std::vector<PointVertex> data = inputs(c, 3);
    setVertices(data.data(), static_cast<UINT>(data.size() * sizeof(PointVertex)), sizeof(PointVertex));
    ASSERT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 0, points), D3D_OK);
    std::vector<Float4> read = readFloatTarget();
    for (int i = 0; i < points; ++i)
        for (int component = 0; component < 4; ++component)
            EXPECT_NEAR(read[i][component], std::clamp(data[i].operands[0][component], 0.0f, 1.0f), 1e-6f);

    // texkill looks at x, y and z only.
    const std::string pixelText = "ps_2_0\ndcl t0\ntexkill t0\nmov oC0, c0\n";
    setShaders("vs_2_0\ndcl_texcoord0 v0\ndcl_texcoord1 v1\nmov oPos, v0\nmov oT0, v1\n", pixelText);
    Shader::Program program = Shader::assemble(pixelText);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 0, points), D3D_OK);
    read = readFloatTarget();
    int killed = 0;
    for (int i = 0; i < points; ++i) {
        Shader::Machine machine;
        machine.constants[0] = constants[0];
        machine.texcoords[0] = data[i].operands[0];
        Shader::execute(program, machine);
        killed += machine.killed;
        EXPECT_EQ(read[i][0], machine.killed ? 0.0f : constants[0][0]) << "point " << i;
    }
    EXPECT_GT(killed, 0);
    EXPECT_LT(killed, points);
}

TEST_F(ShaderInstructionTest, TextureReadsAgreeWithTheInterpreterForEachKind)
{
    // Point-sampled textures of random texels, read at texel centres
    // (wrapped), so both sides see the same texel.
    std::mt19937 random(5);
    std::uniform_real_distribution<float> value(-2, 2);
    std::vector<Float4> flat(16);
    std::vector<Float4> solid(8);
    std::array<Float4, 6> faces;
    for (Float4& texel : flat)
        for (float& component : texel)
            component = value(random);
    for (Float4& texel : solid)
        for (float& component : texel)
            component = value(random);
    for (Float4& face : faces)
        for (float& component : face)
            component = value(random);

    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A32B32G32R32F, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    D3DLOCKED_RECT locked;
    texture->LockRect(0, &locked, nullptr, 0);
    for (int y = 0; y < 4; ++y)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, &flat[y * 4], 4 * sizeof(Float4));
    texture->UnlockRect(0);
    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(device->CreateCubeTexture(1, 1, 0, D3DFMT_A32B32G32R32F, D3DPOOL_MANAGED, &cube, nullptr), D3D_OK);
    for (int face = 0; face < 6; ++face) {
        cube->LockRect(static_cast<D3DCUBEMAP_FACES>(face), 0, &locked, nullptr, 0);
        std::memcpy(locked.pBits, &faces[face], sizeof(Float4));
        cube->UnlockRect(static_cast<D3DCUBEMAP_FACES>(face), 0);
    }
    IDirect3DVolumeTexture9* volume = nullptr;
    ASSERT_EQ(device->CreateVolumeTexture(2, 2, 2, 1, 0, D3DFMT_A32B32G32R32F, D3DPOOL_MANAGED, &volume, nullptr),
              D3D_OK);
    D3DLOCKED_BOX box;
    volume->LockBox(0, &box, nullptr, 0);
    for (int z = 0; z < 2; ++z)
        for (int y = 0; y < 2; ++y)
            std::memcpy(static_cast<uint8_t*>(box.pBits) + z * box.SlicePitch + y * box.RowPitch, &solid[z * 4 + y * 2],
                        2 * sizeof(Float4));
    volume->UnlockBox(0);
    device->SetTexture(0, texture);
    device->SetTexture(1, cube);
    device->SetTexture(2, volume);

    auto wrap = [](float coordinate, int size) {
        int texel = static_cast<int>(std::floor(coordinate * size));
        return ((texel % size) + size) % size;
    };
    Shader::SampleFunction sample = [&](int sampler, Shader::TextureType type, const Shader::Vec4& at) -> Shader::Vec4 {
        switch (type) {
        case Shader::TextureType::Texture2D: return flat[wrap(at[1], 4) * 4 + wrap(at[0], 4)];
        case Shader::TextureType::Volume: return solid[wrap(at[2], 2) * 4 + wrap(at[1], 2) * 2 + wrap(at[0], 2)];
        default: {
            int axis = 0;
            for (int i = 1; i < 3; ++i)
                if (std::fabs(at[i]) > std::fabs(at[axis]))
                    axis = i;
            return faces[axis * 2 + (at[axis] < 0 ? 1 : 0)];
        }
        }
    };

    const std::string pixelText = "ps_2_0\ndcl t0\ndcl t1\ndcl_2d s0\ndcl_cube s1\ndcl_volume s2\n"
                                  "texld r0, t0, s0\ntexld r1, t1, s1\ntexld r2, t0, s2\n"
                                  "mad r0, r1, c1, r0\nmad r0, r2, c2, r0\nmov oC0, r0\n";
    setShaders("vs_2_0\ndcl_texcoord0 v0\ndcl_texcoord1 v1\ndcl_texcoord2 v2\nmov oPos, v0\nmov oT0, v1\n"
               "mov oT1, v2\n",
               pixelText);
    Shader::Program program = Shader::assemble(pixelText);
    std::vector<PointVertex> data(points);
    std::uniform_int_distribution<int> texel(-8, 8);
    std::uniform_real_distribution<float> direction(-1, 1);
    for (int i = 0; i < points; ++i) {
        data[i].position = pixelCentre(i % side, i / side);
        // Texel centres of the 4 x 4 (and so of the 2 x 2 x 2) texture.
        data[i].operands[0] = {(texel(random) + 0.5f) / 4, (texel(random) + 0.5f) / 4, (texel(random) + 0.5f) / 4, 1};
        data[i].operands[1] = {direction(random), direction(random), direction(random), 1};
    }
    setVertices(data.data(), static_cast<UINT>(data.size() * sizeof(PointVertex)), sizeof(PointVertex));
    ASSERT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 0, points), D3D_OK);
    std::vector<Float4> read = readFloatTarget();
    for (int i = 0; i < points; ++i) {
        Shader::Machine machine;
        machine.constants = {};
        for (int r = 0; r < 16; ++r)
            machine.constants[r] = constants[r];
        machine.texcoords[0] = data[i].operands[0];
        machine.texcoords[1] = data[i].operands[1];
        machine.sample = sample;
        Shader::execute(program, machine);
        for (int component = 0; component < 4; ++component)
            EXPECT_TRUE(agree(read[i][component], machine.renderTargets[0][component], 1e-5f))
                << "point " << i << " component " << component << ": " << read[i][component] << " against "
                << machine.renderTargets[0][component];
    }
    texture->Release();
    cube->Release();
    volume->Release();
}

} // namespace
