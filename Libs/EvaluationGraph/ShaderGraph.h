#pragma once

#include "Libs/EvaluationGraph/ShaderBuild.h"

#include <memory>
#include <ostream>
#include <string>

namespace Vostrel {

class IntermediateShaderGraph;
class ShaderGraphNode;

// A handle on one node of a graph; operations take and return these by value.
class ShaderValue {
public:
    // Enters the node into the graph's store, which then owns it.
    ShaderValue(ShaderGraphNode* node, IntermediateShaderGraph* graph);

    ShaderGraphNode* getNode() const { return node; }
    IntermediateShaderGraph* getGraph() const { return graph; }

    ShaderValue operator-() const;
    // Component i in all four lanes.
    ShaderValue operator[](int i) const;
    // Constants in this value's graph.
    ShaderValue constant(const float value[4]) const;
    ShaderValue constantScalar(float x) const;

private:
    ShaderGraphNode* node;
    IntermediateShaderGraph* graph;
};

// A vertex and pixel shader pair written as an expression graph. The build
// decides by itself what runs per vertex and what per pixel. Copies share
// one node store, freed with the last of them.
class ShaderGraph {
public:
    ShaderGraph();

    // Inputs. size: 1 for a 4-vector, 4 for a 4 x 4 matrix; type: a
    // Core::TextureType.
    ShaderValue uniform(const std::string& name, uint32_t size);
    ShaderValue vertexStream(const std::string& name);
    ShaderValue texture(const std::string& name, uint32_t type);
    ShaderValue input(const std::string& name);
    ShaderValue constant(const float value[4]);
    ShaderValue constantScalar(float x);
    ShaderValue constant4(float x, float y, float z, float w);
    ShaderValue pointSpriteCoord();

    // Results.
    void setColorResult(const ShaderValue& val);
    void setDepthResult(const ShaderValue& val);
    void setPosition(const ShaderValue& val);
    void setPointSize(const ShaderValue& val);
    // "texkill" discards the pixel when a component of the value is
    // negative; other names are joints for linking and produce nothing.
    void setOutput(const std::string& name, const ShaderValue& val);

    // Compiles the pair; a graph is built once.
    ShaderBuild build() const;

    // Fragments: a graph holding a copy of this one's nodes; appending a
    // copy of another graph's nodes; joining inputs to outputs by name.
    ShaderGraph clone() const;
    void append(const ShaderGraph& other);
    void link();
    bool hasInput(const std::string& name) const;

    void writeGraphviz(std::ostream& out) const;
    IntermediateShaderGraph* getIntermediate() const { return store.get(); }

private:
    explicit ShaderGraph(std::shared_ptr<IntermediateShaderGraph> store);
    ShaderValue make(ShaderGraphNode* node);
    void addResult(ShaderGraphNode* result, const ShaderValue& val);

    std::shared_ptr<IntermediateShaderGraph> store;
};

ShaderValue operator+(const ShaderValue& a, const ShaderValue& b);
ShaderValue operator-(const ShaderValue& a, const ShaderValue& b);
ShaderValue operator*(const ShaderValue& a, const ShaderValue& b);
// Divides by b.x.
ShaderValue operator/(const ShaderValue& a, const ShaderValue& b);
ShaderValue operator+(const ShaderValue& a, float b);
ShaderValue operator+(float a, const ShaderValue& b);
ShaderValue operator-(const ShaderValue& a, float b);
ShaderValue operator-(float a, const ShaderValue& b);
ShaderValue operator*(const ShaderValue& a, float b);
ShaderValue operator*(float a, const ShaderValue& b);

ShaderValue max(const ShaderValue& a, const ShaderValue& b);
ShaderValue max(const ShaderValue& a, float b);
ShaderValue min(const ShaderValue& a, const ShaderValue& b);
ShaderValue min(const ShaderValue& a, float b);
// Dot products in all four lanes.
ShaderValue dp3(const ShaderValue& a, const ShaderValue& b);
ShaderValue dp4(const ShaderValue& a, const ShaderValue& b);
// Lane i is row i of the matrix uniform m dotted with v (three or four rows).
ShaderValue matrixProduct3(const ShaderValue& m, const ShaderValue& v);
ShaderValue matrixProduct4(const ShaderValue& m, const ShaderValue& v);

// Scalar functions read lane x and fill all four lanes.
ShaderValue pow(const ShaderValue& a, const ShaderValue& b);
ShaderValue exp(const ShaderValue& a);  // 2 to the power
ShaderValue log(const ShaderValue& a);  // base 2
ShaderValue rcp(const ShaderValue& a);
ShaderValue rsq(const ShaderValue& a);
// Single instructions that shader model 2.0 lacks: a shader holding one
// fails to assemble. sincos is the portable form.
ShaderValue sin(const ShaderValue& a);
ShaderValue cos(const ShaderValue& a);
// Per component.
ShaderValue frac(const ShaderValue& a);
ShaderValue abs(const ShaderValue& a);
ShaderValue lit(const ShaderValue& a);
// .x cosine, .y sine of a.x, an angle in [-pi, pi].
ShaderValue sincos(const ShaderValue& a);
ShaderValue cross(const ShaderValue& a, const ShaderValue& b);
ShaderValue dst(const ShaderValue& a, const ShaderValue& b);
ShaderValue slt(const ShaderValue& a, const ShaderValue& b);
ShaderValue sge(const ShaderValue& a, const ShaderValue& b);
ShaderValue texld(const ShaderValue& coordinates, const ShaderValue& texture);
ShaderValue sqrt(const ShaderValue& a);
ShaderValue lengthSquared(const ShaderValue& a);
ShaderValue normalize(const ShaderValue& a);
// A per-vertex value read interpolated in the pixel stage.
ShaderValue vs2ps(const ShaderValue& a);
// Lane i takes component i of argument i (compose3 leaves w unwritten).
ShaderValue compose3(const ShaderValue& a, const ShaderValue& b, const ShaderValue& c);
ShaderValue compose4(const ShaderValue& a, const ShaderValue& b, const ShaderValue& c, const ShaderValue& d);

// Per-pixel Blinn-Phong from per-vertex position, normal, eye and light
// positions: diffuse * dp3(N, L) + specular * pow(dp3(H, N), exponent).
ShaderValue blinnPhong(const ShaderValue& diffuse, const ShaderValue& specular, const ShaderValue& exponent,
                       const ShaderValue& position, const ShaderValue& normal, const ShaderValue& eye,
                       const ShaderValue& light);
// The diffuse factor limited at 0.
ShaderValue blinnPhongClamped(const ShaderValue& diffuse, const ShaderValue& specular, const ShaderValue& exponent,
                              const ShaderValue& position, const ShaderValue& normal, const ShaderValue& eye,
                              const ShaderValue& light);
// The clamped form divided by the distance to the light.
ShaderValue blinnPhongAttenuated(const ShaderValue& diffuse, const ShaderValue& specular,
                                 const ShaderValue& exponent, const ShaderValue& position,
                                 const ShaderValue& normal, const ShaderValue& eye, const ShaderValue& light);

} // namespace Vostrel
