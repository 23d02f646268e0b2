#pragma once

#include <string>
#include <vector>

namespace Vostrel {
namespace StringUtils {

// Base-10 integer of a text that starts with a digit or '-'; trailing
// non-digits are ignored and the result is clamped to the 32-bit range.
// Anything else throws "Integer parsing failed. (text)".
int parseInt(const std::string& text);
// The decimal conversion of strtod; 0 when nothing converts.
double parseDouble(const std::string& text);

bool startsWith(const std::string& prefix, const std::string& text);
bool endsWith(const std::string& suffix, const std::string& text);

// A backslash before every blank, tab, newline and backslash.
std::string escape(const std::string& text);

// Bytes quoted from a file, fit for a terminal: every byte that is not
// printable ASCII written as \x and two hexadecimal digits ("\x1b"), so that
// a file cannot send control sequences to whoever reads the message.
// Printable ASCII stays as it is.
std::string printable(const std::string& text);

std::string join(const std::vector<std::string>& parts, const std::string& separator);
// Pieces between delimiters; empty pieces inside are kept, an empty last
// piece is not.
void split(std::vector<std::string>& out, const std::string& text, char delimiter);

std::string intToString(int value);
std::string doubleToString(double value);
std::string floatToString(float value);
std::string concatFloat(const std::string& text, float value);
std::string concatDouble(const std::string& text, double value);

} // namespace StringUtils
} // namespace Vostrel
