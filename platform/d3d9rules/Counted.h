// Reference counting as Direct3D 9 does it, once for every object of both devices.
//
// Every resource holds one reference to its device while it lives, so a device's last Release
// reports the references live resources still hold. A texture level has no count of its own:
// it counts on its texture. The back buffer counts its own references and holds one on its
// device while anyone holds it.
#pragma once

#include "platform/Direct3D9.h"

namespace d3d9rules {

// Gives *out a new reference to object, as every Get... call does; D3DERR_INVALIDCALL for a null out.
template <class T, class U> HRESULT HandOut(T* object, U** out) {
    if (!out)
        return D3DERR_INVALIDCALL;
    object->AddRef();
    *out = object;
    return D3D_OK;
}

// An object made with new whose count starts at 1; the Release that brings it to 0 deletes it.
template <class Interface> class CCounted : public Interface {
  public:
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }
    ULONG RefCount() const { return m_refs; }

  protected:
    ~CCounted() override = default;

  private:
    ULONG m_refs = 1;
};

// A resource: counted, holding a reference to its device from construction to destruction (the
// device is released after the derived destructor has run, so it may still tell the device).
template <class Interface, class Device> class CDeviceChild : public CCounted<Interface> {
  public:
    explicit CDeviceChild(Device* device) : m_device(device) { m_device->AddRef(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override { return HandOut(m_device, device); }

  protected:
    ~CDeviceChild() override { m_device->Release(); }
    Device* m_device;
};

// A surface: a level of a texture (container set) or the device's back buffer (container null).
// The device owns the back buffer object and deletes it; AddRef and Release never delete.
template <class Device, class Texture> class CSurfaceRefs : public IDirect3DSurface9 {
  public:
    CSurfaceRefs(Device* device, Texture* container) : m_device(device), m_container(container) {}
    ULONG AddRef() override {
        if (m_container)
            return m_container->AddRef();
        if (m_outsideRefs++ == 0)
            m_device->AddRef();
        return m_outsideRefs;
    }
    ULONG Release() override {
        if (m_container)
            return m_container->Release();
        if (m_outsideRefs == 0)
            return 0;
        ULONG left = --m_outsideRefs;
        if (left == 0)
            m_device->Release();
        return left;
    }
    HRESULT GetDevice(IDirect3DDevice9** device) override { return HandOut(m_device, device); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    Texture* Container() const { return m_container; }

  protected:
    ~CSurfaceRefs() override = default;
    Device* m_device;
    Texture* m_container;

  private:
    ULONG m_outsideRefs = 0;
};

} // namespace d3d9rules
