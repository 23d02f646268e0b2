#pragma once

#include "Libs/Core/RenderStates.h"
#include "Libs/Core/WindowParameters.h"
#include "Libs/Math/Vec.h"

namespace Vostrel {
namespace Core {

struct CullState;
struct FillState;
struct ColorWriteState;
struct ClipState;
struct AuxState;
struct AlphaTestState;
struct DepthState;
struct BlendState;
struct StencilState;
struct StreamSet;
struct TextureSet;
struct ConstantSet;

class Texture;
class VertexFormat;
class VertexStream;
class IndexStream;
class VertexShader;
class PixelShader;
class RenderTarget;
class RenderWindow;
class ShaderProgram;
struct TextureParameters;
struct VertexElement;

enum IndexStreamType : int;

// The platform's window handle (an HWND on the Direct3D side).
typedef void* NativeWindowHandle;

// The single rendering interface. Everything that draws reaches the device
// through the one instance; the draw state compares its blocks against the
// record below to send only what is not already in place. Pointers in the
// record are not owned.
class APICore {
public:
    APICore();
    virtual ~APICore();

    APICore(const APICore&) = delete;
    APICore& operator=(const APICore&) = delete;

    // The slots, in order. State slots record their argument.
    virtual void setPixelShader(PixelShader* shader) = 0; // null unbinds
    virtual void setVertexShader(VertexShader* shader) = 0; // null unbinds
    virtual void setIndexStream(IndexStream* stream) = 0; // null unbinds
    virtual void setPixelShaderConstants(ConstantSet* constants) = 0;
    virtual void setVertexShaderConstants(ConstantSet* constants) = 0;
    // Entries below the set's count may be null: the stage is then unbound.
    virtual void setTextures(TextureSet* textures) = 0;
    virtual void setVertexStreams(StreamSet* streams, VertexFormat* format) = 0;
    virtual void setStencilState(StencilState* state) = 0;
    virtual void setBlendState(BlendState* state) = 0;
    virtual void setDepthState(DepthState* state) = 0;
    virtual void setAlphaTestState(AlphaTestState* state) = 0;
    virtual void setAuxState(AuxState* state) = 0; // recorded only, never sent
    virtual void setClipState(ClipState* state) = 0;
    virtual void setColorWriteState(ColorWriteState* state) = 0;
    virtual void setFillState(FillState* state) = 0;
    virtual void setCullState(CullState* state) = 0;
    virtual void drawPrimitives(PrimitiveType type, int firstVertex, int primitiveCount) = 0;
    virtual void drawIndexedPrimitives(PrimitiveType type, int lowestVertexIndex, int vertexCount,
                                       int firstIndex, int primitiveCount) = 0;
    // Clear flags: CLEAR_COLOR, CLEAR_DEPTH, CLEAR_STENCIL; colour r, g, b, a in 0..1.
    virtual void clearTarget(int flags, const Vec4& color, float depth, int stencil) = 0;
    virtual void clearViewport(int flags, const Vec4& color, float depth, int stencil) = 0;
    // The create slots return new objects owned by the caller.
    virtual VertexFormat* createVertexFormat(int elementCount, const VertexElement* elements) = 0;
    virtual VertexStream* createVertexStream(int size, int stride, int usage) = 0;
    virtual IndexStream* createIndexStream(int size, IndexStreamType type, int usage) = 0;
    virtual RenderWindow* createRenderWindow(const WindowParameters& parameters) = 0;
    virtual RenderTarget* createRenderCanvas(NativeWindowHandle window) = 0;
    virtual VertexShader* createVertexShader(const ShaderProgram& program) = 0;
    virtual PixelShader* createPixelShader(const ShaderProgram& program) = 0;
    virtual Texture* createTexture(const TextureParameters& parameters) = 0;
    virtual int reservedQuery() = 0;
    // Clip-space conventions for the projection builders: whether y runs the
    // other way, and the depth the near plane maps to (the far plane maps to 1).
    virtual bool flipsProjectionY() = 0;
    virtual float getMinimumClipDepth() = 0;
    // Makes a render window with these parameters and deletes it at once:
    // true when that returned (even null), false when it threw.
    virtual bool canCreateRenderWindow(const WindowParameters& parameters) = 0;

    // Called by the render targets as they begin and end: a different target
    // marks the target as changed, so the clip block is sent again.
    void setCurrentTarget(RenderTarget* target);

    CullState* getCurrentCullState() const { return currentCullState; }
    FillState* getCurrentFillState() const { return currentFillState; }
    ColorWriteState* getCurrentColorWriteState() const { return currentColorWriteState; }
    ClipState* getCurrentClipState() const { return currentClipState; }
    AuxState* getCurrentAuxState() const { return currentAuxState; }
    AlphaTestState* getCurrentAlphaTestState() const { return currentAlphaTestState; }
    DepthState* getCurrentDepthState() const { return currentDepthState; }
    BlendState* getCurrentBlendState() const { return currentBlendState; }
    StencilState* getCurrentStencilState() const { return currentStencilState; }
    StreamSet* getCurrentStreamSet() const { return currentStreamSet; }
    TextureSet* getCurrentTextureSet() const { return currentTextureSet; }
    ConstantSet* getCurrentVertexConstants() const { return currentVertexConstants; }
    ConstantSet* getCurrentPixelConstants() const { return currentPixelConstants; }
    VertexFormat* getCurrentVertexFormat() const { return currentVertexFormat; }
    IndexStream* getCurrentIndexStream() const { return currentIndexStream; }
    VertexShader* getCurrentVertexShader() const { return currentVertexShader; }
    PixelShader* getCurrentPixelShader() const { return currentPixelShader; }
    RenderTarget* getCurrentRenderTarget() const { return currentRenderTarget; }
    bool isTargetChanged() const { return targetChanged; }
    // The clip block has been sent for the new target.
    void clearTargetChanged() { targetChanged = false; }

    // The instance; the first call without one creates the default core.
    static APICore* getInstance();
    // The instance or null; never creates one.
    static APICore* getExistingInstance();
    // Makes the implementation's windowless default core the instance when
    // there is none.
    static void createDefaultInstance();
    // Null when an instance exists already (nothing changes then); otherwise
    // the implementation built from the parameters becomes the instance and
    // its main render window is returned.
    static RenderWindow* createInstance(const WindowParameters& parameters);
    static void destroyInstance();

    // How the instance is made. The parameters are null for the default
    // core; the main window is returned through the second argument. The
    // device layer registers its factory before the first core is made.
    typedef APICore* (*Factory)(const WindowParameters* parameters, RenderWindow** mainWindow);
    static void registerImplementation(Factory factory);
    // Makes an already built core the instance (tests install recording
    // cores this way). Throws when there is one already.
    static void installInstance(APICore* core);

    // Process-wide caches of objects made through the instance (the shared
    // blitter quad and shaders, pooled targets, textures and meshes by file
    // name) register how to empty themselves; registering again changes
    // nothing. destroyInstance calls each, the latest first, while the
    // instance and its device still stand, so that a later core never meets
    // an object of one that is gone. The show's one core is never destroyed.
    static void releaseWithInstance(void (*release)());

    // Resources, targets and state blocks report their destruction, so that
    // no stale pointer stays in the record: an object later made at the same
    // address would otherwise compare equal and its bind would be skipped.
    static void objectDestroyed(const void* object);
    // A resource whose device object was replaced (a stream moved to another
    // usage) is no longer bound as recorded: the next apply must send it.
    static void deviceObjectReplaced(const void* object) { objectDestroyed(object); }

protected:
    // For the state slots of implementations: record the set and return how
    // many stages (stream slots) the previously recorded set had bound, which
    // the implementation unbinds down to the new count.
    int recordTextures(TextureSet* textures);
    int recordVertexStreams(StreamSet* streams, VertexFormat* format);

    CullState* currentCullState;
    FillState* currentFillState;
    ColorWriteState* currentColorWriteState;
    ClipState* currentClipState;
    AuxState* currentAuxState;
    AlphaTestState* currentAlphaTestState;
    DepthState* currentDepthState;
    BlendState* currentBlendState;
    StencilState* currentStencilState;
    StreamSet* currentStreamSet;
    TextureSet* currentTextureSet;
    ConstantSet* currentVertexConstants;
    ConstantSet* currentPixelConstants;
    VertexFormat* currentVertexFormat;
    IndexStream* currentIndexStream;
    VertexShader* currentVertexShader;
    PixelShader* currentPixelShader;
    RenderTarget* currentRenderTarget;
    bool targetChanged;

private:
    void forget(const void* object);

    // Counts as they were when the sets were recorded: a recorded set may be
    // rewritten in place or freed later.
    int boundTextureCount;
    int boundStreamCount;
};

// Thin forwarders to the interface. All but the first three go through
// getInstance and so create the default core on first use.
void createDefaultCore();
void destroyCore();
// The main render window, or null when a core exists already.
RenderWindow* createCore(const WindowParameters& parameters);
Texture* createTexture(const TextureParameters& parameters);
RenderTarget* createRenderCanvas(NativeWindowHandle window);
// Clears the whole current target, whatever the viewport.
void clear(int flags, const Vec4& color, float depth, int stencil);
VertexFormat* createVertexFormat(int elementCount, const VertexElement* elements);
VertexStream* createVertexStream(int size, int stride, int usage);
IndexStream* createIndexStream(int size, IndexStreamType type, int usage);
VertexShader* createVertexShader(const ShaderProgram& program);
PixelShader* createPixelShader(const ShaderProgram& program);
RenderWindow* createRenderWindow(const WindowParameters& parameters);
bool canCreateRenderWindow(const WindowParameters& parameters);

} // namespace Core
} // namespace Vostrel
