#include "Platform/D3D9/ShaderCode.h"

#include <cstring>

namespace D3D9 {

namespace {

constexpr DWORD commentOpcode = 0xFFFE;
constexpr DWORD endToken = 0x0000FFFF;
// The comment length field has 15 bits.
constexpr DWORD maxCommentTokens = 0x7FFF;

} // namespace

std::vector<DWORD> encodeShaderCode(DWORD version, const std::string& text)
{
    // The text with its terminating zero, padded to whole tokens.
    size_t tokens = (text.size() + 1 + 3) / 4;
    if (tokens > maxCommentTokens)
        return {};
    std::vector<DWORD> code;
    code.push_back(version);
    code.push_back(commentOpcode | (static_cast<DWORD>(tokens) << 16));
    size_t start = code.size();
    code.resize(start + tokens, 0);
    std::memcpy(&code[start], text.data(), text.size());
    code.push_back(endToken);
    return code;
}

std::optional<ShaderCode> decodeShaderCode(const DWORD* function)
{
    if (!function || (function[0] != vertexShaderVersion && function[0] != pixelShaderVersion))
        return std::nullopt;
    DWORD comment = function[1];
    if ((comment & 0xFFFF) != commentOpcode)
        return std::nullopt;
    DWORD tokens = (comment >> 16) & maxCommentTokens;
    if (tokens == 0 || function[2 + tokens] != endToken)
        return std::nullopt;
    const char* text = reinterpret_cast<const char*>(function + 2);
    size_t length = strnlen(text, static_cast<size_t>(tokens) * 4);
    if (length == static_cast<size_t>(tokens) * 4)
        return std::nullopt; // no terminating zero
    ShaderCode code;
    code.version = function[0];
    code.text.assign(text, length);
    code.tokens.assign(function, function + 3 + tokens);
    return code;
}

} // namespace D3D9
