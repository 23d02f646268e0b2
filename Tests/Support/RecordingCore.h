#pragma once

#include "Libs/Core/APICore.h"
#include "Libs/Core/IndexStream.h"
#include "Libs/Core/PixelShader.h"
#include "Libs/Core/RenderWindow.h"
#include "Libs/Core/Texture.h"
#include "Libs/Core/VertexFormat.h"
#include "Libs/Core/VertexShader.h"
#include "Libs/Core/VertexStream.h"

#include <memory>
#include <string>
#include <vector>

namespace Vostrel {
namespace TestSupport {

// A rendering interface that draws nothing and writes every slot call, with
// its arguments, as one line of its log, such as
//   "setBlendState(enabled=1 src=4 dst=5 op=0 factor=(1 1 1 1))"
//   "drawPrimitives(type=3 first=0 count=2)"
// Resources appear by name (see Named); null as "null". State slots record
// their argument as the Direct3D core does, so the draw state sees the same
// record. The log is the oracle for call order in render tests.
class RecordingCore : public Core::APICore {
public:
    explicit RecordingCore(const Core::WindowParameters& parameters = Core::WindowParameters());
    ~RecordingCore() override;

    // Destroys whatever instance exists and makes a new recording core the
    // instance; returns it (owned by the interface).
    static RecordingCore& install();
    // Makes recording cores what getInstance and createCore build, as the
    // device layer does for its own core.
    static void registerAsImplementation();

    const std::vector<std::string>& getLog() const { return log; }
    // The log so far, which is then emptied.
    std::vector<std::string> takeLog();
    void clearLog() { log.clear(); }
    // The calls whose name (the text before "(") is the given one.
    std::vector<std::string> callsTo(const std::string& name) const;

    // What the core was made from: the default-built record for the default core.
    const Core::WindowParameters& getParameters() const { return parameters; }
    Core::RenderWindow* getMainWindow() const { return mainWindow; }

    // Clip-space conventions handed to the projection builders.
    void setFlipsProjectionY(bool flips) { flipsY = flips; }
    void setMinimumClipDepth(float depth) { minimumClipDepth = depth; }
    // Makes createRenderWindow throw, as a full-screen core does.
    void setRefuseRenderWindows(bool refuse) { refuseRenderWindows = refuse; }

    void setPixelShader(Core::PixelShader* shader) override;
    void setVertexShader(Core::VertexShader* shader) override;
    void setIndexStream(Core::IndexStream* stream) override;
    void setPixelShaderConstants(Core::ConstantSet* constants) override;
    void setVertexShaderConstants(Core::ConstantSet* constants) override;
    void setTextures(Core::TextureSet* textures) override;
    void setVertexStreams(Core::StreamSet* streams, Core::VertexFormat* format) override;
    void setStencilState(Core::StencilState* state) override;
    void setBlendState(Core::BlendState* state) override;
    void setDepthState(Core::DepthState* state) override;
    void setAlphaTestState(Core::AlphaTestState* state) override;
    void setAuxState(Core::AuxState* state) override;
    void setClipState(Core::ClipState* state) override;
    void setColorWriteState(Core::ColorWriteState* state) override;
    void setFillState(Core::FillState* state) override;
    void setCullState(Core::CullState* state) override;
    void drawPrimitives(Core::PrimitiveType type, int firstVertex, int primitiveCount) override;
    void drawIndexedPrimitives(Core::PrimitiveType type, int lowestVertexIndex, int vertexCount, int firstIndex,
                               int primitiveCount) override;
    void clearTarget(int flags, const Vec4& color, float depth, int stencil) override;
    void clearViewport(int flags, const Vec4& color, float depth, int stencil) override;
    Core::VertexFormat* createVertexFormat(int elementCount, const Core::VertexElement* elements) override;
    Core::VertexStream* createVertexStream(int size, int stride, int usage) override;
    Core::IndexStream* createIndexStream(int size, Core::IndexStreamType type, int usage) override;
    Core::RenderWindow* createRenderWindow(const Core::WindowParameters& parameters) override;
    Core::RenderTarget* createRenderCanvas(Core::NativeWindowHandle window) override;
    Core::VertexShader* createVertexShader(const Core::ShaderProgram& program) override;
    Core::PixelShader* createPixelShader(const Core::ShaderProgram& program) override;
    Core::Texture* createTexture(const Core::TextureParameters& parameters) override;
    int reservedQuery() override;
    bool flipsProjectionY() override;
    float getMinimumClipDepth() override;
    bool canCreateRenderWindow(const Core::WindowParameters& parameters) override;

    // Makes the named slot throw a Vostrel::Exception after it logged and
    // recorded its call, as the device does with a value it cannot map.
    void setFailingSlot(const std::string& name) { failingSlot = name; }

    // Appends a line; the fakes below log their own calls through it.
    void write(const std::string& line);

private:
    Core::WindowParameters parameters;
    Core::RenderWindow* mainWindow;
    std::vector<std::string> log;
    bool flipsY;
    float minimumClipDepth;
    bool refuseRenderWindows;
    std::string failingSlot;
    int created;
};

// How fakes and test doubles appear in the log.
class Named {
public:
    explicit Named(std::string name) : name(std::move(name)) {}
    virtual ~Named() = default;
    const std::string& getName() const { return name; }

private:
    std::string name;
};

// The name of a resource in the log: "null", its Named name, or "unnamed".
template <typename Resource> std::string nameOf(const Resource* resource)
{
    if (!resource)
        return "null";
    const Named* named = dynamic_cast<const Named*>(resource);
    return named ? named->getName() : "unnamed";
}

// Resources that draw nothing, for filling render contexts in tests.
// Resources with a name and nothing else: bound, they do nothing; they hold
// no data.
class FakeTexture : public Core::Texture, public Named {
public:
    explicit FakeTexture(std::string name) : Named(std::move(name)) {}
    FakeTexture(std::string name, const Core::TextureParameters& parameters)
        : Named(std::move(name)), parameters(parameters)
    {
    }
    const Core::TextureParameters& getParameters() const override { return parameters; }
    void setPriority(float) override {}
    void* lock(int, int&, Core::LockType) override { return nullptr; }
    void* lockRect(int, int&, int, int, int, int, Core::LockType) override { return nullptr; }
    void unlock(int) override {}
    void update(int, const void*) override {}
    void updateRect(int, const void*, int, int, int, int) override {}
    Core::RenderTarget* getTarget(int) override { return nullptr; }
    Core::RenderTarget* getRenderTarget() override { return nullptr; }
    void fill(const Vec4&) override {}
    void setFilter(Core::MinFilter, Core::MagFilter) override {}
    void setWrap(Core::TextureWrap, Core::TextureWrap, Core::TextureWrap) override {}

private:
    Core::TextureParameters parameters;
};

class FakeVertexStream : public Core::VertexStream, public Named {
public:
    explicit FakeVertexStream(std::string name) : Named(std::move(name)) {}
    int getSize() const override { return 0; }
    int getStride() const override { return 0; }
    void setSize(int) override {}
    void setPriority(float) override {}
    void* lockRange(int, int, Core::LockType) override { return nullptr; }
    void* lock(Core::LockType) override { return nullptr; }
    void unlock() override {}
    bool isLocked() const override { return false; }
    void bind(int) override {}
    Core::StreamUsage getUsage() const override { return 0; }
    void setUsage(Core::StreamUsage) override {}
    void copyFrom(Core::VertexStream&, int, int, int) override {}
};

class FakeIndexStream : public Core::IndexStream, public Named {
public:
    explicit FakeIndexStream(std::string name) : Named(std::move(name)) {}
    int getSize() const override { return 0; }
    Core::IndexStreamType getType() const override { return Core::INDEX_16BIT; }
    void setPriority(float) override {}
    void* lockRange(int, int, Core::LockType) override { return nullptr; }
    void* lock(Core::LockType) override { return nullptr; }
    void unlock() override {}
    bool isLocked() const override { return false; }
    void bind() override {}
    Core::StreamUsage getUsage() const override { return 0; }
    void setUsage(Core::StreamUsage) override {}
    void copyFrom(Core::IndexStream&, int, int, int) override {}
};

class FakeVertexFormat : public Core::VertexFormat, public Named {
public:
    explicit FakeVertexFormat(std::string name) : Named(std::move(name)) {}
};

class FakeVertexShader : public Core::VertexShader, public Named {
public:
    explicit FakeVertexShader(std::string name) : Named(std::move(name)) {}
};

class FakePixelShader : public Core::PixelShader, public Named {
public:
    explicit FakePixelShader(std::string name) : Named(std::move(name)) {}
};

// A render target of a given size that behaves as the Direct3D targets do
// and logs, into the current recording core, "<name>.bindSurfaces" (only
// when it was not current), "<name>.beginScene", "<name>.endScene" and
// "<name>.update".
template <typename Base> class RecordingTargetOf : public Base, public Named {
public:
    RecordingTargetOf(std::string name, int width, int height) : Named(std::move(name))
    {
        this->width = width;
        this->height = height;
    }

    void getFramebuffer(std::uint32_t*) override { note("getFramebuffer"); }
    void beginScene() override
    {
        if (Core::RenderTarget::getCurrentTarget() != this)
            note("bindSurfaces");
        this->becomeCurrent();
        note("beginScene");
        this->setViewport(0.0f, 0.0f, 1.0f, 1.0f);
    }
    void endScene() override { note("endScene"); }
    void update() override { note("update"); }

private:
    void note(const char* what)
    {
        if (RecordingCore* core = dynamic_cast<RecordingCore*>(Core::APICore::getExistingInstance()))
            core->write(getName() + "." + what);
    }
};

typedef RecordingTargetOf<Core::RenderTarget> RecordingTarget;
typedef RecordingTargetOf<Core::RenderWindow> RecordingWindow;

// What the recording core's createVertexStream and createIndexStream make:
// streams that keep the bytes written through their locks.
class RecordingVertexStream : public FakeVertexStream {
public:
    RecordingVertexStream(std::string name, int size, int stride)
        : FakeVertexStream(std::move(name)), bytes(static_cast<size_t>(size)), stride(stride)
    {
    }
    int getSize() const override { return static_cast<int>(bytes.size()); }
    int getStride() const override { return stride; }
    void setSize(int size) override { bytes.resize(static_cast<size_t>(size)); }
    void* lockRange(int offset, int, Core::LockType) override { return bytes.data() + offset; }
    void* lock(Core::LockType) override { return bytes.data(); }

private:
    std::vector<unsigned char> bytes;
    int stride;
};

class RecordingIndexStream : public FakeIndexStream {
public:
    RecordingIndexStream(std::string name, int size, Core::IndexStreamType type)
        : FakeIndexStream(std::move(name)), bytes(static_cast<size_t>(size)), type(type)
    {
    }
    int getSize() const override { return static_cast<int>(bytes.size()); }
    Core::IndexStreamType getType() const override { return type; }
    void* lockRange(int offset, int, Core::LockType) override { return bytes.data() + offset; }
    void* lock(Core::LockType) override { return bytes.data(); }

private:
    std::vector<unsigned char> bytes;
    Core::IndexStreamType type;
};

// What the recording core's createTexture makes: a texture that keeps its
// parameters; a render-target texture draws into a recording target of its
// own name.
class RecordingTexture : public FakeTexture {
public:
    RecordingTexture(const std::string& name, const Core::TextureParameters& parameters)
        : FakeTexture(name, parameters)
    {
        if (parameters.renderTarget)
            target.reset(new RecordingTarget(name, parameters.width, parameters.height));
    }
    Core::RenderTarget* getTarget(int) override { return target.get(); }
    Core::RenderTarget* getRenderTarget() override { return target.get(); }

private:
    std::unique_ptr<RecordingTarget> target;
};

} // namespace TestSupport
} // namespace Vostrel
