#pragma once

#include "Libs/Core/StateBlocks.h"

namespace Vostrel {
namespace Core {

// The complete state of a draw: thirteen shared copy-on-write blocks plus the
// format, index stream and shaders to draw with (not owned). A new context
// shares the program-wide defaults; a copy shares the original's blocks.
// Drawing applies, in a fixed order, only the blocks that are not already in
// place on the interface, then draws. A context must not outlive the
// resources it points to.
class RenderContext {
public:
    RenderContext();

    // Share one block of another context (of this kind only).
    void copyCullState(const RenderContext& other) { blocks.cull.share(other.blocks.cull); }
    void copyFillState(const RenderContext& other) { blocks.fill.share(other.blocks.fill); }
    void copyColorWriteState(const RenderContext& other) { blocks.colorWrite.share(other.blocks.colorWrite); }
    void copyClipState(const RenderContext& other) { blocks.clip.share(other.blocks.clip); }
    void copyAuxState(const RenderContext& other) { blocks.aux.share(other.blocks.aux); }
    void copyAlphaTestState(const RenderContext& other) { blocks.alphaTest.share(other.blocks.alphaTest); }
    void copyDepthState(const RenderContext& other) { blocks.depth.share(other.blocks.depth); }
    void copyBlendState(const RenderContext& other) { blocks.blend.share(other.blocks.blend); }
    void copyBlendState(const SharedState<BlendState>& block) { blocks.blend.share(block); }
    void copyStencilState(const RenderContext& other) { blocks.stencil.share(other.blocks.stencil); }
    void copyStreamSet(const RenderContext& other) { blocks.streams.share(other.blocks.streams); }
    void copyTextureSet(const RenderContext& other) { blocks.textures.share(other.blocks.textures); }
    void copyVertexConstants(const RenderContext& other)
    {
        blocks.vertexConstants.share(other.blocks.vertexConstants);
    }
    void copyPixelConstants(const RenderContext& other) { blocks.pixelConstants.share(other.blocks.pixelConstants); }

    void setCullMode(CullMode mode) { blocks.cull.detach()->mode = mode; }
    CullMode getCullMode() const { return blocks.cull->mode; }

    void setFillMode(FillMode mode) { blocks.fill.detach()->mode = mode; }
    FillMode getFillMode() const { return blocks.fill->mode; }
    void setPointSprite(bool enabled) { blocks.fill.detach()->pointSprite = enabled; }
    bool isPointSprite() const { return blocks.fill->pointSprite; }

    void setColorWrite(bool enabled) { blocks.colorWrite.detach()->enabled = enabled; }
    bool isColorWrite() const { return blocks.colorWrite->enabled; }

    void setClipPlanesEnabled(bool enabled) { blocks.clip.detach()->planesEnabled = enabled; }
    bool isClipPlanesEnabled() const { return blocks.clip->planesEnabled; }
    // count planes of four floats (a, b, c, d); the array is not copied.
    void setClipPlanes(int count, const float* planes);
    int getClipPlaneCount() const { return blocks.clip->planeCount; }
    const float* getClipPlanes() const { return blocks.clip->planes; }
    void setScissorEnabled(bool enabled) { blocks.clip.detach()->scissorEnabled = enabled; }
    bool isScissorEnabled() const { return blocks.clip->scissorEnabled; }
    // Fractions of the viewport.
    void setScissorRect(float x, float y, float width, float height);
    void getScissorRect(float& x, float& y, float& width, float& height) const;

    void setAuxFlag0(bool value) { blocks.aux.detach()->flag0 = value; }
    bool isAuxFlag0() const { return blocks.aux->flag0; }
    void setAuxFlag1(bool value) { blocks.aux.detach()->flag1 = value; }
    bool isAuxFlag1() const { return blocks.aux->flag1; }

    void setAlphaTest(bool enabled) { blocks.alphaTest.detach()->enabled = enabled; }
    bool isAlphaTest() const { return blocks.alphaTest->enabled; }
    void setAlphaReference(float reference) { blocks.alphaTest.detach()->reference = reference; }
    float getAlphaReference() const { return blocks.alphaTest->reference; }
    void setAlphaFunction(CompareFunction function) { blocks.alphaTest.detach()->function = function; }
    CompareFunction getAlphaFunction() const { return blocks.alphaTest->function; }

    void setDepthTest(bool enabled) { blocks.depth.detach()->testEnabled = enabled; }
    bool isDepthTest() const { return blocks.depth->testEnabled; }
    void setDepthWrite(bool enabled) { blocks.depth.detach()->writeEnabled = enabled; }
    bool isDepthWrite() const { return blocks.depth->writeEnabled; }
    void setDepthFunction(CompareFunction function) { blocks.depth.detach()->function = function; }
    CompareFunction getDepthFunction() const { return blocks.depth->function; }
    void setDepthBias(float bias) { blocks.depth.detach()->bias = bias; }
    float getDepthBias() const { return blocks.depth->bias; }
    void setSlopeScaledDepthBias(float bias) { blocks.depth.detach()->slopeScaledBias = bias; }
    float getSlopeScaledDepthBias() const { return blocks.depth->slopeScaledBias; }

    void setBlending(bool enabled) { blocks.blend.detach()->enabled = enabled; }
    bool isBlending() const { return blocks.blend->enabled; }
    void setSourceBlend(BlendMode mode) { blocks.blend.detach()->source = mode; }
    BlendMode getSourceBlend() const { return blocks.blend->source; }
    void setDestinationBlend(BlendMode mode) { blocks.blend.detach()->destination = mode; }
    BlendMode getDestinationBlend() const { return blocks.blend->destination; }
    void setBlendOperation(BlendOperation operation) { blocks.blend.detach()->operation = operation; }
    BlendOperation getBlendOperation() const { return blocks.blend->operation; }
    void setBlendFactor(const Vec4& factor) { blocks.blend.detach()->factor = factor; }
    const Vec4& getBlendFactor() const { return blocks.blend->factor; }
    void setSeparateAlphaBlend(bool enabled) { blocks.blend.detach()->separateAlpha = enabled; }
    bool isSeparateAlphaBlend() const { return blocks.blend->separateAlpha; }
    void setAlphaSourceBlend(BlendMode mode) { blocks.blend.detach()->alphaSource = mode; }
    BlendMode getAlphaSourceBlend() const { return blocks.blend->alphaSource; }
    void setAlphaDestinationBlend(BlendMode mode) { blocks.blend.detach()->alphaDestination = mode; }
    BlendMode getAlphaDestinationBlend() const { return blocks.blend->alphaDestination; }
    void setAlphaBlendOperation(BlendOperation operation) { blocks.blend.detach()->alphaOperation = operation; }
    BlendOperation getAlphaBlendOperation() const { return blocks.blend->alphaOperation; }

    void setStencil(bool enabled) { blocks.stencil.detach()->enabled = enabled; }
    bool isStencil() const { return blocks.stencil->enabled; }
    void setStencilFail(StencilOperation operation) { blocks.stencil.detach()->fail = operation; }
    StencilOperation getStencilFail() const { return blocks.stencil->fail; }
    void setStencilDepthFail(StencilOperation operation) { blocks.stencil.detach()->depthFail = operation; }
    StencilOperation getStencilDepthFail() const { return blocks.stencil->depthFail; }
    void setStencilPass(StencilOperation operation) { blocks.stencil.detach()->pass = operation; }
    StencilOperation getStencilPass() const { return blocks.stencil->pass; }
    void setStencilFunction(CompareFunction function) { blocks.stencil.detach()->function = function; }
    CompareFunction getStencilFunction() const { return blocks.stencil->function; }
    void setStencilReference(int reference) { blocks.stencil.detach()->reference = reference; }
    int getStencilReference() const { return blocks.stencil->reference; }
    void setStencilReadMask(int mask) { blocks.stencil.detach()->readMask = mask; }
    int getStencilReadMask() const { return blocks.stencil->readMask; }
    void setStencilWriteMask(int mask) { blocks.stencil.detach()->writeMask = mask; }
    int getStencilWriteMask() const { return blocks.stencil->writeMask; }
    void setTwoSidedStencil(bool enabled) { blocks.stencil.detach()->twoSided = enabled; }
    bool isTwoSidedStencil() const { return blocks.stencil->twoSided; }
    void setCcwStencilFail(StencilOperation operation) { blocks.stencil.detach()->ccwFail = operation; }
    StencilOperation getCcwStencilFail() const { return blocks.stencil->ccwFail; }
    void setCcwStencilDepthFail(StencilOperation operation) { blocks.stencil.detach()->ccwDepthFail = operation; }
    StencilOperation getCcwStencilDepthFail() const { return blocks.stencil->ccwDepthFail; }
    void setCcwStencilPass(StencilOperation operation) { blocks.stencil.detach()->ccwPass = operation; }
    StencilOperation getCcwStencilPass() const { return blocks.stencil->ccwPass; }
    void setCcwStencilFunction(CompareFunction function) { blocks.stencil.detach()->ccwFunction = function; }
    CompareFunction getCcwStencilFunction() const { return blocks.stencil->ccwFunction; }

    // Slots 0-15. Null below the count leaves a hole that is bound as null.
    void setVertexStream(int slot, VertexStream* stream);
    VertexStream* getVertexStream(int slot) const; // null at or above the count
    int getVertexStreamCount() const { return blocks.streams->count; }

    void setTexture(int stage, Texture* texture);
    Texture* getTexture(int stage) const; // null at or above the count
    int getTextureCount() const { return blocks.textures->count; }

    // Constants live in registers 0 .. count-1; only count are uploaded.
    void setVertexConstantCount(int count)
    {
        setConstantCount(blocks.vertexConstants, count, "setVertexConstantCount");
    }
    void setPixelConstantCount(int count) { setConstantCount(blocks.pixelConstants, count, "setPixelConstantCount"); }
    int getVertexConstantCount() const { return blocks.vertexConstants->count; }
    int getPixelConstantCount() const { return blocks.pixelConstants->count; }
    void setVertexConstant(int index, const Vec4& value)
    {
        setConstant(blocks.vertexConstants, index, value, "setVertexConstant");
    }
    void setPixelConstant(int index, const Vec4& value)
    {
        setConstant(blocks.pixelConstants, index, value, "setPixelConstant");
    }
    Vec4 getVertexConstant(int index) const
    {
        return getConstant(blocks.vertexConstants, index, "getVertexConstant");
    }
    Vec4 getPixelConstant(int index) const { return getConstant(blocks.pixelConstants, index, "getPixelConstant"); }

    void setVertexFormat(VertexFormat* format) { vertexFormat = format; }
    VertexFormat* getVertexFormat() const { return vertexFormat; }
    void setIndexStream(IndexStream* stream) { indexStream = stream; }
    IndexStream* getIndexStream() const { return indexStream; }
    void setVertexShader(VertexShader* shader) { vertexShader = shader; }
    VertexShader* getVertexShader() const { return vertexShader; }
    void setPixelShader(PixelShader* shader) { pixelShader = shader; }
    PixelShader* getPixelShader() const { return pixelShader; }

    const SharedState<CullState>& getCullState() const { return blocks.cull; }
    const SharedState<FillState>& getFillState() const { return blocks.fill; }
    const SharedState<ColorWriteState>& getColorWriteState() const { return blocks.colorWrite; }
    const SharedState<ClipState>& getClipState() const { return blocks.clip; }
    const SharedState<AuxState>& getAuxState() const { return blocks.aux; }
    const SharedState<AlphaTestState>& getAlphaTestState() const { return blocks.alphaTest; }
    const SharedState<DepthState>& getDepthState() const { return blocks.depth; }
    const SharedState<BlendState>& getBlendState() const { return blocks.blend; }
    const SharedState<StencilState>& getStencilState() const { return blocks.stencil; }
    const SharedState<StreamSet>& getStreamSet() const { return blocks.streams; }
    const SharedState<TextureSet>& getTextureSet() const { return blocks.textures; }
    const SharedState<ConstantSet>& getVertexConstants() const { return blocks.vertexConstants; }
    const SharedState<ConstantSet>& getPixelConstants() const { return blocks.pixelConstants; }

    // Sends what is not in place on the interface, in the fixed order.
    void apply();
    void drawPrimitives(PrimitiveType type, int firstVertex, int primitiveCount);
    void drawIndexedPrimitives(PrimitiveType type, int lowestVertexIndex, int vertexCount, int firstIndex,
                               int primitiveCount);
    // Clears the current viewport (with this context's clip block in place).
    void clear(int flags, const Vec4& color, float depth, int stencil);

private:
    static void setConstantCount(SharedState<ConstantSet>& set, int count, const char* operation);
    static void setConstant(SharedState<ConstantSet>& set, int index, const Vec4& value, const char* operation);
    static Vec4 getConstant(const SharedState<ConstantSet>& set, int index, const char* operation);
    void applyClip(APICore& core);

    StateBlockSet blocks;
    VertexFormat* vertexFormat;
    IndexStream* indexStream;
    VertexShader* vertexShader;
    PixelShader* pixelShader;
};

} // namespace Core
} // namespace Vostrel
