#pragma once

namespace Vostrel {

namespace Core {
class RenderTarget;
class Texture;
} // namespace Core

// Passes over a texture's luminance (0.3, 0.59, 0.11), each into the target
// (begun and ended here when not null, else the current one):
// 1, an edge measure: flat areas white, edges black;
// 2, an outline: the luminance doubled, darkened at edges;
// 3, grey scale in all four channels.
void luminancePass1(Core::RenderTarget* target, Core::Texture* source);
void luminancePass2(Core::RenderTarget* target, Core::Texture* source);
void luminancePass3(Core::RenderTarget* target, Core::Texture* source);

} // namespace Vostrel
