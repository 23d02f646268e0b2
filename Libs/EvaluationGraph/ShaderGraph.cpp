#include "Libs/EvaluationGraph/ShaderGraph.h"

#include "Libs/Common/Exception.h"
#include "Libs/EvaluationGraph/IntermediateShaderGraph.h"

namespace Vostrel {

namespace {

void sameGraph(const ShaderValue& a, const ShaderValue& b)
{
    VOSTREL_ASSERT(a.getGraph() == b.getGraph());
}

// A node over the given operands, entered into their graph.
ShaderValue operation(ShaderGraphNode* node, std::initializer_list<const ShaderValue*> operands)
{
    std::unique_ptr<ShaderGraphNode> owned(node);
    const ShaderValue& first = **operands.begin();
    for (const ShaderValue* operand : operands) {
        sameGraph(first, *operand);
        node->addChild(operand->getNode());
    }
    return ShaderValue(owned.release(), first.getGraph());
}

ShaderValue commutative(CommutativeOperation op, const ShaderValue& a, const ShaderValue& b)
{
    return operation(new SGCommutativeOperation(op), {&a, &b});
}

ShaderValue simple(SimpleOperation op, std::initializer_list<const ShaderValue*> operands)
{
    return operation(new SGSimpleOperation(op), operands);
}

ShaderValue scalar(SimpleOperation op, const ShaderValue& a)
{
    ShaderValue x = a[0];
    return simple(op, {&x});
}

ShaderValue mask(const ShaderValue* lanes[4])
{
    std::unique_ptr<SGMask> node(new SGMask);
    for (int lane = 0; lane < 4; ++lane) {
        if (!lanes[lane])
            continue;
        sameGraph(*lanes[0], *lanes[lane]);
        node->setLane(lane, lanes[lane]->getNode(), lane);
    }
    return ShaderValue(node.release(), lanes[0]->getGraph());
}

} // namespace

// ---------------------------------------------------------------------------
// ShaderValue

ShaderValue::ShaderValue(ShaderGraphNode* node, IntermediateShaderGraph* graph) : node(node), graph(graph)
{
    graph->addNode(node);
}

ShaderValue ShaderValue::operator-() const
{
    return operation(new SGNegate, {this});
}

ShaderValue ShaderValue::operator[](int i) const
{
    return operation(new SGSwizzle(i), {this});
}

ShaderValue ShaderValue::constant(const float value[4]) const
{
    return ShaderValue(new SGConstantVec4(value), graph);
}

ShaderValue ShaderValue::constantScalar(float x) const
{
    const float value[4] = {x, x, x, x};
    return constant(value);
}

// ---------------------------------------------------------------------------
// ShaderGraph

ShaderGraph::ShaderGraph() : store(std::make_shared<IntermediateShaderGraph>()) {}

ShaderGraph::ShaderGraph(std::shared_ptr<IntermediateShaderGraph> store) : store(std::move(store)) {}

ShaderValue ShaderGraph::make(ShaderGraphNode* node)
{
    return ShaderValue(node, store.get());
}

ShaderValue ShaderGraph::uniform(const std::string& name, uint32_t size)
{
    return make(new SGUniform(name, size));
}

ShaderValue ShaderGraph::vertexStream(const std::string& name)
{
    return make(new SGVertexStream(name));
}

ShaderValue ShaderGraph::texture(const std::string& name, uint32_t type)
{
    return make(new SGTexture(name, type));
}

ShaderValue ShaderGraph::input(const std::string& name)
{
    return make(new SGInput(name));
}

ShaderValue ShaderGraph::constant(const float value[4])
{
    return make(new SGConstantVec4(value));
}

ShaderValue ShaderGraph::constantScalar(float x)
{
    const float value[4] = {x, x, x, x};
    return constant(value);
}

ShaderValue ShaderGraph::constant4(float x, float y, float z, float w)
{
    const float value[4] = {x, y, z, w};
    return constant(value);
}

ShaderValue ShaderGraph::pointSpriteCoord()
{
    return make(new SGPointSpriteCoord);
}

void ShaderGraph::addResult(ShaderGraphNode* result, const ShaderValue& val)
{
    std::unique_ptr<ShaderGraphNode> owned(result);
    IntermediateShaderGraph* graph = store.get();
    VOSTREL_ASSERT(val.getGraph() == graph);
    result->addChild(val.getNode());
    make(owned.release());
}

void ShaderGraph::setColorResult(const ShaderValue& val)
{
    addResult(new SGResult(0), val);
}

void ShaderGraph::setDepthResult(const ShaderValue& val)
{
    addResult(new SGResult(1), val);
}

void ShaderGraph::setPosition(const ShaderValue& val)
{
    addResult(new SGVSResult(Core::VARY_POSITION), val);
}

void ShaderGraph::setPointSize(const ShaderValue& val)
{
    addResult(new SGVSResult(Core::VARY_POINT_SIZE), val);
}

void ShaderGraph::setOutput(const std::string& name, const ShaderValue& val)
{
    addResult(new SGOutput(name), val);
}

ShaderBuild ShaderGraph::build() const
{
    ShaderBuild result;
    store->build(result);
    return result;
}

ShaderGraph ShaderGraph::clone() const
{
    return ShaderGraph(std::shared_ptr<IntermediateShaderGraph>(store->clone()));
}

void ShaderGraph::append(const ShaderGraph& other)
{
    store->append(*other.store);
}

void ShaderGraph::link()
{
    store->link();
}

bool ShaderGraph::hasInput(const std::string& name) const
{
    return store->hasInput(name);
}

void ShaderGraph::writeGraphviz(std::ostream& out) const
{
    store->writeGraphviz(out);
}

// ---------------------------------------------------------------------------
// Operations

ShaderValue operator+(const ShaderValue& a, const ShaderValue& b)
{
    return commutative(COMMUTATIVE_SUM, a, b);
}

ShaderValue operator-(const ShaderValue& a, const ShaderValue& b)
{
    sameGraph(a, b);
    return a + (-b);
}

ShaderValue operator*(const ShaderValue& a, const ShaderValue& b)
{
    return commutative(COMMUTATIVE_PRODUCT, a, b);
}

ShaderValue operator/(const ShaderValue& a, const ShaderValue& b)
{
    sameGraph(a, b);
    return a * rcp(b);
}

ShaderValue operator+(const ShaderValue& a, float b)
{
    return a + a.constantScalar(b);
}

ShaderValue operator+(float a, const ShaderValue& b)
{
    return b.constantScalar(a) + b;
}

ShaderValue operator-(const ShaderValue& a, float b)
{
    return a - a.constantScalar(b);
}

ShaderValue operator-(float a, const ShaderValue& b)
{
    return b.constantScalar(a) - b;
}

ShaderValue operator*(const ShaderValue& a, float b)
{
    return a * a.constantScalar(b);
}

ShaderValue operator*(float a, const ShaderValue& b)
{
    return b.constantScalar(a) * b;
}

ShaderValue max(const ShaderValue& a, const ShaderValue& b)
{
    return commutative(COMMUTATIVE_MAX, a, b);
}

ShaderValue max(const ShaderValue& a, float b)
{
    return max(a, a.constantScalar(b));
}

ShaderValue min(const ShaderValue& a, const ShaderValue& b)
{
    return commutative(COMMUTATIVE_MIN, a, b);
}

ShaderValue min(const ShaderValue& a, float b)
{
    return min(a, a.constantScalar(b));
}

ShaderValue dp3(const ShaderValue& a, const ShaderValue& b)
{
    return commutative(COMMUTATIVE_DP3, a, b);
}

ShaderValue dp4(const ShaderValue& a, const ShaderValue& b)
{
    return commutative(COMMUTATIVE_DP4, a, b);
}

ShaderValue matrixProduct3(const ShaderValue& m, const ShaderValue& v)
{
    return operation(new SGMatrixProduct3, {&m, &v});
}

ShaderValue matrixProduct4(const ShaderValue& m, const ShaderValue& v)
{
    return operation(new SGMatrixProduct4, {&m, &v});
}

ShaderValue pow(const ShaderValue& a, const ShaderValue& b)
{
    sameGraph(a, b);
    ShaderValue x = a[0];
    ShaderValue y = b[0];
    return simple(SIMPLE_POW, {&x, &y});
}

ShaderValue exp(const ShaderValue& a)
{
    return scalar(SIMPLE_EXP, a);
}

ShaderValue log(const ShaderValue& a)
{
    return scalar(SIMPLE_LOG, a);
}

ShaderValue rcp(const ShaderValue& a)
{
    return scalar(SIMPLE_RCP, a);
}

ShaderValue rsq(const ShaderValue& a)
{
    return scalar(SIMPLE_RSQ, a);
}

ShaderValue sin(const ShaderValue& a)
{
    return scalar(SIMPLE_SIN, a);
}

ShaderValue cos(const ShaderValue& a)
{
    return scalar(SIMPLE_COS, a);
}

ShaderValue frac(const ShaderValue& a)
{
    return simple(SIMPLE_FRC, {&a});
}

ShaderValue abs(const ShaderValue& a)
{
    return simple(SIMPLE_ABS, {&a});
}

ShaderValue lit(const ShaderValue& a)
{
    return simple(SIMPLE_LIT, {&a});
}

// The series coefficients that the sincos instruction of shader model 2.0
// reads from two constant registers (D3DSINCOSCONST1 and D3DSINCOSCONST2).
ShaderValue sincos(const ShaderValue& a)
{
    static const float SINCOS_CONSTANT1[4] = {-1.5500992e-006f, -2.1701389e-005f, 0.0026041667f, 0.00026041668f};
    static const float SINCOS_CONSTANT2[4] = {-0.020833334f, -0.12500000f, 1.0f, 0.50000000f};
    ShaderValue c1 = a.constant(SINCOS_CONSTANT1);
    ShaderValue c2 = a.constant(SINCOS_CONSTANT2);
    ShaderValue x = a[0];
    return simple(SIMPLE_SINCOS, {&x, &c1, &c2});
}

ShaderValue cross(const ShaderValue& a, const ShaderValue& b)
{
    return simple(SIMPLE_CRS, {&a, &b});
}

ShaderValue dst(const ShaderValue& a, const ShaderValue& b)
{
    return simple(SIMPLE_DST, {&a, &b});
}

ShaderValue slt(const ShaderValue& a, const ShaderValue& b)
{
    return simple(SIMPLE_SLT, {&a, &b});
}

ShaderValue sge(const ShaderValue& a, const ShaderValue& b)
{
    return simple(SIMPLE_SGE, {&a, &b});
}

ShaderValue texld(const ShaderValue& coordinates, const ShaderValue& texture)
{
    return simple(SIMPLE_TEXLD, {&coordinates, &texture});
}

ShaderValue sqrt(const ShaderValue& a)
{
    return a[0] * rsq(a);
}

ShaderValue lengthSquared(const ShaderValue& a)
{
    return dp3(a, a);
}

ShaderValue normalize(const ShaderValue& a)
{
    return a * rsq(dp3(a, a));
}

ShaderValue vs2ps(const ShaderValue& a)
{
    return operation(new SGShaderConnection, {&a});
}

ShaderValue compose3(const ShaderValue& a, const ShaderValue& b, const ShaderValue& c)
{
    const ShaderValue* lanes[4] = {&a, &b, &c, nullptr};
    return mask(lanes);
}

ShaderValue compose4(const ShaderValue& a, const ShaderValue& b, const ShaderValue& c, const ShaderValue& d)
{
    const ShaderValue* lanes[4] = {&a, &b, &c, &d};
    return mask(lanes);
}

namespace {

ShaderValue blinnPhongTerms(bool clamped, bool attenuated, const ShaderValue& diffuse, const ShaderValue& specular,
                            const ShaderValue& exponent, const ShaderValue& position, const ShaderValue& normal,
                            const ShaderValue& eye, const ShaderValue& light)
{
    for (const ShaderValue* value : {&specular, &exponent, &position, &normal, &eye, &light})
        sameGraph(diffuse, *value);
    ShaderValue toLight = vs2ps(light - position);
    ShaderValue L = normalize(toLight);
    ShaderValue V = normalize(vs2ps(eye - position));
    ShaderValue N = normalize(vs2ps(normal));
    ShaderValue H = normalize(L + V);
    ShaderValue diffuseFactor = dp3(N, L);
    if (clamped)
        diffuseFactor = max(diffuseFactor, diffuse.constantScalar(0.0f));
    ShaderValue color = diffuse * diffuseFactor + specular * pow(dp3(H, N), exponent);
    if (attenuated)
        color = color * rsq(dp3(toLight, toLight));
    return color;
}

} // namespace

ShaderValue blinnPhong(const ShaderValue& diffuse, const ShaderValue& specular, const ShaderValue& exponent,
                       const ShaderValue& position, const ShaderValue& normal, const ShaderValue& eye,
                       const ShaderValue& light)
{
    return blinnPhongTerms(false, false, diffuse, specular, exponent, position, normal, eye, light);
}

ShaderValue blinnPhongClamped(const ShaderValue& diffuse, const ShaderValue& specular, const ShaderValue& exponent,
                              const ShaderValue& position, const ShaderValue& normal, const ShaderValue& eye,
                              const ShaderValue& light)
{
    return blinnPhongTerms(true, false, diffuse, specular, exponent, position, normal, eye, light);
}

ShaderValue blinnPhongAttenuated(const ShaderValue& diffuse, const ShaderValue& specular,
                                 const ShaderValue& exponent, const ShaderValue& position,
                                 const ShaderValue& normal, const ShaderValue& eye, const ShaderValue& light)
{
    return blinnPhongTerms(true, true, diffuse, specular, exponent, position, normal, eye, light);
}

} // namespace Vostrel
