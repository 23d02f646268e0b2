#pragma once

#include "Libs/Common/Exception.h"
#include "Libs/Core/LockType.h"

#include <cstring>

namespace Vostrel {
namespace Core {

// Whether [offset, offset + size) lies in a stream of the given size.
inline bool rangeInside(int offset, int size, int streamSize)
{
    return offset >= 0 && size >= 0 && offset <= streamSize && size <= streamSize - offset;
}

// The copy behind the streams' copyFrom. The source is read through a
// read-only lock (a discard lock may hand out fresh storage); the
// destination is discarded only when the copy rewrites all of it and reads
// nothing from it. Both ranges must lie in their streams.
template <typename Stream>
void copyStreamBytes(Stream& destination, Stream& source, int size, int sourceOffset, int destinationOffset)
{
    if (!rangeInside(sourceOffset, size, source.getSize()) ||
        !rangeInside(destinationOffset, size, destination.getSize()))
        VOSTREL_THROW("copyFrom: " << size << " bytes from " << sourceOffset << " of " << source.getSize()
                                   << " to " << destinationOffset << " of " << destination.getSize()
                                   << " lie outside the streams");
    if (size == 0)
        return;
    bool whole = destinationOffset == 0 && size == destination.getSize() && &destination != &source;
    const void* from = source.lockRange(sourceOffset, size, LOCK_READ_ONLY);
    void* to = destination.lockRange(destinationOffset, size, whole ? LOCK_DISCARD : LOCK_READ_WRITE);
    std::memmove(to, from, static_cast<size_t>(size));
    destination.unlock();
    source.unlock();
}

} // namespace Core
} // namespace Vostrel
