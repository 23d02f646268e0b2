#include "Libs/Core/ShaderOptimization.h"

#include "Libs/Common/Exception.h"

#include <algorithm>

namespace Vostrel {
namespace Core {

namespace {

typedef ShaderGen::Register Register;

bool isTemporary(const Register& reg)
{
    return reg.param.type == REGISTER_TEMP;
}

// Registers that an instruction may read only a limited number of.
bool isConstantLike(const Register& reg)
{
    switch (reg.param.type) {
    case REGISTER_CONSTANT_FLOAT:
    case REGISTER_UNIFORM:
    case REGISTER_ATTRIB:
    case REGISTER_VARY:
        return true;
    default:
        return false;
    }
}

bool isPlainMov(const ShaderGen::Instruction& instruction)
{
    const Register& destination = instruction.operands[0];
    const Register& source = instruction.operands[1];
    return instruction.opcode == SHADER_MOV && instruction.flags == 0 && !destination.hasSwizzle()
        && destination.param.flags == 0 && !source.hasSwizzle() && (source.param.flags & REGISTER_NEGATE) == 0
        && !source.param.relative;
}

// The assembler demands a destination different from these sources, so
// their live range reaches past the instruction. sgn's source also stays
// apart from the scratch registers the instruction overwrites.
bool mustDifferFromDestination(int32_t opcode, int operand)
{
    switch (opcode) {
    case SHADER_POW: return operand == 2;
    case SHADER_LRP:
    case SHADER_SINCOS:
    case SHADER_CRS:
    case SHADER_NRM:
    case SHADER_SGN: return true;
    default: return false;
    }
}

// sgn's last two operands are scratch temporaries that it overwrites and
// leaves undefined: written, not read.
bool isScratch(const ShaderGen::Instruction& instruction, int operand)
{
    return instruction.opcode == SHADER_SGN && operand >= 2;
}

int readOperandEnd(const ShaderGen::Instruction& instruction)
{
    return instruction.opcode == SHADER_SGN ? std::min(instruction.operandCount, 2) : instruction.operandCount;
}

// Instructions whose destination must be a temporary register.
bool writesTemporaryOnly(int32_t opcode)
{
    switch (opcode) {
    case SHADER_POW:
    case SHADER_NRM:
    case SHADER_CRS:
    case SHADER_SINCOS:
    case SHADER_TEXLD: return true;
    default: return false;
    }
}

ShaderOptimization::Key keyOf(const Register& reg)
{
    return ShaderOptimization::Key(reg.param.type, reg.param.index);
}

} // namespace

ShaderOptimization::ShaderOptimization(ShaderProgram& program)
    : program(program), live(static_cast<size_t>(std::max(program.instructionCount, 0)), 1)
{
}

ShaderOptimization::~ShaderOptimization() = default;

void ShaderOptimization::run()
{
    findLiveness();
    foldMovs();
    allocate();
    compact();
}

// One backward pass: a temporary written where nothing later reads it makes
// its instruction dead, and a dead instruction reads nothing.
void ShaderOptimization::findLiveness()
{
    for (int at = program.instructionCount - 1; at >= 0; --at) {
        ShaderGen::Instruction& instruction = program.instructions[at];
        bool texkill = instruction.opcode == SHADER_TEXKILL;
        for (int operand = 0; operand < instruction.operandCount && live[at]; ++operand) {
            const Register& reg = instruction.operands[operand];
            if (!isTemporary(reg))
                continue;
            if (isScratch(instruction, operand)) {
                recordScratch(at, keyOf(reg));
                continue;
            }
            if (operand > 0 || texkill) {
                recordRead(at, operand);
                continue;
            }
            auto found = records.find(keyOf(reg));
            if (found == records.end()) {
                live[at] = 0;
                break;
            }
            Record& record = found->second;
            if (record.lastDefinition == -1)
                record.lastDefinition = at;
            record.firstDefinition = at;
            ++record.definitions;
        }
        if (live[at] && isPlainMov(instruction))
            movs.push_back(at);
    }
}

// A scratch register is defined by the instruction and busy until just after
// it, so that it shares a register with nothing the instruction reads or
// writes and with nothing live across it.
void ShaderOptimization::recordScratch(int at, const Key& key)
{
    Record& record = records[key];
    record.lastUse = std::max(record.lastUse, at + 1);
    if (record.lastDefinition == -1)
        record.lastDefinition = at;
    record.firstDefinition = at;
    ++record.definitions;
}

void ShaderOptimization::recordRead(int at, int operand)
{
    const ShaderGen::Instruction& instruction = program.instructions[at];
    const Register& reg = instruction.operands[operand];
    auto found = records.find(keyOf(reg));
    if (found == records.end()) {
        Record record;
        record.lastUse = at;
        found = records.emplace(keyOf(reg), record).first;
    }
    Record& record = found->second;
    // Also when the same temporary is an earlier source of this instruction
    // (pow r1, r1.y, r1.w), which made the record here.
    if (mustDifferFromDestination(instruction.opcode, operand))
        record.lastUse = std::max(record.lastUse, at + 1);
    if (isPlainMov(instruction))
        ++record.movReads;
    else
        ++record.otherReads;
    if ((instruction.opcode == SHADER_TEXLD && operand == 1) || instruction.opcode == SHADER_TEXKILL)
        record.readAsTextureCoordinate = true;
    if (instruction.opcode == SHADER_SINCOS)
        return;
    // Every other source of the instruction counts, whichever side it is on.
    int firstSource = instruction.opcode == SHADER_TEXKILL ? 0 : 1;
    for (int other = firstSource; other < readOperandEnd(instruction); ++other) {
        if (other == operand)
            continue;
        const Register& otherReg = instruction.operands[other];
        if (isConstantLike(otherReg))
            record.readWithNonTemporary = true;
        else if (isTemporary(otherReg) && otherReg.param.index != reg.param.index)
            record.readWith.push_back(keyOf(otherReg));
    }
}

void ShaderOptimization::foldMovs()
{
    for (int at : movs)
        if (live[at] && foldMov(at))
            live[at] = 0;
}

// Returns true when the mov at `at` is folded away.
bool ShaderOptimization::foldMov(int at)
{
    const Register destination = program.instructions[at].operands[0];
    const Register source = program.instructions[at].operands[1];
    if (destination.sameRegister(source))
        return true;
    Key destinationKey = keyOf(destination), sourceKey = keyOf(source);

    if (isTemporary(destination) && isTemporary(source)) {
        Record& destinationRecord = records.at(destinationKey);
        // Renaming a register with other definitions would make them
        // overwrite the source.
        if (records.at(sourceKey).lastDefinition >= at || destinationRecord.definitions != 1)
            return false;
        replace(destinationKey, source);
        mergeInto(destinationKey, sourceKey);
        return true;
    }

    if (isTemporary(destination)) {
        Record& record = records.at(destinationKey);
        if (record.definitions != 1)
            return false;
        // texld and texkill read a t# or r# register only.
        if (record.readAsTextureCoordinate
            && !(source.param.type == REGISTER_VARY && source.param.index >= VARY_TEXCOORD0))
            return false;
        if (record.readWithNonTemporary && isConstantLike(source))
            return false;
        if (isConstantLike(source)) {
            // Instructions reading this register may now hold no other
            // constant-like register.
            record.readWithNonTemporary = true;
            for (const Key& other : record.readWith) {
                auto found = records.find(resolve(other));
                if (found != records.end())
                    found->second.readWithNonTemporary = true;
            }
        }
        replace(destinationKey, source);
        records.erase(destinationKey);
        return true;
    }

    if (isTemporary(source)) {
        if (destination.param.type == REGISTER_RESULT)
            return false;
        // The point size is written with ".x" after every source, which only
        // a mov survives.
        if (destination.param.type == REGISTER_VARY && destination.param.index == VARY_POINT_SIZE)
            return false;
        const Record& record = records.at(sourceKey);
        if (record.movReads != 1 || record.otherReads != 0 || !canRenameInto(sourceKey, destination, at))
            return false;
        replace(sourceKey, destination);
        records.erase(sourceKey);
        return true;
    }
    return false;
}

// Whether every definition of the temporary `key` may write `destination`
// instead, and nothing before the mov at `movAt` writes `destination` (the
// renamed definitions would then run before that write, not after it).
bool ShaderOptimization::canRenameInto(const Key& key, const Register& destination, int movAt) const
{
    bool fog = destination.param.type == REGISTER_VARY && destination.param.index == VARY_FOG;
    for (int at = 0; at < program.instructionCount; ++at) {
        const ShaderGen::Instruction& instruction = program.instructions[at];
        if (!live[at] || at == movAt)
            continue;
        for (int operand = 0; operand < instruction.operandCount; ++operand) {
            bool definition = (operand == 0 && instruction.opcode != SHADER_TEXKILL) || isScratch(instruction, operand);
            if (!definition)
                continue;
            const Register& reg = instruction.operands[operand];
            if (at < movAt && reg.sameRegister(destination))
                return false;
            if (keyOf(reg) != key)
                continue;
            if (isScratch(instruction, operand) || writesTemporaryOnly(instruction.opcode))
                return false;
            // The fog is one component: only .x may be written.
            if (fog && reg.hasSwizzle() && (reg.param.swizzle[0] != 0 || reg.param.swizzle[1] != SWIZZLE_END))
                return false;
        }
    }
    return true;
}

// Kind and index change; swizzles, negation, relative addressing and masks
// of each operand stay.
void ShaderOptimization::replace(const Key& from, const Register& to)
{
    for (int at = 0; at < program.instructionCount; ++at) {
        if (!live[at])
            continue;
        ShaderGen::Instruction& instruction = program.instructions[at];
        for (int operand = 0; operand < instruction.operandCount; ++operand) {
            Register& reg = instruction.operands[operand];
            if (keyOf(reg) == from) {
                reg.param.type = to.param.type;
                reg.param.index = to.param.index;
            }
        }
    }
}

ShaderOptimization::Key ShaderOptimization::resolve(Key key) const
{
    for (auto found = renamed.find(key); found != renamed.end(); found = renamed.find(key))
        key = found->second;
    return key;
}

void ShaderOptimization::mergeInto(const Key& replaced, const Key& replacement)
{
    Record old = records.at(replaced);
    records.erase(replaced);
    renamed[replaced] = replacement;
    Record& record = records.at(replacement);
    record.lastUse = std::max(record.lastUse, old.lastUse);
    if (old.firstDefinition != -1
        && (record.firstDefinition == -1 || old.firstDefinition < record.firstDefinition))
        record.firstDefinition = old.firstDefinition;
    // The folded mov was one read of the replacement and the one definition
    // of the replaced register.
    record.movReads += old.movReads - 1;
    record.otherReads += old.otherReads;
    record.definitions += old.definitions - 1;
    record.readWithNonTemporary = record.readWithNonTemporary || old.readWithNonTemporary;
    record.readAsTextureCoordinate = record.readAsTextureCoordinate || old.readAsTextureCoordinate;
    record.readWith.insert(record.readWith.end(), old.readWith.begin(), old.readWith.end());
}

// Linear scan over live ranges ordered by first definition.
void ShaderOptimization::allocate()
{
    std::vector<Record*> order;
    for (auto& entry : records)
        order.push_back(&entry.second);
    std::stable_sort(order.begin(), order.end(),
                     [](const Record* a, const Record* b) { return a->firstDefinition < b->firstDefinition; });
    std::vector<int> busyUntil;
    for (Record* record : order) {
        if (record->definitions == 0 || record->firstDefinition == -1)
            VOSTREL_THROW("Using uninitialized temporary register.");
        size_t chosen = 0;
        while (chosen < busyUntil.size() && busyUntil[chosen] > record->firstDefinition)
            ++chosen;
        if (chosen == busyUntil.size())
            busyUntil.push_back(0);
        busyUntil[chosen] = record->lastUse;
        record->assigned = static_cast<int>(chosen);
    }
}

void ShaderOptimization::compact()
{
    int kept = 0;
    for (int at = 0; at < program.instructionCount; ++at) {
        if (!live[at])
            continue;
        ShaderGen::Instruction instruction = program.instructions[at];
        for (int operand = 0; operand < instruction.operandCount; ++operand) {
            Register& reg = instruction.operands[operand];
            if (!isTemporary(reg))
                continue;
            auto found = records.find(keyOf(reg));
            VOSTREL_ASSERT(found != records.end());
            reg.param.index = found->second.assigned;
        }
        program.instructions[kept++] = instruction;
    }
    program.instructionCount = kept;
}

} // namespace Core
} // namespace Vostrel
