#pragma once

#include "Libs/Common/Exception.h"
#include "Libs/Core/RenderContext.h"
#include "Libs/Core/RenderWindow.h"
#include "Libs/Core/WindowParameters.h"
#include "Libs/Testing/Properties.h"

#include <functional>

namespace Vostrel {

// The frame-loop owner the show derives from: turns the properties, the
// environment and the command line into the main window, runs init, then
// clears, draws and presents frame after frame until Escape or a close.
class DemoBed : public Core::WindowEventListener {
public:
    DemoBed();
    ~DemoBed() override;

    void onKey(const Core::KeyEvent& event) override;
    void onPaint(const Core::PaintEvent& event) override;
    void onClose(const Core::WindowEvent& event) override;

    // The start-up hook, one frame at the loop's time in seconds, and the
    // shut-down hook; all empty here.
    virtual void init();
    virtual void renderFrame(float seconds);
    virtual void deinit();

    // Runs until the loop ends. False when a failure was reported (on the
    // standard error stream); deinit is skipped then.
    bool run(int argc, char** argv);

    // The window and device the run asks for: "demo.window.*" and
    // "demo.multisample" properties, then VOSTREL_WINDOW_WIDTH and
    // VOSTREL_WINDOW_HEIGHT, then "-fullscreen" / "-window".
    static Core::WindowParameters windowParameters(int argc, char** argv);
    // The environment's size; both must be given, and each replaces the
    // size only when it is a positive number that an int holds.
    static void applyEnvironment(Core::WindowParameters& parameters, const char* width, const char* height);

protected:
    // False once Escape, a close, an interrupt or a termination request
    // asked the run to end.
    bool keepsRunning() const;

    Core::RenderWindow* window; // the core's; not owned
    Core::RenderContext context;
    bool running;
    bool paused;
    bool clearEachFrame;
    int loopStartTick;
    int pauseTick;
    Vec4 clearColor;
};

// What a failure's context line says of something built from the settings
// a record noted: "<operation> with demo.props: <the reads>", or the
// operation alone when it read none.
std::string settingsContext(const std::string& operation, const Properties::ReadRecord& settings);

// From here on an interrupt or a termination request ends the run as Escape
// does (at once when it came before the run), so the normal shutdown runs.
// The program calls it first thing; a run calls it too.
void catchStopSignals();

// "file(line): message" and a newline on the standard error stream.
void reportException(const Exception& exception);

// Runs the program's body and returns its status. A failure of any kind is
// reported on the standard error stream and gives 1: a failed run never
// ends with success.
int runReported(const std::function<int()>& body);

} // namespace Vostrel
