#include "Libs/Testing/DemoBed.h"

#include "Libs/Core/APICore.h"
#include "Libs/Core/RenderStates.h"
#include "Libs/Testing/Properties.h"
#include "Platform/Runtime/Runtime.h"
#include "Platform/Win32/Windows.h"

#include <cerrno>
#include <csignal>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>

namespace Vostrel {

namespace {

const int ESCAPE_KEY = 27;

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void requestStop(int)
{
    stopRequested = 1;
}

// atoi's reading (blanks, a sign, digits up to the first other character),
// but a number an int cannot hold counts as no number at all.
bool parseSize(const char* text, int& value)
{
    errno = 0;
    char* end = nullptr;
    long parsed = std::strtol(text, &end, 10);
    if (end == text || errno == ERANGE || parsed > INT_MAX || parsed < INT_MIN)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

// An environment variable's size replaces the window's when it is a positive
// number.
bool replacesSize(const char* text, int& value)
{
    return parseSize(text, value) && value > 0;
}

// The environment's sizes that replace the window's, for a context line:
// VOSTREL_WINDOW_WIDTH "1024", VOSTREL_WINDOW_HEIGHT "768". "" when none does.
std::string environmentSizes(const char* width, const char* height)
{
    std::string text;
    if (!width || !height)
        return text;
    for (const auto& [name, side] : {std::pair<const char*, const char*>{"VOSTREL_WINDOW_WIDTH", width},
                                     std::pair<const char*, const char*>{"VOSTREL_WINDOW_HEIGHT", height}}) {
        int value = 0;
        if (replacesSize(side, value))
            text += std::string(text.empty() ? "" : ", ") + name + " \"" + side + "\"";
    }
    return text;
}

// The window's settings, and the environment's sizes where they replace
// those of the property file.
std::string windowContext(const Properties::ReadRecord& settings)
{
    std::string context = settingsContext("Core::createCore()", settings);
    const std::string sizes =
        environmentSizes(std::getenv("VOSTREL_WINDOW_WIDTH"), std::getenv("VOSTREL_WINDOW_HEIGHT"));
    if (!sizes.empty())
        context += " and the environment: " + sizes;
    return context;
}

} // namespace

std::string settingsContext(const std::string& operation, const Properties::ReadRecord& settings)
{
    return settings.empty() ? operation : operation + " with demo.props: " + settings.describe();
}

// The handlers stay to the end of the process: a second request during the
// teardown must not cut it short.
void catchStopSignals()
{
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
}

void reportException(const Exception& exception)
{
    writeReportLine(exception.report());
}

int runReported(const std::function<int()>& body)
{
    try {
        return body();
    } catch (const Exception& exception) {
        reportException(exception);
    } catch (const std::exception& exception) {
        reportException(Exception(exception.what(), sourceName(__FILE__), __LINE__));
    } catch (...) {
        reportException(Exception("unknown exception", sourceName(__FILE__), __LINE__));
    }
    return 1;
}

DemoBed::DemoBed()
    : window(nullptr), running(false), paused(false), clearEachFrame(true), loopStartTick(0), pauseTick(0),
      clearColor(0.0f, 0.0f, 0.0f, 0.0f)
{
}

DemoBed::~DemoBed()
{
    // The window outlives the bed; it must not call back into it.
    if (window && Core::APICore::getExistingInstance())
        window->removeListener(this);
}

bool DemoBed::keepsRunning() const
{
    return running && !stopRequested;
}

void DemoBed::onKey(const Core::KeyEvent& event)
{
    if (event.key == ESCAPE_KEY)
        running = false;
}

void DemoBed::onPaint(const Core::PaintEvent& event)
{
    if (!paused)
        return;
    window->begin();
    context.clear(Core::CLEAR_COLOR | Core::CLEAR_DEPTH, Vec4(0.0f, 0.0f, 0.0f, 0.0f), 1.0f, 0);
    renderFrame(static_cast<float>(pauseTick - loopStartTick) * 0.001f);
    window->end();
}

void DemoBed::onClose(const Core::WindowEvent& event)
{
    running = false;
}

void DemoBed::init() {}

void DemoBed::renderFrame(float seconds) {}

void DemoBed::deinit() {}

void DemoBed::applyEnvironment(Core::WindowParameters& parameters, const char* width, const char* height)
{
    if (!width || !height)
        return;
    int value = 0;
    if (replacesSize(width, value))
        parameters.width = value;
    if (replacesSize(height, value))
        parameters.height = value;
}

Core::WindowParameters DemoBed::windowParameters(int argc, char** argv)
{
    Core::WindowParameters parameters;
    parameters.multisample = Properties::getInt("demo.multisample", -1);
    parameters.width = Properties::getInt("demo.window.width", 640);
    parameters.height = Properties::getInt("demo.window.height", 480);
    parameters.fullscreen = Properties::getInt("demo.window.fullscreen", 0) != 0;
    parameters.showCursor = Properties::getInt("demo.window.showCursor", 1) != 0;
    parameters.vSync = Properties::getInt("demo.window.vSync", 1) != 0;
    parameters.title = Properties::getString("demo.window.title", "Demo");
    applyEnvironment(parameters, std::getenv("VOSTREL_WINDOW_WIDTH"), std::getenv("VOSTREL_WINDOW_HEIGHT"));
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-fullscreen") == 0)
            parameters.fullscreen = true;
        else if (std::strcmp(argv[i], "-window") == 0)
            parameters.fullscreen = false;
    }
    return parameters;
}

bool DemoBed::run(int argc, char** argv)
{
    catchStopSignals();
    // A request is served by this run; the next one starts without it.
    struct ForgetRequest {
        ~ForgetRequest() { stopRequested = 0; }
    } forget;
    // Made before the run (while the properties were read): no window opens.
    if (stopRequested)
        return true;
    try {
        {
            // A window that cannot be made names the settings that asked for it.
            Properties::ReadRecord settings;
            window = inContext([&] { return windowContext(settings); },
                               [&] { return Core::createCore(windowParameters(argc, argv)); });
        }
        if (!window)
            VOSTREL_THROW("DemoBed::run(): a render core exists already, there is no window to run in");
        window->setVisible(true);
        // Set before init, so that init can end the run (Escape while loading).
        running = true;
        paused = false;
        init();
        window->addListener(this);
        loopStartTick = static_cast<int>(Runtime::clock());
        while (keepsRunning()) {
            if (paused) {
                Sleep(10);
                window->processMessages();
                continue;
            }
            if (clearEachFrame) {
                window->begin();
                context.clear(Core::CLEAR_COLOR | Core::CLEAR_DEPTH, clearColor, 1.0f, 0);
            }
            float seconds = static_cast<float>(static_cast<int>(Runtime::clock()) - loopStartTick) * 0.001f;
            renderFrame(seconds);
            if (clearEachFrame)
                window->end();
            window->processMessages();
        }
        deinit();
        return true;
    } catch (const Exception& exception) {
        reportException(exception);
        return false;
    }
}

} // namespace Vostrel
