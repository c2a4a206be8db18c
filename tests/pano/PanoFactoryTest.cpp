#include "host/render/soft/IVTextureSoft.h"
#include "pano/IVRenderFactoryStubSoftPano.h"
#include "pano/IVRenderSoftPano.h"
#include "tests/pano/PanoTestDevice.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(PanoFactory, CreateMakesAPanoramicDeviceWhateverTheTypeAndMovesTakeItCopiesNot) {
    for (auto type : {IIVRenderFactoryStub::eRenderTypeSoftware, IIVRenderFactoryStub::eRenderTypeDirect3D,
                      IIVRenderFactoryStub::ERenderType(99)}) {
        IVRenderFactoryStubSoftPano factory;
        ASSERT_TRUE(factory.Create(type));
        auto* device = dynamic_cast<IVRenderSoftPano*>(factory.GetDevice());
        ASSERT_NE(device, nullptr);
        EXPECT_EQ(device->GetTransform(), nullptr);
        EXPECT_EQ(device->GetRenderMode(), 1);
        factory.Destroy();
        EXPECT_EQ(factory.GetDevice(), nullptr);
    }
    IVRenderFactoryStubSoftPano factory;
    factory.Create(IIVRenderFactoryStub::eRenderTypeSoftware);
    IVRender* device = factory.GetDevice();
    IVRenderFactoryStubSoftPano copy(factory);
    EXPECT_EQ(copy.GetDevice(), nullptr) << "a copy starts empty";
    IVRenderFactoryStubSoftPano moved(std::move(factory));
    EXPECT_EQ(moved.GetDevice(), device);
    copy = std::move(moved);
    EXPECT_EQ(copy.GetDevice(), device);
}

TEST(PanoFactory, OddOperationsChangeNothingAndAnswerFalse) {
    IVRenderFactoryStubSoftPano factory;
    factory.Create(IIVRenderFactoryStub::eRenderTypeSoftware);
    auto& device = dynamic_cast<IVRenderSoftPano&>(*factory.GetDevice());
    IVTextureSoft texture;
    ASSERT_TRUE(device.SetTexture(&texture));
    IIVRenderFactoryStub& stub = factory;
    stub.ReleaseCachedResources();
    EXPECT_EQ(device.GetTextureSoft(), &texture);
    EXPECT_FALSE(stub.IsHardwareAccelerated());

    IVRenderFactoryStubSoftware software;
    software.Create(IIVRenderFactoryStub::eRenderTypeSoftware);
    software.GetDevice()->SetTexture(&texture);
    software.ReleaseCachedResources();
    EXPECT_EQ(dynamic_cast<IVRenderSoft&>(*software.GetDevice()).GetTextureSoft(), nullptr)
        << "the software factory's own operation does release";
}

TEST(PanoFactory, FactoryStreamsReplayEveryPrimitiveThroughTheDevice) {
    IVRenderFactoryStubSoftPano factory;
    PanoTestDevice device;
    std::unique_ptr<IIVVertexStream<IVVertexPN>> pn(factory.CreateNewIVVertexStreamPN(false, false));
    pn->BeginTriangles();
    pn->AddTriangle({0, 0, 0, 0, 0, 1}, {1, 0, 0, 0, 0, 1}, {0, 1, 0, 0, 0, 1});
    pn->AddTriangle({0, 0, 0, 0, 0, 1}, {1, 0, 0, 0, 0, 1}, {0, 1, 0, 0, 0, 1});
    pn->End();
    pn->Render(device);
    EXPECT_EQ(device.words.size(), 2u);

    std::unique_ptr<IIVVertexStream<IVVertexPC>> pc(factory.CreateNewIVVertexStreamPC(false, false));
    pc->BeginTriangles();
    pc->AddTriangle({0, 0, 0, 9, 8, 7, 6}, {1, 0, 0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0, 0});
    pc->End();
    pc->Render(device);
    ASSERT_EQ(device.words.size(), 3u);
    EXPECT_EQ(device.words.back(), 0x06070809ul);

    std::unique_ptr<IIVVertexStream<IVVertexPT>> pt(factory.CreateNewIVVertexStreamPT(false, false));
    pt->BeginLines();
    pt->AddLine({0, 0, 0, 0, 0}, {1, 1, 1, 0, 0});
    pt->End();
    pt->Render(device);
    EXPECT_EQ(device.lines, 1);
}

} // namespace
