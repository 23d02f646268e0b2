// Feeds bytes to the PNG and JPEG decoder behind the D3DX image functions.
// Anything may be refused; what is accepted must be a whole image of the
// size it claims, and reading only the header must agree with reading all.
#include "Platform/D3DX9/ImageFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    D3DX9::Image header;
    std::string reason;
    bool headerRead = D3DX9::decodeImage(data, size, header, true, reason);
    D3DX9::Image image;
    if (!D3DX9::decodeImage(data, size, image, false, reason))
        return 0;
    if (!headerRead || header.width != image.width || header.height != image.height || header.format != image.format)
        std::abort();
    if (image.width == 0 || image.height == 0 || image.width > D3DX9::maxImageSide ||
        image.height > D3DX9::maxImageSide ||
        image.rgba.size() != static_cast<size_t>(image.width) * image.height * 4)
        std::abort();
    return 0;
}
