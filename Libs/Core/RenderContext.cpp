#include "Libs/Core/RenderContext.h"

#include "Libs/Common/Exception.h"

#include <algorithm>

namespace Vostrel {
namespace Core {

namespace {

// Direct3D 9 has six user clip planes; more cannot be expressed.
const int MAX_CLIP_PLANES = 6;

// Stores a resource in a stream or texture slot and keeps the count at the
// highest used slot + 1. Returns false when the slot already held it.
template <typename Resource> bool storeInSlot(Resource** slots, int& count, int slot, Resource* resource)
{
    if (slot < count && slots[slot] == resource)
        return false;
    slots[slot] = resource;
    if (resource) {
        count = std::max(count, slot + 1);
    } else if (slot == count - 1) {
        count = slot;
        while (count > 0 && !slots[count - 1])
            --count;
    }
    return true;
}

// Sends a block when it is not the recorded one, has changed since, or is
// due for another reason. The changed flag is cleared first; when the
// interface refuses the block, it is set again so that the next draw refuses
// it too instead of drawing with whatever the device was left with.
template <typename Block, typename Send>
void sendBlock(const SharedState<Block>& handle, const Block* recorded, Send send, bool dueAnyway = false)
{
    Block* block = handle.get();
    if (block == recorded && !block->changed && !dueAnyway)
        return;
    block->changed = false;
    try {
        send(block);
    } catch (...) {
        block->changed = true;
        throw;
    }
}

} // namespace

RenderContext::RenderContext()
    : blocks(getDefaultStates()), vertexFormat(nullptr), indexStream(nullptr), vertexShader(nullptr),
      pixelShader(nullptr)
{
}

void RenderContext::setClipPlanes(int count, const float* planes)
{
    if (count < 0 || count > MAX_CLIP_PLANES)
        VOSTREL_THROW("RenderContext::setClipPlanes(): plane count " << count << " outside 0.." << MAX_CLIP_PLANES);
    if (count > 0 && !planes)
        VOSTREL_THROW("RenderContext::setClipPlanes(): " << count << " planes without plane data");
    ClipState* state = blocks.clip.detach();
    state->planeCount = count;
    state->planes = planes;
}

void RenderContext::setScissorRect(float x, float y, float width, float height)
{
    ClipState* state = blocks.clip.detach();
    state->scissorX = x;
    state->scissorY = y;
    state->scissorWidth = width;
    state->scissorHeight = height;
}

void RenderContext::getScissorRect(float& x, float& y, float& width, float& height) const
{
    x = blocks.clip->scissorX;
    y = blocks.clip->scissorY;
    width = blocks.clip->scissorWidth;
    height = blocks.clip->scissorHeight;
}

void RenderContext::setVertexStream(int slot, VertexStream* stream)
{
    if (slot < 0 || slot >= MAX_STREAM_SLOTS)
        VOSTREL_THROW("RenderContext::setVertexStream(): slot " << slot << " outside 0.." << MAX_STREAM_SLOTS - 1);
    StreamSet* set = blocks.streams.detach();
    storeInSlot(set->streams, set->count, slot, stream);
}

VertexStream* RenderContext::getVertexStream(int slot) const
{
    return slot >= 0 && slot < blocks.streams->count ? blocks.streams->streams[slot] : nullptr;
}

void RenderContext::setTexture(int stage, Texture* texture)
{
    if (stage < 0 || stage >= MAX_TEXTURE_STAGES)
        VOSTREL_THROW("RenderContext::setTexture(): stage " << stage << " outside 0.." << MAX_TEXTURE_STAGES - 1);
    TextureSet* set = blocks.textures.detach();
    if (storeInSlot(set->textures, set->count, stage, texture))
        set->dirty = true;
}

Texture* RenderContext::getTexture(int stage) const
{
    return stage >= 0 && stage < blocks.textures->count ? blocks.textures->textures[stage] : nullptr;
}

void RenderContext::setConstantCount(SharedState<ConstantSet>& handle, int count, const char* operation)
{
    if (count < 0)
        VOSTREL_THROW("RenderContext::" << operation << "(): negative count " << count);
    ConstantSet* set = handle.detach();
    if (set->capacity < count || !set->values) {
        // Fresh storage starts at zero, so an unwritten register uploads 0.
        set->values.reset(new float[4 * static_cast<size_t>(count)]());
        set->capacity = count;
    }
    set->count = count;
}

void RenderContext::setConstant(SharedState<ConstantSet>& handle, int index, const Vec4& value,
                                const char* operation)
{
    if (index < 0 || index >= handle->count)
        VOSTREL_THROW("RenderContext::" << operation << "(): register " << index << " outside the count "
                                        << handle->count);
    ConstantSet* set = handle.detach();
    std::copy(value.data, value.data + 4, set->values.get() + 4 * static_cast<size_t>(index));
}

Vec4 RenderContext::getConstant(const SharedState<ConstantSet>& handle, int index, const char* operation)
{
    if (index < 0 || index >= handle->count)
        VOSTREL_THROW("RenderContext::" << operation << "(): register " << index << " outside the count "
                                        << handle->count);
    const float* value = handle->getValues() + 4 * static_cast<size_t>(index);
    return Vec4(value[0], value[1], value[2], value[3]);
}

// The scissor rectangle is relative to the target, so a new target needs the
// clip block again even when the block itself is in place.
void RenderContext::applyClip(APICore& core)
{
    sendBlock(blocks.clip, core.getCurrentClipState(), [&](ClipState* b) { core.setClipState(b); },
              core.isTargetChanged());
    core.clearTargetChanged();
}

void RenderContext::apply()
{
    APICore& core = *APICore::getInstance();
    sendBlock(blocks.cull, core.getCurrentCullState(), [&](CullState* b) { core.setCullState(b); });
    sendBlock(blocks.fill, core.getCurrentFillState(), [&](FillState* b) { core.setFillState(b); });
    sendBlock(blocks.colorWrite, core.getCurrentColorWriteState(),
              [&](ColorWriteState* b) { core.setColorWriteState(b); });
    applyClip(core);
    sendBlock(blocks.aux, core.getCurrentAuxState(), [&](AuxState* b) { core.setAuxState(b); });
    sendBlock(blocks.alphaTest, core.getCurrentAlphaTestState(),
              [&](AlphaTestState* b) { core.setAlphaTestState(b); });
    sendBlock(blocks.depth, core.getCurrentDepthState(), [&](DepthState* b) { core.setDepthState(b); });
    sendBlock(blocks.blend, core.getCurrentBlendState(), [&](BlendState* b) { core.setBlendState(b); });
    sendBlock(blocks.stencil, core.getCurrentStencilState(), [&](StencilState* b) { core.setStencilState(b); });
    sendBlock(blocks.streams, core.getCurrentStreamSet(),
              [&](StreamSet* b) { core.setVertexStreams(b, vertexFormat); },
              vertexFormat != core.getCurrentVertexFormat());
    sendBlock(blocks.textures, core.getCurrentTextureSet(), [&](TextureSet* b) { core.setTextures(b); });
    if (vertexShader != core.getCurrentVertexShader())
        core.setVertexShader(vertexShader);
    if (pixelShader != core.getCurrentPixelShader())
        core.setPixelShader(pixelShader);
    sendBlock(blocks.vertexConstants, core.getCurrentVertexConstants(),
              [&](ConstantSet* b) { core.setVertexShaderConstants(b); });
    sendBlock(blocks.pixelConstants, core.getCurrentPixelConstants(),
              [&](ConstantSet* b) { core.setPixelShaderConstants(b); });
    if (indexStream != core.getCurrentIndexStream())
        core.setIndexStream(indexStream);
}

void RenderContext::drawPrimitives(PrimitiveType type, int firstVertex, int primitiveCount)
{
    apply();
    APICore::getInstance()->drawPrimitives(type, firstVertex, primitiveCount);
}

void RenderContext::drawIndexedPrimitives(PrimitiveType type, int lowestVertexIndex, int vertexCount,
                                          int firstIndex, int primitiveCount)
{
    apply();
    APICore::getInstance()->drawIndexedPrimitives(type, lowestVertexIndex, vertexCount, firstIndex,
                                                  primitiveCount);
}

void RenderContext::clear(int flags, const Vec4& color, float depthValue, int stencilValue)
{
    APICore& core = *APICore::getInstance();
    applyClip(core);
    core.clearViewport(flags, color, depthValue, stencilValue);
}

} // namespace Core
} // namespace Vostrel
