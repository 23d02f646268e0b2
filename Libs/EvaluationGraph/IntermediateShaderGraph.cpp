#include "Libs/EvaluationGraph/IntermediateShaderGraph.h"

#include "Libs/Common/Exception.h"

#include <algorithm>
#include <cstring>

namespace Vostrel {

const char* const TEXKILL_OUTPUT = "texkill";

namespace {

typedef Core::ShaderGen::Register Register;

uint64_t nextSerial = 0;

template <typename T> int threeWay(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Constants compare by their bits: a total order even for NaN, and 0 and -0
// stay two constants (rcp tells them apart).
int compareFloats(const float* a, const float* b, int count)
{
    for (int i = 0; i < count; ++i) {
        uint32_t bitsA, bitsB;
        std::memcpy(&bitsA, a + i, sizeof bitsA);
        std::memcpy(&bitsB, b + i, sizeof bitsB);
        if (int order = threeWay(bitsA, bitsB))
            return order;
    }
    return 0;
}

int64_t orderKey(const ShaderGraphNode* node)
{
    return node ? static_cast<int64_t>(node->getSerial()) : -1;
}

const char LANE_LETTERS[] = "xyzw";

std::string letter(int selector)
{
    return std::string(1, LANE_LETTERS[selector]);
}

} // namespace

// ---------------------------------------------------------------------------
// ShaderGraphNode

ShaderGraphNode::ShaderGraphNode(ShaderNodeType type)
    : useCount(0), type(type), stage(SHADER_STAGE_UNKNOWN), serial(nextSerial++)
{
}

ShaderGraphNode::ShaderGraphNode(const ShaderGraphNode& other)
    : useCount(other.useCount), type(other.type), stage(other.stage), children(other.children),
      targets(other.targets), serial(nextSerial++)
{
}

ShaderGraphNode::~ShaderGraphNode() = default;

const ShaderGraphNode::Register& ShaderGraphNode::getTarget(int id) const
{
    VOSTREL_ASSERT(id>=0 && id<(int)targets.size());
    return targets[id];
}

int ShaderGraphNode::compareChildren(const ShaderGraphNode& other) const
{
    if (int order = threeWay(children.size(), other.children.size()))
        return order;
    for (size_t i = 0; i < children.size(); ++i)
        if (int order = threeWay(orderKey(children[i]), orderKey(other.children[i])))
            return order;
    return 0;
}

int ShaderGraphNode::compare(const ShaderGraphNode& other) const
{
    return compareChildren(other);
}

int ShaderGraphNode::stageSeenByParent(ShaderGraphNode* child)
{
    if (child->getType() == SHADER_NODE_CONNECTION)
        return SHADER_STAGE_PIXEL;
    return child->computeStage();
}

int ShaderGraphNode::largestChildStage()
{
    int largest = SHADER_STAGE_VERTEX;
    for (ShaderGraphNode* child : children)
        if (child)
            largest = std::max(largest, stageSeenByParent(child));
    return largest;
}

int ShaderGraphNode::computeStage()
{
    if (stage != SHADER_STAGE_UNKNOWN)
        return stage;
    VOSTREL_ASSERT(children.size()>0);
    stage = largestChildStage();
    return stage;
}

void ShaderGraphNode::remapChildren(const NodeMap& map)
{
    for (ShaderGraphNode*& child : children) {
        if (!child)
            continue;
        auto it = map.find(child);
        if (it != map.end())
            child = it->second;
    }
}

void ShaderGraphNode::addUses(int delta)
{
    for (ShaderGraphNode* child : children)
        if (child)
            child->useCount += delta;
}

bool ShaderGraphNode::Less::operator()(const ShaderGraphNode* a, const ShaderGraphNode* b) const
{
    if (a->type != b->type)
        return a->type < b->type;
    return a->compare(*b) < 0;
}

// ---------------------------------------------------------------------------
// Results

SGResult::SGResult(int32_t _id)
    : ShaderGraphNode(_id == 1 ? SHADER_NODE_RESULT_DEPTH : SHADER_NODE_RESULT_COLOR), id(_id)
{
    VOSTREL_ASSERT(_id==0 || _id==1);
}

int SGResult::computeStage()
{
    stage = SHADER_STAGE_PIXEL;
    return stage;
}

void SGResult::emit(Core::ShaderGen& program, EmissionContext&)
{
    VOSTREL_ASSERT(children.size()==1);
    program.mov(program.result(id), children[0]->getTarget(0));
}

std::string SGResult::getLabel() const
{
    return id == 0 ? "result color" : "result depth";
}

SGVSResult::SGVSResult(int32_t id) : ShaderGraphNode(SHADER_NODE_VS_RESULT), id(id) {}

int SGVSResult::compare(const ShaderGraphNode& other) const
{
    return threeWay(id, static_cast<const SGVSResult&>(other).id);
}

int SGVSResult::computeStage()
{
    stage = SHADER_STAGE_VERTEX;
    return stage;
}

void SGVSResult::emit(Core::ShaderGen& program, EmissionContext&)
{
    VOSTREL_ASSERT(children.size()==1);
    program.mov(program.vary(id), children[0]->getTarget(0));
}

std::string SGVSResult::getLabel() const
{
    return "vs result";
}

// ---------------------------------------------------------------------------
// Operations

void UnorderedChildrenNode::remapChildren(const NodeMap& map)
{
    ShaderGraphNode::remapChildren(map);
    sortChildren();
}

void UnorderedChildrenNode::sortChildren()
{
    std::stable_sort(children.begin(), children.end(),
                     [](const ShaderGraphNode* a, const ShaderGraphNode* b) { return orderKey(a) < orderKey(b); });
}

SGCommutativeOperation::SGCommutativeOperation(CommutativeOperation op)
    : UnorderedChildrenNode(SHADER_NODE_COMMUTATIVE), op(op)
{
}

int SGCommutativeOperation::compare(const ShaderGraphNode& other) const
{
    if (int order = threeWay(op, static_cast<const SGCommutativeOperation&>(other).op))
        return order;
    return compareChildren(other);
}

void SGCommutativeOperation::emit(Core::ShaderGen& program, EmissionContext&)
{
    VOSTREL_ASSERT(children.size()>0);
    if (op == COMMUTATIVE_DP3 || op == COMMUTATIVE_DP4)
        VOSTREL_ASSERT(children.size()==2);
    // A left fold in child order, one instruction per further operand.
    Register accumulator = children[0]->getTarget(0);
    for (size_t i = 1; i < children.size(); ++i) {
        Register result = program.temp();
        const Register& operand = children[i]->getTarget(0);
        switch (op) {
        case COMMUTATIVE_SUM: program.add(result, accumulator, operand); break;
        case COMMUTATIVE_PRODUCT: program.mul(result, accumulator, operand); break;
        case COMMUTATIVE_MAX: program.max(result, accumulator, operand); break;
        case COMMUTATIVE_MIN: program.min(result, accumulator, operand); break;
        case COMMUTATIVE_DP3: program.dp3(result, accumulator, operand); break;
        case COMMUTATIVE_DP4: program.dp4(result, accumulator, operand); break;
        }
        accumulator = result;
    }
    targets.assign(1, accumulator);
}

std::string SGCommutativeOperation::getLabel() const
{
    static const char* const NAMES[] = {"sum", "prod", "max", "min", "dp3", "dp4"};
    return std::string("comOp\n") + NAMES[op];
}

SGSimpleOperation::SGSimpleOperation(SimpleOperation op) : ShaderGraphNode(SHADER_NODE_SIMPLE), op(op) {}

int SGSimpleOperation::compare(const ShaderGraphNode& other) const
{
    if (int order = threeWay(op, static_cast<const SGSimpleOperation&>(other).op))
        return order;
    return compareChildren(other);
}

size_t SGSimpleOperation::arity(SimpleOperation op)
{
    switch (op) {
    case SIMPLE_POW:
    case SIMPLE_CRS:
    case SIMPLE_DST:
    case SIMPLE_SLT:
    case SIMPLE_SGE:
    case SIMPLE_TEXLD:
        return 2;
    case SIMPLE_LRP:
    case SIMPLE_SINCOS:
    case SIMPLE_CMP:
        return 3;
    default:
        return 1;
    }
}

void SGSimpleOperation::emit(Core::ShaderGen& program, EmissionContext&)
{
    switch (arity(op)) {
    case 1: VOSTREL_ASSERT(children.size()==1); break;
    case 2: VOSTREL_ASSERT(children.size()==2); break;
    default: VOSTREL_ASSERT(children.size()==3); break;
    }
    std::vector<Register> sources;
    for (ShaderGraphNode* child : children)
        sources.push_back(child->getTarget(0));
    Register result = program.temp();
    switch (op) {
    case SIMPLE_POW: program.pow(result, sources[0], sources[1]); break;
    case SIMPLE_EXP: program.exp(result, sources[0]); break;
    case SIMPLE_LOG: program.log(result, sources[0]); break;
    case SIMPLE_FRC: program.frc(result, sources[0]); break;
    case SIMPLE_ABS: program.abs(result, sources[0]); break;
    // crs defines x, y and z only, and shader model 2.0 refuses it without
    // that write mask.
    case SIMPLE_CRS: program.crs(result.swizzle("xyz"), sources[0], sources[1]); break;
    case SIMPLE_NRM: program.nrm(result, sources[0]); break;
    case SIMPLE_RCP: program.rcp(result, sources[0]); break;
    case SIMPLE_RSQ: program.rsq(result, sources[0]); break;
    case SIMPLE_LRP: program.lrp(result, sources[0], sources[1], sources[2]); break;
    case SIMPLE_LIT: program.lit(result, sources[0]); break;
    case SIMPLE_DST: program.dst(result, sources[0], sources[1]); break;
    case SIMPLE_SINCOS: program.sincos(result.swizzle("xy"), sources[0], sources[1], sources[2]); break;
    case SIMPLE_SIN: program.sin(result, sources[0]); break;
    case SIMPLE_COS: program.cos(result, sources[0]); break;
    case SIMPLE_SLT: program.slt(result, sources[0], sources[1]); break;
    case SIMPLE_SGE: program.sge(result, sources[0], sources[1]); break;
    case SIMPLE_CMP: program.cmp(result, sources[0], sources[1], sources[2]); break;
    case SIMPLE_TEXLD: {
        VOSTREL_ASSERT(children[1]->getType()==SHADER_NODE_TEXTURE);
        // texld reads its coordinate whole: a swizzled or negated view of a
        // value is moved into a register of its own first.
        Register coordinate = sources[0];
        if (coordinate.hasSwizzle() || (coordinate.param.flags & Core::REGISTER_NEGATE)) {
            coordinate = program.temp();
            program.mov(coordinate, sources[0]);
        }
        program.texld(result, coordinate, sources[1]);
        break;
    }
    }
    targets.assign(1, result);
}

std::string SGSimpleOperation::getLabel() const
{
    return "simpleOp";
}

// ---------------------------------------------------------------------------
// Stage crossings

void SGShaderConnection::emit(Core::ShaderGen&, EmissionContext& context)
{
    VOSTREL_ASSERT(children.size()==1);
    if (stage == SHADER_STAGE_PIXEL) {
        // vs2ps over a value that is per pixel already.
        targets.assign(1, children[0]->getTarget(0));
        return;
    }
    // Texture coordinate 0 carries the sprite coordinate when there is one.
    uint32_t id = context.nextVary;
    if (id == Core::VARY_TEXCOORD0 && context.pointSprite)
        id = Core::VARY_TEXCOORD0 + 1;
    context.nextVary = id + 1;
    Register pixelValue = context.pixelProgram.temp();
    context.pixelProgram.mov(pixelValue, context.pixelProgram.vary(static_cast<int>(id)));
    context.vertexProgram.mov(context.vertexProgram.vary(static_cast<int>(id)), children[0]->getTarget(0));
    targets.assign(1, pixelValue);
}

int SGPointSpriteCoord::computeStage()
{
    stage = SHADER_STAGE_PIXEL;
    return stage;
}

void SGPointSpriteCoord::emit(Core::ShaderGen& program, EmissionContext&)
{
    Register coordinate = program.temp();
    program.mov(coordinate, program.vary(Core::VARY_TEXCOORD0));
    targets.assign(1, coordinate);
}

// ---------------------------------------------------------------------------
// Inputs

SGUniform::SGUniform(const std::string& name, uint32_t size)
    : ShaderGraphNode(SHADER_NODE_UNIFORM), name(name), size(size)
{
}

int SGUniform::compare(const ShaderGraphNode& other) const
{
    const SGUniform& uniform = static_cast<const SGUniform&>(other);
    if (int order = name.compare(uniform.name))
        return order < 0 ? -1 : 1;
    return threeWay(size, uniform.size);
}

int SGUniform::computeStage()
{
    if (stage == SHADER_STAGE_UNKNOWN)
        stage = SHADER_STAGE_VERTEX;
    return stage;
}

void SGUniform::emit(Core::ShaderGen& program, EmissionContext& context)
{
    VOSTREL_ASSERT(stage == SHADER_STAGE_VERTEX || stage == SHADER_STAGE_PIXEL);
    auto found = context.uniformMap.find(name);
    int index;
    if (found == context.uniformMap.end()) {
        index = static_cast<int>(context.uniformBindings.size());
        context.uniformBindings.push_back({-1, -1, size});
        context.uniformMap[name] = index;
    } else {
        index = found->second;
        if (context.uniformBindings[index].size != size)
            VOSTREL_THROW("ShaderGraph::build: uniform '" << name << "' is declared with "
                          << context.uniformBindings[index].size << " and " << size << " registers");
    }
    ShaderBuild::UniformBinding& binding = context.uniformBindings[index];
    uint32_t& counter = stage == SHADER_STAGE_VERTEX ? context.nextVertexUniform : context.nextPixelUniform;
    (stage == SHADER_STAGE_VERTEX ? binding.vsReg : binding.psReg) = static_cast<int32_t>(counter);
    targets.clear();
    for (uint32_t i = 0; i < size; ++i) {
        Register value = program.temp();
        program.mov(value, program.uniform(static_cast<int>(counter), 1));
        ++counter;
        targets.push_back(value);
    }
}

SGVertexStream::SGVertexStream(const std::string& name) : ShaderGraphNode(SHADER_NODE_VERTEX_STREAM), name(name) {}

int SGVertexStream::compare(const ShaderGraphNode& other) const
{
    return threeWay(name, static_cast<const SGVertexStream&>(other).name);
}

int SGVertexStream::computeStage()
{
    stage = SHADER_STAGE_VERTEX;
    return stage;
}

void SGVertexStream::emit(Core::ShaderGen& program, EmissionContext& context)
{
    context.streamNames.push_back(name);
    Register value = program.temp();
    program.mov(value, program.attrib(static_cast<int>(context.nextAttribute++)));
    targets.assign(1, value);
}

SGConstantVec4::SGConstantVec4(const float _value[4]) : ShaderGraphNode(SHADER_NODE_CONSTANT)
{
    std::copy(_value, _value + 4, value);
}

int SGConstantVec4::compare(const ShaderGraphNode& other) const
{
    return compareFloats(value, static_cast<const SGConstantVec4&>(other).value, 4);
}

int SGConstantVec4::computeStage()
{
    if (stage == SHADER_STAGE_UNKNOWN)
        stage = SHADER_STAGE_VERTEX;
    return stage;
}

void SGConstantVec4::emit(Core::ShaderGen& program, EmissionContext&)
{
    Register constant = program.temp();
    program.mov(constant, program.constant(value));
    targets.assign(1, constant);
}

std::string SGConstantVec4::getLabel() const
{
    return "const";
}

SGTexture::SGTexture(const std::string& name, uint32_t textureType)
    : ShaderGraphNode(SHADER_NODE_TEXTURE), name(name), textureType(textureType)
{
}

int SGTexture::compare(const ShaderGraphNode& other) const
{
    const SGTexture& texture = static_cast<const SGTexture&>(other);
    if (int order = threeWay(name, texture.name))
        return order;
    return threeWay(textureType, texture.textureType);
}

int SGTexture::computeStage()
{
    stage = SHADER_STAGE_PIXEL;
    return stage;
}

void SGTexture::emit(Core::ShaderGen& program, EmissionContext& context)
{
    auto found = context.textureMap.find(name);
    if (found != context.textureMap.end() && found->second.type != textureType)
        VOSTREL_THROW("ShaderGraph::build: texture '" << name << "' is declared with types " << found->second.type
                      << " and " << textureType);
    uint32_t sampler = context.nextSampler++;
    context.textureMap[name] = {sampler, textureType};
    targets.assign(1, program.sampler(static_cast<int>(sampler), static_cast<Core::TextureType>(textureType)));
}

// ---------------------------------------------------------------------------
// Register views

SGSwizzle::SGSwizzle() : ShaderGraphNode(SHADER_NODE_SWIZZLE)
{
    for (int i = 0; i < 4; ++i)
        selectors[i] = i;
}

SGSwizzle::SGSwizzle(int32_t component) : ShaderGraphNode(SHADER_NODE_SWIZZLE)
{
    VOSTREL_ASSERT(component >= 0 && component < 4);
    std::fill(selectors, selectors + 4, component);
}

int SGSwizzle::compare(const ShaderGraphNode& other) const
{
    const int32_t* otherSelectors = static_cast<const SGSwizzle&>(other).selectors;
    for (int i = 0; i < 4; ++i)
        if (int order = threeWay(selectors[i], otherSelectors[i]))
            return order;
    return compareChildren(other);
}

void SGSwizzle::emit(Core::ShaderGen&, EmissionContext&)
{
    VOSTREL_ASSERT(children.size()==1);
    const Register& source = children[0]->getTarget(0);
    bool identity = selectors[0] == 0 && selectors[1] == 1 && selectors[2] == 2 && selectors[3] == 3;
    bool broadcast = selectors[0] == selectors[1] && selectors[1] == selectors[2] && selectors[2] == selectors[3];
    if (identity)
        targets.assign(1, source);
    else if (broadcast)
        targets.assign(1, source.swizzle(letter(selectors[0])));
    else
        targets.assign(1, source.swizzle(letter(selectors[0]) + letter(selectors[1]) + letter(selectors[2])
                                         + letter(selectors[3])));
}

void SGNegate::emit(Core::ShaderGen&, EmissionContext&)
{
    VOSTREL_ASSERT(children.size()==1);
    targets.assign(1, children[0]->getTarget(0).negate());
}

SGMask::SGMask() : ShaderGraphNode(SHADER_NODE_MASK)
{
    children.assign(4, nullptr);
    for (int i = 0; i < 4; ++i)
        selectors[i] = i;
}

void SGMask::setLane(int lane, ShaderGraphNode* child, int32_t selector)
{
    VOSTREL_ASSERT(lane >= 0 && lane < 4 && selector >= 0 && selector < 4);
    children[lane] = child;
    selectors[lane] = selector;
}

int SGMask::compare(const ShaderGraphNode& other) const
{
    const SGMask& mask = static_cast<const SGMask&>(other);
    for (int lane = 0; lane < 4; ++lane) {
        if (int order = threeWay(orderKey(children[lane]), orderKey(mask.children[lane])))
            return order;
        if (children[lane])
            if (int order = threeWay(selectors[lane], mask.selectors[lane]))
                return order;
    }
    return 0;
}

void SGMask::emit(Core::ShaderGen& program, EmissionContext&)
{
    VOSTREL_ASSERT(children.size()==4);
    // Lanes read through swizzles to the swizzled value itself.
    ShaderGraphNode* laneChild[4];
    int32_t laneSelector[4];
    for (int lane = 0; lane < 4; ++lane) {
        ShaderGraphNode* child = children[lane];
        int32_t selector = selectors[lane];
        while (child && child->getType() == SHADER_NODE_SWIZZLE) {
            selector = static_cast<SGSwizzle*>(child)->getSelectors()[selector];
            child = child->getChildren()[0];
        }
        laneChild[lane] = child;
        laneSelector[lane] = selector;
    }
    Register result = program.temp();
    // One mov per distinct value, writing all its lanes; the lanes outside
    // the write mask are free, so the source is read without swizzle or as a
    // replicate where it can. The pixel stage allows little else, so there a
    // value whose lanes need different components is moved lane group by
    // lane group.
    bool done[4] = {false, false, false, false};
    for (int lane = 0; lane < 4; ++lane) {
        if (!laneChild[lane] || done[lane])
            continue;
        bool identity = true, replicate = true;
        for (int other = lane; other < 4; ++other) {
            if (done[other] || laneChild[other] != laneChild[lane])
                continue;
            identity = identity && laneSelector[other] == other;
            replicate = replicate && laneSelector[other] == laneSelector[lane];
        }
        bool bySelector = !identity && !replicate && stage == SHADER_STAGE_PIXEL;
        std::string mask, swizzle;
        for (int other = 0; other < 4; ++other) {
            bool takes = other >= lane && !done[other] && laneChild[other] == laneChild[lane]
                && (!bySelector || laneSelector[other] == laneSelector[lane]);
            if (takes) {
                done[other] = true;
                mask += LANE_LETTERS[other];
            }
            swizzle += takes ? LANE_LETTERS[laneSelector[other]] : 'x';
        }
        Register source = laneChild[lane]->getTarget(0);
        if (bySelector || replicate)
            source = source.swizzle(letter(laneSelector[lane]));
        else if (!identity)
            source = source.swizzle(swizzle);
        program.mov(result.swizzle(mask), source);
    }
    targets.assign(1, result);
}

// ---------------------------------------------------------------------------
// Matrix products: lane i is the dot product of row i of the matrix uniform
// with the vector.

namespace {

Register emitMatrixProduct(Core::ShaderGen& program, const std::vector<ShaderGraphNode*>& children, int rows)
{
    VOSTREL_ASSERT(children.size()==2);
    const Register& vector = children[1]->getTarget(0);
    Register result = program.temp();
    for (int row = 0; row < rows; ++row) {
        Register lane = result.swizzle(letter(row));
        if (rows == 3)
            program.dp3(lane, vector, children[0]->getTarget(row));
        else
            program.dp4(lane, vector, children[0]->getTarget(row));
    }
    return result;
}

} // namespace

void SGMatrixProduct3::emit(Core::ShaderGen& program, EmissionContext&)
{
    targets.assign(1, emitMatrixProduct(program, children, 3));
}

void SGMatrixProduct4::emit(Core::ShaderGen& program, EmissionContext&)
{
    targets.assign(1, emitMatrixProduct(program, children, 4));
}

// ---------------------------------------------------------------------------
// Fragments

SGInput::SGInput(const std::string& name) : ShaderGraphNode(SHADER_NODE_INPUT), name(name) {}

int SGInput::compare(const ShaderGraphNode& other) const
{
    return threeWay(name, static_cast<const SGInput&>(other).name);
}

SGOutput::SGOutput(const std::string& name) : ShaderGraphNode(SHADER_NODE_OUTPUT), name(name) {}

int SGOutput::compare(const ShaderGraphNode& other) const
{
    if (int order = threeWay(name, static_cast<const SGOutput&>(other).name))
        return order;
    // Every discard condition counts; only the same one twice is merged.
    return isTexkill() ? compareChildren(other) : 0;
}

int SGOutput::computeStage()
{
    // Discarding is a pixel operation whatever stage computed the value.
    if (isTexkill() && stage == SHADER_STAGE_UNKNOWN)
        stage = SHADER_STAGE_PIXEL;
    return ShaderGraphNode::computeStage();
}

void SGOutput::emit(Core::ShaderGen& program, EmissionContext&)
{
    if (isTexkill()) {
        VOSTREL_ASSERT(children.size()==1);
        program.texkill(children[0]->getTarget(0));
    }
}

// ---------------------------------------------------------------------------
// The store

IntermediateShaderGraph::~IntermediateShaderGraph()
{
    for (ShaderGraphNode* node : nodes)
        delete node;
}

bool IntermediateShaderGraph::hasInput(const std::string& name) const
{
    for (const ShaderGraphNode* node : nodes)
        if (node->getType() == SHADER_NODE_INPUT && static_cast<const SGInput*>(node)->getName() == name)
            return true;
    return false;
}

std::vector<ShaderGraphNode*> IntermediateShaderGraph::cloneNodes() const
{
    ShaderGraphNode::NodeMap map;
    std::vector<ShaderGraphNode*> copies;
    for (const ShaderGraphNode* node : nodes) {
        ShaderGraphNode* copy = node->clone();
        map[const_cast<ShaderGraphNode*>(node)] = copy;
        copies.push_back(copy);
    }
    for (ShaderGraphNode* copy : copies)
        copy->remapChildren(map);
    return copies;
}

IntermediateShaderGraph* IntermediateShaderGraph::clone() const
{
    IntermediateShaderGraph* copy = new IntermediateShaderGraph;
    copy->nodes = cloneNodes();
    return copy;
}

void IntermediateShaderGraph::append(const IntermediateShaderGraph& other)
{
    std::vector<ShaderGraphNode*> copies = other.cloneNodes();
    nodes.insert(nodes.end(), copies.begin(), copies.end());
}

void IntermediateShaderGraph::link()
{
    // Named outputs other than "texkill" are the fragments' joints; texkill
    // is an effect and stays.
    std::map<std::string, ShaderGraphNode*> outputMap;
    for (ShaderGraphNode* entry : nodes) {
        if (entry->getType() != SHADER_NODE_OUTPUT || static_cast<SGOutput*>(entry)->isTexkill())
            continue;
        SGOutput* node = static_cast<SGOutput*>(entry);
        VOSTREL_ASSERT(outputMap.find(node->getName()) == outputMap.end());
        outputMap[node->getName()] = node->getChildren().at(0);
    }
    // An output that forwards an input straight on is followed to the value
    // behind it, so no user is left reading an input.
    auto resolve = [&outputMap](const SGInput* input) {
        ShaderGraphNode* value = const_cast<SGInput*>(input);
        for (size_t step = 0; value->getType() == SHADER_NODE_INPUT; ++step) {
            const std::string& name = static_cast<SGInput*>(value)->getName();
            if (step > outputMap.size())
                VOSTREL_THROW("ShaderGraph link: input '" << name << "' forwards to itself through outputs");
            auto it = outputMap.find(name);
            VOSTREL_ASSERT(it != outputMap.end());
            value = it->second;
        }
        return value;
    };
    for (ShaderGraphNode* node : nodes)
        for (ShaderGraphNode*& child : node->getChildren())
            if (child && child->getType() == SHADER_NODE_INPUT)
                child = resolve(static_cast<SGInput*>(child));
    std::vector<ShaderGraphNode*> kept;
    for (ShaderGraphNode* node : nodes) {
        bool joint = node->getType() == SHADER_NODE_INPUT
            || (node->getType() == SHADER_NODE_OUTPUT && !static_cast<SGOutput*>(node)->isTexkill());
        if (joint)
            delete node;
        else
            kept.push_back(node);
    }
    nodes.swap(kept);
}

void IntermediateShaderGraph::writeGraphviz(std::ostream& out) const
{
    std::map<const ShaderGraphNode*, size_t> index;
    for (size_t i = 0; i < nodes.size(); ++i)
        index[nodes[i]] = i;
    auto quoted = [](const std::string& text) {
        std::string result = "\"";
        for (char c : text) {
            if (c == '\n')
                result += "\\n";
            else if (c == '"' || c == '\\')
                result += std::string("\\") + c;
            else
                result += c;
        }
        return result + "\"";
    };
    out << "digraph {\n";
    for (size_t i = 0; i < nodes.size(); ++i) {
        out << "  n" << i << " [label=" << quoted(nodes[i]->getLabel());
        if (nodes[i]->getStage() == SHADER_STAGE_VERTEX)
            out << ",color=blue";
        else if (nodes[i]->getStage() == SHADER_STAGE_PIXEL)
            out << ",color=red";
        out << "];\n";
    }
    for (size_t i = 0; i < nodes.size(); ++i)
        for (const ShaderGraphNode* child : nodes[i]->getChildren()) {
            auto it = index.find(child);
            if (it != index.end())
                out << "  n" << i << " -> n" << it->second << ";\n";
        }
    out << "}\n";
}

} // namespace Vostrel
