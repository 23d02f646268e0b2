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
    PPMCodec* ppm = new PPMCodec;
    registry()["jpg"] = new JPEGCodec;
    registry()["png"] = new PNGCodec;
    registry()["ppm"] = ppm;
    registry()["pgm"] = ppm;
    registry()["svg"] = new SVGCodec;
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
