#pragma once

#include "Libs/Video/Headers.h"

#include <cstdint>
#include <vector>

namespace Vostrel::Video {

// The size of a sequence: displayed, and coded in whole macroblocks.
struct Geometry {
    int width = 0; // horizontal_size
    int height = 0; // vertical_size
    int mbWidth = 0;
    int mbHeight = 0;
    int codedWidth = 0;
    int codedHeight = 0;
    int chromaWidth = 0;
    int chromaHeight = 0;
    int chromaFormat = kChroma420;
    int blockCount = 6;

    static Geometry of(const Parameters& parameters);
    int planeWidth(int plane) const { return plane ? chromaWidth : codedWidth; }
    int planeHeight(int plane) const { return plane ? chromaHeight : codedHeight; }
    bool operator==(const Geometry& other) const;
    bool operator!=(const Geometry& other) const { return !(*this == other); }
};

struct FrameStore {
    std::vector<uint8_t> planes[3];
};

// Three stores: the two references (the newest one is "backward") and the
// auxiliary store that B pictures are decoded into.
class FrameStores {
public:
    // Throws when an allocation fails.
    void allocate(const Geometry& geometry);
    void release();
    bool allocated() const { return isAllocated; }
    const Geometry& geometry() const { return shape; }

    // I and P pictures: the backward reference becomes the forward one.
    void swapReferences() { std::swap(forwardIndex, backwardIndex); }
    FrameStore& backward() { return stores[backwardIndex]; }
    FrameStore& forward() { return stores[forwardIndex]; }
    FrameStore& auxiliary() { return stores[2]; }

private:
    Geometry shape;
    FrameStore stores[3];
    int backwardIndex = 0;
    int forwardIndex = 1;
    bool isAllocated = false;
};

} // namespace Vostrel::Video
