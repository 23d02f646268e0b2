#pragma once

// Internal: vertex declarations, and how each element type reaches a vertex
// attribute in OpenGL.

#include "Platform/D3D9/DeviceObject.h"

#include <epoxy/gl.h>

#include <optional>
#include <string>
#include <vector>

namespace D3D9 {

struct AttributeFormat {
    GLint size;
    GLenum type;
    GLboolean normalized;
    UINT bytes;
};
// Components short of four read as (0, 0, 0, 1), OpenGL's default as well
// as Direct3D's. D3DCOLOR is B, G, R, A in memory.
std::optional<AttributeFormat> attributeFormat(BYTE declarationType);

class VertexDeclaration : public IDirect3DVertexDeclaration9, public DeviceObject {
public:
    // Reads elements up to the end marker; what is wrong when one is
    // malformed or a usage and index repeat, else empty.
    static std::string parse(const D3DVERTEXELEMENT9* elements, std::vector<D3DVERTEXELEMENT9>& result);

    VertexDeclaration(Device& device, std::vector<D3DVERTEXELEMENT9> elements);

    ULONG AddRef() override { return addRef(); }
    ULONG Release() override { return release(); }
    HRESULT GetDevice(IDirect3DDevice9** result) override;
    HRESULT GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count) override;

    const std::vector<D3DVERTEXELEMENT9>& elements() const { return elements_; }
    // The element of a usage and index, or null.
    const D3DVERTEXELEMENT9* find(BYTE usage, BYTE usageIndex) const;

private:
    std::vector<D3DVERTEXELEMENT9> elements_; // without the end marker
};

} // namespace D3D9
