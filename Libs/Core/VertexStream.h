#pragma once

#include "Libs/Core/LockType.h"

namespace Vostrel {
namespace Core {

// Stream usage: the low three bits a usage kind (0 system memory, 1 and 2
// managed, 3 dynamic, 4 static write-only), bit 3 point sprites.
typedef int StreamUsage;
const StreamUsage STREAM_POINT_SPRITES = 8;

// Raw vertex bytes. Made by the rendering interface's createVertexStream.
class VertexStream {
public:
    VertexStream() = default;
    VertexStream(const VertexStream&) = delete;
    VertexStream& operator=(const VertexStream&) = delete;
    virtual ~VertexStream() = 0;

    virtual int getSize() const = 0;
    virtual int getStride() const = 0;
    // Records a size no larger than the storage; the storage stays.
    virtual void setSize(int bytes) = 0;
    virtual void setPriority(float priority) = 0;
    virtual void* lockRange(int offset, int size, LockType lockType) = 0;
    virtual void* lock(LockType lockType) = 0;
    virtual void unlock() = 0;
    virtual bool isLocked() const = 0;
    // Binds the stream to a stream slot of the device.
    virtual void bind(int streamNumber) = 0;
    virtual StreamUsage getUsage() const = 0;
    // New storage of the new usage, with the contents copied.
    virtual void setUsage(StreamUsage usage) = 0;
    // Copies size bytes from source at sourceOffset to this at destinationOffset.
    virtual void copyFrom(VertexStream& source, int size, int sourceOffset, int destinationOffset) = 0;
};

} // namespace Core
} // namespace Vostrel
