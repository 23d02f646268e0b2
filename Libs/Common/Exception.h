#pragma once

#include <cstdio>
#include <sstream>
#include <string>
#include <type_traits>

namespace Vostrel {

// The one error type of the engine. The file is the raising source's path
// below the tree, backslash-separated and without extension
// ("Libs\Math\Envelope"), because that is how failures are reported.
class Exception {
public:
    Exception(const std::string& message, const char* file, int line)
        : message(message), file(file), line(line) {}

    const std::string& getMessage() const { return message; }
    const char* getFile() const { return file; }
    int getLine() const { return line; }

    // "file(line): message", the report line of the shell.
    std::string report() const;

    std::string message;
    const char* file;
    int line;
};

// A line of a failure's report on the standard error stream. File names and
// texts from data files reach it, so every byte that is not printable ASCII
// is written escaped (StringUtils::printable), line by line.
void writeReportLine(const std::string& line);

// A line on the standard error stream ahead of a failure's report, saying
// what the failure was about: "In " and the operation it passed through, or
// a file and what the system said of it.
void reportContext(const std::string& line);

// "<file>: <reason>" as a context line: why a file could not be read.
void reportFileFailure(const std::string& fileName, const std::string& reason);

// Opens a data file as Runtime::openDataFile does; when it cannot, says why
// on a context line and returns null, for the caller to raise its failure.
std::FILE* openDataFileOrSayWhy(const std::string& fileName, const char* mode);

// After a reader's reads of the file stopped: when they stopped on an error
// rather than at the end, says why on a context line and returns true.
// Call it right after the read that stopped.
bool sayWhyReadFailed(std::FILE* file, const std::string& fileName);

// Runs body; a Vostrel::Exception on its way out first writes "In " and the
// operation as a context line. The message stays as raised. The operation is
// a string, or a function making it for bodies that run every frame.
template <typename Operation, typename Body>
decltype(auto) inContext(Operation&& operation, Body&& body)
{
    try {
        return body();
    } catch (Exception&) {
        if constexpr (std::is_invocable_v<Operation>)
            reportContext("In " + operation());
        else
            reportContext("In " + std::string(operation));
        throw;
    }
}

// Turns a compiler file name ("Libs/Math/Envelope.cpp") into the reported
// form ("Libs\Math\Envelope"). The result is interned and lives forever.
const char* sourceName(const char* compilerFileName);

} // namespace Vostrel

// Throws a Vostrel::Exception whose message is composed in a string stream:
// VOSTREL_THROW("No key with id " << id);
#define VOSTREL_THROW(streamExpression) VOSTREL_THROW_AT_LINE(__LINE__, streamExpression)

// As VOSTREL_THROW, for the few failures whose report has always shown a
// fixed line, whatever the layout of the source around them.
#define VOSTREL_THROW_AT_LINE(reportedLine, streamExpression)                        \
    VOSTREL_THROW_FROM(::Vostrel::sourceName(__FILE__), reportedLine, streamExpression)

// As VOSTREL_THROW_AT_LINE, for code that moved out of the source its
// failures have always been reported from ("Libs\\Mesh\\ModifiableMesh").
#define VOSTREL_THROW_FROM(reportedSource, reportedLine, streamExpression)          \
    do {                                                                             \
        std::ostringstream vostrelMessageStream_;                                    \
        vostrelMessageStream_ << streamExpression;                                   \
        throw ::Vostrel::Exception(vostrelMessageStream_.str(), reportedSource,      \
                                   reportedLine);                                    \
    } while (false)

// A failed consistency check: the message is the expression's text followed
// by " does not hold.".
#define VOSTREL_ASSERT(expression)                                                   \
    do {                                                                             \
        if (!(expression))                                                           \
            throw ::Vostrel::Exception(#expression " does not hold.",                \
                                       ::Vostrel::sourceName(__FILE__), __LINE__);   \
    } while (false)

// As VOSTREL_ASSERT, for the checks whose report has always shown a fixed
// line.
#define VOSTREL_ASSERT_AT_LINE(reportedLine, expression)                             \
    VOSTREL_ASSERT_FROM(::Vostrel::sourceName(__FILE__), reportedLine, expression)

#define VOSTREL_ASSERT_FROM(reportedSource, reportedLine, expression)               \
    do {                                                                             \
        if (!(expression))                                                           \
            throw ::Vostrel::Exception(#expression " does not hold.", reportedSource, \
                                       reportedLine);                                \
    } while (false)
