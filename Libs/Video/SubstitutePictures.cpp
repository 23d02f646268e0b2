#include "Libs/Video/FrameFiles.h"

#include "Libs/Video/Headers.h"
#include "Platform/Runtime/Runtime.h"

#include <algorithm>
#include <memory>

namespace Vostrel::Video {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

struct PlaneShape {
    int width, rows;
};

// The planes as the files hold them: the coded size the decoder stores, or
// the displayed size that the YUV writer writes.
void planeShapes(const PictureStoreView& store, bool displayed, PlaneShape shapes[3])
{
    for (int plane = 0; plane < 3; ++plane) {
        if (!displayed)
            shapes[plane] = {store.strides[plane], store.heights[plane]};
        else if (plane == 0)
            shapes[plane] = {store.width, store.height};
        else
            shapes[plane] = {displayedChromaWidth(store.width, store.chromaFormat),
                             displayedChromaHeight(store.height, store.chromaFormat)};
    }
}

size_t planeBytes(const PlaneShape& shape)
{
    return size_t(shape.width) * size_t(shape.rows);
}

std::string readOnly(size_t got, size_t wanted, const std::string& name)
{
    return "was able to read only " + std::to_string(got) + " bytes of " + std::to_string(wanted) + " of file " +
           name + "\n";
}

} // namespace

bool SubstitutePictures::readConcatenated(const PictureStoreView& store, int number, std::vector<uint8_t> planes[3],
                                          bool& displayed)
{
    if (store.chromaFormat < kChroma420 || store.chromaFormat > kChroma444) {
        messages.error("ERROR: chroma_format (" + std::to_string(store.chromaFormat) + ") not recognized\n");
        return false;
    }
    const std::string name = pattern.format(number);
    File file(Runtime::openDataFile(name, "rb"));
    if (!file) {
        messages.error("Couldn't open " + name + "\n");
        return false;
    }
    PlaneShape coded[3], shown[3];
    planeShapes(store, false, coded);
    planeShapes(store, true, shown);
    const size_t codedSize = planeBytes(coded[0]) + 2 * planeBytes(coded[1]);
    const size_t shownSize = planeBytes(shown[0]) + 2 * planeBytes(shown[1]);
    std::fseek(file.get(), 0, SEEK_END);
    const long length = std::ftell(file.get());
    displayed = length > 0 && shownSize != codedSize && size_t(length) % shownSize == 0 &&
                size_t(length) % codedSize != 0;
    const PlaneShape* shapes = displayed ? shown : coded;
    const size_t frameSize = displayed ? shownSize : codedSize;
    const size_t offset = size_t(number) * frameSize;
    size_t got = 0;
    if (length >= 0 && offset <= size_t(length) && std::fseek(file.get(), long(offset), SEEK_SET) == 0) {
        for (int plane = 0; plane < 3; ++plane) {
            planes[plane].resize(planeBytes(shapes[plane]));
            got += std::fread(planes[plane].data(), 1, planes[plane].size(), file.get());
        }
    }
    if (got != frameSize) {
        messages.error(readOnly(got, frameSize, name));
        return false;
    }
    return true;
}

bool SubstitutePictures::readPlaneFiles(const PictureStoreView& store, int number, std::vector<uint8_t> planes[3],
                                        bool displayed[3])
{
    static const char* const extensions[3] = {".Y", ".U", ".V"};
    PlaneShape coded[3], shown[3];
    planeShapes(store, false, coded);
    planeShapes(store, true, shown);
    const std::string base = pattern.format(number);
    for (int plane = 0; plane < 3; ++plane) {
        const std::string name = base + extensions[plane];
        File file(Runtime::openDataFile(name, "rb"));
        if (!file) {
            messages.error("ERROR: unable to open reference filename (" + name + ")\n");
            return false;
        }
        const size_t codedSize = planeBytes(coded[plane]);
        planes[plane].resize(codedSize);
        const size_t got = std::fread(planes[plane].data(), 1, codedSize, file.get());
        displayed[plane] = got != codedSize && got == planeBytes(shown[plane]);
        if (got != codedSize && !displayed[plane]) {
            messages.error(readOnly(got, codedSize, name));
            return false;
        }
        planes[plane].resize(got);
    }
    return true;
}

void SubstitutePictures::fill(const PictureStoreView& store)
{
    const int number = store.trueFrameNumber;
    std::vector<uint8_t> planes[3];
    bool displayed[3] = {false, false, false};
    bool read;
    if (number < 0) {
        messages.error("ERROR: framenum (" + std::to_string(number) + ") is less than zero\n");
        read = false;
    } else if (oneFile) {
        read = readConcatenated(store, number, planes, displayed[0]);
        displayed[1] = displayed[2] = displayed[0];
    } else {
        read = readPlaneFiles(store, number, planes, displayed);
    }
    if (!read) {
        messages.error("was unable to substitute frame\n");
        return;
    }
    // The second field of a pair keeps the first field's rows.
    const bool secondField = store.secondField && store.pictureStructure != kFramePicture;
    const int parity = store.pictureStructure == kBottomField ? 1 : 0;
    PlaneShape coded[3], shown[3];
    planeShapes(store, false, coded);
    planeShapes(store, true, shown);
    for (int plane = 0; plane < 3; ++plane) {
        const PlaneShape& shape = displayed[plane] ? shown[plane] : coded[plane];
        const int rows = std::min(shape.rows, store.heights[plane]);
        const size_t width = size_t(std::min(shape.width, store.strides[plane]));
        for (int r = 0; r < rows; ++r) {
            if (secondField && r % 2 != parity)
                continue;
            std::copy_n(planes[plane].data() + size_t(r) * shape.width, width,
                        store.planes[plane] + size_t(r) * store.strides[plane]);
        }
    }
}

} // namespace Vostrel::Video
