#include "pano/IVRenderFactoryStubSoftPano.h"

#include "pano/IVRenderSoftPano.h"

#include <memory>
#include <utility>

IVRenderFactoryStubSoftPano::IVRenderFactoryStubSoftPano() = default;

IVRenderFactoryStubSoftPano::IVRenderFactoryStubSoftPano(const IVRenderFactoryStubSoftPano& other)
    : IVRenderFactoryStubSoftware(other) {}

IVRenderFactoryStubSoftPano::IVRenderFactoryStubSoftPano(IVRenderFactoryStubSoftPano&& other) noexcept
    : IVRenderFactoryStubSoftware(std::move(other)) {}

IVRenderFactoryStubSoftPano&
IVRenderFactoryStubSoftPano::operator=(const IVRenderFactoryStubSoftPano& other) {
    IVRenderFactoryStubSoftware::operator=(other);
    return *this;
}

IVRenderFactoryStubSoftPano&
IVRenderFactoryStubSoftPano::operator=(IVRenderFactoryStubSoftPano&& other) noexcept {
    IVRenderFactoryStubSoftware::operator=(std::move(other));
    return *this;
}

IVRenderFactoryStubSoftPano::~IVRenderFactoryStubSoftPano() = default;

bool IVRenderFactoryStubSoftPano::Create(ERenderType) {
    auto device = std::make_unique<IVRenderSoftPano>();
    device->SetRenderMode(1);
    // An earlier device is left to its owner: callers pair each Create with Destroy.
    mp_device = device.release();
    return true;
}

void IVRenderFactoryStubSoftPano::ReleaseCachedResources() {}

bool IVRenderFactoryStubSoftPano::IsHardwareAccelerated() {
    return false;
}
