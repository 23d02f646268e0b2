#include "Tests/EvaluationGraph/OperationCases.h"

namespace Vostrel {
namespace GraphTesting {

GraphInputs caseInputs()
{
    GraphInputs inputs;
    inputs.streams["location"] = Vec4(0.25f, -0.5f, 0.5f, 1.0f);
    inputs.streams["a"] = Vec4(0.75f, 1.5f, -0.5f, 2.0f);
    inputs.streams["b"] = Vec4(1.25f, -0.25f, 0.5f, 0.5f);
    inputs.setUniform("u", Vec4(0.5f, 2.0f, -1.5f, 0.25f));
    inputs.uniforms["m"] = {Vec4(1.0f, 0.5f, -0.25f, 0.0f), Vec4(0.0f, 2.0f, 1.0f, 0.5f),
                            Vec4(-1.0f, 0.0f, 0.5f, 1.0f), Vec4(0.25f, 0.25f, 0.25f, 1.0f)};
    inputs.textures["t"] = [](const Vec4& c) { return Vec4(c[0] * 0.5f, c[1] + 0.25f, c[0] * c[1], 1.0f); };
    return inputs;
}

const std::vector<OperationCase>& operationCases()
{
    static const std::vector<OperationCase> cases = {
        {"sum", BOTH, [](ShaderGraph&, const ShaderValue& a, const ShaderValue& b) { return a + b; }},
        {"difference", BOTH, [](ShaderGraph&, const ShaderValue& a, const ShaderValue& b) { return a - b; }},
        {"product", BOTH, [](ShaderGraph&, const ShaderValue& a, const ShaderValue& b) { return a * b; }},
        {"quotient by b.x", BOTH, [](ShaderGraph&, const ShaderValue& a, const ShaderValue& b) { return a / b; }},
        {"with floats", BOTH,
         [](ShaderGraph&, const ShaderValue& a, const ShaderValue& b) {
             return (2.0f - a) * 3.0f + (b - 1.0f) + 0.5f * b;
         }},
        {"max and min", BOTH,
         [](ShaderGraph&, const ShaderValue& a, const ShaderValue& b) { return max(a, b) + min(a, 0.5f) * min(b, a); }},
        {"dp3 and dp4", BOTH,
         [](ShaderGraph&, const ShaderValue& a, const ShaderValue& b) { return dp3(a, b) + dp4(a, b) * a; }},
        {"matrixProduct3", BOTH,
         [](ShaderGraph& g, const ShaderValue& a, const ShaderValue&) { return matrixProduct3(g.uniform("m", 4), a); }},
        {"matrixProduct4", BOTH,
         [](ShaderGraph& g, const ShaderValue& a, const ShaderValue&) { return matrixProduct4(g.uniform("m", 4), a); }},
        {"pow", BOTH, [](ShaderGraph&, const ShaderValue& a, const ShaderValue& b) { return pow(a, b); }},
        {"exp and log", BOTH, [](ShaderGraph&, const ShaderValue& a, const ShaderValue& b) { return exp(a) + log(b); }},
        {"rcp and rsq", BOTH, [](ShaderGraph&, const ShaderValue& a, const ShaderValue& b) { return rcp(a) * rsq(b); }},
        {"frac and abs", BOTH,
         [](ShaderGraph&, const ShaderValue& a, const ShaderValue& b) { return frac(a) + abs(b); }},
        {"lit", VERTEX, [](ShaderGraph&, const ShaderValue& a, const ShaderValue&) { return lit(a); }},
        {"sincos", BOTH, [](ShaderGraph&, const ShaderValue& a, const ShaderValue&) { return sincos(a); }},
        {"cross", BOTH, [](ShaderGraph&, const ShaderValue& a, const ShaderValue& b) { return cross(a, b); }},
        {"dst", VERTEX, [](ShaderGraph&, const ShaderValue& a, const ShaderValue& b) { return dst(a, b); }},
        {"slt and sge", VERTEX,
         [](ShaderGraph&, const ShaderValue& a, const ShaderValue& b) { return slt(a, b) + sge(a, b) * 2.0f; }},
        {"sqrt", BOTH, [](ShaderGraph&, const ShaderValue& a, const ShaderValue&) { return sqrt(a); }},
        {"lengthSquared", BOTH,
         [](ShaderGraph&, const ShaderValue& a, const ShaderValue&) { return lengthSquared(a); }},
        {"normalize", BOTH, [](ShaderGraph&, const ShaderValue& a, const ShaderValue&) { return normalize(a); }},
        {"negate and swizzle", BOTH,
         [](ShaderGraph&, const ShaderValue& a, const ShaderValue& b) { return -a[2] + b[3] * a[1]; }},
        {"compose3", BOTH,
         [](ShaderGraph& g, const ShaderValue& a, const ShaderValue& b) { return compose3(a, b, a + b); }},
        {"compose4 of whole values", BOTH,
         [](ShaderGraph& g, const ShaderValue& a, const ShaderValue& b) { return compose4(b, a, -b, a * b); }},
        {"compose4 of first components", BOTH,
         [](ShaderGraph& g, const ShaderValue& a, const ShaderValue& b) { return compose4(a[0], b[0], a[3], b[1]); }},
        {"compose4 with one value in two lanes", BOTH,
         [](ShaderGraph& g, const ShaderValue& a, const ShaderValue& b) { return compose4(a[2], a[2], b, a); }},
        {"uniform and constants", BOTH,
         [](ShaderGraph& g, const ShaderValue& a, const ShaderValue&) {
             return a * g.uniform("u", 1) + g.constant4(1.0f, 2.0f, 3.0f, 4.0f) + a.constantScalar(-0.5f);
         }},
        {"texture read", PIXEL,
         [](ShaderGraph& g, const ShaderValue& a, const ShaderValue& b) { return texld(a, g.texture("t", 0)) * b; }},
        {"texture read at a swizzled coordinate", PIXEL,
         [](ShaderGraph& g, const ShaderValue& a, const ShaderValue& b) { return texld(-b[1], g.texture("t", 0)); }},
        {"point-sprite coordinate", PIXEL,
         [](ShaderGraph& g, const ShaderValue& a, const ShaderValue&) { return g.pointSpriteCoord() * a; }},
    };
    return cases;
}

ShaderValue makeCase(ShaderGraph& graph, const OperationCase& c, Stages stage)
{
    graph.setPosition(graph.vertexStream("location"));
    ShaderValue a = graph.vertexStream("a"), b = graph.vertexStream("b");
    if (stage == PIXEL) {
        a = vs2ps(a);
        b = vs2ps(b);
    }
    return c.make(graph, a, b);
}

} // namespace GraphTesting
} // namespace Vostrel
