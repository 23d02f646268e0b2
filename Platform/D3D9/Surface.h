#pragma once

// Internal: surfaces. Render targets and depth/stencil surfaces live in
// renderbuffers; system-memory surfaces are plain bytes.

#include "Platform/D3D9/DeviceObject.h"
#include "Platform/D3D9/GL/Objects.h"
#include "Platform/D3D9/StateTranslation.h"

#include <vector>

namespace D3D9 {

class SwapChain;

class Surface : public IDirect3DSurface9, public DeviceObject {
public:
    Surface(Device& device, Ownership ownership, DeviceObject* container, const D3DSURFACE_DESC& description);

    ULONG AddRef() override { return addRef(); }
    ULONG Release() override { return release(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT GetDesc(D3DSURFACE_DESC* description) override;
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    const D3DSURFACE_DESC& description() const { return description_; }
    // Attaches the surface to a framebuffer at the given point (or detaches
    // whatever is there when it cannot be drawn into).
    virtual void attachTo(GLuint framebuffer, GLenum attachment);
    virtual bool drawable() const { return false; }

    // Back buffers know their chain, so presenting shows what was drawn.
    SwapChain* chain = nullptr;
    UINT backBufferIndex = 0;

protected:
    D3DSURFACE_DESC description_;
};

class RenderbufferSurface : public Surface {
public:
    RenderbufferSurface(Device& device, Ownership ownership, DeviceObject* container,
                        const D3DSURFACE_DESC& description, const SurfaceFormat& format, GLsizei samples);
    ~RenderbufferSurface() override;
    void attachTo(GLuint framebuffer, GLenum attachment) override;
    bool drawable() const override { return true; }
    GLsizei samples() const { return samples_; }
    const SurfaceFormat& format() const { return format_; }

private:
    GL::Renderbuffer renderbuffer_;
    SurfaceFormat format_;
    GLsizei samples_;
};

class MemorySurface : public Surface {
public:
    MemorySurface(Device& device, const D3DSURFACE_DESC& description, int bytesPerPixel);
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;
    uint8_t* bytes() { return bytes_.data(); }
    int pitch() const { return pitch_; }

private:
    std::vector<uint8_t> bytes_;
    int pitch_;
    int bytesPerPixel_;
    bool locked_ = false;
};

} // namespace D3D9
