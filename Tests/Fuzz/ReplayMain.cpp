// Replays the seed corpus of a fuzz target through its entry point, so that
// builds without libFuzzer still run every seed.
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static int replay(const std::string& path)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        std::fprintf(stderr, "missing corpus entry %s\n", path.c_str());
        return 1;
    }
    if (S_ISDIR(info.st_mode)) {
        int count = 0;
        DIR* dir = ::opendir(path.c_str());
        while (dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..")
                count += replay(path + "/" + name) == 0 ? 1 : 0;
        }
        ::closedir(dir);
        return count > 0 ? 0 : 1;
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 0;
}

int main(int argc, char** argv)
{
    int failures = 0;
    for (int i = 1; i < argc; ++i)
        failures += replay(argv[i]);
    std::printf("replayed %d corpus arguments\n", argc - 1);
    return failures ? 1 : 0;
}
