#pragma once

// Builds IFF/LWO2 bytes in tests, for the cases the fixture files leave out.

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace LwoBytes {

typedef std::vector<uint8_t> Bytes;

inline Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

inline Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }
inline Bytes u2(uint32_t v) { return {uint8_t(v >> 8), uint8_t(v)}; }
inline Bytes u4(uint32_t v) { return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }
inline Bytes f4(float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return u4(bits);
}
inline Bytes f4s(std::initializer_list<float> values)
{
    Bytes all;
    for (float v : values)
        all = cat({all, f4(v)});
    return all;
}
inline Bytes s0(const std::string& s)
{
    Bytes b = text(s);
    b.push_back(0);
    if (b.size() % 2)
        b.push_back(0);
    return b;
}
// Long header (top level) or short header (sub-chunk); odd data is padded.
inline Bytes chunk(const std::string& id, const Bytes& data, bool shortHeader = false)
{
    Bytes b = cat({text(id), shortHeader ? u2(uint32_t(data.size())) : u4(uint32_t(data.size())), data});
    if (data.size() % 2)
        b.push_back(0);
    return b;
}
inline Bytes form(std::initializer_list<Bytes> chunks) { return chunk("FORM", cat({text("LWO2"), cat(chunks)})); }
inline Bytes layr(uint32_t number) { return chunk("LAYR", cat({u2(number), u2(0), f4s({0, 0, 0}), s0("L")})); }

} // namespace LwoBytes
