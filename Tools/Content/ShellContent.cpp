// The shell's files: "demo.props", the loading screen's calibration
// "pings" and the font.
#include "Tools/Content/ContentWriter.h"

#include "Libs/Common/Exception.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace Vostrel {
namespace Content {

namespace {

const char* const partNames[] = {"TransitionEffect", "MapEffect1",   "MapEffect2",  "MapEffect3",
                                 "MapEffect4",       "MapEffect5",   "ElevatorEffect", "AgentFollowEffect",
                                 "AttackEffect",     "AdminEffect",  "HaxorEffect1"};

// Debian's fonts-dejavu-core.
const char* const fontSource = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

void writeText(const std::string& root, const std::string& relative, const std::string& text)
{
    const std::string path = prepareOutputPath(root, relative);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out)
        VOSTREL_THROW("Cannot write " << path);
}

// The loading steps' end times as the loading screen writes them ("%d ",
// then "%f " each, then a newline): twelve steps, the first at 0.
std::string pings()
{
    const int count = 12;
    std::string text = std::to_string(count) + " ";
    for (int i = 0; i < count; ++i) {
        char time[32];
        std::snprintf(time, sizeof time, "%f ", 0.25 * i);
        text += time;
    }
    return text + "\n";
}

void copyFont(const std::string& root)
{
    const std::string path = prepareOutputPath(root, "data/Fonts/Prototype.ttf");
    std::error_code error;
    std::filesystem::copy_file(fontSource, path, std::filesystem::copy_options::overwrite_existing, error);
    if (error)
        VOSTREL_THROW("Cannot copy the font " << fontSource << " to " << path << ": " << error.message()
                                              << " (Debian's fonts-dejavu-core provides it)");
}

RegisterContentWriter demoPropsWriter("demo.props", [](const std::string& root) {
    writeText(root, "demo.props", demoProperties());
});
RegisterContentWriter pingsWriter("pings", [](const std::string& root) { writeText(root, "pings", pings()); });
RegisterContentWriter fontWriter("font", copyFont);

} // namespace

std::string demoProperties()
{
    std::ostringstream out;
    out << "# The show's settings: type, name, value.\n"
           "S demo.window.title \"Vostrel\"\n"
           "I demo.window.width 640\n"
           "I demo.window.height 480\n"
           "I demo.window.fullscreen 0\n"
           "I demo.window.vSync 1\n"
           "S demo.music.file \"data/Music/vostrel.ogg\"\n"
           "R demo.music.volume 0.8\n"
           "R demo.music.offset 0\n"
           "R demo.startTime 0\n"
           "R demo.endTime 219\n";
    for (const char* name : partNames)
        out << "I " << name << ".enabled 1\n";
    std::vector<PropertySection> sections = propertySections();
    std::sort(sections.begin(), sections.end(),
              [](const PropertySection& a, const PropertySection& b) { return a.name < b.name; });
    for (const PropertySection& section : sections) {
        std::string lines = section.lines();
        if (!lines.empty() && lines.back() != '\n')
            lines += '\n';
        out << "# " << section.name << "\n" << lines;
    }
    return out.str();
}

} // namespace Content
} // namespace Vostrel
