#include "Libs/Testing/Utils/Utils.h"

#include "Libs/Common/StringUtils.h"
#include "Libs/Image/Image.h"
#include "Libs/Math/Envelope.h"
#include "Libs/Math/Random.h"
#include "Libs/Testing/Utils/ToolkitAssert.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace Vostrel {

float unitRandom(uint32_t word)
{
    // The top 128 words round to 1.0f; callers scale and truncate, so they
    // must stay below it.
    return std::min(static_cast<float>(word * (1.0 / 4294967296.0)), std::nextafter(1.0f, 0.0f));
}

float unitRandom()
{
    return unitRandom(randomUInt32());
}

void parseHtmlColor(Vec4& out, const std::string& htmlColorCode, float alpha)
{
    TOOLKIT_ASSERT(htmlColorCode.size() == 7 && htmlColorCode[0] == '#');
    static const char digits[] = "0123456789ABCDEF";
    int values[6];
    for (int i = 0; i < 6; ++i) {
        char c = static_cast<char>(std::toupper(static_cast<unsigned char>(htmlColorCode[i + 1])));
        const char* found = c ? std::strchr(digits, c) : nullptr;
        if (!found)
            TOOLKIT_THROW("Invalid hex digit: " << StringUtils::printable(std::string(1, c)));
        values[i] = static_cast<int>(found - digits);
    }
    out = Vec4((16 * values[0] + values[1]) / 255.0f, (16 * values[2] + values[3]) / 255.0f,
               (16 * values[4] + values[5]) / 255.0f, alpha);
}

std::unique_ptr<Envelope> envelopeFromDigits(const std::string& digits, float step, float start)
{
    auto envelope = std::make_unique<Envelope>();
    envelope->setPreBehavior(1);
    envelope->setPostBehavior(3);
    float t = start;
    for (char c : digits) {
        TOOLKIT_ASSERT(c >= '0' && c <= '9');
        envelope->addKey({0, t, static_cast<float>(c - '0'), 1.0f, 0.0f, 0.0f});
        envelope->addKey({0, t + step - 0.0001f, 0.0f, 1.0f, 0.0f, 0.0f});
        t += step;
    }
    if (!digits.empty())
        envelope->computeCoefficients();
    return envelope;
}

void ReadLines(const std::string& fileName, std::vector<std::string>& lines)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(openDataFileOrSayWhy(fileName, "rb"), &std::fclose);
    if (!file)
        TOOLKIT_THROW("ReadLines: " << fileName << " not found");
    std::vector<std::string> read;
    long total = 0;
    char buffer[128];
    for (;;) {
        // fgets stops at a NUL without telling; read by characters instead.
        std::size_t length = 0;
        int c = 0;
        while (length < sizeof buffer - 1 && (c = std::fgetc(file.get())) != EOF) {
            if (c == 0)
                TOOLKIT_THROW("ReadLines: " << fileName << " holds a NUL character");
            buffer[length++] = static_cast<char>(c);
            if (c == '\n')
                break;
        }
        if (length == 0)
            break;
        total += static_cast<long>(length);
        if (total > maxToolkitFileBytes)
            TOOLKIT_THROW("ReadLines: " << fileName << " is larger than " << maxToolkitFileBytes << " bytes");
        read.emplace_back(buffer, length);
        if (c == EOF)
            break;
    }
    if (sayWhyReadFailed(file.get(), fileName))
        TOOLKIT_THROW("ReadLines: cannot read " << fileName);
    lines.insert(lines.end(), read.begin(), read.end());
}

CachedTexture::CachedTexture(const std::string& fileName)
    : texture(loadTextureWithDefaults(fileName, true))
{
}

} // namespace Vostrel
