#pragma once

// What the engine expects of its original C runtime where glibc differs.

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

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

// Opens a data file (resolved as above). For reading only a regular file
// opens: a folder has no bytes to give and the open of a FIFO would block
// for ever. Null on failure, with what the system said in reason ("No such
// file or directory", "Is a directory", "Not a regular file").
std::FILE* openDataFile(const std::string& name, const char* mode, std::string& reason);
std::FILE* openDataFile(const std::string& name, const char* mode);

// For readers that open files their own way: "" when name is a regular file
// that opens for reading, else the reason openDataFile would give. Such a
// reader opens resolveDataPath(name), the file this reason is about.
std::string unreadableReason(const std::string& name);

// Why the reads of a file stopped short: "" when they reached its end, else
// what the system said ("Input/output error"). Ask right after the read that
// stopped, before anything else can change errno.
std::string readFailure(std::FILE* file);

// Reads a whole data file into bytes, to its end rather than sized by
// seeking. False, with the reason, when it cannot be opened or read or holds
// more than maxBytes ("File too large"). For char and unsigned char.
template <typename Byte>
bool readDataFile(const std::string& name, std::vector<Byte>& bytes, std::size_t maxBytes, std::string& reason);

} // namespace Runtime
