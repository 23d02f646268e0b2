#include "Libs/Video/FrameStores.h"

#include "Libs/Common/Exception.h"

#include <new>

namespace Vostrel::Video {

Geometry Geometry::of(const Parameters& parameters)
{
    Geometry g;
    g.width = parameters.horizontalSize;
    g.height = parameters.verticalSize;
    g.chromaFormat = parameters.chromaFormat;
    g.mbWidth = (parameters.horizontalSize + 15) / 16;
    if (parameters.mpeg2 && !parameters.progressiveSequence)
        g.mbHeight = 2 * ((parameters.verticalSize + 31) / 32);
    else
        g.mbHeight = (parameters.verticalSize + 15) / 16;
    g.codedWidth = 16 * g.mbWidth;
    g.codedHeight = 16 * g.mbHeight;
    g.chromaWidth = g.chromaFormat == kChroma444 ? g.codedWidth : g.codedWidth / 2;
    g.chromaHeight = g.chromaFormat == kChroma420 ? g.codedHeight / 2 : g.codedHeight;
    g.blockCount = g.chromaFormat == kChroma420 ? 6 : g.chromaFormat == kChroma422 ? 8 : 12;
    return g;
}

bool Geometry::operator==(const Geometry& other) const
{
    return width == other.width && height == other.height && mbWidth == other.mbWidth &&
           mbHeight == other.mbHeight && chromaFormat == other.chromaFormat;
}

void FrameStores::allocate(const Geometry& geometry)
{
    static const char* const messages[3] = {"backward_reference_frame[] malloc failed",
                                            "forward_reference_frame[] malloc failed",
                                            "auxframe[] malloc failed"};
    release();
    shape = geometry;
    backwardIndex = 0;
    forwardIndex = 1;
    const int order[3] = {backwardIndex, forwardIndex, 2};
    for (int s = 0; s < 3; ++s) {
        try {
            for (int p = 0; p < 3; ++p) {
                size_t size = size_t(geometry.planeWidth(p)) * size_t(geometry.planeHeight(p));
                stores[order[s]].planes[p].assign(size, p == 0 ? 0 : 128);
            }
        } catch (const std::bad_alloc&) {
            release();
            VOSTREL_THROW(messages[s]);
        }
    }
    isAllocated = true;
}

void FrameStores::release()
{
    for (FrameStore& store : stores)
        for (std::vector<uint8_t>& plane : store.planes)
            std::vector<uint8_t>().swap(plane);
    isAllocated = false;
}

} // namespace Vostrel::Video
