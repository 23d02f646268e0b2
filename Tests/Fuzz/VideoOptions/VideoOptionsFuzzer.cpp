// Feeds the video decoder's option parser a command line (arguments separated
// by newlines) and formats every file name pattern it accepts. Bad options
// may only be refused with a message; accepted patterns must format into
// names of bounded length.
#include "Libs/Common/Exception.h"
#include "Libs/Video/FrameFiles.h"
#include "Libs/Video/VideoDriver.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> arguments{"vostrel-video-decode"};
    std::string current;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            arguments.push_back(current);
            current.clear();
        } else {
            current += char(data[i]);
        }
    }
    if (!current.empty())
        arguments.push_back(current);
    std::vector<const char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(a.c_str());

    Vostrel::VideoDecoderOptions options;
    const Vostrel::VideoOptionsResult result =
        Vostrel::parseVideoDecoderOptions(int(argv.size()), argv.data(), options, nullptr);
    if (result != Vostrel::kVideoOptionsDecode)
        return 0;
    for (const std::string* pattern :
         {&options.outputPattern, &options.lowerLayerPattern, &options.substitutePattern}) {
        if (pattern->empty())
            continue;
        // Accepted by the parser, so it must be accepted here.
        const Vostrel::Video::FilePattern checked(*pattern);
        for (int number : {0, -1, 123456789, -2147483647 - 1})
            for (char letter : {'a', 'f', '\0'})
                if (checked.format(number, letter).size() > pattern->size() + 2 * 300)
                    std::abort();
    }
    return 0;
}
