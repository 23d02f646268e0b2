#include "Tools/Content/ContentWriter.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "Libs/Common/Exception.h"

namespace Vostrel {
namespace Content {

std::vector<ContentWriter>& contentWriters()
{
    static std::vector<ContentWriter> writers;
    return writers;
}

RegisterContentWriter::RegisterContentWriter(const std::string& name,
                                             std::function<void(const std::string&)> write)
{
    contentWriters().push_back({name, std::move(write)});
}

void writeAllContent(const std::string& root)
{
    std::filesystem::create_directories(root);
    // Registration order depends on the link; run by name so the output is
    // the same on every build.
    std::vector<ContentWriter> writers = contentWriters();
    std::sort(writers.begin(), writers.end(),
              [](const ContentWriter& a, const ContentWriter& b) { return a.name < b.name; });
    for (const ContentWriter& writer : writers) {
        std::cout << "writing " << writer.name << std::endl;
        writer.write(root);
    }
}

std::vector<PropertySection>& propertySections()
{
    static std::vector<PropertySection> sections;
    return sections;
}

RegisterPropertySection::RegisterPropertySection(const std::string& name, std::function<std::string()> lines)
{
    propertySections().push_back({name, std::move(lines)});
}

std::string prepareOutputPath(const std::string& root, const std::string& relative)
{
    std::filesystem::path path = std::filesystem::path(root) / relative;
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    if (error)
        VOSTREL_THROW("Cannot create the folder " << path.parent_path().string() << ": " << error.message());
    return path.string();
}

} // namespace Content
} // namespace Vostrel
