// Feeds bytes as a text file to the toolkit's line reader: every entry is
// at most 127 characters, and together they are the file.
#include "Libs/Common/Exception.h"
#include "Libs/Testing/Utils/Utils.h"
#include "Tests/Fuzz/InputFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = VostrelFuzz::writeInputFile("text", data, size);
    std::vector<std::string> lines;
    try {
        Vostrel::ReadLines(path, lines);
        std::string joined;
        for (const std::string& line : lines) {
            if (line.empty() || line.size() > 127)
                std::abort();
            joined += line;
        }
        if (joined != std::string(reinterpret_cast<const char*>(data), size))
            std::abort();
    } catch (const Vostrel::Exception&) {
        // Only a NUL byte is refused.
        if (std::string(reinterpret_cast<const char*>(data), size).find('\0') == std::string::npos)
            std::abort();
    }
    std::remove(path.c_str());
    return 0;
}
