// Feeds bytes as a property file. Loading a readable file never fails, so
// any exception, crash or hang is a finding; the maps are emptied each run.
#include "Libs/Testing/Properties.h"
#include "Tests/Fuzz/InputFile.h"

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <streambuf>
#include <string>

namespace {

// The loader's warnings would only slow the fuzzer down.
class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Never destroyed: std::cout flushes into it at exit.
    static NullBuffer* sink = new NullBuffer;
    std::cout.rdbuf(sink);

    std::string path = VostrelFuzz::writeInputFile("props", data, size);
    Vostrel::Properties::clear();
    Vostrel::Properties::load(path);
    std::remove(path.c_str());

    // Every getter on names the input may have used.
    for (const char* name : {"a", "demo.window.width", "", "x"}) {
        Vostrel::Properties::getString(name, "");
        Vostrel::Properties::getInt(name, 0);
        Vostrel::Properties::getFloat(name, 0);
        Vostrel::Properties::getVec2(name, Vec<float, 2>(0.0f));
        Vostrel::Properties::getVec3(name, Vec<float, 3>(0.0f));
        Vostrel::Properties::getVec4(name, Vec<float, 4>(0.0f));
    }
    return 0;
}
