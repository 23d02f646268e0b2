#include "Libs/Testing/LoadingEffect.h"

#include "Libs/Common/Exception.h"
#include "Libs/Common/StringUtils.h"
#include "Libs/Core/PixelShader.h"
#include "Libs/Core/RenderTarget.h"
#include "Libs/Core/VertexShader.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Libs/Postprocessing/Blitter.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Time/SysClockSyncronizer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>

namespace Vostrel {

namespace {

const char* const titleFile = "data/Textures/title.png";
const char* const pingsFile = "pings";
const char* const newPingsFile = "pings.new";

// Closes on every way out.
struct File {
    std::FILE* handle;
    explicit File(std::FILE* handle) : handle(handle) {}
    ~File()
    {
        if (handle)
            std::fclose(handle);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
};

// A built graph; its shaders go with it, after the blitters drawing with them.
struct OwnedBuild {
    ShaderBuild build;
    explicit OwnedBuild(const ShaderGraph& graph) : build(graph.build()) {}
    OwnedBuild(const OwnedBuild&) = delete;
    OwnedBuild& operator=(const OwnedBuild&) = delete;
};

// The blitters' full-target quad squeezed into a thin bar near the bottom,
// blue, most opaque along its middle line and filled up to u = "status"
// with a soft edge one fiftieth wide.
ShaderGraph barGraph()
{
    ShaderGraph graph;
    graph.setPosition(graph.vertexStream("location") * graph.constant4(0.9f, 0.02f, 0.0f, 0.0f) +
                      graph.constant4(0.0f, -0.8f, 0.0f, 1.0f));
    const ShaderValue texcoord = vs2ps(graph.vertexStream("texcoord"));
    const ShaderValue u = texcoord[0];
    const ShaderValue v = texcoord[1];
    const ShaderValue alpha = 4.0f * v * (1.0f - v) * min((graph.uniform("status", 1) - u) * 50.0f, 1.0f);
    graph.setColorResult(
        compose4(graph.constantScalar(0.3f), graph.constantScalar(0.3f), graph.constantScalar(0.9f), alpha));
    return graph;
}

ShaderGraph titleGraph()
{
    ShaderGraph graph;
    graph.setPosition(graph.vertexStream("location"));
    graph.setColorResult(texld(graph.vertexStream("texcoord"), graph.texture("texture", Core::TEXTURE_TYPE_2D)));
    return graph;
}

class LoadingEffectImpl : public LoadingEffect {
public:
    explicit LoadingEffectImpl(MessagePump pumpMessages)
        : pumpMessages(std::move(pumpMessages)), titleTexture(loadCachedTexture(titleFile)), stepClock(0.0f),
          barBuild(barGraph()), titleBuild(titleGraph()),
          barBlitter(createGenericFullscreenBlitter(barBuild.build)),
          titleBlitter(createGenericFullscreenBlitter(titleBuild.build))
    {
        barBlitter->setBlending(Core::BLENDOP_ADD, Core::BLEND_SOURCE_ALPHA, Core::BLEND_INVERSE_SOURCE_ALPHA,
                                Vec4(1.0f, 1.0f, 1.0f, 1.0f), false, Core::BLENDOP_ADD, Core::BLEND_ONE,
                                Core::BLEND_ONE);
        titleBlitter->setTexture("texture", titleTexture);
        loadPings();
    }

    void draw(RenderTexture& screen) override { blitTexture(&screen, titleTexture); }

    void ping(RenderTexture& screen) override
    {
        float time = 0.0f;
        if (measured.empty())
            stepClock.start();
        else
            time = stepClock.getTime();
        measured.push_back(time);
        const float progress = pingProgress(calibration, measured.size());
        barBlitter->setVec4("status", Vec4(progress, progress, progress, progress));
        for (int frame = 0; frame < 3 && !cancelled; ++frame) {
            screen.target->begin();
            titleBlitter->blit();
            barBlitter->blit();
            screen.target->end();
            pump();
        }
    }

    void savePings() override
    {
        File file(std::fopen(newPingsFile, "w"));
        if (!file.handle)
            VOSTREL_THROW("Cannot write " << newPingsFile << ": " << std::strerror(errno));
        std::fprintf(file.handle, "%d ", static_cast<int>(measured.size()));
        for (float time : measured)
            std::fprintf(file.handle, "%f ", time);
        std::fprintf(file.handle, "\n");
        const bool failed = std::ferror(file.handle) != 0;
        const bool notClosed = std::fclose(file.handle) != 0;
        file.handle = nullptr;
        if (failed || notClosed)
            VOSTREL_THROW("Cannot write " << newPingsFile << ": the file was not written completely");
    }

    void loadPings() override
    {
        File file(openDataFileOrSayWhy(pingsFile, "r"));
        if (!file.handle)
            VOSTREL_THROW_AT_LINE(108, "file not found: " << pingsFile);
        calibration = readPings(file.handle, pingsFile);
    }

    void finish(RenderTexture& screen) override
    {
        std::unique_ptr<Blitter> blitter(createBlitter(1));
        const float offset[2] = {0.0f, 0.0f};
        const float weight = 1.0f;
        blitter->setOffsets(offset);
        blitter->setWeights(&weight);
        SysClockSyncronizer clock(0.0f);
        clock.start();
        for (float t = clock.getTime(); t < 1.0f && !cancelled; t = clock.getTime()) {
            screen.target->begin();
            blitter->blit(titleTexture);
            drawNoise(Vec4(t, t, t, t), Core::BLENDOP_REVERSE_SUBTRACT);
            screen.target->end();
            pump();
        }
    }

private:
    void pump()
    {
        if (pumpMessages && !pumpMessages())
            cancelled = true;
    }

    MessagePump pumpMessages;
    bool cancelled = false;
    Core::Texture* titleTexture; // the texture cache's
    SysClockSyncronizer stepClock;
    std::vector<float> measured;
    std::vector<float> calibration;
    OwnedBuild barBuild;
    OwnedBuild titleBuild;
    std::unique_ptr<GenericFullscreenBlitter> barBlitter;
    std::unique_ptr<GenericFullscreenBlitter> titleBlitter;
};

} // namespace

LoadingEffect* createLoadingEffect(MessagePump pumpMessages)
{
    return new LoadingEffectImpl(std::move(pumpMessages));
}

namespace {

// A count is quoted with at most this many of its digits.
constexpr size_t maxCountDigitsShown = 40;
// A longer word holds no time of a calibration.
constexpr size_t maxTimeWord = 256;

// The first character that is not white space, or EOF.
int firstAfterSpace(std::FILE* file)
{
    int c = std::fgetc(file);
    while (c != EOF && std::isspace(c))
        c = std::fgetc(file);
    return c;
}

// The count as "%d " would read it, but held at maxPingCount + 1 once past
// it instead of wrapping; written is its sign and digits as the file has
// them. False when no digit is there.
bool readCount(std::FILE* file, long& count, std::string& written)
{
    int c = firstAfterSpace(file);
    if (c == '+' || c == '-') {
        written += static_cast<char>(c);
        c = std::fgetc(file);
    }
    count = 0;
    size_t digits = 0;
    for (; c != EOF && std::isdigit(c); c = std::fgetc(file), ++digits) {
        count = std::min(count * 10 + (c - '0'), static_cast<long>(maxPingCount) + 1);
        if (digits < maxCountDigitsShown)
            written += static_cast<char>(c);
    }
    if (c != EOF)
        std::ungetc(c, file);
    if (digits > maxCountDigitsShown)
        written += "...";
    if (!written.empty() && written[0] == '-')
        count = -count;
    return digits > 0;
}

// The next whitespace-separated word; cut when it goes on past maxTimeWord.
std::string nextWord(std::FILE* file, bool& cut)
{
    int c = firstAfterSpace(file);
    std::string word;
    cut = false;
    for (; c != EOF && !std::isspace(c); c = std::fgetc(file)) {
        if (word.size() == maxTimeWord) {
            cut = true;
            break;
        }
        word += static_cast<char>(c);
    }
    return word;
}

} // namespace

std::vector<float> readPings(std::FILE* file, const std::string& fileName)
{
    // The bar shows what can be read: a calibration cut short keeps its size
    // and counts the missing times as 0.
    auto warn = [&](const std::string& what) { std::cerr << "WARNING: " << fileName << ": " << what << std::endl; };
    auto cutShort = [&](const std::string& what) {
        sayWhyReadFailed(file, fileName);
        warn(what);
    };
    long count = 0;
    std::string writtenCount;
    if (!readCount(file, count, writtenCount)) {
        cutShort("no count of times at its start, the bar stays full");
        return {};
    }
    if (count < 0 || count > maxPingCount)
        VOSTREL_THROW(fileName << ": " << writtenCount << " times is out of range (0 to " << maxPingCount << ")");
    std::vector<float> times(static_cast<size_t>(count), 0.0f);
    // As "%f " reads: a time may follow the one before without a blank.
    std::string rest;
    bool restCut = false;
    for (long i = 0; i < count; ++i) {
        auto which = [&] { return "time " + std::to_string(i + 1) + " of " + std::to_string(count); };
        if (rest.empty())
            rest = nextWord(file, restCut);
        char* end = nullptr;
        const float time = std::strtof(rest.c_str(), &end);
        const size_t used = static_cast<size_t>(end - rest.c_str());
        if (used == 0 || (restCut && used == rest.size())) {
            cutShort(which() + " is missing or not a number, it and the rest count as 0");
            break;
        }
        // One time that is no time does not spoil the others.
        if (std::isfinite(time))
            times[static_cast<size_t>(i)] = time;
        else
            warn(which() + " is not finite (" + StringUtils::printable(rest.substr(0, used)) + "), it counts as 0");
        rest.erase(0, used);
    }
    return times;
}

float pingProgress(const std::vector<float>& calibration, size_t k)
{
    if (k == 0 || k > calibration.size())
        return 1.0f;
    const float total = calibration.back();
    if (!(total > 0.0f) || !std::isfinite(total))
        return 1.0f;
    const float progress = calibration[k - 1] / total;
    if (std::isnan(progress))
        return 1.0f;
    return std::fmin(std::fmax(progress, 0.0f), 1.0f);
}

} // namespace Vostrel
