#include "Libs/Testing/Utils/VideoTexture.h"

#include "Libs/Core/APICore.h"
#include "Libs/Core/Texture.h"
#include "Libs/Testing/Utils/ToolkitAssert.h"
#include "Libs/Video/VideoDecoder.h"

namespace Vostrel {

VideoTexture::VideoTexture(const std::string& path, int width, int height)
    : fileName(path + ".mpg"), width(width), height(height), decoder(std::make_unique<VideoDecoder>())
{
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096)
        TOOLKIT_THROW("VideoTexture: " << fileName << " cannot play at " << width << " x " << height);
    // The decoder writes rows of the coded width; a video of another size
    // would leave the texture partly stale or read past its rows.
    decoder->setFrameObserver([this](const VideoFrameView& frame) {
        if (frame.width != this->width || frame.height != this->height)
            TOOLKIT_THROW("the video is " << frame.width << " x " << frame.height << ", not " << this->width
                                          << " x " << this->height);
    });
    Set_Video_Output_Size(*decoder, width, height);
    if (inContext("VideoTexture(" + fileName + ")", [this] { return Open_Video_Stream(*decoder, fileName.c_str()); }) != 0)
        TOOLKIT_THROW("VideoTexture: cannot open " << fileName);
    rgb.assign(static_cast<size_t>(width) * height * 3, 0);
    rgba.assign(static_cast<size_t>(width) * height * 4, 0);

    Core::TextureParameters parameters;
    parameters.width = width;
    parameters.height = height;
    parameters.minFilter = Core::MIN_LINEAR;
    parameters.magFilter = Core::MAG_LINEAR;
    parameters.dynamic = true;
    texture.reset(Core::createTexture(parameters));

    // The first frame arrives one picture late (display order).
    while (!ended && !Video_Frame_Written(*decoder))
        update();
    if (!Video_Frame_Written(*decoder))
        TOOLKIT_THROW("VideoTexture: " << fileName << " holds no frame");
}

VideoTexture::~VideoTexture() = default;

void VideoTexture::update()
{
    if (ended)
        return;
    const int decoded = inContext([this] { return "VideoTexture(" + fileName + ")"; },
                                  [this] { return Decode_Next_Frame(*decoder, rgb.data()); });
    if (decoded == 0)
        ended = true;
    // The end call may still deliver the last frame of the display order.
    if (Video_Frame_Written(*decoder))
        upload();
}

void VideoTexture::upload()
{
    const size_t pixels = static_cast<size_t>(width) * height;
    for (size_t i = 0; i < pixels; ++i) {
        rgba[4 * i] = rgb[3 * i + 2];
        rgba[4 * i + 1] = rgb[3 * i + 1];
        rgba[4 * i + 2] = rgb[3 * i];
        rgba[4 * i + 3] = 255;
    }
    texture->update(0, rgba.data());
}

} // namespace Vostrel
