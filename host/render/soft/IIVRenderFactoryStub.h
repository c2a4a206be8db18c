#pragma once
// IIVRenderFactoryStub: how the render framework obtains a device of one kind together with the
// surfaces, textures and vertex streams that go with it.
//
// Call order: Create(type), then the device's life, then Destroy(). Everything the Create...
// operations return is new and owned by the caller. The virtual table is part of the host
// contract; its slot order must not change. Not thread-safe.
#include "host/render/IIVVertexStream.h"
#include "host/render/IVVertex.h"
#include "host/render/soft/IVVertexSoftFormats.h"
#include "host/win32/Windef.h"

class IVDisplaySurface;
class IVTexture;
class IVTextureChain;

class IIVRenderFactoryStub {
public:
    enum ERenderType : int {
        eRenderTypeSoftware = 0,
        eRenderTypeOpenGL = 1,
        eRenderTypeDirect3D = 2,
    };

    IIVRenderFactoryStub() = default;
    IIVRenderFactoryStub(const IIVRenderFactoryStub&) = default;
    IIVRenderFactoryStub(IIVRenderFactoryStub&&) = default;
    IIVRenderFactoryStub& operator=(const IIVRenderFactoryStub&) = default;
    IIVRenderFactoryStub& operator=(IIVRenderFactoryStub&&) = default;

    virtual ~IIVRenderFactoryStub() = default;
    // Makes the factory's device; true on success.
    virtual bool Create(ERenderType type) = 0;
    // Ends the device made by Create.
    virtual void Destroy() = 0;
    // Drops resources the factory's device caches between frames.
    virtual void ReleaseCachedResources() = 0;
    virtual IVDisplaySurface* CreateNewIVDisplaySurface(HWND window) = 0;
    virtual IVTexture* CreateNewIVTexture() = 0;
    virtual IVTextureChain* CreateNewIVTextureChain() = 0;
    // The two flags (dynamic content, optimised layout) are hints a device may ignore.
    virtual IIVVertexStream<IVVertexP>* CreateNewIVVertexStreamP(bool dynamic, bool optimised) = 0;
    virtual IIVVertexStream<IVVertexPN>* CreateNewIVVertexStreamPN(bool dynamic, bool optimised) = 0;
    virtual IIVVertexStream<IVVertexPNC>* CreateNewIVVertexStreamPNC(bool dynamic, bool optimised) = 0;
    virtual IIVVertexStream<IVVertexPNCT>* CreateNewIVVertexStreamPNCT(bool dynamic, bool optimised) = 0;
    virtual IIVVertexStream<IVVertexPNT>* CreateNewIVVertexStreamPNT(bool dynamic, bool optimised) = 0;
    virtual IIVVertexStream<IVVertexPC>* CreateNewIVVertexStreamPC(bool dynamic, bool optimised) = 0;
    virtual IIVVertexStream<IVVertexPT>* CreateNewIVVertexStreamPT(bool dynamic, bool optimised) = 0;
    // True when the factory's devices draw with graphics hardware.
    virtual bool IsHardwareAccelerated() = 0;
};
