#pragma once

// Spatial scalability: the lower layer's decoded pictures, read from the
// files that decoding the lower layer wrote (planar YUV of its displayed
// size, whole frames or one file per field), de-interlaced when they are
// interlaced and up-sampled to the enhancement layer's size by the ratios and
// offsets of its headers.

#include "Libs/Video/FrameFiles.h"
#include "Libs/Video/FrameStores.h"
#include "Libs/Video/Headers.h"
#include "Libs/Video/Messages.h"

#include <cstdint>
#include <vector>

namespace Vostrel::Video {

class LowerLayer {
public:
    explicit LowerLayer(const Messages& messages) : messages(messages) {}

    // The lower layer picture of the enhancement picture's true frame number,
    // up-sampled into `out` (allocated here to the geometry's planes). A
    // missing or short file is reported, and the prediction is mid grey.
    void prepare(const FilePattern& pattern, const Parameters& parameters, const Geometry& geometry,
                 FrameStore& out);

private:
    bool read(const FilePattern& pattern, int number, bool progressive);
    bool readFile(const std::string& name, size_t size, std::vector<uint8_t>& bytes);
    void deinterlace(int plane, int keptParity);
    void upsample(int plane, int enhancementWidth, int enhancementHeight, int horizontalOffset, int verticalOffset,
                  const Parameters& parameters, std::vector<uint8_t>& out);

    const Messages& messages;
    int width[3] = {0, 0, 0};
    int height[3] = {0, 0, 0};
    std::vector<uint8_t> frame[3]; // as read, then de-interlaced in place
    std::vector<int> vertical;     // vertically up-sampled rows, in 1/16
};

} // namespace Vostrel::Video
