#pragma once

#include "Libs/Core/RenderStates.h"
#include "Libs/Core/Texture.h"
#include "Libs/Math/Matrix.h"
#include "Libs/Math/Vec.h"
#include "Libs/Postprocessing/LuminanceFilter.h"

#include <string>

namespace Vostrel {

struct RenderTexture;
class Renderable;

namespace Core {
class RenderTarget;
}

// Texture-level functions: the first argument is the destination target;
// null draws into the current target without beginning or ending one.
// x, y, width, height place the destination rectangle from the target's
// lower-left corner; -1 for width or height means the whole target.
void copyTexture(Core::RenderTarget* target, Core::Texture* texture, int x = 0, int y = 0, int width = -1,
                 int height = -1);
void copyShifted(Core::RenderTarget* target, Core::Texture* texture, float du, float dv, int x = 0, int y = 0,
                 int width = -1, int height = -1);
void copyRotated(Core::RenderTarget* target, Core::Texture* texture, float angle, int x = 0, int y = 0,
                 int width = -1, int height = -1);
void blendWeighted(Core::RenderTarget* target, Core::Texture* a, Core::Texture* b, float weightA, float weightB);
void brightPass(Core::RenderTarget* target, Core::Texture* texture, float gain, float threshold, float knee);
void tintByMask(Core::RenderTarget* target, Core::Texture* texture, Core::Texture* mask, const int& x, const int& y,
                const Vec4& c0, const Vec4& c1);
void sepia(Core::RenderTarget* target, Core::Texture* texture);
void levelCurve(Core::RenderTarget* target, Core::Texture* texture, const Vec4& c0);
void fadeToColor(Core::RenderTarget* target, Core::Texture* texture, const Vec4& colour, const Vec4& amount);
void modulate(Core::RenderTarget* target, Core::Texture* texture, const Vec4& c0);
void invert(Core::RenderTarget* target, Core::Texture* texture);
void difference(Core::RenderTarget* target, Core::Texture* a, Core::Texture* b);
void addColor(Core::RenderTarget* target, Core::Texture* texture, const Vec4& c0);
void minimum(Core::RenderTarget* target, Core::Texture* a, Core::Texture* b);
void maximum(Core::RenderTarget* target, Core::Texture* a, Core::Texture* b);
void screen(Core::RenderTarget* target, Core::Texture* a, Core::Texture* b);
void overlay(Core::RenderTarget* target, Core::Texture* a, Core::Texture* b);
void rayMarchVolume(Core::RenderTarget* target, Core::Texture* image, Core::Texture* volume, const Matrix4& m,
                    Vec4 step);
void pasteNonBlack(Core::RenderTarget* target, Core::Texture* texture, Core::Texture* overlayTexture, int x = 0,
                   int y = 0, int width = -1, int height = -1);

// Reduces by repeated bilinear halving; each size quotient must be a power of two.
void downsample(Core::RenderTarget* target, Core::Texture* source);
// A separable blur of 2n + 1 taps; a pooled scratch of the source's size when none is given.
void gaussianBlur(Core::RenderTarget* target, Core::Texture* source, int n, float sigma, RenderTexture* scratch);

// The older zoom blur (factor 1); the last argument is not read.
void oldMultipass(Core::RenderTarget* target, Core::Texture* source, Core::Texture* ping, Core::Texture* pong,
                  float scale, int passes, float unused);

// Render-texture forwarders.
void blitCopy(RenderTexture* target, RenderTexture* source, int x = 0, int y = 0, int width = -1, int height = -1);
void blitPasteNonBlack(RenderTexture* target, RenderTexture* source, RenderTexture* overlayTexture, int x = 0,
                       int y = 0, int width = -1, int height = -1);
void blitShifted(RenderTexture* target, Core::Texture* texture, float du, float dv, int x = 0, int y = 0,
                 int width = -1, int height = -1);
void blitRotated(RenderTexture* target, Core::Texture* texture, float angle, int x = 0, int y = 0, int width = -1,
                 int height = -1);
void blitWeighted(RenderTexture* target, RenderTexture* a, RenderTexture* b, float weightA, float weightB);
void blitBrightPass(RenderTexture* target, RenderTexture* source, float a, float b);
void blitDownsample(RenderTexture* target, RenderTexture* source);
void blitGaussianBlur(RenderTexture* target, RenderTexture* source);
void blitSepia(RenderTexture* target, RenderTexture* source);
void blitLevelCurve(RenderTexture* target, RenderTexture* source, const Vec4& c0);
void blitFadeToColor(RenderTexture* target, RenderTexture* source, const Vec4& colour, const Vec4& amount);
void blitModulate(RenderTexture* target, RenderTexture* source, const Vec4& c0);
void blitInvert(RenderTexture* target, RenderTexture* source);
void blitAddColor(RenderTexture* target, RenderTexture* source, const Vec4& c0);
void blitDifference(RenderTexture* target, RenderTexture* a, RenderTexture* b);
void blitMinimum(RenderTexture* target, RenderTexture* a, RenderTexture* b);
void blitMaximum(RenderTexture* target, RenderTexture* a, RenderTexture* b);
void blitScreen(RenderTexture* target, RenderTexture* a, RenderTexture* b);
void blitOverlay(RenderTexture* target, RenderTexture* a, RenderTexture* b);
void blitVolumeRayMarch(RenderTexture* target, RenderTexture* source, Core::Texture* volume, const Matrix4& m,
                        Vec4 step);
void blitLuminancePass1(RenderTexture* target, RenderTexture* source);
void blitLuminancePass2(RenderTexture* target, RenderTexture* source);
void blitLuminancePass3(RenderTexture* target, RenderTexture* source);
// oldMultipass with the shared 512 x 512 ping-pong textures as scratch.
void blitOldMultipass(RenderTexture* target, RenderTexture* source, float scale, int passes, float unused);

// Copies a texture over the whole destination with the copy blitter.
void blitTexture(RenderTexture* target, Core::Texture* texture);
// Begins the destination, lets the scene object render (a time and its
// second value), ends the destination.
void renderToTarget(RenderTexture* target, Renderable* renderable, float time, int secondValue);
// The source averaged with the feedback texture, which then keeps the result.
void blitFeedback(RenderTexture* target, RenderTexture* source);
// a at t = start, b at t = end, linear in between.
void blitCrossfade(RenderTexture* target, RenderTexture* a, RenderTexture* b, float t, float start, float end);

void initPostProcessing();
// 64 x 64 texels of four random bytes, made once.
Core::Texture* createNoiseTexture();
// Noise over the current target, blended with the operation and the colour as blend factor.
void drawNoise(const Vec4& colour, Core::BlendOperation operation);
void clearTarget(RenderTexture* target, const Vec4& colour);
void clearDepth(RenderTexture* target, float depth);
void clearWhite(RenderTexture* target);

// The texture of an image file, loaded once through the by-name texture cache.
Core::Texture* loadCachedTexture(const std::string& fileName);

// The shared render textures of the feedback and multi-pass functions; null before initPostProcessing.
RenderTexture* getFeedbackTexture();

// Frees every program-wide post-processing object (blitters, shaders, the
// quad, pooled textures). The core's destruction calls it.
void releasePostprocessingObjects();

} // namespace Vostrel
