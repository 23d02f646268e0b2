// Two parts for the show run's check: one that draws black all the time and
// one whose colour follows its time.
#include "Bench/Show/ShowRun.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Testing/DemoEffect.h"
#include "Libs/Testing/DemoParts.h"

namespace {

using namespace Vostrel;

class ColourPart : public DemoEffect {
public:
    explicit ColourPart(bool changing) : changing(changing) {}
    void init() override {}
    void release() override {}
    void setTime(float seconds, int) override { time = seconds; }
    void render(RenderTexture& target) override
    {
        const float level = time / 12.0f;
        clearTarget(&target, changing ? Vec4(level, 1.0f - level, 0.5f * level, 1.0f) : Vec4(0.0f, 0.0f, 0.0f, 1.0f));
    }

private:
    bool changing;
    float time = 0.0f;
};

RegisterDemoEffect black("MapEffect4", [] { return std::unique_ptr<DemoEffect>(new ColourPart(false)); });
RegisterDemoEffect changing("TransitionEffect", [] { return std::unique_ptr<DemoEffect>(new ColourPart(true)); });

} // namespace

int main(int argc, char** argv)
{
    return VostrelBench::runShow(argc, argv);
}
