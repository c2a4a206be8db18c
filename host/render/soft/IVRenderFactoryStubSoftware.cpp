#include "host/render/soft/IVRenderFactoryStubSoftware.h"

#include "host/render/IVVertexStreamBuffer.h"
#include "host/render/soft/IVDisplaySurfaceSoft.h"
#include "host/render/soft/IVRenderSoft.h"
#include "host/render/soft/IVTextureChain.h"
#include "host/render/soft/IVTextureSoft.h"
#include "host/render/soft/IVVertexStreamSoft.h"

#include <memory>
#include <utility>

IVRenderFactoryStubSoftware::IVRenderFactoryStubSoftware() = default;

IVRenderFactoryStubSoftware::IVRenderFactoryStubSoftware(const IVRenderFactoryStubSoftware& other)
    : IIVRenderFactoryStub(other) {}

IVRenderFactoryStubSoftware::IVRenderFactoryStubSoftware(IVRenderFactoryStubSoftware&& other) noexcept
    : IIVRenderFactoryStub(std::move(other)), mp_device(std::exchange(other.mp_device, nullptr)) {}

IVRenderFactoryStubSoftware&
IVRenderFactoryStubSoftware::operator=(const IVRenderFactoryStubSoftware& other) {
    IIVRenderFactoryStub::operator=(other);
    return *this;
}

IVRenderFactoryStubSoftware&
IVRenderFactoryStubSoftware::operator=(IVRenderFactoryStubSoftware&& other) noexcept {
    if (this != &other) {
        delete mp_device;
        mp_device = std::exchange(other.mp_device, nullptr);
        IIVRenderFactoryStub::operator=(std::move(other));
    }
    return *this;
}

IVRenderFactoryStubSoftware::~IVRenderFactoryStubSoftware() {
    delete mp_device;
}

bool IVRenderFactoryStubSoftware::Create(ERenderType) {
    auto device = std::make_unique<IVRenderSoft>();
    device->SetRenderMode(1);
    mp_device = device.release();
    return true;
}

void IVRenderFactoryStubSoftware::Destroy() {
    delete mp_device;
    mp_device = nullptr;
}

void IVRenderFactoryStubSoftware::ReleaseCachedResources() {
    if (mp_device != nullptr)
        mp_device->SetTexture(nullptr);
}

IVDisplaySurface* IVRenderFactoryStubSoftware::CreateNewIVDisplaySurface(HWND) {
    return std::make_unique<IVDisplaySurfaceSoft>().release();
}

IVTexture* IVRenderFactoryStubSoftware::CreateNewIVTexture() {
    return std::make_unique<IVTextureSoft>().release();
}

IVTextureChain* IVRenderFactoryStubSoftware::CreateNewIVTextureChain() {
    return std::make_unique<IVTextureChain>().release();
}

IIVVertexStream<IVVertexP>* IVRenderFactoryStubSoftware::CreateNewIVVertexStreamP(bool, bool) {
    return std::make_unique<IVVertexStreamBuffer<IVVertexP>>().release();
}

IIVVertexStream<IVVertexPN>* IVRenderFactoryStubSoftware::CreateNewIVVertexStreamPN(bool, bool) {
    return std::make_unique<IVVertexStreamBuffer<IVVertexPN>>().release();
}

IIVVertexStream<IVVertexPNC>* IVRenderFactoryStubSoftware::CreateNewIVVertexStreamPNC(bool, bool) {
    return std::make_unique<IVVertexStreamBuffer<IVVertexPNC>>().release();
}

IIVVertexStream<IVVertexPNCT>* IVRenderFactoryStubSoftware::CreateNewIVVertexStreamPNCT(bool, bool) {
    return std::make_unique<IVVertexStreamSoft<IVVertexPNCT>>().release();
}

IIVVertexStream<IVVertexPNT>* IVRenderFactoryStubSoftware::CreateNewIVVertexStreamPNT(bool, bool) {
    return std::make_unique<IVVertexStreamBuffer<IVVertexPNT>>().release();
}

IIVVertexStream<IVVertexPC>* IVRenderFactoryStubSoftware::CreateNewIVVertexStreamPC(bool, bool) {
    return std::make_unique<IVVertexStreamSoft<IVVertexPC>>().release();
}

IIVVertexStream<IVVertexPT>* IVRenderFactoryStubSoftware::CreateNewIVVertexStreamPT(bool, bool) {
    return std::make_unique<IVVertexStreamSoft<IVVertexPT>>().release();
}

bool IVRenderFactoryStubSoftware::IsHardwareAccelerated() {
    return false;
}
