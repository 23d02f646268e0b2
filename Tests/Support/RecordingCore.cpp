#include "Tests/Support/RecordingCore.h"

#include "Libs/Core/StateBlocks.h"

#include "Libs/Common/Exception.h"

#include <sstream>
#include <stdexcept>

namespace Vostrel {
namespace TestSupport {

using namespace Core;

namespace {

std::string constantsText(const ConstantSet* set)
{
    std::ostringstream out;
    out << "count=" << set->count;
    for (int i = 0; i < set->count; ++i) {
        const float* v = set->getValues() + 4 * i;
        out << " (" << v[0] << " " << v[1] << " " << v[2] << " " << v[3] << ")";
    }
    return out.str();
}

std::string clearText(int flags, const Vec4& color, float depth, int stencil)
{
    std::ostringstream out;
    out << "flags=" << flags << " color=" << color << " depth=" << depth << " stencil=" << stencil;
    return out.str();
}

template <typename Resource> Resource* made(RecordingCore& core, Resource* resource, const std::string& line)
{
    core.write(line);
    return resource;
}

} // namespace

RecordingCore::RecordingCore(const WindowParameters& parameters)
    : parameters(parameters), mainWindow(nullptr), flipsY(false), minimumClipDepth(0.0f),
      refuseRenderWindows(false), created(0)
{
}

RecordingCore::~RecordingCore()
{
    delete mainWindow;
}

RecordingCore& RecordingCore::install()
{
    APICore::destroyInstance();
    RecordingCore* core = new RecordingCore();
    APICore::installInstance(core);
    return *core;
}

void RecordingCore::registerAsImplementation()
{
    APICore::registerImplementation([](const WindowParameters* parameters, RenderWindow** mainWindow) -> APICore* {
        if (!parameters)
            return new RecordingCore();
        RecordingCore* core = new RecordingCore(*parameters);
        core->mainWindow = new RecordingWindow("main", parameters->width, parameters->height);
        *mainWindow = core->mainWindow;
        return core;
    });
}

void RecordingCore::write(const std::string& line)
{
    log.push_back(line);
    if (!failingSlot.empty() && line.compare(0, failingSlot.size() + 1, failingSlot + "(") == 0)
        VOSTREL_THROW("RecordingCore: " << failingSlot << " refused");
}

std::vector<std::string> RecordingCore::takeLog()
{
    std::vector<std::string> taken;
    taken.swap(log);
    return taken;
}

std::vector<std::string> RecordingCore::callsTo(const std::string& name) const
{
    std::vector<std::string> calls;
    for (const std::string& line : log)
        if (line.compare(0, name.size() + 1, name + "(") == 0)
            calls.push_back(line);
    return calls;
}

void RecordingCore::setPixelShader(PixelShader* shader)
{
    currentPixelShader = shader;
    write("setPixelShader(" + nameOf(shader) + ")");
}

void RecordingCore::setVertexShader(VertexShader* shader)
{
    currentVertexShader = shader;
    write("setVertexShader(" + nameOf(shader) + ")");
}

void RecordingCore::setIndexStream(IndexStream* stream)
{
    currentIndexStream = stream;
    write("setIndexStream(" + nameOf(stream) + ")");
}

void RecordingCore::setPixelShaderConstants(ConstantSet* constants)
{
    currentPixelConstants = constants;
    write("setPixelShaderConstants(" + constantsText(constants) + ")");
}

void RecordingCore::setVertexShaderConstants(ConstantSet* constants)
{
    currentVertexConstants = constants;
    write("setVertexShaderConstants(" + constantsText(constants) + ")");
}

void RecordingCore::setTextures(TextureSet* textures)
{
    std::ostringstream out;
    out << "setTextures(count=" << textures->count;
    for (int i = 0; i < textures->count; ++i)
        out << " " << nameOf(textures->textures[i]);
    out << ")";
    // The set is bound now, as far as the device is concerned.
    textures->dirty = false;
    recordTextures(textures);
    write(out.str());
}

void RecordingCore::setVertexStreams(StreamSet* streams, VertexFormat* format)
{
    std::ostringstream out;
    out << "setVertexStreams(count=" << streams->count;
    for (int i = 0; i < streams->count; ++i)
        out << " " << nameOf(streams->streams[i]);
    out << " format=" << nameOf(format) << ")";
    recordVertexStreams(streams, format);
    write(out.str());
}

void RecordingCore::setStencilState(StencilState* s)
{
    currentStencilState = s;
    std::ostringstream out;
    out << "setStencilState(enabled=" << s->enabled << " fail=" << s->fail << " depthFail=" << s->depthFail
        << " pass=" << s->pass << " func=" << s->function << " ref=" << s->reference << " read=" << s->readMask
        << " write=" << s->writeMask << ")";
    write(out.str());
}

void RecordingCore::setBlendState(BlendState* s)
{
    currentBlendState = s;
    std::ostringstream out;
    out << "setBlendState(enabled=" << s->enabled << " src=" << s->source << " dst=" << s->destination
        << " op=" << s->operation << " factor=" << s->factor << ")";
    write(out.str());
}

void RecordingCore::setDepthState(DepthState* s)
{
    currentDepthState = s;
    std::ostringstream out;
    out << "setDepthState(test=" << s->testEnabled << " write=" << s->writeEnabled << " func=" << s->function
        << " bias=" << s->bias << " slope=" << s->slopeScaledBias << ")";
    write(out.str());
}

void RecordingCore::setAlphaTestState(AlphaTestState* s)
{
    currentAlphaTestState = s;
    std::ostringstream out;
    out << "setAlphaTestState(enabled=" << s->enabled << " ref=" << s->reference << " func=" << s->function << ")";
    write(out.str());
}

void RecordingCore::setAuxState(AuxState* s)
{
    currentAuxState = s;
    std::ostringstream out;
    out << "setAuxState(flag0=" << s->flag0 << " flag1=" << s->flag1 << ")";
    write(out.str());
}

void RecordingCore::setClipState(ClipState* s)
{
    currentClipState = s;
    std::ostringstream out;
    out << "setClipState(planes=" << s->planesEnabled << " count=" << s->planeCount
        << " scissor=" << s->scissorEnabled << " rect=(" << s->scissorX << " " << s->scissorY << " "
        << s->scissorWidth << " " << s->scissorHeight << "))";
    write(out.str());
}

void RecordingCore::setColorWriteState(ColorWriteState* s)
{
    currentColorWriteState = s;
    write(std::string("setColorWriteState(enabled=") + (s->enabled ? "1" : "0") + ")");
}

void RecordingCore::setFillState(FillState* s)
{
    currentFillState = s;
    std::ostringstream out;
    out << "setFillState(mode=" << s->mode << " pointSprite=" << s->pointSprite << ")";
    write(out.str());
}

void RecordingCore::setCullState(CullState* s)
{
    currentCullState = s;
    write("setCullState(mode=" + std::to_string(s->mode) + ")");
}

void RecordingCore::drawPrimitives(PrimitiveType type, int firstVertex, int primitiveCount)
{
    std::ostringstream out;
    out << "drawPrimitives(type=" << type << " first=" << firstVertex << " count=" << primitiveCount << ")";
    write(out.str());
}

void RecordingCore::drawIndexedPrimitives(PrimitiveType type, int lowestVertexIndex, int vertexCount,
                                          int firstIndex, int primitiveCount)
{
    std::ostringstream out;
    out << "drawIndexedPrimitives(type=" << type << " lowest=" << lowestVertexIndex << " vertices=" << vertexCount
        << " first=" << firstIndex << " count=" << primitiveCount << ")";
    write(out.str());
}

void RecordingCore::clearTarget(int flags, const Vec4& color, float depth, int stencil)
{
    write("clearTarget(" + clearText(flags, color, depth, stencil) + ")");
}

void RecordingCore::clearViewport(int flags, const Vec4& color, float depth, int stencil)
{
    write("clearViewport(" + clearText(flags, color, depth, stencil) + ")");
}

VertexFormat* RecordingCore::createVertexFormat(int elementCount, const VertexElement* elements)
{
    std::ostringstream out;
    out << "createVertexFormat(count=" << elementCount;
    for (int i = 0; i < elementCount; ++i)
        out << " (" << elements[i].stream << " " << elements[i].offset << " " << elements[i].type << " "
            << elements[i].attribute << ")";
    out << ")";
    return made(*this, new FakeVertexFormat("format" + std::to_string(created++)), out.str());
}

VertexStream* RecordingCore::createVertexStream(int size, int stride, int usage)
{
    std::ostringstream out;
    out << "createVertexStream(size=" << size << " stride=" << stride << " usage=" << usage << ")";
    return made(*this, new RecordingVertexStream("stream" + std::to_string(created++), size, stride), out.str());
}

IndexStream* RecordingCore::createIndexStream(int size, IndexStreamType type, int usage)
{
    std::ostringstream out;
    out << "createIndexStream(size=" << size << " type=" << type << " usage=" << usage << ")";
    return made(*this, new RecordingIndexStream("indices" + std::to_string(created++), size, type), out.str());
}

RenderWindow* RecordingCore::createRenderWindow(const WindowParameters& windowParameters)
{
    write("createRenderWindow(" + windowParameters.title + ")");
    if (refuseRenderWindows)
        throw std::runtime_error("render windows refused");
    return new RecordingWindow("window" + std::to_string(created++), windowParameters.width,
                               windowParameters.height);
}

RenderTarget* RecordingCore::createRenderCanvas(NativeWindowHandle window)
{
    std::ostringstream out;
    out << "createRenderCanvas(" << window << ")";
    return made(*this, new RecordingTarget("canvas" + std::to_string(created++), 0, 0), out.str());
}

VertexShader* RecordingCore::createVertexShader(const ShaderProgram&)
{
    return made(*this, new FakeVertexShader("vertexShader" + std::to_string(created++)), "createVertexShader()");
}

PixelShader* RecordingCore::createPixelShader(const ShaderProgram&)
{
    return made(*this, new FakePixelShader("pixelShader" + std::to_string(created++)), "createPixelShader()");
}

Texture* RecordingCore::createTexture(const TextureParameters& parameters)
{
    return made(*this, new RecordingTexture("texture" + std::to_string(created++), parameters), "createTexture()");
}

int RecordingCore::reservedQuery()
{
    write("reservedQuery()");
    return 0;
}

bool RecordingCore::flipsProjectionY()
{
    write("flipsProjectionY()");
    return flipsY;
}

float RecordingCore::getMinimumClipDepth()
{
    write("getMinimumClipDepth()");
    return minimumClipDepth;
}

bool RecordingCore::canCreateRenderWindow(const WindowParameters& windowParameters)
{
    write("canCreateRenderWindow(" + windowParameters.title + ")");
    try {
        delete createRenderWindow(windowParameters);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace TestSupport
} // namespace Vostrel
