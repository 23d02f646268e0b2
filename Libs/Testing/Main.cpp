#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Testing/DemoBed.h"
#include "Libs/Testing/Properties.h"

#include <exception>
#include <iostream>

// Until the show's own demo joins, the bed runs the frame loop with empty
// hooks: the window opens, clears each frame and ends on Escape or close.
int main(int argc, char** argv, char** environment)
{
    try {
        Vostrel::Properties::load("demo.props");
        Vostrel::Core::DXCore::install();
        Vostrel::DemoBed demo;
        return demo.run(argc, argv) ? 0 : 1;
    } catch (const Vostrel::Exception& exception) {
        Vostrel::reportException(exception);
    } catch (const std::exception& exception) {
        std::cerr << "Libs\\Testing\\Main(" << __LINE__ << "): " << exception.what() << std::endl;
    } catch (...) {
        std::cerr << "Libs\\Testing\\Main(" << __LINE__ << "): unknown exception" << std::endl;
    }
    // A failure never ends the program with success.
    return 1;
}
