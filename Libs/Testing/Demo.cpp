#include "Libs/Testing/Demo.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/RenderWindow.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Testing/Properties.h"
#include "Libs/Time/MusicSyncronizer.h"
#include "Libs/Time/SysClockSyncronizer.h"

#include <cstring>
#include <iostream>

namespace Vostrel {

Demo::Demo(int argc, char** argv)
    : factories(registeredDemoEffects()),
      loadingEffectFactory([](MessagePump pump) { return std::unique_ptr<LoadingEffect>(createLoadingEffect(pump)); })
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-nosound") == 0)
            noSound = true;
}

Demo::~Demo()
{
    // Without a core the parts' device objects are gone already; their
    // destructors would free them a second time.
    if (!Core::APICore::getExistingInstance()) {
        for (auto& part : parts)
            part.second.release();
        return;
    }
    timeline.reset();
    parts.clear();
    releaseDemoTargets(targets);
}

const std::array<const char*, 11>& Demo::partNames()
{
    static const std::array<const char*, 11> names = {
        "TransitionEffect", "MapEffect1",        "MapEffect2",   "MapEffect3",  "MapEffect4",  "MapEffect5",
        "ElevatorEffect",   "AgentFollowEffect", "AttackEffect", "AdminEffect", "HaxorEffect1"};
    return names;
}

bool Demo::isEffectEnabled(const std::string& name)
{
    return name == "EndSentinel" || Properties::getInt(name + ".enabled", 0) != 0;
}

void Demo::readMusicSettings()
{
    musicFile = Properties::getString("demo.music.file", "");
    musicBpm = Properties::getFloat("demo.music.bpm", 60.0f);
    musicOffset = Properties::getFloat("demo.music.offset", 0.0f);
    musicVolume = Properties::getFloat("demo.music.volume", 0.0f);
    startTime = Properties::getFloat("demo.startTime", 0.0f);
    endTime = Properties::getFloat("demo.endTime", 0.0f);
}

void Demo::setPartFactory(const std::string& name, DemoEffectFactory factory)
{
    factories[name] = std::move(factory);
}

void Demo::setLoadingEffectFactory(LoadingEffectFactory factory)
{
    loadingEffectFactory = std::move(factory);
}

DemoEffect* Demo::getPart(const std::string& name)
{
    auto found = parts.find(name);
    return found == parts.end() ? nullptr : found->second.get();
}

void Demo::init()
{
    {
        // A music clock that cannot be made names the settings it was made from.
        Properties::ReadRecord settings;
        readMusicSettings();
        initPostProcessing();
        // The timeline's blits begin and end the window themselves.
        clearEachFrame = false;
        inContext([&] { return settingsContext("Demo::makeClock()", settings); }, [&] { makeClock(); });
    }
    screen = std::make_unique<RenderTexture>();
    screen->width = window->getWidth();
    screen->height = window->getHeight();
    screen->target = window;
    // Escape and a close must be heard while the parts load.
    window->addListener(this);
    std::unique_ptr<LoadingEffect> loading = loadingEffectFactory([this] { return pumpMessages(); });
    for (int i = 0; i < 3; ++i)
        loading->draw(*screen);
    targets = acquireDemoTargets(screen.get());
    loadParts(*loading);
    if (!keepsRunning())
        return;
    loading->finish(*screen);
    loading.reset();
    if (!keepsRunning())
        return;
    composer = createBlitComposer();
    TimelineParts& lookUp = *this;
    timeline = std::make_unique<Timeline>(*clock, lookUp, targets, *composer, endTime, musicOffset);
    clock->start();
}

void Demo::makeClock()
{
    const float startValue = startTime + musicOffset;
    // The music clock counts seconds at 60 bpm; "demo.music.bpm" is not used.
    if (!noSound && !musicFile.empty())
        clock = std::make_unique<MusicSyncronizer>(60.0f, startValue, endTime, musicFile, musicVolume);
    else
        clock = std::make_unique<SysClockSyncronizer>(startValue);
}

void Demo::loadParts(LoadingEffect& loading)
{
    for (const char* name : partNames()) {
        loading.ping(*screen);
        if (!keepsRunning())
            return;
        if (!isEffectEnabled(name))
            continue;
        auto factory = factories.find(name);
        if (factory == factories.end() || !factory->second) {
            std::cout << "WARNING: " << name << " is enabled but not in this build" << std::endl;
            continue;
        }
        // A part that fails to build names the settings it read.
        Properties::ReadRecord settings;
        std::unique_ptr<DemoEffect> part = factory->second();
        if (!part)
            VOSTREL_THROW("Demo::init: the factory of " << name << " made no part");
        DemoEffect& made = *part;
        parts[name] = std::move(part);
        inContext([&] { return settingsContext(std::string(name) + ".init()", settings); }, [&] { made.init(); });
    }
    loading.ping(*screen);
}

bool Demo::pumpMessages()
{
    window->processMessages();
    return keepsRunning();
}

void Demo::renderFrame(float seconds)
{
    if (!timeline || !timeline->renderFrame(window))
        running = false;
}

} // namespace Vostrel
