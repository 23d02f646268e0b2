#include "Libs/Image/Image.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/DirectX/DXTexture.h"
#include "Libs/Image/ImageCodec.h"
#include "Libs/Image/RenderingBuffer.h"

#include <cstring>
#include <limits>
#include <map>

namespace Vostrel {

namespace {

void releaseImageCaches();

// Never destroyed: entries stay valid to the very end of the process. Both
// caches empty with the render core, as the files may differ for the next
// one (tests run many cores in one process).
std::map<std::string, Image*>& imageCache()
{
    static auto* cache = new std::map<std::string, Image*>;
    [[maybe_unused]] static const bool registered = (Core::APICore::releaseWithInstance(&releaseImageCaches), true);
    return *cache;
}

std::map<std::string, Core::Texture*>& textureCache()
{
    static auto* cache = new std::map<std::string, Core::Texture*>;
    [[maybe_unused]] static const bool registered = (Core::APICore::releaseWithInstance(&releaseImageCaches), true);
    return *cache;
}

void releaseImageCaches()
{
    releaseTextureCache();
    for (auto& entry : imageCache())
        delete entry.second;
    imageCache().clear();
}

Core::TextureFormat formatFor(int channels)
{
    switch (channels) {
    case 1: return Core::FORMAT_L8;
    case 2: return Core::FORMAT_A8L8;
    case 3: return Core::FORMAT_R8G8B8;
    case 4: return Core::FORMAT_A8R8G8B8;
    }
    VOSTREL_THROW("Cannot create a texture from image with " << channels << " channels.");
}

} // namespace

size_t imageByteCount(long long width, long long height, long long channels)
{
    // Sizes come from files; keep every product far from overflow.
    constexpr long long maxSide = 1 << 16;
    VOSTREL_ASSERT(width >= 0 && height >= 0 && channels >= 0 && width <= maxSide && height <= maxSide * 64 &&
                   channels <= 4);
    return static_cast<size_t>(width * height * channels);
}

unsigned char* ImageImpl::allocate(int newWidth, int newHeight, int newChannels)
{
    const size_t size = imageByteCount(newWidth, newHeight, newChannels);
    pixels.reset();
    width = height = channels = 0;
    pixels.reset(new unsigned char[size]);
    width = newWidth;
    height = newHeight;
    channels = newChannels;
    return pixels.get();
}

void ImageImpl::load(const std::string& fileName)
{
    ImageCodec* codec = getImageCodec(fileName);
    int newWidth = 0, newHeight = 0, newChannels = 0;
    unsigned char* newPixels = nullptr;
    codec->read(fileName.c_str(), &newWidth, &newHeight, &newChannels, &newPixels);
    pixels.reset(newPixels);
    width = newWidth;
    height = newHeight;
    channels = newChannels;
}

void ImageImpl::save(const std::string& fileName)
{
    getImageCodec(fileName)->write(fileName.c_str(), width, height, channels, pixels.get());
}

Core::Texture* ImageImpl::createTexture2D(const Core::TextureParameters* parameters)
{
    Core::TextureParameters p = parameters ? *parameters : Core::TextureParameters();
    p.type = Core::TEXTURE_TYPE_2D;
    p.width = width;
    p.height = height;
    p.format = formatFor(channels);
    Core::Texture* texture = Core::createTexture(p);
    texture->update(0, pixels.get());
    return texture;
}

Core::Texture* ImageImpl::createVolumeTexture(const Core::TextureParameters*)
{
    VOSTREL_ASSERT((width > 0) && (height > 0) && (height % width == 0));
    Core::TextureParameters p;
    p.type = Core::TEXTURE_TYPE_VOLUME;
    p.width = p.height = width;
    p.depth = height / width;
    p.format = formatFor(channels);
    Core::Texture* texture = Core::createTexture(p);
    texture->update(0, pixels.get());
    return texture;
}

Core::Texture* ImageImpl::createCubeTexture(const Core::TextureParameters*)
{
    VOSTREL_ASSERT(height == width*6);
    Core::TextureParameters p;
    p.type = Core::TEXTURE_TYPE_CUBE;
    p.width = p.height = width;
    p.format = formatFor(channels);
    Core::Texture* texture = Core::createTexture(p);
    const size_t faceBytes = static_cast<size_t>(width) * width * channels;
    for (int face = 0; face < 6; ++face)
        texture->update(face, pixels.get() + face * faceBytes);
    return texture;
}

RenderingBuffer ImageImpl::getRenderingBuffer()
{
    return RenderingBuffer(width, height, pixels.get());
}

void ImageImpl::applyFilter(ImageFilter& filter)
{
    if (filter.isInPlace()) {
        filter.apply(width, height, channels, pixels.get(), pixels.get());
        return;
    }
    int outWidth = 0, outHeight = 0, outChannels = 0;
    filter.getOutputSize(width, height, channels, outWidth, outHeight, outChannels);
    std::unique_ptr<unsigned char[]> output(new unsigned char[imageByteCount(outWidth, outHeight, outChannels)]);
    filter.apply(width, height, channels, pixels.get(), output.get());
    width = outWidth;
    height = outHeight;
    channels = outChannels;
    pixels = std::move(output);
}

Image* ImageImpl::clone()
{
    Image* copy = Image::create(width, height, channels);
    if (pixels)
        std::memcpy(copy->getData(), pixels.get(), imageByteCount(width, height, channels));
    return copy;
}

Image* ImageImpl::repeatVertically(int count)
{
    VOSTREL_ASSERT(count >= 0);
    Image* result = Image::create(width, height * count, channels);
    const size_t block = imageByteCount(width, height, channels);
    for (int k = 0; k < count; ++k)
        std::memcpy(result->getData() + k * block, pixels.get(), block);
    return result;
}

Image* Image::create(int width, int height, int channels)
{
    auto image = std::make_unique<ImageImpl>();
    image->allocate(width, height, channels);
    return image.release(); // the caller owns the image from here
}

Image* Image::createFromFile(const std::string& fileName)
{
    auto image = std::make_unique<ImageImpl>();
    image->load(fileName);
    return image.release();
}

Image* loadImage(const std::string& fileName, bool keep)
{
    auto found = imageCache().find(fileName);
    if (found != imageCache().end())
        return found->second;
    Image* image = Image::createFromFile(fileName);
    if (keep)
        imageCache()[fileName] = image;
    return image;
}

Core::Texture* loadTexture(const std::string& fileName, const Core::TextureParameters* parameters, bool keep)
{
    auto found = textureCache().find(fileName);
    if (found != textureCache().end())
        return found->second;
    // An image that was not cached is referenced by nothing once uploaded.
    const bool ownImage = !keep && imageCache().count(fileName) == 0;
    Image* image = loadImage(fileName, keep);
    std::unique_ptr<Image> owned(ownImage ? image : nullptr);
    // The render core's refusals know no file: name it.
    Core::Texture* texture =
        inContext("loadTexture(" + fileName + ")", [&] { return image->createTexture2D(parameters); });
    if (keep)
        textureCache()[fileName] = texture;
    return texture;
}

void releaseTextureCache()
{
    for (auto& entry : textureCache())
        delete entry.second;
    textureCache().clear();
}

Core::Texture* loadTextureWithDefaults(const std::string& fileName, bool keep)
{
    Core::TextureParameters defaults;
    return loadTexture(fileName, &defaults, keep);
}

Core::Texture* loadTextureFromFile(const std::string& fileName, const Core::TextureParameters& parameters)
{
    return Core::DXTextureFactory::getInstance()->createTextureFromFile(fileName, parameters);
}

} // namespace Vostrel
