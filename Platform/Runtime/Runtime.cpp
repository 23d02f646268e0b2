#include "Platform/Runtime/Runtime.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
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

namespace {

// Opens path for reading without blocking on a FIFO, then keeps only a
// regular file. The descriptor, or -1 with the reason.
int openRegularFile(const std::string& path, std::string& reason)
{
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        reason = std::strerror(errno);
        return -1;
    }
    struct stat info;
    if (::fstat(descriptor, &info) != 0)
        reason = std::strerror(errno);
    else if (S_ISDIR(info.st_mode))
        reason = std::strerror(EISDIR);
    else if (!S_ISREG(info.st_mode))
        reason = "Not a regular file";
    else if (::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK) != 0)
        reason = std::strerror(errno);
    else
        return descriptor;
    ::close(descriptor);
    return -1;
}

} // namespace

std::FILE* openDataFile(const std::string& name, const char* mode, std::string& reason)
{
    const std::string path = resolveDataPath(name);
    if (mode[0] != 'r' || std::strchr(mode, '+')) {
        std::FILE* file = std::fopen(path.c_str(), mode);
        if (!file)
            reason = std::strerror(errno);
        return file;
    }
    const int descriptor = openRegularFile(path, reason);
    if (descriptor < 0)
        return nullptr;
    std::FILE* file = ::fdopen(descriptor, mode);
    if (!file) {
        reason = std::strerror(errno);
        ::close(descriptor);
    }
    return file;
}

std::FILE* openDataFile(const std::string& name, const char* mode)
{
    std::string reason;
    return openDataFile(name, mode, reason);
}

template <typename Byte>
bool readDataFile(const std::string& name, std::vector<Byte>& bytes, std::size_t maxBytes, std::string& reason)
{
    std::FILE* file = openDataFile(name, "rb", reason);
    if (!file)
        return false;
    bytes.clear();
    Byte chunk[65536];
    std::size_t count;
    bool fits = true;
    while (fits && (count = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        fits = bytes.size() + count <= maxBytes;
        if (fits)
            bytes.insert(bytes.end(), chunk, chunk + count);
    }
    const std::string failure = readFailure(file);
    const bool failed = !failure.empty();
    if (failed)
        reason = failure;
    else if (!fits)
        reason = "File too large";
    std::fclose(file);
    return !failed && fits;
}

template bool readDataFile(const std::string&, std::vector<char>&, std::size_t, std::string&);
template bool readDataFile(const std::string&, std::vector<unsigned char>&, std::size_t, std::string&);

std::string unreadableReason(const std::string& name)
{
    std::string reason;
    const int descriptor = openRegularFile(resolveDataPath(name), reason);
    if (descriptor >= 0)
        ::close(descriptor);
    return reason;
}

std::string readFailure(std::FILE* file)
{
    if (!std::ferror(file))
        return std::string();
    return std::strerror(errno != 0 ? errno : EIO);
}

} // namespace Runtime
