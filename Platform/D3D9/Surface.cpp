#include "Platform/D3D9/Surface.h"

#include "Platform/D3D9/Device.h"
#include "Platform/D3D9/Internal.h"

namespace D3D9 {

Surface::Surface(Device& device, Ownership ownership, DeviceObject* container, const D3DSURFACE_DESC& description)
    : DeviceObject(device, ownership, container), description_(description)
{
}

HRESULT Surface::GetDevice(IDirect3DDevice9** result)
{
    if (!result)
        return refuse("GetDevice", "no result pointer");
    device().AddRef();
    *result = &device();
    return D3D_OK;
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* result)
{
    if (!result)
        return refuse("GetDesc", "no result pointer");
    *result = description_;
    return D3D_OK;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    return refuse("LockRect", "render targets and depth buffers are not lockable");
}

HRESULT Surface::UnlockRect()
{
    return refuse("UnlockRect", "not locked");
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
    if (!locked)
        return refuse("LockRect", "no result pointer");
    if (locked_)
        return refuse("LockRect", "already locked");
    size_t offset = 0;
    if (rect) {
        if (rect->left >= rect->right || rect->top >= rect->bottom)
            return refuse("LockRect", "empty region");
        if (rect->left < 0 || rect->top < 0 || rect->right > static_cast<LONG>(description_.Width) ||
            rect->bottom > static_cast<LONG>(description_.Height))
            return refuse("LockRect", "region outside the level");
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
        return refuse("UnlockRect", "not locked");
    locked_ = false;
    return D3D_OK;
}

} // namespace D3D9
