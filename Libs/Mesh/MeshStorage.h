#pragma once

#include "Libs/Core/IndexStream.h"
#include "Libs/Core/LockType.h"
#include "Libs/Core/VertexStream.h"

#include <cstddef>
#include <memory>

// Mesh streams and topologies keep their data in the render core's vertex
// and index streams, made through the core.
namespace Vostrel {
namespace Mesh {

using Core::LockType;
using Core::LOCK_READ_WRITE;
using Core::LOCK_READ_ONLY;
using Core::LOCK_DISCARD;

// Low three bits: 0 system memory (editable, not drawable), 1 and 2 managed,
// 3 dynamic, 4 static write-only; bit 3 asks for point sprites.
using Core::StreamUsage;

using Core::IndexStreamType;
const IndexStreamType IS_16BIT = Core::INDEX_16BIT;
const IndexStreamType IS_32BIT = Core::INDEX_32BIT;

// The core's streams take their size as an int: larger sizes are refused
// here rather than wrapped.
std::unique_ptr<Core::VertexStream> makeVertexStream(size_t bytes, int stride, StreamUsage usage);
std::unique_ptr<Core::IndexStream> makeIndexStream(size_t bytes, IndexStreamType type, StreamUsage usage);

} // namespace Mesh
} // namespace Vostrel
