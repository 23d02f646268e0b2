#include "Libs/Core/StateBlocks.h"

#include <algorithm>

namespace Vostrel {
namespace Core {

StreamSet::StreamSet(const StreamSet& other) : StateBlock(other), count(other.count)
{
    std::copy(other.streams, other.streams + count, streams);
}

TextureSet::TextureSet(const TextureSet& other) : StateBlock(other), count(other.count), dirty(true)
{
    std::copy(other.textures, other.textures + count, textures);
}

ConstantSet::ConstantSet(const ConstantSet& other)
    : StateBlock(other), count(other.count), capacity(other.count)
{
    if (other.values) {
        values.reset(new float[4 * static_cast<size_t>(count)]);
        std::copy(other.values.get(), other.values.get() + 4 * static_cast<size_t>(count), values.get());
    }
}

SharedState<BlendState> BlendState::create()
{
    return SharedState<BlendState>(new BlendState());
}

namespace {
StateBlockSet* defaults = nullptr; // never freed: contexts share these blocks for the whole run
}

void createDefaultStates()
{
    if (defaults)
        return;
    defaults = new StateBlockSet{
        SharedState<CullState>(new CullState()),
        SharedState<FillState>(new FillState()),
        SharedState<ColorWriteState>(new ColorWriteState()),
        SharedState<ClipState>(new ClipState()),
        SharedState<AuxState>(new AuxState()),
        SharedState<AlphaTestState>(new AlphaTestState()),
        SharedState<DepthState>(new DepthState()),
        SharedState<BlendState>(new BlendState()),
        SharedState<StencilState>(new StencilState()),
        SharedState<StreamSet>(new StreamSet()),
        SharedState<TextureSet>(new TextureSet()),
        SharedState<ConstantSet>(new ConstantSet()),
        SharedState<ConstantSet>(new ConstantSet()),
    };
}

const StateBlockSet& getDefaultStates()
{
    createDefaultStates();
    return *defaults;
}

} // namespace Core
} // namespace Vostrel
