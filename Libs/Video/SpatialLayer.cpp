#include "Libs/Video/SpatialLayer.h"

#include "Libs/Common/Exception.h"
#include "Platform/Runtime/Runtime.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>

namespace Vostrel::Video {

namespace {

int floorDivide(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return static_cast<int>(q);
}

template <typename Buffer>
void allocate(Buffer& buffer, size_t size, const char* failure)
{
    try {
        buffer.assign(size, 0);
    } catch (const std::bad_alloc&) {
        VOSTREL_THROW(failure);
    }
}

} // namespace

bool LowerLayer::readFile(const std::string& name, size_t size, std::vector<uint8_t>& bytes)
{
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file(Runtime::openDataFile(name, "rb"));
    if (!file) {
        messages.error("ERROR: unable to open lower layer file (" + name + ")\n");
        return false;
    }
    bytes.resize(size);
    const size_t got = std::fread(bytes.data(), 1, size, file.get());
    if (got != size) {
        messages.error("was able to read only " + std::to_string(got) + " bytes of " + std::to_string(size) +
                       " of file " + name + "\n");
        return false;
    }
    return true;
}

bool LowerLayer::read(const FilePattern& pattern, int number, bool progressive)
{
    static const char* const extensions[3] = {".Y", ".U", ".V"};
    // Interlaced frames are read from their two field files unless they
    // were written whole.
    const std::string whole = pattern.format(number, 'f');
    bool fields = false;
    if (!progressive) {
        std::FILE* probe = Runtime::openDataFile(whole + ".Y", "rb");
        fields = probe == nullptr;
        if (probe)
            std::fclose(probe);
    }
    for (int plane = 0; plane < 3; ++plane) {
        const size_t rowBytes = size_t(width[plane]);
        if (!fields) {
            if (!readFile(whole + extensions[plane], rowBytes * height[plane], frame[plane]))
                return false;
            continue;
        }
        for (int parity = 0; parity < 2; ++parity) {
            // Rows of this parity; the writer of fields gives each field
            // file half the luma rows and the chroma rows that go with them.
            const int lumaRows = height[0] / 2;
            const int rows = plane == 0 ? lumaRows
                                        : std::min((height[plane] - parity + 1) / 2,
                                                   height[plane] == height[0] ? lumaRows : (lumaRows + 1) / 2);
            std::vector<uint8_t> bytes;
            if (!readFile(pattern.format(number, parity ? 'b' : 'a') + extensions[plane], rowBytes * rows, bytes))
                return false;
            for (int r = 0; r < rows && 2 * r + parity < height[plane]; ++r)
                std::copy_n(bytes.data() + r * rowBytes, rowBytes,
                            frame[plane].data() + size_t(2 * r + parity) * rowBytes);
        }
    }
    return true;
}

void LowerLayer::deinterlace(int plane, int keptParity)
{
    // The other field's rows from the kept rows above and below them.
    const int w = width[plane], h = height[plane];
    uint8_t* rows = frame[plane].data();
    for (int y = 1 - keptParity; y < h; y += 2) {
        const int above = y - 1 >= 0 ? y - 1 : y + 1;
        const int below = y + 1 < h ? y + 1 : above;
        if (above >= h)
            continue;
        for (int x = 0; x < w; ++x)
            rows[size_t(y) * w + x] = uint8_t((rows[size_t(above) * w + x] + rows[size_t(below) * w + x] + 1) >> 1);
    }
}

void LowerLayer::upsample(int plane, int outWidth, int outHeight, int horizontalOffset, int verticalOffset,
                          const Parameters& p, std::vector<uint8_t>& out)
{
    // Linear interpolation at 1/16 sample: vertically into 1/16 units, then
    // horizontally, rounded once at the end.
    const int w = width[plane], h = height[plane];
    const uint8_t* in = frame[plane].data();
    allocate(vertical, size_t(w) * outHeight, "lltmp malloc failed");
    for (int y = 0; y < outHeight; ++y) {
        const int position = floorDivide(int64_t(y - verticalOffset) * 16 * p.verticalSubsamplingFactorN,
                                         p.verticalSubsamplingFactorM);
        const int phase = position & 15;
        const int first = std::clamp(position >> 4, 0, h - 1), second = std::clamp((position >> 4) + 1, 0, h - 1);
        for (int x = 0; x < w; ++x)
            vertical[size_t(y) * w + x] = (16 - phase) * in[size_t(first) * w + x] + phase * in[size_t(second) * w + x];
    }
    for (int x = 0; x < outWidth; ++x) {
        const int position = floorDivide(int64_t(x - horizontalOffset) * 16 * p.horizontalSubsamplingFactorN,
                                         p.horizontalSubsamplingFactorM);
        const int phase = position & 15;
        const int first = std::clamp(position >> 4, 0, w - 1), second = std::clamp((position >> 4) + 1, 0, w - 1);
        for (int y = 0; y < outHeight; ++y) {
            const int* row = vertical.data() + size_t(y) * w;
            out[size_t(y) * outWidth + x] =
                uint8_t(std::clamp(((16 - phase) * row[first] + phase * row[second] + 128) >> 8, 0, 255));
        }
    }
}

void LowerLayer::prepare(const FilePattern& pattern, const Parameters& p, const Geometry& g, FrameStore& out)
{
    const int lowerWidth = p.lowerLayerPredictionHorizontalSize, lowerHeight = p.lowerLayerPredictionVerticalSize;
    if (lowerWidth <= 0 || lowerHeight <= 0 || lowerWidth > 2 * g.codedWidth || lowerHeight > 2 * g.codedHeight ||
        p.horizontalSubsamplingFactorM <= 0 || p.horizontalSubsamplingFactorN <= 0 ||
        p.verticalSubsamplingFactorM <= 0 || p.verticalSubsamplingFactorN <= 0)
        VOSTREL_THROW("unsupported scalability mode: lower layer " << lowerWidth << "x" << lowerHeight << ", ratios "
                                                                  << p.horizontalSubsamplingFactorM << "/"
                                                                  << p.horizontalSubsamplingFactorN << " and "
                                                                  << p.verticalSubsamplingFactorM << "/"
                                                                  << p.verticalSubsamplingFactorN);
    for (int plane = 0; plane < 3; ++plane) {
        width[plane] = plane ? displayedChromaWidth(lowerWidth, g.chromaFormat) : lowerWidth;
        height[plane] = plane ? displayedChromaHeight(lowerHeight, g.chromaFormat) : lowerHeight;
        allocate(frame[plane], size_t(width[plane]) * height[plane], "llframe0 malloc failed");
        allocate(out.planes[plane], size_t(g.planeWidth(plane)) * g.planeHeight(plane), "llframe1 malloc failed");
    }
    const bool progressive = p.lowerLayerProgressiveFrame != 0;
    if (!read(pattern, p.trueFrameNumber, progressive)) {
        for (std::vector<uint8_t>& plane : out.planes)
            std::fill(plane.begin(), plane.end(), 128);
        return;
    }
    for (int plane = 0; plane < 3; ++plane) {
        if (!progressive)
            deinterlace(plane, p.lowerLayerDeinterlacedFieldSelect ? 0 : 1);
        const int horizontalScale = plane && g.chromaFormat != kChroma444 ? 2 : 1;
        const int verticalScale = plane && g.chromaFormat == kChroma420 ? 2 : 1;
        upsample(plane, g.planeWidth(plane), g.planeHeight(plane), p.lowerLayerHorizontalOffset / horizontalScale,
                 p.lowerLayerVerticalOffset / verticalScale, p, out.planes[plane]);
    }
}

} // namespace Vostrel::Video
