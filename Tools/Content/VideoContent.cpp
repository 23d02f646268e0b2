#include "Tools/Content/VideoContent.h"

#include "Libs/Common/Exception.h"
#include "Tools/Content/ContentWriter.h"

#include <cstdio>
#include <memory>
#include <sstream>
#include <vector>

namespace Vostrel {
namespace Content {

void flatFrameColour(int frame, unsigned char rgb[3])
{
    const int k = frame % 216;
    rgb[0] = static_cast<unsigned char>(20 + 40 * (k % 6));
    rgb[1] = static_cast<unsigned char>(20 + 40 * ((k / 6) % 6));
    rgb[2] = static_cast<unsigned char>(20 + 40 * (k / 36));
}

void writeFlatColourVideo(const std::string& path, int width, int height, int frames)
{
    if (width <= 0 || height <= 0 || width % 2 || height % 2 || frames <= 0)
        VOSTREL_THROW("writeFlatColourVideo: cannot make " << frames << " frames of " << width << " x " << height);
    std::ostringstream command;
    command << "ffmpeg -nostdin -y -loglevel error -f rawvideo -pix_fmt rgb24 -s " << width << "x" << height
            << " -r 25 -i - -threads 1 -fflags +bitexact -flags +bitexact -c:v mpeg1video -q:v 2 -g 12 -bf 2"
            << " -f mpeg1video '" << path << "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.str().c_str(), "w"), &pclose);
    if (!pipe)
        VOSTREL_THROW("writeFlatColourVideo: cannot run ffmpeg for " << path);
    std::vector<unsigned char> frame(static_cast<size_t>(width) * height * 3);
    for (int k = 0; k < frames; ++k) {
        unsigned char rgb[3];
        flatFrameColour(k, rgb);
        for (size_t i = 0; i < frame.size(); i += 3) {
            frame[i] = rgb[0];
            frame[i + 1] = rgb[1];
            frame[i + 2] = rgb[2];
        }
        if (std::fwrite(frame.data(), 1, frame.size(), pipe.get()) != frame.size())
            VOSTREL_THROW("writeFlatColourVideo: ffmpeg stopped taking frames for " << path);
    }
    const int status = pclose(pipe.release());
    if (status != 0)
        VOSTREL_THROW("writeFlatColourVideo: ffmpeg failed (status " << status << ") writing " << path);
}

namespace {

const RegisterContentWriter video("video", [](const std::string& root) {
    writeFlatColourVideo(prepareOutputPath(root, "data/Videos/mov2005-6.mpg"), 256, 256, 150);
});

} // namespace

} // namespace Content
} // namespace Vostrel
