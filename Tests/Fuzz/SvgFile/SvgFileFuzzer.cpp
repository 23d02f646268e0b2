// Reads bytes as an ".svg" image file: the parser takes the file in chunks,
// the SVG codec rasterises what it accepted. Refusals are the engine's
// exception; an accepted image is whole and of the size it claims.
#include "Libs/Common/Exception.h"
#include "Libs/Image/Image.h"
#include "Tests/Fuzz/InputFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = VostrelFuzz::writeInputFile("input.svg", data, size);
    try {
        std::unique_ptr<Vostrel::Image> image(Vostrel::Image::createFromFile(path));
        const int width = image->getWidth(), height = image->getHeight();
        if (image->getChannels() != 4 || width < 0 || height < 0 || (width & (width - 1)) ||
            (height & (height - 1)))
            std::abort();
        unsigned sum = 0;
        for (size_t i = 0; i < static_cast<size_t>(width) * height * 4; i += 61)
            sum += image->getData()[i];
        (void)sum;
    } catch (const Vostrel::Exception&) {
    }
    std::remove(path.c_str());
    return 0;
}
