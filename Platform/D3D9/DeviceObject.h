#pragma once

// Internal: how the device's objects count references. As in Direct3D, a
// public reference to an object made by the device holds a reference on
// the device; the device's own bindings keep an object alive without one.
// Back buffers count with their swap chain, the device's own swap chain
// with the device.

#include "Platform/D3D9/d3d9.h"

#include <cstdint>

namespace D3D9 {

class Device;

class DeviceObject {
public:
    enum class Ownership {
        Own,        // created with one public reference
        Container,  // counts with its container
        Device      // counts with the device, which destroys it
    };

    DeviceObject(Device& device, Ownership ownership, DeviceObject* container = nullptr);
    virtual ~DeviceObject() = default;
    DeviceObject(const DeviceObject&) = delete;
    DeviceObject& operator=(const DeviceObject&) = delete;

    ULONG addRef();
    ULONG release();
    void bind();
    void unbind();

    Device& device() const { return device_; }
    // Unique for the life of the process: caches key on it, since a new
    // object may take a freed one's address.
    uint64_t serial() const { return serial_; }
    // GetDevice of the COM interfaces: a new reference to the device.
    HRESULT getDevice(IDirect3DDevice9** result) const;

private:
    Device& device_;
    uint64_t serial_;
    Ownership ownership_;
    DeviceObject* container_;
    ULONG references_ = 1;
    ULONG bindings_ = 0;
};

} // namespace D3D9
