// Feeds bytes as a ".links" file, then steps every link it read through a
// long run of times. A refusal is a Vostrel::Exception; anything else (a
// crash, a hang, another exception) is a finding.
#include "Libs/Common/Exception.h"
#include "Libs/Testing/Utils/LinkFile.h"
#include "Tests/Fuzz/InputFile.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = VostrelFuzz::writeInputFile("links", data, size);
    try {
        Vostrel::LinkFile file(path);
        for (size_t i = 0; i < file.links.size(); ++i) {
            int state = file.states[i];
            for (float time : {-5.0f, 0.0f, 0.5f, 1.0001f, 3.7f, 1e6f, 1e30f}) {
                Vostrel::LinkPosition position =
                    Vostrel::stepLink(file.links[i], file.dirs[i], state, time + file.timeTerms[i]);
                if (!std::isfinite(position.bandPosition) || position.state >= static_cast<int>(file.links[i].size()))
                    std::abort();
                state = position.state;
            }
        }
    } catch (const Vostrel::Exception&) {
    }
    std::remove(path.c_str());
    return 0;
}
