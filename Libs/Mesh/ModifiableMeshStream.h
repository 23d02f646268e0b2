#pragma once

#include "Libs/Mesh/MeshStream.h"

#include <memory>

namespace Vostrel {
namespace Mesh {

// A mesh stream over one vertex buffer of dimension * 4 bytes per vertex.
class ModifiableMeshStream : public MeshStream {
public:
    // meshVertexCount is the owning mesh's vertex count, which outlives the stream.
    ModifiableMeshStream(std::unique_ptr<VertexBuffer> buffer, int dimension, const int& meshVertexCount)
        : buffer(std::move(buffer)), dimension(dimension), meshVertexCount(meshVertexCount) {}

    float* lock(LockType lockType) override { return static_cast<float*>(buffer->lock(lockType)); }
    void unlock() override { buffer->unlock(); }
    bool isLocked() const override { return buffer->isLocked(); }
    StreamUsage getUsage() const override { return buffer->getUsage(); }
    void setUsage(StreamUsage usage) override { buffer->setUsage(usage); }
    int getDimension() const override { return dimension; }
    int getVertexCount() const override { return meshVertexCount; }

    VertexBuffer& getBuffer() { return *buffer; }
    void replaceBuffer(std::unique_ptr<VertexBuffer> newBuffer) { buffer = std::move(newBuffer); }

private:
    std::unique_ptr<VertexBuffer> buffer;
    int dimension;
    const int& meshVertexCount;
};

} // namespace Mesh
} // namespace Vostrel
