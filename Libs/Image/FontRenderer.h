#pragma once

#include "Libs/Math/Vec.h"

#include <cstddef>

namespace Vostrel {

// Draws text with FreeType faces straight into caller-owned 32-bit BGRA
// pixels: each glyph rendered to coverage and written over the target.
// Pen coordinates are FreeType's: y up, 0 at the bottom edge.
class FontRenderer {
public:
    virtual ~FontRenderer() = default;
    virtual void setTarget(int width, int height, void* pixels) = 0;
    virtual void releaseTarget() = 0;
    virtual int loadFace(const char* fileName) = 0;
    // The bytes must outlive the renderer.
    virtual int loadFaceFromMemory(const unsigned char* bytes, size_t size) = 0;
    virtual void selectFace(int id) = 0;
    virtual void setTransform(const float* m, const float* offset) = 0;
    virtual void setCharSize(int size, int horizontalDpi, int verticalDpi) = 0;
    // Null, or all four components 1, draws plain white coverage.
    virtual void setColor(const float* color) = 0;
    virtual void clear(const float* color) = 0;
    virtual void drawText(const char* text) = 0;
    virtual int getLineHeight() = 0;
    virtual bool measureText(char c, int* xMin, int* xMax, int* yMin, int* yMax, int* advance) = 0;

    void setColor(const Vec4& color) { setColor(&color[0]); }
    void clear(const Vec4& color) { clear(&color[0]); }

    static FontRenderer* createDetached();
    static FontRenderer* create(int width, int height, void* pixels);
};

} // namespace Vostrel
