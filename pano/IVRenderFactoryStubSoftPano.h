#pragma once
// IVRenderFactoryStubSoftPano: the render factory of the panoramic device. It is the software
// factory with Create making an IVRenderSoftPano (render mode 1, no transform); surfaces,
// textures and streams come from the software factory unchanged.
//
// Call order: construct, Create(any render type; always true), use the device, Destroy(). Pair
// every Create with a Destroy: a second Create forgets the first device without ending it.
// The device is reached as
//     factory.Create(IIVRenderFactoryStub::eRenderTypeSoftware);
//     auto* device = static_cast<IVRenderSoftPano*>(factory.GetDevice());
// (a static_cast: the device's class is not exported, so dynamic_cast cannot see it). Its
// matrices, units and coordinate frames are described in IVRenderSoftPano.h.
//
// Ownership: the factory owns the device from Create to Destroy (or its own destruction);
// surfaces, textures and streams it creates belong to the caller. A copy starts without a
// device; a move takes the device along. Threading: not thread-safe; create, use and destroy
// from one thread.
#include "host/render/soft/IVRenderFactoryStubSoftware.h"
#include "module/VantrelExport.h"

class VANTREL_API IVRenderFactoryStubSoftPano : public IVRenderFactoryStubSoftware {
public:
    IVRenderFactoryStubSoftPano();
    IVRenderFactoryStubSoftPano(const IVRenderFactoryStubSoftPano& other);
    IVRenderFactoryStubSoftPano(IVRenderFactoryStubSoftPano&& other) noexcept;
    IVRenderFactoryStubSoftPano& operator=(const IVRenderFactoryStubSoftPano& other);
    IVRenderFactoryStubSoftPano& operator=(IVRenderFactoryStubSoftPano&& other) noexcept;

    ~IVRenderFactoryStubSoftPano() override;
    // A new panoramic device, whatever the type; always true.
    bool Create(ERenderType type) override;
    // Does nothing: the panoramic device keeps its texture binding.
    void ReleaseCachedResources() override;
    // False.
    bool IsHardwareAccelerated() override;
};
