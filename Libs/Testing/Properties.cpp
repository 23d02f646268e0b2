#include "Libs/Testing/Properties.h"

#include "Libs/Common/Exception.h"
#include "Libs/Common/StringUtils.h"
#include "Platform/Runtime/Runtime.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <locale>
#include <map>
#include <sstream>

namespace Vostrel {

namespace {

std::map<std::string, std::string> strings;
std::map<std::string, int> ints;
std::map<std::string, float> floats;
std::map<std::string, Vec<float, 2>> vec2s;
std::map<std::string, Vec<float, 3>> vec3s;
std::map<std::string, Vec<float, 4>> vec4s;

// The longest line the format allows; longer ones are skipped.
const std::size_t maxLineLength = 1023;

// Reads one line without its newline, keeping at most enough characters to
// tell an over-long line, whatever the file holds. False at the end of file.
bool readLine(std::istream& in, std::string& line, bool& tooLong)
{
    line.clear();
    tooLong = false;
    int c = in.get();
    if (c == std::char_traits<char>::eof())
        return false;
    for (; c != std::char_traits<char>::eof() && c != '\n'; c = in.get()) {
        if (line.size() <= maxLineLength + 1)
            line += static_cast<char>(c);
        else
            tooLong = true;
    }
    // Files written on Windows end their lines with CR LF.
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.size() > maxLineLength)
        tooLong = true;
    return true;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The next whitespace-delimited word from position at; at moves past it.
std::string nextWord(const std::string& line, std::size_t& at)
{
    while (at < line.size() && isBlank(line[at]))
        ++at;
    std::size_t start = at;
    while (at < line.size() && !isBlank(line[at]))
        ++at;
    return line.substr(start, at - start);
}

// Each double quote toggles collecting; the blanks before the first are dropped.
std::string quotedText(const std::string& text)
{
    std::string value;
    bool inside = false;
    for (char c : text) {
        if (c == '"')
            inside = !inside;
        else if (inside)
            value += c;
    }
    return value;
}

// Extracts into temporaries: the stream writes 0 on failure, while a failed
// number keeps what its variable held. False when any extraction failed.
template <typename T> bool extract(std::istream& values, T* targets, int count)
{
    bool allRead = true;
    for (int i = 0; i < count; ++i) {
        T value;
        if (values >> value)
            targets[i] = value;
        else
            allRead = false;
    }
    return allRead;
}

template <typename T> std::string listed(const T* values, int count)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    for (int i = 0; i < count; ++i)
        out << (i ? " " : "") << values[i];
    return out.str();
}

// A value as an entry of the file gives it; the bytes of a string escaped.
std::string written(const std::string& value) { return "\"" + StringUtils::printable(value) + "\""; }
std::string written(int value) { return listed(&value, 1); }
std::string written(float value) { return listed(&value, 1); }
template <int N> std::string written(const Vec<float, N>& value) { return listed(value.ptr(), N); }

// The record the getters of this thread note their reads in; null when none.
thread_local Properties::ReadRecord* innermostRecord = nullptr;

// The variables a load keeps from entry to entry, so that a malformed
// number stores what the previous entry of the same type gave.
struct LoadState {
    int intValue = 0;
    float floatValue = 0;
    Vec<float, 2> vec2{0.0f};
    Vec<float, 3> vec3{0.0f};
    Vec<float, 4> vec4{0.0f};
};

template <typename T>
void storeNumbers(const std::string& fileName, int lineNumber, const std::string& type,
                  const std::string& name, std::istream& values, T* variables, int count)
{
    if (!extract(values, variables, count))
        std::cout << "WARNING: " << fileName << " line " << lineNumber << ": malformed number in the "
                  << type << " entry " << StringUtils::printable(name) << ", storing " << listed(variables, count)
                  << std::endl;
}

void parseEntry(const std::string& fileName, int lineNumber, const std::string& line, LoadState& state)
{
    std::size_t at = 0;
    std::string type = nextWord(line, at);
    std::string name = nextWord(line, at);
    std::string rest = line.substr(at);
    if (type == "S") {
        strings[name] = quotedText(rest);
        return;
    }
    std::istringstream values(rest);
    values.imbue(std::locale::classic());
    if (type == "I") {
        storeNumbers(fileName, lineNumber, type, name, values, &state.intValue, 1);
        ints[name] = state.intValue;
    } else if (type == "R") {
        storeNumbers(fileName, lineNumber, type, name, values, &state.floatValue, 1);
        floats[name] = state.floatValue;
    } else if (type == "V2") {
        storeNumbers(fileName, lineNumber, type, name, values, state.vec2.ptr(), 2);
        vec2s[name] = state.vec2;
    } else if (type == "V3") {
        storeNumbers(fileName, lineNumber, type, name, values, state.vec3.ptr(), 3);
        vec3s[name] = state.vec3;
    } else if (type == "V4") {
        storeNumbers(fileName, lineNumber, type, name, values, state.vec4.ptr(), 4);
        vec4s[name] = state.vec4;
    }
}

template <typename T>
T lookUp(const char* type, const std::map<std::string, T>& map, const std::string& name, const T& defaultValue)
{
    auto found = map.find(name);
    const bool set = found != map.end();
    const T& value = set ? found->second : defaultValue;
    if (innermostRecord)
        innermostRecord->note(type, name, written(value), set);
    return value;
}

} // namespace

Properties::ReadRecord::ReadRecord() : outer(innermostRecord) { innermostRecord = this; }

Properties::ReadRecord::~ReadRecord() { innermostRecord = outer; }

void Properties::ReadRecord::note(const char* type, const std::string& name, const std::string& value, bool set)
{
    bool known = false;
    for (const Read& read : reads)
        known = known || (read.name == name && read.type == type);
    if (!known)
        reads.push_back({type, name, value, set});
    if (outer)
        outer->note(type, name, value, set);
}

std::string Properties::ReadRecord::describe() const
{
    std::string text;
    for (const Read& read : reads)
        text += (text.empty() ? "" : ", ") + read.name + " " + read.value + (read.set ? "" : " (not set)");
    return text;
}

namespace {

[[noreturn]] void cannotLoad(const std::string& fileName, const std::string& reason)
{
    reportFileFailure(fileName, reason);
    VOSTREL_THROW_AT_LINE(20, "Cannot load property file '" << fileName << "'");
}

} // namespace

void Properties::load(const std::string& fileName)
{
    // A folder would read as an empty file, and the open of a FIFO blocks.
    // The file opened is the one the reason is about.
    const std::string path = Runtime::resolveDataPath(fileName);
    const std::string unreadable = Runtime::unreadableReason(path);
    if (!unreadable.empty())
        cannotLoad(fileName, unreadable);
    std::ifstream in(path);
    if (!in.is_open())
        cannotLoad(fileName, std::strerror(errno));
    LoadState state;
    std::string line;
    bool tooLong;
    for (int lineNumber = 1; readLine(in, line, tooLong); ++lineNumber) {
        if (tooLong) {
            std::cout << "WARNING: " << fileName << " line " << lineNumber << ": longer than "
                      << maxLineLength << " characters, skipped" << std::endl;
            continue;
        }
        if (!line.empty() && line[0] == '#')
            continue;
        parseEntry(fileName, lineNumber, line, state);
    }
    // A read error looks like the end of the file; the settings would then
    // silently be the defaults.
    if (in.bad())
        cannotLoad(fileName, std::strerror(errno));
}

std::string Properties::getString(const std::string& name, const std::string& defaultValue)
{
    return lookUp("S", strings, name, defaultValue);
}

int Properties::getInt(const std::string& name, int defaultValue)
{
    return lookUp("I", ints, name, defaultValue);
}

float Properties::getFloat(const std::string& name, float defaultValue)
{
    return lookUp("R", floats, name, defaultValue);
}

Vec<float, 2> Properties::getVec2(const std::string& name, const Vec<float, 2>& defaultValue)
{
    return lookUp("V2", vec2s, name, defaultValue);
}

Vec<float, 3> Properties::getVec3(const std::string& name, const Vec<float, 3>& defaultValue)
{
    return lookUp("V3", vec3s, name, defaultValue);
}

Vec<float, 4> Properties::getVec4(const std::string& name, const Vec<float, 4>& defaultValue)
{
    return lookUp("V4", vec4s, name, defaultValue);
}

void Properties::clear()
{
    strings.clear();
    ints.clear();
    floats.clear();
    vec2s.clear();
    vec3s.clear();
    vec4s.clear();
}

} // namespace Vostrel
