#pragma once
// IVRenderFactoryStubSoftware: the factory of the software device (IVRenderSoft), its software
// display surfaces (IVDisplaySurfaceSoft), textures (IVTextureSoft), texture chains and buffered
// vertex streams (IVVertexStreamBuffer for P, PN, PNC, PNT; IVVertexStreamSoft for the others),
// which replay their primitives through the device's virtual drawing operations.
//
// Ownership: the factory owns the device made by Create until Destroy (or the factory's
// destruction) deletes it. Create over a device still held forgets that device without
// deleting it (callers pair each Create with Destroy). A copy starts without a device (a device
// belongs to the factory that made it); a move takes the device along, and a move assignment
// first destroys the device the target held. Not thread-safe.
#include "host/render/soft/IIVRenderFactoryStub.h"

class IVRender;

class IVRenderFactoryStubSoftware : public IIVRenderFactoryStub {
public:
    IVRenderFactoryStubSoftware();
    IVRenderFactoryStubSoftware(const IVRenderFactoryStubSoftware& other);
    IVRenderFactoryStubSoftware(IVRenderFactoryStubSoftware&& other) noexcept;
    IVRenderFactoryStubSoftware& operator=(const IVRenderFactoryStubSoftware& other);
    IVRenderFactoryStubSoftware& operator=(IVRenderFactoryStubSoftware&& other) noexcept;

    ~IVRenderFactoryStubSoftware() override;
    // Makes an IVRenderSoft in render mode 1 (shaded); the type is not looked at.
    bool Create(ERenderType type) override;
    void Destroy() override;
    // Unbinds the device's texture.
    void ReleaseCachedResources() override;
    // An empty IVDisplaySurfaceSoft (0 x 0; Resize it): the stand-in has no windows to size from.
    IVDisplaySurface* CreateNewIVDisplaySurface(HWND window) override;
    // An empty IVTextureSoft.
    IVTexture* CreateNewIVTexture() override;
    IVTextureChain* CreateNewIVTextureChain() override;
    IIVVertexStream<IVVertexP>* CreateNewIVVertexStreamP(bool dynamic, bool optimised) override;
    IIVVertexStream<IVVertexPN>* CreateNewIVVertexStreamPN(bool dynamic, bool optimised) override;
    IIVVertexStream<IVVertexPNC>* CreateNewIVVertexStreamPNC(bool dynamic, bool optimised) override;
    IIVVertexStream<IVVertexPNCT>* CreateNewIVVertexStreamPNCT(bool dynamic, bool optimised) override;
    IIVVertexStream<IVVertexPNT>* CreateNewIVVertexStreamPNT(bool dynamic, bool optimised) override;
    IIVVertexStream<IVVertexPC>* CreateNewIVVertexStreamPC(bool dynamic, bool optimised) override;
    IIVVertexStream<IVVertexPT>* CreateNewIVVertexStreamPT(bool dynamic, bool optimised) override;
    // False: software only.
    bool IsHardwareAccelerated() override;

    // The device made by the last Create, or null.
    IVRender* GetDevice() const { return mp_device; }

protected:
    // Owned between Create and Destroy (see above).
    IVRender* mp_device = nullptr;
};
