#include "Tests/Video/VlcTranscription.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace VideoTest {

const Transcription& transcription()
{
    static const Transcription tables = [] {
        Transcription result;
        std::ifstream in(std::string(VIDEO_TEST_DATA) + "/VlcTables.txt");
        if (!in)
            throw std::runtime_error("missing VlcTables.txt");
        std::string line, current;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#')
                continue;
            if (line.compare(0, 6, "table ") == 0) {
                current = line.substr(6);
                continue;
            }
            std::string::size_type equals = line.find('=');
            if (equals == std::string::npos)
                throw std::runtime_error("bad line in VlcTables.txt: " + line);
            TranscribedCode code;
            for (char c : line.substr(0, equals))
                if (c == '0' || c == '1')
                    code.bits += c;
            std::istringstream words(line.substr(equals + 1));
            std::string word;
            while (words >> word)
                code.fields.push_back(word);
            result[current].push_back(code);
        }
        return result;
    }();
    return tables;
}

std::string codeFor(const std::string& table, const std::string& fields)
{
    for (const TranscribedCode& code : transcription().at(table)) {
        std::string joined;
        for (const std::string& field : code.fields)
            joined += (joined.empty() ? "" : " ") + field;
        if (joined == fields)
            return code.bits;
    }
    throw std::runtime_error("no code for " + fields + " in " + table);
}

} // namespace VideoTest
