#pragma once

#include <memory>
#include <string>
#include <vector>

namespace Vostrel {

class VideoDecoder;
namespace Core {
class Texture;
}

// An MPEG video played into a texture, one frame per update: the video
// advances with the show's frames, not its own rate.
class VideoTexture {
public:
    // path without ".mpg"; width and height are the video's true size.
    VideoTexture(const std::string& path, int width, int height);
    ~VideoTexture();

    // Decodes the next frame and uploads it; after the last frame the
    // texture keeps it and nothing more is decoded.
    void update();

    Core::Texture* getTexture() const { return texture.get(); }
    bool hasEnded() const { return ended; }
    const std::string& getFileName() const { return fileName; }

private:
    void upload();

    std::string fileName;
    int width;
    int height;
    std::unique_ptr<VideoDecoder> decoder;
    std::vector<unsigned char> rgb;
    std::vector<unsigned char> rgba;
    std::unique_ptr<Core::Texture> texture;
    bool ended = false;
};

} // namespace Vostrel
