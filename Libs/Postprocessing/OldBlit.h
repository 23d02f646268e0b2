#pragma once

#include <memory>

namespace Vostrel {

class ScreenQuad;

namespace Core {
class Texture;
}

namespace Old {

class BlitBase {
public:
    BlitBase();
    virtual ~BlitBase();

protected:
    std::unique_ptr<ScreenQuad> quad;
};

// Mixes two textures, each magnified about the centre (0.5, 0.5) by its
// scale, into the current target: (mix a + (1 - mix) b) times factor.
class Blitter : public BlitBase {
public:
    Blitter();
    ~Blitter() override;
    void blit(Core::Texture* a, Core::Texture* b, float mix, float scaleA, float scaleB, float factor);
};

// Averages the source with a copy magnified by scale, passes times, the
// scale halving its distance to 1 each pass; all passes but the last draw
// into ping and pong in turn, the last into the current target.
void multipass(Core::Texture* source, Core::Texture* ping, Core::Texture* pong, float scale, int passes,
               float factor);

} // namespace Old
} // namespace Vostrel
