#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace VostrelFuzz {

// A per-process file name under the temporary folder, for readers that take
// file names rather than bytes.
inline std::string tempPath(const std::string& tag)
{
    const char* base = std::getenv("TMPDIR");
    return std::string(base && *base ? base : "/tmp") + "/vostrel-fuzz-" + std::to_string(::getpid()) + "-" + tag;
}

// Writes the fuzz input to tempPath(tag) and returns the path.
inline std::string writeInputFile(const std::string& tag, const uint8_t* data, size_t size)
{
    std::string path = tempPath(tag);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || (size && std::fwrite(data, 1, size, f) != size))
        std::abort();
    std::fclose(f);
    return path;
}

} // namespace VostrelFuzz
