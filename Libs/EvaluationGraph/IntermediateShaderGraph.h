#pragma once

#include "Libs/Core/ShaderGen.h"
#include "Libs/EvaluationGraph/ShaderBuild.h"

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace Vostrel {

class ShaderGraphNode;

enum ShaderNodeType : int32_t {
    SHADER_NODE_RESULT_COLOR = 0,
    SHADER_NODE_RESULT_DEPTH = 1,
    SHADER_NODE_VS_RESULT = 2,
    SHADER_NODE_COMMUTATIVE = 3,
    SHADER_NODE_SIMPLE = 4,
    SHADER_NODE_CONNECTION = 5,
    SHADER_NODE_POINT_SPRITE_COORD = 6,
    SHADER_NODE_UNIFORM = 7,
    SHADER_NODE_VERTEX_STREAM = 8,
    SHADER_NODE_MATRIX_PRODUCT3 = 9,
    SHADER_NODE_MATRIX_PRODUCT4 = 10,
    SHADER_NODE_CONSTANT = 11,
    SHADER_NODE_SWIZZLE = 12,
    SHADER_NODE_NEGATE = 13,
    SHADER_NODE_MASK = 14,
    SHADER_NODE_TEXTURE = 15,
    SHADER_NODE_INPUT = 16,
    SHADER_NODE_OUTPUT = 17,
};

// Where a node runs; 0 until the build computes it.
enum ShaderStage : int32_t {
    SHADER_STAGE_UNKNOWN = 0,
    SHADER_STAGE_VERTEX = 2,
    SHADER_STAGE_PIXEL = 3,
};

enum CommutativeOperation : int32_t {
    COMMUTATIVE_SUM = 0,
    COMMUTATIVE_PRODUCT = 1,
    COMMUTATIVE_MAX = 2,
    COMMUTATIVE_MIN = 3,
    COMMUTATIVE_DP3 = 4,
    COMMUTATIVE_DP4 = 5,
};

enum SimpleOperation : int32_t {
    SIMPLE_POW = 0,
    SIMPLE_EXP = 1,
    SIMPLE_LOG = 2,
    SIMPLE_FRC = 3,
    SIMPLE_ABS = 4,
    SIMPLE_CRS = 5,
    SIMPLE_NRM = 6,
    SIMPLE_RCP = 7,
    SIMPLE_RSQ = 8,
    SIMPLE_LRP = 9,
    SIMPLE_LIT = 10,
    SIMPLE_DST = 11,
    SIMPLE_SINCOS = 12,
    SIMPLE_SIN = 13,
    SIMPLE_COS = 14,
    SIMPLE_SLT = 15,
    SIMPLE_SGE = 16,
    SIMPLE_CMP = 17,
    SIMPLE_TEXLD = 18,
};

// What one build keeps while it emits: the two programs, the register
// counters and the tables of the ShaderBuild being filled.
struct EmissionContext {
    EmissionContext(std::vector<std::string>& streamNames, std::map<std::string, int>& uniformMap,
                    std::vector<ShaderBuild::UniformBinding>& uniformBindings,
                    std::map<std::string, ShaderBuild::TextureBinding>& textureMap)
        : streamNames(streamNames), uniformMap(uniformMap), uniformBindings(uniformBindings),
          textureMap(textureMap)
    {
    }

    Core::ShaderGen pixelProgram;
    Core::ShaderGen vertexProgram;
    uint32_t nextAttribute = 0;
    uint32_t nextVertexUniform = 0;
    uint32_t nextPixelUniform = 0;
    uint32_t nextVary = Core::VARY_TEXCOORD0;
    uint32_t nextSampler = 0;
    bool pointSprite = false;
    std::vector<std::string>& streamNames;
    std::map<std::string, int>& uniformMap;
    std::vector<ShaderBuild::UniformBinding>& uniformBindings;
    std::map<std::string, ShaderBuild::TextureBinding>& textureMap;
};

// The output name that discards the pixel when a component of its value is
// negative.
extern const char* const TEXKILL_OUTPUT;

// One operation or input of a shader graph. Besides the fields the build
// works on, every node carries its creation number: wherever the build needs
// an order among nodes it uses that number, never an address, so that two
// identically built graphs give the same programs.
class ShaderGraphNode {
public:
    typedef Core::ShaderGen::Register Register;
    typedef std::map<ShaderGraphNode*, ShaderGraphNode*> NodeMap;

    // Three-way order among nodes of the same type, for deduplication.
    virtual int compare(const ShaderGraphNode& other) const;
    // The stage, computed once and cached.
    virtual int computeStage();
    virtual ~ShaderGraphNode();
    // Replaces every child found in the map by the map's node.
    virtual void remapChildren(const NodeMap& map);
    // Adds delta to the use count of every child.
    virtual void addUses(int delta);
    virtual ShaderGraphNode* clone() const = 0;
    virtual void emit(Core::ShaderGen& program, EmissionContext& context) = 0;
    // The node as the Graphviz dump shows it (lines separated by '\n').
    virtual std::string getLabel() const = 0;

    void addChild(ShaderGraphNode* child) { children.push_back(child); }
    ShaderNodeType getType() const { return type; }
    int getStage() const { return stage; }
    void setStage(int value) { stage = value; }
    int getUseCount() const { return useCount; }
    void setUseCount(int value) { useCount = value; }
    uint64_t getSerial() const { return serial; }
    const std::vector<ShaderGraphNode*>& getChildren() const { return children; }
    std::vector<ShaderGraphNode*>& getChildren() { return children; }
    const std::vector<Register>& getTargets() const { return targets; }
    const Register& getTarget(int id) const;

    // Orders by type, then by compare: the order of the deduplication set.
    struct Less {
        bool operator()(const ShaderGraphNode* a, const ShaderGraphNode* b) const;
    };
    // Orders by creation.
    struct CreationLess {
        bool operator()(const ShaderGraphNode* a, const ShaderGraphNode* b) const
        {
            return a->serial < b->serial;
        }
    };

protected:
    explicit ShaderGraphNode(ShaderNodeType type);
    // Copies everything but the creation number: a copy is a new node.
    ShaderGraphNode(const ShaderGraphNode& other);
    ShaderGraphNode& operator=(const ShaderGraphNode&) = delete;

    // The stage of a child as its users see it: an interpolated value is a
    // pixel-stage value.
    static int stageSeenByParent(ShaderGraphNode* child);
    int largestChildStage();
    int compareChildren(const ShaderGraphNode& other) const;

    int32_t useCount;
    ShaderNodeType type;
    int32_t stage;
    std::vector<ShaderGraphNode*> children;
    std::vector<Register> targets;

private:
    uint64_t serial;
};

// The pixel colour (id 0) or depth (id 1).
class SGResult : public ShaderGraphNode {
public:
    explicit SGResult(int32_t id);
    int computeStage() override;
    ShaderGraphNode* clone() const override { return new SGResult(*this); }
    void emit(Core::ShaderGen& program, EmissionContext& context) override;
    std::string getLabel() const override;
    int32_t getId() const { return id; }

private:
    int32_t id;
};

// A vertex-stage output: 0 position, 3 point size.
class SGVSResult : public ShaderGraphNode {
public:
    explicit SGVSResult(int32_t id);
    int compare(const ShaderGraphNode& other) const override;
    int computeStage() override;
    ShaderGraphNode* clone() const override { return new SGVSResult(*this); }
    void emit(Core::ShaderGen& program, EmissionContext& context) override;
    std::string getLabel() const override;
    int32_t getId() const { return id; }

private:
    int32_t id;
};

// A node whose operands may come in any order: they are kept sorted by
// creation, so a + b and b + a become one node.
class UnorderedChildrenNode : public ShaderGraphNode {
public:
    void remapChildren(const NodeMap& map) override;
    void sortChildren();

protected:
    explicit UnorderedChildrenNode(ShaderNodeType type) : ShaderGraphNode(type) {}
};

class SGCommutativeOperation : public UnorderedChildrenNode {
public:
    explicit SGCommutativeOperation(CommutativeOperation op);
    int compare(const ShaderGraphNode& other) const override;
    ShaderGraphNode* clone() const override { return new SGCommutativeOperation(*this); }
    void emit(Core::ShaderGen& program, EmissionContext& context) override;
    std::string getLabel() const override;
    CommutativeOperation getOperation() const { return op; }

private:
    CommutativeOperation op;
};

class SGSimpleOperation : public ShaderGraphNode {
public:
    explicit SGSimpleOperation(SimpleOperation op);
    int compare(const ShaderGraphNode& other) const override;
    ShaderGraphNode* clone() const override { return new SGSimpleOperation(*this); }
    void emit(Core::ShaderGen& program, EmissionContext& context) override;
    std::string getLabel() const override;
    SimpleOperation getOperation() const { return op; }
    // The number of operands of an operation.
    static size_t arity(SimpleOperation op);

private:
    SimpleOperation op;
};

// A per-vertex value read interpolated in the pixel stage.
class SGShaderConnection : public ShaderGraphNode {
public:
    SGShaderConnection() : ShaderGraphNode(SHADER_NODE_CONNECTION) {}
    ShaderGraphNode* clone() const override { return new SGShaderConnection(*this); }
    void emit(Core::ShaderGen& program, EmissionContext& context) override;
    std::string getLabel() const override { return "vs2ps"; }
};

class SGPointSpriteCoord : public ShaderGraphNode {
public:
    SGPointSpriteCoord() : ShaderGraphNode(SHADER_NODE_POINT_SPRITE_COORD) {}
    int computeStage() override;
    ShaderGraphNode* clone() const override { return new SGPointSpriteCoord(*this); }
    void emit(Core::ShaderGen& program, EmissionContext& context) override;
    std::string getLabel() const override { return "point sprite coord"; }
};

class SGUniform : public ShaderGraphNode {
public:
    SGUniform(const std::string& name, uint32_t size);
    int compare(const ShaderGraphNode& other) const override;
    int computeStage() override;
    ShaderGraphNode* clone() const override { return new SGUniform(*this); }
    void emit(Core::ShaderGen& program, EmissionContext& context) override;
    std::string getLabel() const override { return "uniform\n" + name; }
    const std::string& getName() const { return name; }
    uint32_t getSize() const { return size; }

private:
    std::string name;
    uint32_t size;
};

class SGVertexStream : public ShaderGraphNode {
public:
    explicit SGVertexStream(const std::string& name);
    int compare(const ShaderGraphNode& other) const override;
    int computeStage() override;
    ShaderGraphNode* clone() const override { return new SGVertexStream(*this); }
    void emit(Core::ShaderGen& program, EmissionContext& context) override;
    std::string getLabel() const override { return "stream\n" + name; }
    const std::string& getName() const { return name; }

private:
    std::string name;
};

class SGMatrixProduct3 : public ShaderGraphNode {
public:
    SGMatrixProduct3() : ShaderGraphNode(SHADER_NODE_MATRIX_PRODUCT3) {}
    ShaderGraphNode* clone() const override { return new SGMatrixProduct3(*this); }
    void emit(Core::ShaderGen& program, EmissionContext& context) override;
    std::string getLabel() const override { return "mx3prod"; }
};

class SGMatrixProduct4 : public ShaderGraphNode {
public:
    SGMatrixProduct4() : ShaderGraphNode(SHADER_NODE_MATRIX_PRODUCT4) {}
    ShaderGraphNode* clone() const override { return new SGMatrixProduct4(*this); }
    void emit(Core::ShaderGen& program, EmissionContext& context) override;
    std::string getLabel() const override { return "mx4prod"; }
};

class SGConstantVec4 : public ShaderGraphNode {
public:
    explicit SGConstantVec4(const float value[4]);
    int compare(const ShaderGraphNode& other) const override;
    int computeStage() override;
    ShaderGraphNode* clone() const override { return new SGConstantVec4(*this); }
    void emit(Core::ShaderGen& program, EmissionContext& context) override;
    std::string getLabel() const override;
    const float* getValue() const { return value; }

private:
    float value[4];
};

class SGSwizzle : public ShaderGraphNode {
public:
    // The identity swizzle (x, y, z, w).
    SGSwizzle();
    // Component broadcast to all four lanes.
    explicit SGSwizzle(int32_t component);
    int compare(const ShaderGraphNode& other) const override;
    ShaderGraphNode* clone() const override { return new SGSwizzle(*this); }
    void emit(Core::ShaderGen& program, EmissionContext& context) override;
    std::string getLabel() const override { return "swizzle"; }
    const int32_t* getSelectors() const { return selectors; }

private:
    int32_t selectors[4];
};

class SGNegate : public ShaderGraphNode {
public:
    SGNegate() : ShaderGraphNode(SHADER_NODE_NEGATE) {}
    ShaderGraphNode* clone() const override { return new SGNegate(*this); }
    void emit(Core::ShaderGen& program, EmissionContext& context) override;
    std::string getLabel() const override { return "negate"; }
};

// Four lane slots; lane i takes component selectors[i] of child i. A lane
// whose child is null is left unwritten.
class SGMask : public ShaderGraphNode {
public:
    SGMask();
    int compare(const ShaderGraphNode& other) const override;
    ShaderGraphNode* clone() const override { return new SGMask(*this); }
    void emit(Core::ShaderGen& program, EmissionContext& context) override;
    std::string getLabel() const override { return "mask"; }
    void setLane(int lane, ShaderGraphNode* child, int32_t selector);
    const int32_t* getSelectors() const { return selectors; }

private:
    int32_t selectors[4];
};

class SGTexture : public ShaderGraphNode {
public:
    SGTexture(const std::string& name, uint32_t textureType);
    int compare(const ShaderGraphNode& other) const override;
    int computeStage() override;
    ShaderGraphNode* clone() const override { return new SGTexture(*this); }
    void emit(Core::ShaderGen& program, EmissionContext& context) override;
    std::string getLabel() const override { return "texture\n" + name; }
    const std::string& getName() const { return name; }
    uint32_t getTextureType() const { return textureType; }

private:
    std::string name;
    uint32_t textureType;
};

// A named hole of a graph fragment, filled by linking.
class SGInput : public ShaderGraphNode {
public:
    explicit SGInput(const std::string& name);
    int compare(const ShaderGraphNode& other) const override;
    ShaderGraphNode* clone() const override { return new SGInput(*this); }
    void emit(Core::ShaderGen& program, EmissionContext& context) override {}
    std::string getLabel() const override { return "input\n" + name; }
    const std::string& getName() const { return name; }

private:
    std::string name;
};

// A named value of a graph fragment; "texkill" discards pixels.
class SGOutput : public ShaderGraphNode {
public:
    explicit SGOutput(const std::string& name);
    int compare(const ShaderGraphNode& other) const override;
    int computeStage() override;
    ShaderGraphNode* clone() const override { return new SGOutput(*this); }
    void emit(Core::ShaderGen& program, EmissionContext& context) override;
    std::string getLabel() const override { return "output\n" + name; }
    const std::string& getName() const { return name; }
    bool isTexkill() const { return name == TEXKILL_OUTPUT; }

private:
    std::string name;
};

// The node store of a shader graph: every node in registration order. It
// owns its nodes.
class IntermediateShaderGraph {
public:
    IntermediateShaderGraph() = default;
    ~IntermediateShaderGraph();
    IntermediateShaderGraph(const IntermediateShaderGraph&) = delete;
    IntermediateShaderGraph& operator=(const IntermediateShaderGraph&) = delete;

    void addNode(ShaderGraphNode* node) { nodes.push_back(node); }
    const std::vector<ShaderGraphNode*>& getNodes() const { return nodes; }

    bool hasInput(const std::string& name) const;
    // An independent copy of every node.
    IntermediateShaderGraph* clone() const;
    // Appends a copy of another store's nodes.
    void append(const IntermediateShaderGraph& other);
    // Joins fragments: every input takes the value of the output of its
    // name; inputs and named outputs then leave the store.
    void link();
    // "digraph { ... }" with one line per node and per edge.
    void writeGraphviz(std::ostream& out) const;

    // The build, step by step; build runs them all, once.
    void build(ShaderBuild& shaderBuild);
    void checkDeclarations() const;
    void deduplicate();
    void computeStages();
    void checkStages() const;
    void splitStages();
    void connectStages();
    void sortTopologically();
    void emit(EmissionContext& context);
    bool isBuilt() const { return built; }

private:
    struct Deduplication;
    // Bits of the stages that read a node.
    enum { READ_BY_VERTEX = 1, READ_BY_PIXEL = 2 };
    typedef std::map<ShaderGraphNode*, int> StageReaders;

    std::vector<ShaderGraphNode*> cloneNodes() const;
    ShaderGraphNode* canonicalize(ShaderGraphNode* node, Deduplication& state);
    void markReaders(ShaderGraphNode* node, int readerStage, StageReaders& readers);

    std::vector<ShaderGraphNode*> nodes;
    bool built = false;
};

} // namespace Vostrel
