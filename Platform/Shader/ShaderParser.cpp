#include "Platform/Shader/ShaderParser.h"

#include "Platform/Shader/ShaderValidator.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <strings.h>

namespace Shader {

namespace {

// Longer texts than this are not shaders; refusing them keeps every later
// pass bounded.
constexpr size_t MAX_TEXT_LENGTH = 1 << 20;
constexpr int MAX_REGISTER_INDEX = 4095;

[[noreturn]] void fail(int line, const std::string& message)
{
    throw AssemblyError("(" + std::to_string(line) + "): error: " + message);
}

std::string trim(const std::string& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

std::string lowercase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool startsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

int componentOf(char letter)
{
    switch (std::tolower(static_cast<unsigned char>(letter))) {
    case 'x': case 'r': return 0;
    case 'y': case 'g': return 1;
    case 'z': case 'b': return 2;
    case 'w': case 'a': return 3;
    default: return -1;
    }
}

// Reads a decimal register number; "" and overlong numbers are refused.
int parseIndex(const std::string& digits, int line, const std::string& operand)
{
    if (digits.empty() || digits.size() > 4)
        fail(line, "invalid register number in '" + operand + "'");
    for (char c : digits)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            fail(line, "invalid register '" + operand + "'");
    int value = std::atoi(digits.c_str());
    if (value > MAX_REGISTER_INDEX)
        fail(line, "register number out of range in '" + operand + "'");
    return value;
}

struct RegisterToken {
    RegisterFile file;
    int index = 0;
    bool relative = false;
    int relativeComponent = 0;
};

// "a0.x" inside brackets; returns the component.
int parseAddressComponent(const std::string& text, int line, const std::string& operand)
{
    std::string lower = lowercase(text);
    if (lower.size() != 4 || !startsWith(lower, "a0.") || componentOf(lower[3]) < 0)
        fail(line, "invalid relative address in '" + operand + "'");
    return componentOf(lower[3]);
}

// Relative forms: c[n+a0.x], c[a0.x+n], c[a0.x], cN[a0.x].
RegisterToken parseRelative(const std::string& name, int line, const std::string& operand)
{
    size_t open = name.find('[');
    if (name.back() != ']' || name.find('[', open + 1) != std::string::npos)
        fail(line, "invalid relative address in '" + operand + "'");
    std::string head = lowercase(name.substr(0, open));
    std::string inside = name.substr(open + 1, name.size() - open - 2);
    if (head.empty() || head[0] != 'c')
        fail(line, "relative addressing applies only to constant registers: '" + operand + "'");
    RegisterToken token{RegisterFile::Constant};
    token.relative = true;
    int base = head.size() > 1 ? parseIndex(head.substr(1), line, operand) : 0;
    size_t plus = inside.find('+');
    if (plus == std::string::npos) {
        token.relativeComponent = parseAddressComponent(inside, line, operand);
        token.index = base;
        return token;
    }
    std::string left = inside.substr(0, plus), right = inside.substr(plus + 1);
    if (!left.empty() && std::isdigit(static_cast<unsigned char>(left[0])))
        std::swap(left, right);
    token.relativeComponent = parseAddressComponent(left, line, operand);
    token.index = base + parseIndex(right, line, operand);
    return token;
}

RegisterToken parseRegisterName(const std::string& name, int line, const std::string& operand)
{
    if (name.empty())
        fail(line, "missing register in '" + operand + "'");
    if (name.find('[') != std::string::npos)
        return parseRelative(name, line, operand);
    std::string lower = lowercase(name);
    static const struct { const char* name; RegisterFile file; } FIXED[] = {
        {"opos", RegisterFile::Position}, {"ofog", RegisterFile::Fog},
        {"opts", RegisterFile::PointSize}, {"odepth", RegisterFile::Depth},
    };
    for (const auto& fixed : FIXED)
        if (lower == fixed.name)
            return RegisterToken{fixed.file};
    static const struct { const char* prefix; RegisterFile file; } NUMBERED[] = {
        {"od", RegisterFile::ColorOut}, {"ot", RegisterFile::TexCoordOut},
        {"oc", RegisterFile::RenderTarget}, {"r", RegisterFile::Temp},
        {"v", RegisterFile::Input}, {"c", RegisterFile::Constant},
        {"a", RegisterFile::Address}, {"t", RegisterFile::Texture}, {"s", RegisterFile::Sampler},
    };
    for (const auto& numbered : NUMBERED) {
        size_t length = std::strlen(numbered.prefix);
        if (lower.size() > length && startsWith(lower, numbered.prefix)
            && std::isdigit(static_cast<unsigned char>(lower[length]))) {
            RegisterToken token{numbered.file};
            token.index = parseIndex(lower.substr(length), line, operand);
            return token;
        }
    }
    fail(line, "unknown register '" + operand + "'");
}

// Splits "name.suffix" where the dot that matters comes after any brackets.
bool splitSuffix(const std::string& operand, std::string& name, std::string& suffix)
{
    size_t close = operand.rfind(']');
    size_t dot = operand.find('.', close == std::string::npos ? 0 : close);
    if (dot == std::string::npos) {
        name = operand;
        suffix.clear();
        return false;
    }
    name = operand.substr(0, dot);
    suffix = operand.substr(dot + 1);
    return true;
}

Destination parseDestination(const std::string& operand, int line)
{
    std::string name, suffix;
    bool hasSuffix = splitSuffix(operand, name, suffix);
    if (!name.empty() && name[0] == '-')
        fail(line, "a destination cannot be negated: '" + operand + "'");
    RegisterToken token = parseRegisterName(name, line, operand);
    if (token.relative)
        fail(line, "a destination cannot be addressed relatively: '" + operand + "'");
    Destination destination;
    destination.file = token.file;
    destination.index = token.index;
    if (hasSuffix) {
        if (suffix.empty() || suffix.size() > 4)
            fail(line, "invalid write mask in '" + operand + "'");
        unsigned mask = 0;
        int previous = -1;
        for (char letter : suffix) {
            int component = componentOf(letter);
            if (component <= previous)
                fail(line, "invalid write mask in '" + operand + "'");
            previous = component;
            mask |= 1u << component;
        }
        destination.mask = mask;
        destination.hasMask = true;
    }
    return destination;
}

Source parseSource(const std::string& operand, int line)
{
    std::string body = operand;
    Source source;
    if (!body.empty() && body[0] == '-') {
        source.negate = true;
        body.erase(0, 1);
    }
    std::string name, suffix;
    bool hasSuffix = splitSuffix(body, name, suffix);
    RegisterToken token = parseRegisterName(name, line, operand);
    source.file = token.file;
    source.index = token.index;
    source.relative = token.relative;
    source.relativeComponent = token.relativeComponent;
    if (hasSuffix) {
        if (suffix.empty() || suffix.size() > 4)
            fail(line, "invalid swizzle in '" + operand + "'");
        for (size_t i = 0; i < 4; ++i) {
            // A short swizzle repeats its last letter: .xy reads .xyyy.
            int component = componentOf(suffix[std::min(i, suffix.size() - 1)]);
            if (component < 0)
                fail(line, "invalid swizzle in '" + operand + "'");
            source.swizzle[i] = static_cast<uint8_t>(component);
        }
        source.hasSwizzle = true;
    }
    return source;
}

std::vector<std::string> splitOperands(const std::string& text)
{
    std::vector<std::string> operands;
    if (trim(text).empty())
        return operands;
    std::string current;
    for (char c : text) {
        if (c == ',') {
            operands.push_back(current);
            current.clear();
        } else if (!std::isspace(static_cast<unsigned char>(c))) {
            current += c;
        }
    }
    operands.push_back(current);
    return operands;
}

float parseNumber(const std::string& text, int line)
{
    // Plain decimal notation only: the assembler has no hex floats, inf or nan.
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        ++i;
    size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
        ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i, ++digits;
    }
    if (digits > 0 && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '-' || text[i] == '+'))
            ++i;
        size_t exponentDigits = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i, ++exponentDigits;
        if (exponentDigits == 0)
            digits = 0;
    }
    if (digits == 0 || i != text.size() || text.size() > 64)
        fail(line, "invalid number '" + text + "'");
    errno = 0;
    float value = std::strtof(text.c_str(), nullptr);
    if (!std::isfinite(value))
        fail(line, "number out of range '" + text + "'");
    return value;
}

const struct { const char* name; Usage usage; } USAGES[] = {
    {"positiont", Usage::PositionT}, {"position", Usage::Position},
    {"blendweight", Usage::BlendWeight}, {"blendindices", Usage::BlendIndices},
    {"normal", Usage::Normal}, {"psize", Usage::PointSize}, {"texcoord", Usage::TexCoord},
    {"tangent", Usage::Tangent}, {"binormal", Usage::Binormal},
    {"tessfactor", Usage::TessFactor}, {"color", Usage::Color}, {"fog", Usage::Fog},
    {"depth", Usage::Depth}, {"sample", Usage::Sample},
};

Declaration parseDeclaration(const std::string& mnemonic, const std::vector<std::string>& operands, int line)
{
    if (operands.size() != 1)
        fail(line, "'" + mnemonic + "' takes one register");
    Declaration declaration;
    declaration.line = line;
    Destination target = parseDestination(operands[0], line);
    declaration.file = target.file;
    declaration.index = target.index;
    declaration.mask = target.mask;
    std::string kind = mnemonic.size() > 3 ? mnemonic.substr(4) : "";
    if (mnemonic.size() > 3 && mnemonic[3] != '_')
        fail(line, "unknown instruction '" + mnemonic + "'");
    if (kind == "2d" || kind == "volume" || kind == "cube") {
        declaration.textureType = kind == "2d" ? TextureType::Texture2D
            : kind == "volume" ? TextureType::Volume : TextureType::Cube;
        if (declaration.file != RegisterFile::Sampler)
            fail(line, "'" + mnemonic + "' declares a sampler register");
        return declaration;
    }
    if (kind.empty()) {
        if (declaration.file == RegisterFile::Sampler)
            fail(line, "a sampler declaration needs a texture type");
        return declaration;
    }
    for (const auto& usage : USAGES) {
        if (startsWith(kind, usage.name)) {
            std::string digits = kind.substr(std::strlen(usage.name));
            declaration.usage = usage.usage;
            declaration.usageIndex = digits.empty() ? 0 : parseIndex(digits, line, mnemonic);
            if (declaration.usageIndex > 15)
                fail(line, "usage index out of range in '" + mnemonic + "'");
            return declaration;
        }
    }
    fail(line, "unknown declaration '" + mnemonic + "'");
}

ConstantDefinition parseDefinition(const std::vector<std::string>& operands, int line)
{
    if (operands.size() != 5)
        fail(line, "'def' takes a constant register and four numbers");
    Destination target = parseDestination(operands[0], line);
    if (target.file != RegisterFile::Constant || target.hasMask)
        fail(line, "'def' defines a constant register, not '" + operands[0] + "'");
    ConstantDefinition definition;
    definition.index = target.index;
    definition.line = line;
    for (int i = 0; i < 4; ++i)
        definition.value[i] = parseNumber(operands[i + 1], line);
    return definition;
}

} // namespace

Program parseAssembly(const std::string& text)
{
    if (text.size() > MAX_TEXT_LENGTH)
        fail(1, "shader text too long");
    if (text.find('\0') != std::string::npos)
        fail(1, "shader text holds a null character");
    Program program;
    bool haveVersion = false;
    std::istringstream lines(text);
    std::string rawLine;
    int line = 0;
    while (std::getline(lines, rawLine)) {
        ++line;
        size_t comment = std::min(rawLine.find("//"), rawLine.find(';'));
        std::string statement = trim(rawLine.substr(0, comment));
        if (statement.empty())
            continue;
        size_t space = statement.find_first_of(" \t");
        std::string mnemonic = lowercase(statement.substr(0, space));
        std::string rest = space == std::string::npos ? "" : statement.substr(space);
        if (!haveVersion) {
            if ((mnemonic != "vs_2_0" && mnemonic != "ps_2_0") || !trim(rest).empty())
                fail(line, "the text must start with vs_2_0 or ps_2_0, not '" + statement + "'");
            program.stage = mnemonic == "vs_2_0" ? Stage::Vertex : Stage::Pixel;
            haveVersion = true;
            continue;
        }
        std::vector<std::string> operands = splitOperands(rest);
        if (startsWith(mnemonic, "dcl")) {
            program.declarations.push_back(parseDeclaration(mnemonic, operands, line));
            continue;
        }
        if (mnemonic == "def") {
            program.constants.push_back(parseDefinition(operands, line));
            continue;
        }
        Instruction instruction;
        instruction.line = line;
        std::string base = mnemonic;
        size_t modifier = mnemonic.find('_');
        if (modifier != std::string::npos) {
            base = mnemonic.substr(0, modifier);
            if (mnemonic.substr(modifier) != "_sat")
                fail(line, "unknown instruction '" + mnemonic + "'");
            instruction.saturate = true;
        }
        const OpcodeInfo* info = findOpcode(base);
        if (!info)
            fail(line, "unknown instruction '" + base + "'");
        instruction.opcode = info->opcode;
        size_t expected = info->sourceCount + (info->hasDestination ? 1 : 0);
        if (operands.size() != expected)
            fail(line, "'" + base + "' takes " + std::to_string(expected) + " operand"
                     + (expected == 1 ? "" : "s") + ", not " + std::to_string(operands.size()));
        size_t first = 0;
        if (info->hasDestination) {
            instruction.hasDestination = true;
            instruction.destination = parseDestination(operands[0], line);
            first = 1;
        }
        for (size_t i = first; i < operands.size(); ++i)
            instruction.sources.push_back(parseSource(operands[i], line));
        program.instructions.push_back(std::move(instruction));
    }
    if (!haveVersion)
        fail(std::max(line, 1), "the text has no vs_2_0 or ps_2_0 version line");
    return program;
}

Program assemble(const std::string& text)
{
    Program program = parseAssembly(text);
    validate(program);
    return program;
}

} // namespace Shader
