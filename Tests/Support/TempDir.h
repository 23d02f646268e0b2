#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace VostrelTest {

// A fresh directory under the system's temporary folder, removed with its
// contents when the object goes; tests never write into the source tree.
class TempDir {
public:
    TempDir()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/vostrel-test-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (!::mkdtemp(name.data()))
            throw std::runtime_error("cannot create a temporary directory");
        path = name.data();
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string file(const std::string& name) const { return path + "/" + name; }

    // Writes bytes to a file in the directory and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const
    {
        std::string full = file(name);
        std::ofstream out(full, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return full;
    }

    // Makes path a file that opens as a regular one and fails every read,
    // even for the superuser: a link to /proc/self/mem, whose first page
    // gives an I/O error. False when the link cannot be made.
    [[nodiscard]] static bool makeUnreadable(const std::string& path)
    {
        return ::symlink("/proc/self/mem", path.c_str()) == 0;
    }

    static std::string read(const std::string& fullPath)
    {
        std::ifstream in(fullPath, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string path;
};

} // namespace VostrelTest
