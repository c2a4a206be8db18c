#pragma once
// IVRenderFactoryStubSoftPano: the render factory of the panoramic device. It is the software
// factory with Create making an IVRenderSoftPano (render mode 1, no transform); surfaces,
// textures and streams come from the software factory unchanged.
//
// Call order: Create, the device's life, Destroy (IVRenderFactoryStubSoftware). Ownership of the
// device follows the software factory. Not thread-safe.
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
