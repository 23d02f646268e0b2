#include "Libs/Common/StringUtils.h"

#include "Libs/Common/Exception.h"

#include <climits>
#include <cstdlib>
#include <locale>
#include <sstream>

namespace Vostrel {
namespace StringUtils {

int parseInt(const std::string& text)
{
    if (text.empty() || !((text[0] >= '0' && text[0] <= '9') || text[0] == '-'))
        VOSTREL_THROW("Integer parsing failed. (" << printable(text) << ")");
    // strtol is 64-bit here; the engine's long was 32-bit, so clamp as it did.
    long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

double parseDouble(const std::string& text)
{
    return std::strtod(text.c_str(), nullptr);
}

bool startsWith(const std::string& prefix, const std::string& text)
{
    return text.find(prefix) == 0;
}

bool endsWith(const std::string& suffix, const std::string& text)
{
    if (suffix.empty())
        return true;
    std::string::size_type at = text.rfind(suffix);
    return at != std::string::npos && at + suffix.size() == text.size();
}

std::string escape(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

std::string printable(const std::string& text)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f) {
            out += c;
        } else {
            out += "\\x";
            out += digits[byte >> 4];
            out += digits[byte & 0xf];
        }
    }
    return out;
}

std::string join(const std::vector<std::string>& parts, const std::string& separator)
{
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            out += separator;
        out += parts[i];
    }
    return out;
}

void split(std::vector<std::string>& out, const std::string& text, char delimiter)
{
    out.clear();
    std::string::size_type start = 0;
    for (;;) {
        std::string::size_type at = text.find(delimiter, start);
        if (at == std::string::npos)
            break;
        out.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    if (start < text.size())
        out.push_back(text.substr(start));
}

namespace {
template <typename T> std::string streamed(T value)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << value;
    return out.str();
}
} // namespace

std::string intToString(int value) { return streamed(value); }
std::string doubleToString(double value) { return streamed(value); }
std::string floatToString(float value) { return streamed(value); }
std::string concatFloat(const std::string& text, float value) { return text + floatToString(value); }
std::string concatDouble(const std::string& text, double value) { return text + doubleToString(value); }

} // namespace StringUtils
} // namespace Vostrel
