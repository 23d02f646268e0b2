#pragma once

#include "Libs/Testing/DemoBed.h"
#include "Libs/Testing/DemoParts.h"
#include "Libs/Testing/LoadingEffect.h"
#include "Libs/Testing/Timeline.h"

#include <array>
#include <map>
#include <memory>
#include <string>

namespace Vostrel {

class Syncronizer;

// The show: a frame loop whose init reads the music and time settings, makes
// the show clock, the screen record and the shared targets, loads every
// enabled part behind the loading screen and starts the clock; each frame
// then plays the timeline at the clock's time.
class Demo : public DemoBed, private TimelineParts {
public:
    // Notes "-nosound" among the arguments after the program's name.
    Demo(int argc, char** argv);
    // Frees the parts, the clock, the timeline and the screen record and
    // gives the shared targets back to the pool; the render core must still
    // exist.
    ~Demo() override;

    void init() override;
    void renderFrame(float seconds) override;

    // True for "EndSentinel"; otherwise whether the name's ".enabled" int
    // property is set and not 0.
    static bool isEffectEnabled(const std::string& name);
    void readMusicSettings();

    // The parts in the order start-up loads them.
    static const std::array<const char*, 11>& partNames();

    // This demo's parts by name, first those registered in the program;
    // a factory set here replaces the registered one.
    void setPartFactory(const std::string& name, DemoEffectFactory factory);
    using LoadingEffectFactory = std::function<std::unique_ptr<LoadingEffect>(MessagePump)>;
    void setLoadingEffectFactory(LoadingEffectFactory factory);

    // What start-up made; null before.
    Syncronizer* getClock() const { return clock.get(); }
    const DemoTargets& getTargets() const { return targets; }
    DemoEffect* getPart(const std::string& name) override;
    bool isNoSound() const { return noSound; }
    const std::string& getMusicFile() const { return musicFile; }

private:
    bool isEnabled(const std::string& name) override { return isEffectEnabled(name); }
    void makeClock();
    void loadParts(LoadingEffect& loading);
    bool pumpMessages();

    std::unique_ptr<RenderTexture> screen;
    std::map<std::string, DemoEffectFactory> factories;
    LoadingEffectFactory loadingEffectFactory;
    std::map<std::string, std::unique_ptr<DemoEffect>> parts;
    DemoTargets targets;
    std::unique_ptr<Syncronizer> clock;
    std::unique_ptr<FrameComposer> composer;
    std::unique_ptr<Timeline> timeline;
    std::string musicFile;
    float musicBpm = 60.0f;
    float musicOffset = 0.0f;
    float musicVolume = 0.0f;
    float startTime = 0.0f;
    float endTime = 0.0f;
    bool noSound = false;
};

} // namespace Vostrel
