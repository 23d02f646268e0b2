#include "Platform/D3D9/Surface.h"

#include "Platform/D3D9/Device.h"

namespace D3D9 {

Surface::Surface(Device& device, Ownership ownership, DeviceObject* container, const D3DSURFACE_DESC& description)
    : DeviceObject(device, ownership, container), description_(description)
{
}

HRESULT Surface::GetDevice(IDirect3DDevice9** result)
{
    if (!result)
        return D3DERR_INVALIDCALL;
    device().AddRef();
    *result = &device();
    return D3D_OK;
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* result)
{
    if (!result)
        return D3DERR_INVALIDCALL;
    *result = description_;
    return D3D_OK;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    // Render targets and depth buffers are not lockable.
    return D3DERR_INVALIDCALL;
}

HRESULT Surface::UnlockRect()
{
    return D3DERR_INVALIDCALL;
}

void Surface::attachTo(GLuint framebuffer, GLenum attachment)
{
    glNamedFramebufferRenderbuffer(framebuffer, attachment, GL_RENDERBUFFER, 0);
}

RenderbufferSurface::RenderbufferSurface(Device& device, Ownership ownership, DeviceObject* container,
                                         const D3DSURFACE_DESC& description, const SurfaceFormat& format,
                                         GLsizei samples)
    : Surface(device, ownership, container, description), format_(format), samples_(samples)
{
    device.context().makeCurrent();
    renderbuffer_ = GL::makeRenderbuffer();
    if (samples > 0)
        glNamedRenderbufferStorageMultisample(renderbuffer_.get(), samples, format.internalFormat,
                                              static_cast<GLsizei>(description.Width),
                                              static_cast<GLsizei>(description.Height));
    else
        glNamedRenderbufferStorage(renderbuffer_.get(), format.internalFormat, static_cast<GLsizei>(description.Width),
                                   static_cast<GLsizei>(description.Height));
}

RenderbufferSurface::~RenderbufferSurface()
{
    device().context().makeCurrent();
}

void RenderbufferSurface::attachTo(GLuint framebuffer, GLenum attachment)
{
    glNamedFramebufferRenderbuffer(framebuffer, attachment, GL_RENDERBUFFER, renderbuffer_.get());
}

MemorySurface::MemorySurface(Device& device, const D3DSURFACE_DESC& description, int bytesPerPixel)
    : Surface(device, Ownership::Own, nullptr, description),
      pitch_(static_cast<int>(description.Width) * bytesPerPixel),
      bytesPerPixel_(bytesPerPixel)
{
    bytes_.assign(static_cast<size_t>(pitch_) * description.Height, 0);
}

HRESULT MemorySurface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    if (!locked || locked_)
        return D3DERR_INVALIDCALL;
    size_t offset = 0;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->right > static_cast<LONG>(description_.Width) ||
            rect->bottom > static_cast<LONG>(description_.Height) || rect->left >= rect->right ||
            rect->top >= rect->bottom)
            return D3DERR_INVALIDCALL;
        offset = static_cast<size_t>(rect->top) * pitch_ + static_cast<size_t>(rect->left) * bytesPerPixel_;
    }
    locked->Pitch = pitch_;
    locked->pBits = bytes_.data() + offset;
    locked_ = true;
    return D3D_OK;
}

HRESULT MemorySurface::UnlockRect()
{
    if (!locked_)
        return D3DERR_INVALIDCALL;
    locked_ = false;
    return D3D_OK;
}

} // namespace D3D9
