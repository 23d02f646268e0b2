#include "Libs/Common/Exception.h"
#include "Libs/Core/PixelShader.h"
#include "Libs/Core/ShaderGen.h"
#include "Libs/Core/VertexShader.h"
#include "Libs/EvaluationGraph/IntermediateShaderGraph.h"

#include <set>

namespace Vostrel {

namespace {

const char* const CYCLE_MESSAGE = "Topological sort failed. The shader graph contains maybe a cycle.";

// Uniforms, constants, swizzles and negations cost nothing to repeat, so
// they are evaluated in whichever stage reads them.
bool followsItsUsers(const ShaderGraphNode* node)
{
    switch (node->getType()) {
    case SHADER_NODE_UNIFORM:
    case SHADER_NODE_CONSTANT:
    case SHADER_NODE_SWIZZLE:
    case SHADER_NODE_NEGATE:
        return true;
    default:
        return false;
    }
}

std::string describe(const ShaderGraphNode* node)
{
    std::string label = node->getLabel();
    for (char& c : label)
        if (c == '\n')
            c = ' ';
    return "'" + label + "'";
}

} // namespace

struct IntermediateShaderGraph::Deduplication {
    std::set<ShaderGraphNode*, ShaderGraphNode::Less> canonicalNodes;
    ShaderGraphNode::NodeMap canonical;
    std::set<ShaderGraphNode*> inProgress;
};

void IntermediateShaderGraph::build(ShaderBuild& shaderBuild)
{
    if (built)
        VOSTREL_THROW("ShaderGraph::build: the graph was built already; a graph is built once");
    built = true;
    checkDeclarations();
    deduplicate();
    computeStages();
    checkStages();
    splitStages();
    connectStages();
    sortTopologically();

    EmissionContext context(shaderBuild.streamNames, shaderBuild.uniformMap, shaderBuild.uniformBindings,
                            shaderBuild.textureMap);
    emit(context);

    Core::ShaderProgram vertexProgram, pixelProgram;
    context.vertexProgram.getProgram(vertexProgram);
    context.pixelProgram.getProgram(pixelProgram);
    shaderBuild.vertexShader.reset(context.vertexProgram.createVertexShader(vertexProgram));
    shaderBuild.pixelShader.reset(context.pixelProgram.createPixelShader(pixelProgram));
    shaderBuild.vertexUniformCount = context.nextVertexUniform;
    shaderBuild.pixelUniformCount = context.nextPixelUniform;
}

// One name with two meanings would give one binding two register layouts or
// one sampler two types.
void IntermediateShaderGraph::checkDeclarations() const
{
    std::map<std::string, uint32_t> uniformSizes, textureTypes;
    for (const ShaderGraphNode* node : nodes) {
        if (node->getType() == SHADER_NODE_UNIFORM) {
            const SGUniform* uniform = static_cast<const SGUniform*>(node);
            auto declared = uniformSizes.emplace(uniform->getName(), uniform->getSize()).first;
            if (declared->second != uniform->getSize())
                VOSTREL_THROW("ShaderGraph::build: uniform '" << uniform->getName() << "' is declared with "
                              << declared->second << " and " << uniform->getSize() << " registers");
        } else if (node->getType() == SHADER_NODE_TEXTURE) {
            const SGTexture* texture = static_cast<const SGTexture*>(node);
            auto declared = textureTypes.emplace(texture->getName(), texture->getTextureType()).first;
            if (declared->second != texture->getTextureType())
                VOSTREL_THROW("ShaderGraph::build: texture '" << texture->getName() << "' is declared with types "
                              << declared->second << " and " << texture->getTextureType());
        }
    }
}

ShaderGraphNode* IntermediateShaderGraph::canonicalize(ShaderGraphNode* node, Deduplication& state)
{
    auto known = state.canonical.find(node);
    if (known != state.canonical.end())
        return known->second;
    // Only linking can close a loop; meeting a node again on the way down is one.
    if (!state.inProgress.insert(node).second)
        VOSTREL_THROW(CYCLE_MESSAGE);
    for (ShaderGraphNode* child : node->getChildren())
        if (child)
            canonicalize(child, state);
    node->remapChildren(state.canonical);
    state.inProgress.erase(node);
    ShaderGraphNode* result = *state.canonicalNodes.insert(node).first;
    state.canonical[node] = result;
    return result;
}

void IntermediateShaderGraph::deduplicate()
{
    Deduplication state;
    for (ShaderGraphNode* node : nodes)
        canonicalize(node, state);
    std::vector<ShaderGraphNode*> kept;
    for (ShaderGraphNode* node : nodes) {
        if (state.canonical[node] == node)
            kept.push_back(node);
        else
            delete node;
    }
    nodes.swap(kept);
}

void IntermediateShaderGraph::computeStages()
{
    for (ShaderGraphNode* node : nodes)
        node->computeStage();
}

// Only fixed vertex-stage nodes (the vertex results) can meet a per-pixel
// operand; the vertex program has no way to read it.
void IntermediateShaderGraph::checkStages() const
{
    for (const ShaderGraphNode* node : nodes) {
        if (node->getStage() != SHADER_STAGE_VERTEX)
            continue;
        for (const ShaderGraphNode* child : node->getChildren()) {
            if (!child)
                continue;
            bool perPixel = child->getStage() == SHADER_STAGE_PIXEL || child->getType() == SHADER_NODE_CONNECTION;
            if (perPixel)
                VOSTREL_THROW("ShaderGraph::build: the vertex-stage node " << describe(node)
                              << " reads the pixel-stage value " << describe(child)
                              << "; textures, point-sprite coordinates and vs2ps values exist per pixel only");
        }
    }
}

// Which stages read a node that follows its users: directly, or through
// other such nodes.
void IntermediateShaderGraph::markReaders(ShaderGraphNode* node, int readerStage, StageReaders& readers)
{
    int bit = readerStage == SHADER_STAGE_VERTEX ? READ_BY_VERTEX : READ_BY_PIXEL;
    int& read = readers[node];
    if (read & bit)
        return;
    read |= bit;
    for (ShaderGraphNode* child : node->getChildren())
        if (child && followsItsUsers(child))
            markReaders(child, readerStage, readers);
}

// A node that follows its users takes the stage that reads it; read by both,
// it stays in the vertex stage and a copy serves the pixel stage, so that
// each stage holds one node per value (one register per uniform and stage,
// the one that setUniform writes).
void IntermediateShaderGraph::splitStages()
{
    StageReaders readers;
    for (ShaderGraphNode* node : nodes) {
        if (followsItsUsers(node))
            continue;
        for (ShaderGraphNode* child : node->getChildren())
            if (child && followsItsUsers(child))
                markReaders(child, node->getStage(), readers);
    }
    std::map<ShaderGraphNode*, ShaderGraphNode*> pixelCopies;
    std::vector<ShaderGraphNode*> copies;
    for (ShaderGraphNode* node : nodes) {
        auto read = readers.find(node);
        if (read == readers.end())
            continue;
        if (read->second == READ_BY_PIXEL) {
            node->setStage(SHADER_STAGE_PIXEL);
        } else if (read->second == (READ_BY_VERTEX | READ_BY_PIXEL)) {
            node->setStage(SHADER_STAGE_VERTEX);
            ShaderGraphNode* copy = node->clone();
            copy->setStage(SHADER_STAGE_PIXEL);
            pixelCopies[node] = copy;
            copies.push_back(copy);
        } else {
            node->setStage(SHADER_STAGE_VERTEX);
        }
    }
    nodes.insert(nodes.end(), copies.begin(), copies.end());
    for (ShaderGraphNode* node : nodes)
        if (node->getStage() == SHADER_STAGE_PIXEL)
            node->remapChildren(pixelCopies);
}

void IntermediateShaderGraph::connectStages()
{
    std::map<ShaderGraphNode*, ShaderGraphNode*, ShaderGraphNode::CreationLess> connections;
    for (ShaderGraphNode* node : nodes) {
        if (node->getStage() != SHADER_STAGE_PIXEL)
            continue;
        for (ShaderGraphNode*& child : node->getChildren()) {
            if (!child || child->getStage() != SHADER_STAGE_VERTEX || child->getType() == SHADER_NODE_CONNECTION)
                continue;
            ShaderGraphNode*& connection = connections[child];
            if (!connection) {
                connection = new SGShaderConnection;
                connection->addChild(child);
                connection->setStage(SHADER_STAGE_VERTEX);
            }
            child = connection;
        }
    }
    for (const auto& entry : connections)
        nodes.push_back(entry.second);
}

// Parents end up behind their children, so emission in store order meets
// every operand before its users.
void IntermediateShaderGraph::sortTopologically()
{
    for (ShaderGraphNode* node : nodes)
        node->setUseCount(0);
    for (ShaderGraphNode* node : nodes)
        node->addUses(1);
    size_t unsorted = nodes.size();
    while (unsorted > 0) {
        bool sortedAny = false;
        size_t i = 0;
        while (i < unsorted) {
            ShaderGraphNode* node = nodes[i];
            if (node->getUseCount() != 0) {
                ++i;
                continue;
            }
            std::swap(nodes[i], nodes[unsorted - 1]);
            --unsorted;
            node->addUses(-1);
            sortedAny = true;
        }
        if (!sortedAny)
            VOSTREL_THROW(CYCLE_MESSAGE);
    }
}

void IntermediateShaderGraph::emit(EmissionContext& context)
{
    for (const ShaderGraphNode* node : nodes)
        if (node->getType() == SHADER_NODE_POINT_SPRITE_COORD)
            context.pointSprite = true;
    for (ShaderGraphNode* node : nodes) {
        if (node->getStage() == SHADER_STAGE_VERTEX)
            node->emit(context.vertexProgram, context);
        else if (node->getStage() == SHADER_STAGE_PIXEL)
            node->emit(context.pixelProgram, context);
    }
}

} // namespace Vostrel
