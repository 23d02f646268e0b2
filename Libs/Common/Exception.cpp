#include "Libs/Common/Exception.h"

#include "Libs/Common/StringUtils.h"
#include "Platform/Runtime/Runtime.h"

#include <cstring>
#include <iostream>
#include <mutex>
#include <set>

namespace Vostrel {

std::string Exception::report() const
{
    std::ostringstream out;
    out << (file ? file : "") << "(" << line << "): " << message;
    return out.str();
}

void writeReportLine(const std::string& line)
{
    // A message of several lines keeps its breaks.
    std::string out;
    for (std::string::size_type start = 0;;) {
        const std::string::size_type end = line.find('\n', start);
        out += StringUtils::printable(line.substr(start, end - start));
        if (end == std::string::npos)
            break;
        out += '\n';
        start = end + 1;
    }
    std::cerr << out << std::endl;
}

void reportContext(const std::string& line)
{
    writeReportLine(line);
}

void reportFileFailure(const std::string& fileName, const std::string& reason)
{
    reportContext(fileName + ": " + reason);
}

std::FILE* openDataFileOrSayWhy(const std::string& fileName, const char* mode)
{
    std::string reason;
    std::FILE* file = Runtime::openDataFile(fileName, mode, reason);
    if (!file)
        reportFileFailure(fileName, reason);
    return file;
}

bool sayWhyReadFailed(std::FILE* file, const std::string& fileName)
{
    const std::string reason = Runtime::readFailure(file);
    if (!reason.empty())
        reportFileFailure(fileName, reason);
    return !reason.empty();
}

const char* sourceName(const char* compilerFileName)
{
    std::string name = compilerFileName ? compilerFileName : "";
    // The build maps the tree's root away; a leftover absolute path still
    // starts at the first of the tree's top folders.
    for (const char* top : {"Libs/", "Platform/", "Tests/", "Tools/", "Bench/"}) {
        std::string::size_type at = name.find(top);
        if (at != std::string::npos && (at == 0 || name[at - 1] == '/')) {
            name.erase(0, at);
            break;
        }
    }
    std::string::size_type slash = name.find_last_of('/');
    std::string::size_type dot = name.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        name.erase(dot);
    for (char& c : name)
        if (c == '/')
            c = '\\';

    static std::mutex lock;
    static std::set<std::string>* names = new std::set<std::string>; // never freed: pointers escape
    std::lock_guard<std::mutex> guard(lock);
    return names->insert(name).first->c_str();
}

} // namespace Vostrel
