#pragma once

#include "Libs/Core/LockType.h"
#include "Libs/Core/VertexStream.h"

namespace Vostrel {
namespace Core {

enum IndexStreamType : int {
    INDEX_16BIT = 0,
    INDEX_32BIT = 1,
};

// 16- or 32-bit indices. Made by the rendering interface's createIndexStream.
class IndexStream {
public:
    IndexStream() = default;
    IndexStream(const IndexStream&) = delete;
    IndexStream& operator=(const IndexStream&) = delete;
    virtual ~IndexStream() = 0;

    virtual int getSize() const = 0;
    virtual IndexStreamType getType() const = 0;
    virtual void setPriority(float priority) = 0;
    virtual void* lockRange(int offset, int size, LockType lockType) = 0;
    virtual void* lock(LockType lockType) = 0;
    virtual void unlock() = 0;
    virtual bool isLocked() const = 0;
    virtual void bind() = 0;
    virtual StreamUsage getUsage() const = 0;
    virtual void setUsage(StreamUsage usage) = 0;
    virtual void copyFrom(IndexStream& source, int size, int sourceOffset, int destinationOffset) = 0;
};

} // namespace Core
} // namespace Vostrel
