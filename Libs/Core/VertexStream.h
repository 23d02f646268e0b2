#pragma once

namespace Vostrel {
namespace Core {

// Raw vertex bytes. Made by the rendering interface's createVertexStream
// with a usage: the low three bits a usage kind, bit 3 point sprites.
class VertexStream {
public:
    VertexStream() = default;
    VertexStream(const VertexStream&) = delete;
    VertexStream& operator=(const VertexStream&) = delete;
    virtual ~VertexStream() = 0;

    // Binds the stream to a stream slot of the device.
    virtual void bind(int streamNumber) = 0;
};

} // namespace Core
} // namespace Vostrel
