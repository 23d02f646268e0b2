#pragma once

#include "Libs/Core/APICore.h"
#include "Libs/Core/RenderStates.h"
#include "Libs/Math/Vec.h"

#include <memory>

namespace Vostrel {
namespace Core {

// What every state block carries besides its state: how many handles share
// it, and whether it differs from what was last sent. A copy is a new block
// with one holder that has not been sent yet.
struct StateBlock {
    StateBlock() = default;
    StateBlock(const StateBlock&) {}
    StateBlock& operator=(const StateBlock&) = delete;

    int referenceCount = 1;
    bool changed = true;
};

// One reference to a shared block. Copying a handle shares the block; a
// write goes through detach, which copies the block first when others hold
// it, so a shared block never changes under its other holders. Moving shares
// too: a handle is never left empty, so a moved-from context stays usable.
template <typename Block> class SharedState {
public:
    SharedState() : block(nullptr) {}
    // Takes over the one reference of a new block.
    explicit SharedState(Block* adopted) : block(adopted) {}
    SharedState(const SharedState& other) : block(other.block)
    {
        if (block)
            ++block->referenceCount;
    }
    SharedState& operator=(const SharedState& other)
    {
        share(other);
        return *this;
    }
    ~SharedState() { release(); }

    Block* get() const { return block; }
    const Block* operator->() const { return block; }
    const Block& operator*() const { return *block; }

    // Gives up this handle's block and shares the other's.
    void share(const SharedState& other)
    {
        if (block == other.block)
            return;
        if (other.block)
            ++other.block->referenceCount;
        release();
        block = other.block;
    }

    // The block, made this handle's own and marked changed, ready for a write.
    Block* detach()
    {
        if (block->referenceCount < 2) {
            block->changed = true;
            return block;
        }
        Block* copy = new Block(*block);
        --block->referenceCount;
        block = copy;
        return block;
    }

private:
    void release()
    {
        if (block && --block->referenceCount == 0) {
            APICore::objectDestroyed(block);
            delete block;
        }
        block = nullptr;
    }

    Block* block;
};

struct CullState : StateBlock {
    CullMode mode = CULL_COUNTER_CLOCKWISE;
};

struct FillState : StateBlock {
    FillMode mode = FILL_SOLID;
    bool pointSprite = false;
};

// All four channels or none.
struct ColorWriteState : StateBlock {
    bool enabled = true;
};

struct ClipState : StateBlock {
    bool planesEnabled = false;
    int planeCount = 0;
    const float* planes = nullptr; // planeCount planes of four floats, not owned
    bool scissorEnabled = false;
    // Fractions of the viewport.
    float scissorX = 0.0f;
    float scissorY = 0.0f;
    float scissorWidth = 1.0f;
    float scissorHeight = 1.0f;
};

// Recorded by the interface, never sent to the device.
struct AuxState : StateBlock {
    bool flag0 = false;
    bool flag1 = false;
};

struct AlphaTestState : StateBlock {
    bool enabled = false;
    float reference = 0.0f; // 0..1
    CompareFunction function = COMPARE_LESS;
};

struct DepthState : StateBlock {
    bool testEnabled = true;
    bool writeEnabled = true;
    CompareFunction function = COMPARE_LESS;
    float bias = 0.0f;
    float slopeScaledBias = 0.0f;
};

// The separate-alpha fields are kept and copied but never sent.
struct BlendState : StateBlock {
    // A new block for a caller that builds its own blend state and hands it
    // to contexts with copyBlendState; it starts at the defaults.
    static SharedState<BlendState> create();

    bool enabled = false;
    BlendMode source = BLEND_ONE;
    BlendMode destination = BLEND_ONE;
    BlendOperation operation = BLENDOP_ADD;
    Vec4 factor = Vec4(1.0f, 1.0f, 1.0f, 1.0f);
    bool separateAlpha = false;
    BlendMode alphaSource = BLEND_ONE;
    BlendMode alphaDestination = BLEND_ONE;
    BlendOperation alphaOperation = BLENDOP_ADD;
};

// The two-sided fields are kept and copied but never sent.
struct StencilState : StateBlock {
    bool enabled = false;
    StencilOperation fail = STENCILOP_KEEP;
    StencilOperation depthFail = STENCILOP_KEEP;
    StencilOperation pass = STENCILOP_KEEP;
    CompareFunction function = COMPARE_ALWAYS;
    int reference = 0;
    int readMask = 65535;
    int writeMask = 65535;
    bool twoSided = false;
    StencilOperation ccwFail = STENCILOP_ZERO;
    StencilOperation ccwDepthFail = STENCILOP_ZERO;
    StencilOperation ccwPass = STENCILOP_ZERO;
    CompareFunction ccwFunction = COMPARE_NEVER;
};

const int MAX_STREAM_SLOTS = 16;
const int MAX_TEXTURE_STAGES = 16;

// Slots at or above the count are always null; below it they may be null.
struct StreamSet : StateBlock {
    StreamSet() = default;
    StreamSet(const StreamSet& other);

    VertexStream* streams[MAX_STREAM_SLOTS] = {};
    int count = 0; // the highest used slot + 1
};

struct TextureSet : StateBlock {
    TextureSet() = default;
    TextureSet(const TextureSet& other);

    Texture* textures[MAX_TEXTURE_STAGES] = {};
    int count = 0;
    bool dirty = true; // the device binds the set again
};

// Four floats per constant; value i goes to shader constant register i.
struct ConstantSet : StateBlock {
    ConstantSet() = default;
    // The copy holds exactly the source's count values.
    ConstantSet(const ConstantSet& other);

    const float* getValues() const { return values.get(); }

    int count = 0;
    int capacity = 0;
    std::unique_ptr<float[]> values;
};

// One handle to each of the thirteen kinds of block: what a render context
// draws with. Copying the set shares every block.
struct StateBlockSet {
    SharedState<CullState> cull;
    SharedState<FillState> fill;
    SharedState<ColorWriteState> colorWrite;
    SharedState<ClipState> clip;
    SharedState<AuxState> aux;
    SharedState<AlphaTestState> alphaTest;
    SharedState<DepthState> depth;
    SharedState<BlendState> blend;
    SharedState<StencilState> stencil;
    SharedState<StreamSet> streams;
    SharedState<TextureSet> textures;
    SharedState<ConstantSet> vertexConstants;
    SharedState<ConstantSet> pixelConstants;
};

// The program-wide default blocks, each holding one reference of its own and
// never freed; the first call makes them.
void createDefaultStates();
const StateBlockSet& getDefaultStates();

} // namespace Core
} // namespace Vostrel
