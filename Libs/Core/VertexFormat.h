#pragma once

namespace Vostrel {
namespace Core {

enum VertexDataType : unsigned {
    VERTEX_FLOAT1 = 0,
    VERTEX_FLOAT2 = 1,
    VERTEX_FLOAT3 = 2,
    VERTEX_FLOAT4 = 3,
    VERTEX_UBYTE4 = 4,
};

// Where one shader input attribute lies in which stream.
struct VertexElement {
    unsigned stream;
    unsigned offset; // bytes within the stream's vertex
    VertexDataType type;
    unsigned attribute;
};

// The layout of the vertex streams as the vertex shader reads them.
class VertexFormat {
public:
    VertexFormat() = default;
    VertexFormat(const VertexFormat&) = delete;
    VertexFormat& operator=(const VertexFormat&) = delete;
    virtual ~VertexFormat() = 0;

    // The base does nothing.
    virtual void bind() {}
};

} // namespace Core
} // namespace Vostrel
