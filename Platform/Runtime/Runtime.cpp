#include "Platform/Runtime/Runtime.h"

#include <chrono>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <vector>

namespace Runtime {

namespace {
unsigned int randState = 1;

const std::chrono::steady_clock::time_point processStart = std::chrono::steady_clock::now();

bool exists(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

// The entry of directory that equals name ignoring case, or "".
std::string findIgnoringCase(const std::string& directory, const std::string& name)
{
    DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
    if (!dir)
        return std::string();
    std::string found;
    while (dirent* entry = ::readdir(dir)) {
        if (::strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}
} // namespace

int rand()
{
    randState = randState * 214013u + 2531011u;
    return static_cast<int>((randState >> 16) & 32767u);
}

void srand(unsigned int seed)
{
    randState = seed;
}

long clock()
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - processStart)
                                 .count());
}

std::string resolveDataPath(const std::string& name)
{
    std::string path = name;
    for (char& c : path)
        if (c == '\\')
            c = '/';
    if (path.empty() || exists(path))
        return path;

    std::vector<std::string> parts;
    std::string::size_type start = 0;
    bool absolute = path[0] == '/';
    while (start <= path.size()) {
        std::string::size_type at = path.find('/', start);
        if (at == std::string::npos)
            at = path.size();
        if (at > start)
            parts.push_back(path.substr(start, at - start));
        start = at + 1;
    }
    std::string resolved = absolute ? "/" : "";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string candidate = resolved + parts[i];
        if (!exists(candidate)) {
            std::string match = findIgnoringCase(resolved.empty() ? "." : resolved, parts[i]);
            if (match.empty())
                return path;
            candidate = resolved + match;
        }
        resolved = candidate;
        if (i + 1 < parts.size())
            resolved += '/';
    }
    return resolved;
}

std::FILE* openDataFile(const std::string& name, const char* mode)
{
    return std::fopen(resolveDataPath(name).c_str(), mode);
}

} // namespace Runtime
