#pragma once

// What the engine expects of its original C runtime where glibc differs.

#include <cstdio>
#include <string>

namespace Runtime {

// The runtime's one program-wide rand stream:
// state = state * 214013 + 2531011, result (state >> 16) & 32767.
// Nothing seeds it, so every run starts from state 1.
constexpr int RAND_MAX_VALUE = 32767;
int rand();
void srand(unsigned int seed);

// Milliseconds of wall-clock time since the process started (glibc's clock
// counts processor time instead).
constexpr long CLOCKS_PER_SECOND = 1000;
long clock();

// Names that come from data files were written on a case-insensitive file
// system with backslashes: map the separators, and when the exact name is
// missing try a case-insensitive match component by component. Returns the
// name unchanged (but with slashes) when nothing matches.
std::string resolveDataPath(const std::string& name);
std::FILE* openDataFile(const std::string& name, const char* mode);

} // namespace Runtime
