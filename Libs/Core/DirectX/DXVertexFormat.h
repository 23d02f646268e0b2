#pragma once

#include "Libs/Core/VertexFormat.h"
#include "Platform/D3D9/d3d9.h"

namespace Vostrel {
namespace Core {

// A vertex declaration: every element reaches the vertex shader as the
// texture-coordinate input numbered by its attribute.
class DXVertexFormat : public VertexFormat {
public:
    DXVertexFormat(int elementCount, const VertexElement* elements);
    ~DXVertexFormat() override;

    void bind() override;

private:
    IDirect3DVertexDeclaration9* declaration = nullptr;
};

} // namespace Core
} // namespace Vostrel
