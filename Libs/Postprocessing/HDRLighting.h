#pragma once

#include "Libs/Core/Texture.h"
#include "Libs/Math/Vec.h"

#include <memory>

namespace Vostrel {

namespace Core {
class RenderContext;
class RenderTarget;
class VertexFormat;
class VertexStream;
} // namespace Core

// Tone mapping with bloom: the image scaled by a key over an adapted
// luminance that follows the measured one by 2 % a run, compressed by
// L / (1 + L), plus a bloom of its bright parts. Works at a quarter and an
// eighth of its size; width and height are multiples of 8.
class HDRLighting {
public:
    HDRLighting(int width, int height);
    ~HDRLighting();
    HDRLighting(const HDRLighting&) = delete;
    HDRLighting& operator=(const HDRLighting&) = delete;

    // Into the destination (begun and ended here) or, when null, the current target.
    void run(Core::RenderTarget* destination, Core::Texture* source);
    void setParameter(const Vec4& bloomScale) { this->bloomScale = bloomScale; }
    void setKey(float key) { this->key = key; }
    void setAdaptation(bool enabled) { adaptation = enabled; }
    void setMeasurement(bool enabled) { measurement = enabled; }

    struct Target {
        std::unique_ptr<Core::Texture> texture;
        Core::RenderTarget* target = nullptr;
        int width = 0;
        int height = 0;
    };

private:
    struct Rect {
        float left, top, right, bottom;
    };
    void drawPass(Core::RenderTarget* destination, const Rect& coordinates);
    // The destination's interior receives the source area less a one-texel border.
    void drawInterior(const Target& destination, const Target& source);
    void setOffsets4x4(int width, int height);

    bool adaptation = true;
    bool measurement = true;
    float key = 0.18f;
    Vec4 bloomScale = Vec4(1.0f, 1.0f, 1.0f, 1.0f);
    Vec4 secondParameter = Vec4(0.5f, 0.5f, 0.5f, 0.5f);
    Target scaledScene, brightPass, starSource, bloomSource, adaptedCurrent, adaptedLast;
    Target luminance[4]; // 1, 4, 16, 64 texels square
    Target bloom[3];
    std::unique_ptr<Core::RenderContext> context;
    std::unique_ptr<Core::VertexStream> stream;
    std::unique_ptr<Core::VertexFormat> format;
};

// The shared 512 x 512 object, made on first call.
HDRLighting* createHDRLighting();
// Sets the shared object's bloom scale and key and runs it.
void hdrLighting(Core::RenderTarget* target, Core::Texture* source, const Vec4& parameter, const float& key);
struct RenderTexture;
void blitHdrLighting(RenderTexture* target, RenderTexture* source, const Vec4& parameter, const float& key);

} // namespace Vostrel
