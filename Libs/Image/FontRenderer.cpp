#include "Libs/Image/FontRenderer.h"

#include "Libs/Common/Exception.h"
#include "Platform/Runtime/Runtime.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace Vostrel {

namespace {

// Far above any font the show uses; a larger file is refused.
constexpr size_t maxFontBytes = size_t(1) << 28;

struct FaceRecord {
    FT_Face face;
    // What a face loaded from a file reads from, for as long as the face lives.
    std::vector<unsigned char> bytes;
};

class FontRendererImpl : public FontRenderer {
public:
    FontRendererImpl(int width, int height, void* pixels)
    {
        FontRendererImpl::setTarget(width, height, pixels);
        const FT_Error error = FT_Init_FreeType(&library);
        if (error)
            VOSTREL_THROW("FreeType 2 initialization failed, errorcode: " << error);
    }

    ~FontRendererImpl() override
    {
        for (auto record = faces.rbegin(); record != faces.rend(); ++record)
            FT_Done_Face((*record)->face);
        FT_Done_FreeType(library);
    }

    void setTarget(int width, int height, void* pixels) override
    {
        targetWidth = width;
        targetHeight = height;
        target = static_cast<uint32_t*>(pixels);
    }

    void releaseTarget() override { setTarget(0, 0, nullptr); }

    int loadFace(const char* fileName) override
    {
        // Read here rather than by FreeType, which would block on a FIFO and
        // say little of a missing or unreadable file.
        std::vector<unsigned char> bytes;
        std::string reason;
        FT_Face face = nullptr;
        FT_Error error = FT_Err_Cannot_Open_Resource;
        if (Runtime::readDataFile(fileName, bytes, maxFontBytes, reason))
            error = FT_New_Memory_Face(library, bytes.data(), static_cast<FT_Long>(bytes.size()), 0, &face);
        else
            reportFileFailure(fileName, reason);
        if (error)
            VOSTREL_THROW("Loading font face from file " << fileName << " failed, errorcode: " << error);
        faces.push_back(std::unique_ptr<FaceRecord>(new FaceRecord{face, std::move(bytes)}));
        return static_cast<int>(faces.size()) - 1;
    }

    int loadFaceFromMemory(const unsigned char* bytes, size_t size) override
    {
        FT_Face face = nullptr;
        const FT_Error error = FT_New_Memory_Face(library, bytes, static_cast<FT_Long>(size), 0, &face);
        if (error)
            VOSTREL_THROW("Loading font face from memory failed, errorcode: " << error);
        faces.push_back(std::unique_ptr<FaceRecord>(new FaceRecord{face, {}}));
        return static_cast<int>(faces.size()) - 1;
    }

    void selectFace(int id) override
    {
        if (id < 0 || id >= static_cast<int>(faces.size()))
            VOSTREL_THROW("Invalid font id: " << id);
        activeFace = faces[id].get();
    }

    void setTransform(const float* m, const float* offset) override
    {
        matrix.xx = static_cast<FT_Fixed>(m[0] * 65536.0f);
        matrix.yx = static_cast<FT_Fixed>(m[1] * 65536.0f);
        matrix.xy = static_cast<FT_Fixed>(m[2] * 65536.0f);
        matrix.yy = static_cast<FT_Fixed>(m[3] * 65536.0f);
        origin.x = static_cast<FT_Pos>(offset[0] * 64.0f);
        origin.y = static_cast<FT_Pos>(offset[1] * 64.0f);
    }

    void setCharSize(int size, int horizontalDpi, int verticalDpi) override
    {
        // The line height divides by the vertical resolution.
        VOSTREL_ASSERT(horizontalDpi > 0 && verticalDpi > 0);
        charSize = size;
        dpiX = horizontalDpi;
        dpiY = verticalDpi;
    }

    void setColor(const float* color) override
    {
        tinted = color && !(color[0] == 1.0f && color[1] == 1.0f && color[2] == 1.0f && color[3] == 1.0f);
        if (tinted)
            for (int i = 0; i < 4; ++i)
                tint[i] = static_cast<int>(color[i] * 256.0f);
    }

    void clear(const float* color) override
    {
        uint32_t value = 0;
        if (color)
            value = pack(static_cast<uint32_t>(color[0] * 255.0f), static_cast<uint32_t>(color[1] * 255.0f),
                         static_cast<uint32_t>(color[2] * 255.0f), static_cast<uint32_t>(color[3] * 255.0f));
        const size_t count = static_cast<size_t>(targetWidth) * targetHeight;
        for (size_t i = 0; i < count; ++i)
            target[i] = value;
    }

    int getLineHeight() override
    {
        VOSTREL_ASSERT(activeFace && activeFace->face);
        return static_cast<int>((activeFace->face->height * 0.03125 + 1.0) * charSize / dpiY);
    }

    void drawText(const char* text) override
    {
        VOSTREL_ASSERT(activeFace && activeFace->face);
        FT_Vector pen = origin;
        bool check = true;
        const FT_Pos lineAdvance = static_cast<FT_Pos>(getLineHeight()) * 64;
        const FT_Error sizeError = FT_Set_Char_Size(activeFace->face, charSize * 64, 0, dpiX, dpiY);
        if (sizeError)
            VOSTREL_THROW("Setting char size failed, errorcode: " << sizeError);
        FT_Face face = activeFace->face;
        FT_GlyphSlot slot = face->glyph;
        for (const char* c = text; *c; ++c) {
            if (*c == '\n') {
                pen.x = origin.x;
                pen.y -= lineAdvance;
                check = true;
                continue;
            }
            FT_Set_Transform(face, &matrix, &pen);
            const int code = static_cast<signed char>(*c);
            FT_Error error = FT_Load_Char(face, code, FT_LOAD_DEFAULT);
            if (error) {
                std::printf("FT_Load_Glyph(%d) error: %d\n", code, error);
                continue;
            }
            if (check) {
                FT_Glyph glyph = nullptr;
                error = FT_Get_Glyph(slot, &glyph);
                if (error) {
                    std::printf("FT_Get_Glyph error: %d\n", error);
                } else {
                    FT_BBox box;
                    FT_Glyph_Get_CBox(glyph, FT_GLYPH_BBOX_PIXELS, &box);
                    FT_Done_Glyph(glyph);
                    if (box.xMin >= targetWidth || box.xMax < 0 || box.yMin >= targetHeight || box.yMax < 0) {
                        pen.x += slot->advance.x;
                        pen.y += slot->advance.y;
                        continue;
                    }
                }
            }
            error = FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL);
            if (error)
                std::printf("FT_Render_Glyph(%d) error: %d\n", code, error);
            check = drawBitmap(slot->bitmap, slot->bitmap_left, targetHeight - slot->bitmap_top) != 0;
            pen.x += slot->advance.x;
            pen.y += slot->advance.y;
        }
    }

    bool measureText(char c, int* xMin, int* xMax, int* yMin, int* yMax, int* advance) override
    {
        VOSTREL_ASSERT(activeFace && activeFace->face);
        FT_Face face = activeFace->face;
        FT_Vector pen = {0, 0};
        FT_Set_Transform(face, &matrix, &pen);
        const int code = static_cast<signed char>(c);
        FT_Error error = FT_Load_Char(face, code, FT_LOAD_DEFAULT);
        if (error) {
            std::printf("FT_Load_Glyph(%d) error: %d\n", code, error);
            return false;
        }
        FT_Glyph glyph = nullptr;
        error = FT_Get_Glyph(face->glyph, &glyph);
        if (error) {
            std::printf("FT_Get_Glyph error: %d\n", error);
            return false;
        }
        FT_BBox box;
        FT_Glyph_Get_CBox(glyph, FT_GLYPH_BBOX_PIXELS, &box);
        FT_Done_Glyph(glyph);
        *xMin = static_cast<int>(box.xMin);
        *xMax = static_cast<int>(box.xMax);
        *yMin = static_cast<int>(box.yMin);
        *yMax = static_cast<int>(box.yMax);
        *advance = static_cast<int>(face->glyph->advance.x >> 6);
        return true;
    }

private:
    static uint32_t pack(uint32_t r, uint32_t g, uint32_t b, uint32_t a)
    {
        return (a & 0xFF) << 24 | (r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF);
    }

    // 0: drawn whole; 1: clipped; 2: nothing of it inside the target.
    int drawBitmap(const FT_Bitmap& bitmap, int x, int y)
    {
        const int width = static_cast<int>(bitmap.width);
        const int rows = static_cast<int>(bitmap.rows);
        if (x >= targetWidth || x + width <= 0 || y >= targetHeight || y + rows <= 0 || !bitmap.buffer)
            return 2;
        const int x0 = std::max(x, 0), x1 = std::min(x + width, targetWidth);
        const int y0 = std::max(y, 0), y1 = std::min(y + rows, targetHeight);
        if (x0 >= x1 || y0 >= y1)
            return 2;
        for (int ty = y0; ty < y1; ++ty) {
            const unsigned char* source = bitmap.buffer + static_cast<ptrdiff_t>(ty - y) * bitmap.pitch + (x0 - x);
            uint32_t* row = target + static_cast<size_t>(ty) * targetWidth;
            for (int tx = x0; tx < x1; ++tx) {
                const uint32_t c = *source++;
                if (c == 0)
                    continue;
                row[tx] = tinted ? pack(tint[0] * c / 256, tint[1] * c / 256, tint[2] * c / 256, tint[3] * c / 256)
                                 : pack(c, c, c, c);
            }
        }
        return (x0 != x || y0 != y || x1 != x + width || y1 != y + rows) ? 1 : 0;
    }

    int targetWidth = 0;
    int targetHeight = 0;
    uint32_t* target = nullptr;
    FT_Library library = nullptr;
    std::vector<std::unique_ptr<FaceRecord>> faces;
    FaceRecord* activeFace = nullptr;
    FT_Matrix matrix = {0x10000, 0, 0, 0x10000};
    FT_Vector origin = {0, 0};
    int charSize = 20;
    int dpiX = 72;
    int dpiY = 72;
    bool tinted = false;
    int tint[4] = {0, 0, 0, 0};
};

} // namespace

FontRenderer* FontRenderer::createDetached()
{
    return new FontRendererImpl(0, 0, nullptr);
}

FontRenderer* FontRenderer::create(int width, int height, void* pixels)
{
    return new FontRendererImpl(width, height, pixels);
}

} // namespace Vostrel
