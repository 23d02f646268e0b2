#include "Libs/Mesh/ModifiableMeshImpl.h"

#include "Libs/Common/Exception.h"

#include <cstring>
#include <iostream>

namespace Vostrel {
namespace Mesh {

namespace {

size_t streamBytes(int vertices, int dimension)
{
    return static_cast<size_t>(vertices) * static_cast<size_t>(dimension) * sizeof(float);
}

} // namespace

std::unique_ptr<ModifiableMesh> ModifiableMesh::createEmpty()
{
    return std::make_unique<ModifiableMeshImpl>();
}

ModifiableMeshImpl::ModifiableMeshImpl() = default;

ModifiableMeshImpl::~ModifiableMeshImpl()
{
    for (auto& entry : streams)
        if (entry.second->isLocked())
            std::cerr << "warning: Mesh contained a locked stream (\"" << entry.first << "\")." << std::endl;
}

// ---- vertices ----

void ModifiableMeshImpl::reserveVertices(int capacity, bool discard)
{
    VOSTREL_ASSERT(capacity >= 0);
    if (capacity <= vertexCapacity) {
        // Streams keep their size; the capacity never drops below the vertices in use.
        vertexCapacity = capacity > vertexCount ? capacity : vertexCount;
        return;
    }
    for (auto& entry : streams) {
        ModifiableMeshStream& stream = *entry.second;
        Core::VertexStream& old = stream.getVertexStream();
        const size_t wanted = streamBytes(capacity, stream.getDimension());
        if (wanted <= static_cast<size_t>(old.getSize()))
            continue;
        if (old.isLocked())
            VOSTREL_THROW("ModifiableMesh::reserveVertices: stream " << entry.first << " is locked");
        std::unique_ptr<Core::VertexStream> grown =
            makeVertexStream(wanted, stream.getDimension() * static_cast<int>(sizeof(float)), old.getUsage());
        if (!discard)
            grown->copyFrom(old, streamBytes(vertexCount, stream.getDimension()), 0, 0);
        stream.replaceVertexStream(std::move(grown));
    }
    ++generation;
    vertexCapacity = capacity;
}

void ModifiableMeshImpl::setVertexCount(int count)
{
    VOSTREL_ASSERT(count >= 0);
    if (count > vertexCapacity)
        reserveVertices(count, false);
    const int previous = vertexCount;
    if (count > previous)
        clearVertices(previous, count);
    vertexCount = count;
}

void ModifiableMeshImpl::clearVertices(int from, int to)
{
    for (auto& entry : streams) {
        const int dimension = entry.second->getDimension();
        StreamLock lock(*entry.second, LOCK_READ_WRITE);
        std::memset(lock.get() + static_cast<size_t>(from) * dimension, 0, streamBytes(to - from, dimension));
    }
}

// ---- streams ----

MeshStream* ModifiableMeshImpl::getStream(const std::string& streamName)
{
    auto found = streams.find(streamName);
    if (found == streams.end())
        VOSTREL_THROW("Mesh does not contain a stream named " << streamName << ".");
    return found->second.get();
}

bool ModifiableMeshImpl::hasStream(const std::string& streamName, int dimension)
{
    auto found = streams.find(streamName);
    if (found == streams.end())
        return false;
    return dimension < 1 || found->second->getDimension() == dimension;
}

void ModifiableMeshImpl::assertStreamNameFree(const std::string& streamName)
{
    VOSTREL_ASSERT(streams.find(streamName) == streams.end());
}

MeshStream* ModifiableMeshImpl::addStream(const std::string& streamName, int dimension, StreamUsage usage)
{
    assertStreamNameFree(streamName);
    VOSTREL_ASSERT(dimension >= 1);
    auto stream = std::make_unique<ModifiableMeshStream>(
        makeVertexStream(streamBytes(vertexCapacity, dimension), dimension * static_cast<int>(sizeof(float)), usage),
        dimension, vertexCount);
    if (vertexCount > 0) {
        StreamLock lock(*stream, LOCK_DISCARD);
        std::memset(lock.get(), 0, streamBytes(vertexCount, dimension));
    }
    MeshStream* result = stream.get();
    streams[streamName] = std::move(stream);
    return result;
}

MeshStream* ModifiableMeshImpl::addStreamFromData(const std::string& streamName, int dimension, const float* data,
                                                  StreamUsage usage)
{
    VOSTREL_ASSERT(data || vertexCount == 0);
    MeshStream* stream = addStream(streamName, dimension, usage);
    if (vertexCount > 0) {
        StreamLock lock(*stream, LOCK_DISCARD);
        std::memcpy(lock.get(), data, streamBytes(vertexCount, dimension));
    }
    return stream;
}

void ModifiableMeshImpl::addStreamCopy(const std::string& streamName, MeshStream& source, StreamUsage usage)
{
    // The source may belong to another mesh; it must hold a value for every vertex here.
    if (source.getVertexCount() < vertexCount)
        VOSTREL_THROW("ModifiableMesh::addStreamCopy: the source has " << source.getVertexCount()
                                                                       << " vertices, the mesh " << vertexCount);
    StreamLock lock(source, LOCK_READ_ONLY);
    addStreamFromData(streamName, source.getDimension(), lock.get(), usage);
}

void ModifiableMeshImpl::copyStream(const std::string& newName, const std::string& sourceName, StreamUsage usage)
{
    addStreamCopy(newName, *getStream(sourceName), usage);
}

void ModifiableMeshImpl::removeStream(const std::string& streamName)
{
    MeshStream* stream = getStream(streamName);
    VOSTREL_ASSERT(!stream->isLocked());
    for (auto it = substreams.begin(); it != substreams.end();)
        it = it->second.stream == stream ? substreams.erase(it) : std::next(it);
    streams.erase(streamName);
    ++*structure;
}

void ModifiableMeshImpl::renameStream(const std::string& streamName, const std::string& newName)
{
    getStream(streamName);
    VOSTREL_ASSERT(!hasStream(newName, -1));
    std::unique_ptr<ModifiableMeshStream> stream = std::move(streams[streamName]);
    streams.erase(streamName);
    streams[newName] = std::move(stream);
}

std::vector<std::string> ModifiableMeshImpl::getStreamNames()
{
    std::vector<std::string> names;
    for (auto& entry : streams)
        names.push_back(entry.first);
    return names;
}

std::string ModifiableMeshImpl::nameOfStream(const MeshStream* stream) const
{
    for (auto& entry : streams)
        if (entry.second.get() == stream)
            return entry.first;
    VOSTREL_THROW("ModifiableMesh: a substream refers to a stream the mesh does not hold");
}

// ---- substreams ----

void ModifiableMeshImpl::addSubstream(const std::string& substreamName, const std::string& streamName, int begin,
                                      int dimension)
{
    VOSTREL_ASSERT(substreams.find(substreamName) == substreams.end());
    MeshStream* stream = getStream(streamName);
    VOSTREL_ASSERT(begin >= 0 && dimension >= 1);
    VOSTREL_ASSERT(stream->getDimension() >= begin+dimension);
    substreams[substreamName] = Substream{streams.find(streamName)->second.get(), begin, dimension};
}

void ModifiableMeshImpl::removeSubstream(const std::string& substreamName)
{
    VOSTREL_ASSERT(substreams.find(substreamName) != substreams.end());
    substreams.erase(substreamName);
}

bool ModifiableMeshImpl::hasSubstream(const std::string& substreamName)
{
    return substreams.find(substreamName) != substreams.end();
}

// ---- topologies ----

MeshTopology* ModifiableMeshImpl::getTopology(const std::string& topologyName)
{
    auto found = topologies.find(topologyName);
    if (found == topologies.end())
        VOSTREL_THROW_FROM(MESH_SOURCE, 393, "Mesh does not contain a topology named " << topologyName << ".");
    return found->second.get();
}

bool ModifiableMeshImpl::hasTopology(const std::string& topologyName)
{
    return topologies.find(topologyName) != topologies.end();
}

MeshTopology* ModifiableMeshImpl::addTopology(const std::string& name, int primitiveCount, int indicesPerPrimitive,
                                              TopologyStatus status)
{
    VOSTREL_ASSERT(topologies.find(name) == topologies.end());
    if (indicesPerPrimitive < 1 || indicesPerPrimitive > 3)
        VOSTREL_THROW("Error");
    VOSTREL_ASSERT(primitiveCount >= 0 && primitiveCount <= 0x7fffffff / indicesPerPrimitive);
    auto topology = std::make_unique<ModifiableMeshTopology>(primitiveCount * indicesPerPrimitive,
                                                             indicesPerPrimitive, status);
    topology->setPrimitiveCount(primitiveCount);
    MeshTopology* result = topology.get();
    topologies[name] = std::move(topology);
    return result;
}

void ModifiableMeshImpl::copyTopology(const std::string& newTopology, const MeshTopology& source)
{
    VOSTREL_ASSERT(topologies.find(newTopology) == topologies.end());
    const ModifiableMeshTopology* ours = dynamic_cast<const ModifiableMeshTopology*>(&source);
    VOSTREL_ASSERT(ours);
    topologies[newTopology] = std::make_unique<ModifiableMeshTopology>(*ours);
}

void ModifiableMeshImpl::removeTopology(const std::string& topologyName)
{
    MeshTopology* topology = getTopology(topologyName);
    // Unindexed and polygon-only topologies have no buffer that could be locked.
    if (topology->getIndexStream())
        VOSTREL_ASSERT(!topology->isLocked());
    topologies.erase(topologyName);
    ++*structure;
}

void ModifiableMeshImpl::renameTopology(const std::string& topologyName, const std::string& newName)
{
    getTopology(topologyName);
    VOSTREL_ASSERT(!hasTopology(newName));
    std::unique_ptr<ModifiableMeshTopology> topology = std::move(topologies[topologyName]);
    topologies.erase(topologyName);
    topologies[newName] = std::move(topology);
}

std::vector<std::string> ModifiableMeshImpl::getTopologyNames()
{
    std::vector<std::string> names;
    for (auto& entry : topologies)
        names.push_back(entry.first);
    return names;
}

// ---- freezing ----

void ModifiableMeshImpl::freeze(StreamUsage usage)
{
    try {
        for (auto& entry : topologies)
            if (entry.second->getStatus() == TOPOLOGY_CLIENT_INDICES)
                entry.second->setStatus(TOPOLOGY_INDICES_32);
        for (auto& entry : streams)
            if (entry.second->getUsage() == 0)
                entry.second->setUsage(usage);
    } catch (Exception&) {
        std::cerr << "In " << "ModifiableMeshImpl::freeze(..)" << std::endl;
        throw;
    }
}

} // namespace Mesh
} // namespace Vostrel
