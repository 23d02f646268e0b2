#pragma once

#include "Libs/Math/Vec.h"
#include "Libs/Mesh/MeshStorage.h"

namespace Vostrel {
namespace Mesh {

// One named per-vertex stream of a mesh: dimension floats per vertex,
// vertex v at floats v * dimension onwards of the locked array.
class MeshStream {
public:
    virtual ~MeshStream() {}

    virtual float* lock(LockType lockType) = 0;
    virtual void unlock() = 0;
    virtual bool isLocked() const = 0;
    virtual StreamUsage getUsage() const = 0;
    virtual void setUsage(StreamUsage usage) = 0;
    virtual int getDimension() const = 0;
    // The vertices in use in the mesh that owns the stream.
    virtual int getVertexCount() const = 0;

    // The locked contents as vectors; the stream's dimension must match.
    // The caller unlocks the stream.
    Vec2* getVec2Array(LockType lockType);
    Vec3* getVec3Array(LockType lockType);
    Vec4* getVec4Array(LockType lockType);
};

inline Vec2* getVec2Array(MeshStream* stream, LockType lockType) { return stream->getVec2Array(lockType); }
inline Vec3* getVec3Array(MeshStream* stream, LockType lockType) { return stream->getVec3Array(lockType); }
inline Vec4* getVec4Array(MeshStream* stream, LockType lockType) { return stream->getVec4Array(lockType); }

// Keeps a stream locked for one scope, so that a failure on the way unlocks it.
class StreamLock {
public:
    StreamLock(MeshStream& stream, LockType lockType) : stream(stream), data(stream.lock(lockType)) {}
    ~StreamLock() { stream.unlock(); }
    StreamLock(const StreamLock&) = delete;
    StreamLock& operator=(const StreamLock&) = delete;

    float* get() const { return data; }

private:
    MeshStream& stream;
    float* data;
};

// Unlocks a stream that the scope locked through a typed view.
class ScopedUnlock {
public:
    explicit ScopedUnlock(MeshStream& stream) : stream(stream) {}
    ~ScopedUnlock() { stream.unlock(); }
    ScopedUnlock(const ScopedUnlock&) = delete;
    ScopedUnlock& operator=(const ScopedUnlock&) = delete;

private:
    MeshStream& stream;
};

} // namespace Mesh
} // namespace Vostrel
