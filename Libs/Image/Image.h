#pragma once

#include "Libs/Core/Texture.h"

#include <memory>
#include <string>

namespace Vostrel {

class RenderingBuffer;

// Edits or replaces the pixels of an image.
class ImageFilter {
public:
    virtual ~ImageFilter() = default;
    virtual void getOutputSize(int width, int height, int channels, int& outWidth, int& outHeight,
                               int& outChannels) = 0;
    virtual bool isInPlace() = 0;
    virtual void apply(int width, int height, int channels, const unsigned char* source,
                       unsigned char* destination) = 0;
};

// 8-bit samples, one to four per pixel, rows top to bottom. Channel order:
// L, LA, BGR, BGRA, which is the byte order of L8, A8L8, R8G8B8, A8R8G8B8.
class Image {
public:
    virtual ~Image() = default;
    virtual int getWidth() = 0;
    virtual int getHeight() = 0;
    virtual int getChannels() = 0;
    virtual unsigned char* getData() = 0;
    virtual unsigned char* allocate(int width, int height, int channels) = 0;
    virtual void load(const std::string& fileName) = 0;
    virtual void save(const std::string& fileName) = 0;
    virtual Core::Texture* createTexture2D(const Core::TextureParameters* parameters) = 0;
    virtual Core::Texture* createVolumeTexture(const Core::TextureParameters* parameters) = 0;
    virtual Core::Texture* createCubeTexture(const Core::TextureParameters* parameters = nullptr) = 0;
    virtual RenderingBuffer getRenderingBuffer() = 0;
    virtual void applyFilter(ImageFilter& filter) = 0;
    virtual Image* clone() = 0;
    virtual Image* repeatVertically(int count) = 0;

    static Image* create(int width, int height, int channels);
    static Image* createFromFile(const std::string& fileName);
};

class ImageImpl : public Image {
public:
    ImageImpl() = default;
    ImageImpl(const ImageImpl&) = delete;
    ImageImpl& operator=(const ImageImpl&) = delete;

    int getWidth() override { return width; }
    int getHeight() override { return height; }
    int getChannels() override { return channels; }
    unsigned char* getData() override { return pixels.get(); }
    unsigned char* allocate(int width, int height, int channels) override;
    void load(const std::string& fileName) override;
    void save(const std::string& fileName) override;
    Core::Texture* createTexture2D(const Core::TextureParameters* parameters) override;
    Core::Texture* createVolumeTexture(const Core::TextureParameters* parameters) override;
    Core::Texture* createCubeTexture(const Core::TextureParameters* parameters = nullptr) override;
    RenderingBuffer getRenderingBuffer() override;
    void applyFilter(ImageFilter& filter) override;
    Image* clone() override;
    Image* repeatVertically(int count) override;

private:
    int width = 0;
    int height = 0;
    int channels = 0;
    std::unique_ptr<unsigned char[]> pixels;
};

// Global caches by file name (byte-wise, case-sensitive); entries live as
// long as the render core, which is the whole run for the show.
Image* loadImage(const std::string& fileName, bool keep = true);
Core::Texture* loadTexture(const std::string& fileName, const Core::TextureParameters* parameters, bool keep = true);
Core::Texture* loadTextureWithDefaults(const std::string& fileName, bool keep = true);
// Straight from the file through the render core's loader; no image, no cache.
Core::Texture* loadTextureFromFile(const std::string& fileName, const Core::TextureParameters& parameters);
// Frees the cached textures; the images stay. The core's destruction frees
// both.
void releaseTextureCache();

// The byte count of an image, refused when it does not fit in memory sizes.
size_t imageByteCount(long long width, long long height, long long channels);

} // namespace Vostrel
