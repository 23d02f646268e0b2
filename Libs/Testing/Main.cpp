#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Testing/Demo.h"
#include "Libs/Testing/DemoBed.h"
#include "Libs/Testing/Properties.h"
#include "Platform/Fmod3/Module.h"

int main(int argc, char** argv, char** environment)
{
    // A stop request while the properties are read must end the run as well.
    Vostrel::catchStopSignals();
    return Vostrel::runReported([&] {
        Vostrel::Properties::load("demo.props");
        Vostrel::Core::DXCore::install();
        Fmod3::registerModule();
        Vostrel::Demo demo(argc, argv);
        return demo.run(argc, argv) ? 0 : 1;
    });
}
