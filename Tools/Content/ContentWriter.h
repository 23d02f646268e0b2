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

// "demo.props" is the shell's settings followed by the parts' keys. A part's
// writer file adds its keys with a static RegisterPropertySection:
//
//   static RegisterPropertySection mapEffect1Keys("MapEffect1", [] {
//       return "I MapEffect1.useBloom 1\n"
//              "R MapEffect1.bloomBase 0.003\n";
//   });
//
// The "demo.props" writer writes the sections after the shell's lines in
// the order of their names, each under a "# <name>" comment line. Lines end
// in LF; a part's ".enabled" key belongs to the shell's lines.
struct PropertySection {
    std::string name;
    std::function<std::string()> lines;
};

std::vector<PropertySection>& propertySections();

struct RegisterPropertySection {
    RegisterPropertySection(const std::string& name, std::function<std::string()> lines);
};

// The whole text of "demo.props".
std::string demoProperties();

} // namespace Content
} // namespace Vostrel
