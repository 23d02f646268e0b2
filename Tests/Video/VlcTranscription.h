#pragma once

// The code tables as transcribed in Data/VlcTables.txt, independent of the
// decoder's own: the oracle of the table tests and the code book of the
// hand-built test streams.

#include <map>
#include <string>
#include <vector>

namespace VideoTest {

struct TranscribedCode {
    std::string bits; // '0' and '1' only
    std::vector<std::string> fields;
};

using Transcription = std::map<std::string, std::vector<TranscribedCode>>;

const Transcription& transcription();

// The bits of the code whose fields read `fields` ("5", "0 3", "EOB",
// "forward+pattern"); throws when the table has none.
std::string codeFor(const std::string& table, const std::string& fields);

} // namespace VideoTest
