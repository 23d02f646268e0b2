#pragma once

#include "Libs/Mesh/MeshStream.h"

#include <memory>

namespace Vostrel {
namespace Mesh {

// A mesh stream over one render-core vertex stream of dimension * 4 bytes per vertex.
class ModifiableMeshStream : public MeshStream {
public:
    // meshVertexCount is the owning mesh's vertex count, which outlives the stream.
    ModifiableMeshStream(std::unique_ptr<Core::VertexStream> vertexStream, int dimension, const int& meshVertexCount)
        : vertexStream(std::move(vertexStream)), dimension(dimension), meshVertexCount(meshVertexCount) {}

    float* lock(LockType lockType) override { return static_cast<float*>(vertexStream->lock(lockType)); }
    void unlock() override { vertexStream->unlock(); }
    bool isLocked() const override { return vertexStream->isLocked(); }
    StreamUsage getUsage() const override { return vertexStream->getUsage(); }
    void setUsage(StreamUsage usage) override { vertexStream->setUsage(usage); }
    int getDimension() const override { return dimension; }
    int getVertexCount() const override { return meshVertexCount; }

    Core::VertexStream& getVertexStream() { return *vertexStream; }
    void replaceVertexStream(std::unique_ptr<Core::VertexStream> newStream) { vertexStream = std::move(newStream); }

private:
    std::unique_ptr<Core::VertexStream> vertexStream;
    int dimension;
    const int& meshVertexCount;
};

} // namespace Mesh
} // namespace Vostrel
