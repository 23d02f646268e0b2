#include "Platform/Shader/ShaderValidator.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

namespace Shader {

namespace {

class Validator {
public:
    explicit Validator(const Program& program)
        : program(program), vertex(program.stage == Stage::Vertex),
          model(vertex ? "vs_2_0" : "ps_2_0") {}

    std::vector<std::string> run()
    {
        checkDeclarations();
        checkDefinitions();
        int arithmeticSlots = 0, textureSlots = 0;
        for (const Instruction& instruction : program.instructions) {
            checkInstruction(instruction);
            const OpcodeInfo& info = opcodeInfo(instruction.opcode);
            bool texture = instruction.opcode == Opcode::Texld || instruction.opcode == Opcode::Texkill;
            (texture ? textureSlots : arithmeticSlots) += info.slots;
        }
        int lastLine = program.instructions.empty() ? 1 : program.instructions.back().line;
        if (vertex && arithmeticSlots > VERTEX_SLOTS)
            error(lastLine, "the program needs " + std::to_string(arithmeticSlots)
                                + " instruction slots; vs_2_0 has " + std::to_string(VERTEX_SLOTS));
        if (!vertex && arithmeticSlots > PIXEL_ARITHMETIC_SLOTS)
            error(lastLine, "the program needs " + std::to_string(arithmeticSlots)
                                + " arithmetic slots; ps_2_0 has " + std::to_string(PIXEL_ARITHMETIC_SLOTS));
        if (!vertex && textureSlots > PIXEL_TEXTURE_SLOTS)
            error(lastLine, "the program needs " + std::to_string(textureSlots)
                                + " texture slots; ps_2_0 has " + std::to_string(PIXEL_TEXTURE_SLOTS));
        std::stable_sort(errors.begin(), errors.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<std::string> messages;
        for (const auto& entry : errors)
            messages.push_back("(" + std::to_string(entry.first) + "): error: " + entry.second);
        return messages;
    }

private:
    void error(int line, const std::string& message) { errors.emplace_back(line, message); }

    int count(RegisterFile file) const
    {
        switch (file) {
        case RegisterFile::Temp: return TEMP_REGISTERS;
        case RegisterFile::Input: return vertex ? VERTEX_INPUTS : PIXEL_COLOR_INPUTS;
        case RegisterFile::Constant: return vertex ? VERTEX_CONSTANTS : PIXEL_CONSTANTS;
        case RegisterFile::Address: return vertex ? 1 : 0;
        case RegisterFile::Texture: return vertex ? 0 : PIXEL_TEXCOORDS;
        case RegisterFile::Sampler: return vertex ? 0 : SAMPLERS;
        case RegisterFile::Position:
        case RegisterFile::Fog:
        case RegisterFile::PointSize: return vertex ? 1 : 0;
        case RegisterFile::ColorOut: return vertex ? COLOR_OUTPUTS : 0;
        case RegisterFile::TexCoordOut: return vertex ? TEXCOORD_OUTPUTS : 0;
        case RegisterFile::RenderTarget: return vertex ? 0 : RENDER_TARGETS;
        case RegisterFile::Depth: return vertex ? 0 : 1;
        }
        return 0;
    }

    // Register exists in this model; reports and returns false otherwise.
    bool checkRange(int line, RegisterFile file, int index, const std::string& text)
    {
        int available = count(file);
        if (available == 0) {
            error(line, "'" + text + "' is not a " + model + " register");
            return false;
        }
        if (index < 0 || index >= available) {
            error(line, "register '" + text + "' is out of range for " + model);
            return false;
        }
        return true;
    }

    void checkDeclarations()
    {
        int firstInstruction = program.instructions.empty() ? 1 << 30 : program.instructions.front().line;
        std::set<std::pair<RegisterFile, int>> seen;
        for (const Declaration& declaration : program.declarations) {
            std::string text = registerName(declaration.file, declaration.index);
            if (declaration.line > firstInstruction)
                error(declaration.line, "declarations must come before the first instruction");
            if (!seen.insert({declaration.file, declaration.index}).second)
                error(declaration.line, "'" + text + "' is declared twice");
            bool allowed = vertex ? declaration.file == RegisterFile::Input
                                  : (declaration.file == RegisterFile::Input || declaration.file == RegisterFile::Texture
                                     || declaration.file == RegisterFile::Sampler);
            if (!allowed) {
                error(declaration.line, "'" + text + "' cannot be declared in " + model);
                continue;
            }
            checkRange(declaration.line, declaration.file, declaration.index, text);
            if (vertex && declaration.usage == Usage::None)
                error(declaration.line, "a vs_2_0 input declaration needs a usage (dcl_texcoord0 v0)");
            if (!vertex && declaration.usage != Usage::None)
                error(declaration.line, "ps_2_0 declarations take no usage");
        }
    }

    void checkDefinitions()
    {
        for (const ConstantDefinition& definition : program.constants)
            checkRange(definition.line, RegisterFile::Constant, definition.index,
                       registerName(RegisterFile::Constant, definition.index));
    }

    bool isDeclared(RegisterFile file, int index) const
    {
        return program.findDeclaration(file, index) != nullptr;
    }

    void checkDestination(const Instruction& instruction)
    {
        const Destination& destination = instruction.destination;
        int line = instruction.line;
        std::string text = registerName(destination.file, destination.index);
        bool writable = vertex
            ? (destination.file == RegisterFile::Temp || destination.file == RegisterFile::Address
               || destination.file == RegisterFile::Position || destination.file == RegisterFile::Fog
               || destination.file == RegisterFile::PointSize || destination.file == RegisterFile::ColorOut
               || destination.file == RegisterFile::TexCoordOut)
            : (destination.file == RegisterFile::Temp || destination.file == RegisterFile::RenderTarget
               || destination.file == RegisterFile::Depth);
        if (!writable) {
            error(line, "'" + text + "' cannot be written in " + model);
            return;
        }
        checkRange(line, destination.file, destination.index, text);
        bool isMova = instruction.opcode == Opcode::Mova;
        if (isMova != (destination.file == RegisterFile::Address))
            error(line, isMova ? "mova writes the address register a0" : "only mova writes the address register a0");
        bool scalarOutput = destination.file == RegisterFile::Fog || destination.file == RegisterFile::PointSize
            || destination.file == RegisterFile::Depth;
        if (scalarOutput && destination.hasMask && destination.mask != 1)
            error(line, "'" + text + "' is a scalar register: only .x can be written");
        if (destination.file == RegisterFile::RenderTarget && destination.mask != FULL_MASK)
            error(line, "'" + text + "' is written whole, without a write mask");
    }

    void checkSource(const Instruction& instruction, const Source& source)
    {
        int line = instruction.line;
        std::string text = describe(source);
        bool isTexld = instruction.opcode == Opcode::Texld;
        if (source.file == RegisterFile::Sampler) {
            if (!isTexld || &source != &instruction.sources[1])
                error(line, "a sampler register is read only as texld's last operand: '" + text + "'");
            else if (checkRange(line, source.file, source.index, text) && !isDeclared(source.file, source.index))
                error(line, "sampler '" + text + "' is used without dcl_2d, dcl_volume or dcl_cube");
            return;
        }
        if (isTexld && &source == &instruction.sources[1]) {
            error(line, "texld samples a sampler register, not '" + text + "'");
            return;
        }
        bool readable = vertex
            ? (source.file == RegisterFile::Temp || source.file == RegisterFile::Input
               || source.file == RegisterFile::Constant)
            : (source.file == RegisterFile::Temp || source.file == RegisterFile::Input
               || source.file == RegisterFile::Texture || source.file == RegisterFile::Constant);
        if (!readable) {
            error(line, "'" + text + "' cannot be read in " + model);
            return;
        }
        if (source.relative) {
            if (!vertex)
                error(line, "ps_2_0 has no relative addressing: '" + text + "'");
            else if (source.index >= VERTEX_CONSTANTS)
                error(line, "register '" + text + "' is out of range for vs_2_0");
            return;
        }
        if (!checkRange(line, source.file, source.index, text))
            return;
        if ((source.file == RegisterFile::Input || source.file == RegisterFile::Texture)
            && !isDeclared(source.file, source.index))
            error(line, "input '" + registerName(source.file, source.index) + "' is read without a declaration");
        if (!vertex && source.hasSwizzle && !isPixelSwizzle(source.swizzle))
            error(line, "ps_2_0 allows no swizzle '" + text + "': only replicate, .yzxw, .zxyw and .wzyx");
    }

    static bool isPixelSwizzle(const Swizzle& swizzle)
    {
        static const Swizzle ALLOWED[] = {{0, 1, 2, 3}, {1, 2, 0, 3}, {2, 0, 1, 3}, {3, 2, 1, 0}};
        if (swizzle[0] == swizzle[1] && swizzle[1] == swizzle[2] && swizzle[2] == swizzle[3])
            return true;
        return std::find(std::begin(ALLOWED), std::end(ALLOWED), swizzle) != std::end(ALLOWED);
    }

    static bool sameRegister(const Destination& destination, const Source& source)
    {
        return !source.relative && destination.file == source.file && destination.index == source.index;
    }

    // At most one distinct v# and c# per vertex instruction; one v#, one t#
    // and two c# per pixel instruction.
    void checkReadPorts(const Instruction& instruction)
    {
        std::map<RegisterFile, std::set<std::pair<int, bool>>> read;
        size_t limit = instruction.opcode == Opcode::Sincos ? 1 : instruction.sources.size();
        for (size_t i = 0; i < limit; ++i) {
            const Source& source = instruction.sources[i];
            read[source.file].insert({source.index, source.relative});
        }
        auto check = [&](RegisterFile file, size_t ports, const char* name) {
            if (read[file].size() > ports)
                error(instruction.line, "an instruction of " + model + " reads at most " + std::to_string(ports)
                                            + " different " + name + " register" + (ports == 1 ? "" : "s"));
        };
        check(RegisterFile::Input, 1, "v#");
        check(RegisterFile::Constant, vertex ? 1 : 2, "c#");
        if (!vertex)
            check(RegisterFile::Texture, 1, "t#");
    }

    void checkOperandRules(const Instruction& instruction)
    {
        int line = instruction.line;
        const Destination& destination = instruction.destination;
        const std::vector<Source>& sources = instruction.sources;
        const char* mnemonic = opcodeInfo(instruction.opcode).mnemonic;
        switch (instruction.opcode) {
        case Opcode::Pow:
        case Opcode::Nrm:
        case Opcode::Crs:
        case Opcode::Sincos:
        case Opcode::Texld:
            if (destination.file != RegisterFile::Temp)
                error(line, std::string(mnemonic) + " writes a temporary register");
            break;
        default:
            break;
        }
        switch (instruction.opcode) {
        case Opcode::Rcp:
        case Opcode::Rsq:
        case Opcode::Exp:
        case Opcode::Expp:
        case Opcode::Log:
        case Opcode::Logp:
        case Opcode::Pow:
            for (const Source& source : sources)
                if (source.hasSwizzle && !source.isReplicate())
                    error(line, std::string(mnemonic) + " reads one component: '" + describe(source)
                                    + "' needs a replicate swizzle");
            break;
        case Opcode::Nrm:
            if (sameRegister(destination, sources[0]))
                error(line, "nrm cannot write the register it reads");
            break;
        case Opcode::Crs: {
            static const unsigned MASKS[] = {1, 2, 4, 3, 5, 6, 7};
            if (std::find(std::begin(MASKS), std::end(MASKS), destination.mask) == std::end(MASKS))
                error(line, "crs writes a mask of x, y and z only");
            for (const Source& source : sources) {
                if (sameRegister(destination, source))
                    error(line, "crs cannot write a register it reads");
                if (source.swizzle != IDENTITY_SWIZZLE)
                    error(line, "crs takes its sources without swizzle: '" + describe(source) + "'");
            }
            break;
        }
        case Opcode::Sincos:
            if (!destination.hasMask || (destination.mask != 1 && destination.mask != 2 && destination.mask != 3))
                error(line, "sincos writes .x, .y or .xy");
            if (!sources[0].hasSwizzle || !sources[0].isReplicate())
                error(line, "sincos reads its angle through a replicate swizzle");
            if (sources[1].file != RegisterFile::Constant || sources[2].file != RegisterFile::Constant
                || sources[1].relative || sources[2].relative)
                error(line, "sincos takes two constant registers after the angle");
            else if (sources[1].index == sources[2].index)
                error(line, "sincos takes two different constant registers");
            break;
        case Opcode::Texld:
            if (destination.mask != FULL_MASK)
                error(line, "texld writes a whole temporary register, without a write mask");
            if (sources[0].file != RegisterFile::Temp && sources[0].file != RegisterFile::Texture)
                error(line, "texld reads its coordinate from a t# or r# register");
            if (sources[0].hasSwizzle && sources[0].swizzle != IDENTITY_SWIZZLE)
                error(line, "texld reads its coordinate without swizzle");
            break;
        case Opcode::Sgn:
            // The two registers sgn overwrites as scratch.
            if (sources[1].file != RegisterFile::Temp || sources[2].file != RegisterFile::Temp)
                error(line, "sgn takes two temporary registers after its source");
            else if (sources[1].index == sources[2].index)
                error(line, "sgn takes two different temporary registers after its source");
            break;
        case Opcode::Texkill:
            if (sources[0].file != RegisterFile::Temp && sources[0].file != RegisterFile::Texture)
                error(line, "texkill tests a t# or r# register");
            break;
        default:
            break;
        }
    }

    void checkSaturate(const Instruction& instruction)
    {
        if (!instruction.saturate)
            return;
        if (vertex) {
            error(instruction.line, "vs_2_0 has no _sat modifier");
            return;
        }
        switch (instruction.opcode) {
        case Opcode::Frc:
        case Opcode::Sincos:
        case Opcode::Texld:
        case Opcode::Texkill:
            error(instruction.line, std::string(opcodeInfo(instruction.opcode).mnemonic) + " takes no _sat in ps_2_0");
            return;
        default:
            break;
        }
        if (instruction.destination.file == RegisterFile::RenderTarget
            || instruction.destination.file == RegisterFile::Depth)
            error(instruction.line, "_sat cannot write an output register in ps_2_0");
    }

    // A texld whose coordinate depends on n earlier texture reads is an
    // n-th order dependent read; ps_2_0 goes to the third order.
    void checkDependentReads(const Instruction& instruction)
    {
        int depth = 0;
        for (const Source& source : instruction.sources)
            if (source.file == RegisterFile::Temp)
                depth = std::max(depth, readDepth[source.index]);
        if (instruction.opcode == Opcode::Texld) {
            if (depth > 3)
                error(instruction.line, "texld is a dependent read of order " + std::to_string(depth)
                                            + "; ps_2_0 allows up to the third order");
            depth += 1;
        }
        if (instruction.hasDestination && instruction.destination.file == RegisterFile::Temp) {
            int& stored = readDepth[instruction.destination.index];
            stored = instruction.destination.mask == FULL_MASK ? depth : std::max(stored, depth);
        }
    }

    void checkInstruction(const Instruction& instruction)
    {
        const OpcodeInfo& info = opcodeInfo(instruction.opcode);
        if (!(vertex ? info.vertex : info.pixel)) {
            error(instruction.line, std::string("'") + info.mnemonic + "' is not a " + model + " instruction");
            return;
        }
        checkSaturate(instruction);
        if (instruction.hasDestination)
            checkDestination(instruction);
        for (const Source& source : instruction.sources)
            checkSource(instruction, source);
        checkReadPorts(instruction);
        checkOperandRules(instruction);
        if (!vertex)
            checkDependentReads(instruction);
    }

    const Program& program;
    bool vertex;
    std::string model;
    std::vector<std::pair<int, std::string>> errors;
    std::map<int, int> readDepth;
};

} // namespace

std::vector<std::string> findErrors(const Program& program)
{
    return Validator(program).run();
}

void validate(const Program& program)
{
    std::vector<std::string> messages = findErrors(program);
    if (messages.empty())
        return;
    std::string text;
    for (const std::string& message : messages)
        text += message + "\n";
    throw AssemblyError(text);
}

} // namespace Shader
