#pragma once

#include <functional>
#include <string>
#include <vector>

namespace Vostrel {
namespace Content {

// One step of the generator: writes its files below the content root.
struct ContentWriter {
    std::string name;
    std::function<void(const std::string& root)> write;
};

// The writers in the order they run. Each writer file adds itself with a
// static RegisterContentWriter, so the parts' writers need no shared list.
std::vector<ContentWriter>& contentWriters();

struct RegisterContentWriter {
    RegisterContentWriter(const std::string& name, std::function<void(const std::string&)> write);
};

// Runs every writer into root (created if missing); throws on the first failure.
void writeAllContent(const std::string& root);

// root + "/" + relative, with the folders leading to it created.
std::string prepareOutputPath(const std::string& root, const std::string& relative);

} // namespace Content
} // namespace Vostrel
