#pragma once

#include <cstdio>
#include <string>

namespace Vostrel::Video {

// Where the decoder's texts go. Notices go to the notice stream whatever the
// quiet flag says; warnings only when not quiet; a null stream drops them.
struct Messages {
    std::FILE* notices = stdout;
    std::FILE* warnings = stderr;
    bool quiet = true;

    void notice(const std::string& text) const
    {
        if (notices)
            std::fputs(text.c_str(), notices);
    }
    void warning(const std::string& text) const
    {
        if (!quiet && warnings)
            std::fputs(text.c_str(), warnings);
    }
    // Progress information for the standard output, only when not quiet.
    void info(const std::string& text) const
    {
        if (!quiet && notices)
            std::fputs(text.c_str(), notices);
    }
    // A warning that is printed even when quiet.
    void error(const std::string& text) const
    {
        if (warnings)
            std::fputs(text.c_str(), warnings);
    }
};

} // namespace Vostrel::Video
