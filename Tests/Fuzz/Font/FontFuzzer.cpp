// Loads bytes as a font file through the font renderer, then sizes, measures
// and draws text with it: refusals are the engine's exception, never a crash.
#include "Libs/Common/Exception.h"
#include "Libs/Image/FontRenderer.h"
#include "Tests/Fuzz/InputFile.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = VostrelFuzz::writeInputFile("input.ttf", data, size);
    std::vector<uint32_t> pixels(64 * 32, 0);
    std::unique_ptr<Vostrel::FontRenderer> fonts(Vostrel::FontRenderer::create(64, 32, pixels.data()));
    try {
        fonts->selectFace(fonts->loadFace(path.c_str()));
        fonts->setCharSize(size % 2 ? 24 : 9, 72, 72);
        const float turned[4] = {0.8f, 0.6f, -0.6f, 0.8f}, pen[2] = {2, 20};
        const float colour[4] = {1, 0.5f, 0.25f, 1};
        fonts->setColor(colour);
        fonts->setTransform(turned, pen);
        fonts->drawText("Ag{|}~ 0\xc3\xa9");
        int box[5];
        for (char c : {'A', 'g', ' ', '\x7f'})
            fonts->measureText(c, &box[0], &box[1], &box[2], &box[3], &box[4]);
        fonts->getLineHeight();
    } catch (const Vostrel::Exception&) {
    }
    std::remove(path.c_str());
    return 0;
}
