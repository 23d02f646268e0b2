// Feeds bytes to the PPM/PGM reader: anything may be refused with the
// engine's exception; what is accepted must be a whole image of its size.
#include "Libs/Common/Exception.h"
#include "Libs/Image/Image.h"
#include "Tests/Fuzz/InputFile.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = VostrelFuzz::writeInputFile("input.ppm", data, size);
    try {
        std::unique_ptr<Vostrel::Image> image(Vostrel::Image::createFromFile(path));
        const int channels = image->getChannels();
        if ((channels != 1 && channels != 3) || image->getWidth() <= 0 || image->getHeight() <= 0)
            std::abort();
        // Every sample was read from the file: touch them all.
        unsigned sum = 0;
        const size_t count = static_cast<size_t>(image->getWidth()) * image->getHeight() * channels;
        if (count > size)
            std::abort();
        for (size_t i = 0; i < count; ++i)
            sum += image->getData()[i];
        (void)sum;
    } catch (const Vostrel::Exception&) {
    }
    std::remove(path.c_str());
    return 0;
}
