#include "Platform/D3D9/DeviceObject.h"

#include "Platform/D3D9/Device.h"
#include "Platform/D3D9/Internal.h"

namespace D3D9 {

namespace {

uint64_t nextSerial()
{
    static uint64_t serial = 0;
    return ++serial;
}

} // namespace

DeviceObject::DeviceObject(Device& device, Ownership ownership, DeviceObject* container)
    : device_(device), serial_(nextSerial()), ownership_(ownership), container_(container)
{
    if (ownership_ == Ownership::Own)
        device_.AddRef();
    else
        references_ = 0;
}

ULONG DeviceObject::addRef()
{
    switch (ownership_) {
    case Ownership::Container: return container_->addRef();
    case Ownership::Device: return device_.AddRef();
    case Ownership::Own: break;
    }
    if (references_++ == 0)
        device_.AddRef();
    return references_;
}

ULONG DeviceObject::release()
{
    switch (ownership_) {
    case Ownership::Container: return container_->release();
    case Ownership::Device: return device_.Release();
    case Ownership::Own: break;
    }
    if (references_ == 0)
        return 0;
    ULONG left = --references_;
    if (left == 0) {
        // The device may go with its last reference: nothing of this object
        // is touched after that.
        Device& device = device_;
        if (bindings_ == 0)
            delete this;
        device.Release();
    }
    return left;
}

HRESULT DeviceObject::getDevice(IDirect3DDevice9** result) const
{
    if (!result)
        return refuse("GetDevice", "no result pointer");
    device_.AddRef();
    *result = &device_;
    return D3D_OK;
}

void DeviceObject::bind()
{
    if (ownership_ == Ownership::Container)
        container_->bind();
    else if (ownership_ == Ownership::Own)
        ++bindings_;
}

void DeviceObject::unbind()
{
    if (ownership_ == Ownership::Container) {
        container_->unbind();
    } else if (ownership_ == Ownership::Own && bindings_ > 0) {
        if (--bindings_ == 0 && references_ == 0)
            delete this;
    }
}

} // namespace D3D9
