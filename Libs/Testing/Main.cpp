#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Testing/DemoBed.h"
#include "Libs/Testing/Properties.h"

// Until the show's own demo joins, the bed runs the frame loop with empty
// hooks: the window opens, clears each frame and ends on Escape or close.
int main(int argc, char** argv, char** environment)
{
    return Vostrel::runReported([&] {
        Vostrel::Properties::load("demo.props");
        Vostrel::Core::DXCore::install();
        Vostrel::DemoBed demo;
        return demo.run(argc, argv) ? 0 : 1;
    });
}
