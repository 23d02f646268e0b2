#pragma once

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

    virtual void bind() = 0;
};

} // namespace Core
} // namespace Vostrel
