#include "Libs/Common/Exception.h"
#include "Libs/Image/Image.h"
#include "Libs/Image/ImageCodec.h"
#include "Libs/Image/RenderingBuffer.h"

#include <cmath>
#include <cstring>
#include <memory>

namespace Vostrel {

namespace {

// The smallest power of two not below the size's ceiling; empty stays 0.
int textureSide(float size, const char* fileName)
{
    // The device's largest texture; past it a document asks for more memory
    // (up to a gigabyte) than any picture it can show.
    constexpr float maxSide = 8192.0f;
    if (!std::isfinite(size) || size > maxSide)
        VOSTREL_THROW("SVGCodec: " << fileName << " is too large to rasterise (" << size << " units).");
    const int ceiling = static_cast<int>(std::ceil(size));
    if (ceiling <= 0)
        return 0;
    int side = 1;
    while (side < ceiling)
        side *= 2;
    return side;
}

} // namespace

void SVGCodec::write(const char*, int, int, int, const unsigned char*)
{
    VOSTREL_THROW("SVGCodec: writing SVG not supported.");
}

void SVGCodec::read(const char* fileName, int* width, int* height, int* channels, unsigned char** pixels)
{
    RenderingBuffer buffer(1, 1, nullptr);
    buffer.loadSvgFile(fileName);
    const Vec2 size = buffer.getSvgSize();
    const int w = textureSide(size[0], fileName);
    const int h = textureSide(size[1], fileName);
    const size_t bytes = imageByteCount(w, h, 4);
    std::unique_ptr<unsigned char[]> data(new unsigned char[bytes]);
    // Transparent black where nothing is drawn.
    std::memset(data.get(), 0, bytes);
    buffer.attach(w, h, data.get());
    buffer.drawSvg(0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.5f, 1.0f);
    *width = w;
    *height = h;
    *channels = 4;
    *pixels = data.release();
}

} // namespace Vostrel
