#include "Libs/Image/ImageCodec.h"

#include "Libs/Common/Exception.h"

#include <map>

namespace Vostrel {

namespace {

std::map<std::string, ImageCodec*>& registry()
{
    static std::map<std::string, ImageCodec*> codecs;
    return codecs;
}

void registerImageCodecs()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    static JPEGCodec jpeg;
    static PNGCodec png;
    static PPMCodec ppm;
    static SVGCodec svg;
    registry()["jpg"] = &jpeg;
    registry()["png"] = &png;
    registry()["ppm"] = &ppm;
    registry()["pgm"] = &ppm;
    registry()["svg"] = &svg;
}

} // namespace

ImageCodec* getImageCodec(const std::string& fileName)
{
    registerImageCodecs();
    const size_t dot = fileName.rfind('.');
    const std::string extension = dot == std::string::npos ? fileName : fileName.substr(dot + 1);
    auto found = registry().find(extension);
    if (found == registry().end())
        VOSTREL_THROW("No codec for extension '" << extension << "'.");
    return found->second;
}

} // namespace Vostrel
