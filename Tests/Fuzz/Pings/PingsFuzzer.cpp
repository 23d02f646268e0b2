// Feeds bytes as the loading screen's calibration. A refusal is a
// Vostrel::Exception; anything else (a crash, a hang, a huge allocation) is
// a finding. What is read must give a progress within 0 to 1 for any step.
#include "Libs/Common/Exception.h"
#include "Libs/Testing/LoadingEffect.h"
#include "Tests/Fuzz/InputFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = VostrelFuzz::writeInputFile("pings", data, size);
    std::FILE* file = std::fopen(path.c_str(), "r");
    try {
        const std::vector<float> times = Vostrel::readPings(file, "pings");
        for (size_t k = 0; k <= times.size() + 1; ++k) {
            const float progress = Vostrel::pingProgress(times, k);
            if (!(progress >= 0.0f && progress <= 1.0f))
                std::abort();
        }
    } catch (const Vostrel::Exception&) {
    }
    std::fclose(file);
    std::remove(path.c_str());
    return 0;
}
