// Uses an installed Vantrel through its exported classes: the panoramic device from its factory,
// one transparent mesh drawn through the transparency cache, and the version string.
#include "host/base/MMaterial.h"
#include "host/math/MMTransformMatrix.h"
#include "host/mesh/MStlMeshBuilder.h"
#include "host/render/soft/IVDisplaySurfaceSoft.h"
#include "module/VersionRecord.h"
#include "pano/IVRenderFactoryStubSoftPano.h"
#include "pano/IVRenderSoftPano.h"
#include "transparency/IVTransparencyCache.h"

#include <cstdio>

int main() {
    IVRenderFactoryStubSoftPano factory;
    if (!factory.Create(IIVRenderFactoryStub::eRenderTypeSoftware) || factory.GetDevice() == nullptr)
        return 1;
    IVRender& device = *factory.GetDevice();
    static_cast<IVRenderSoftPano&>(device).SetTransform(nullptr);

    auto mesh = MStlMeshBuilder::Make({{0, 0, 0}, {4000, 0, 0}, {0, 4000, 0}}, {{0, 1, 2}});
    IVDisplaySurfaceSoft surface(8, 8);
    surface.Clear(0xFF000000u);
    device.StartFrame(&surface, nullptr);
    device.SetMaterialFront(MMaterial(MMaterial::MakeColour(255, 0, 0, 128)));
    IVTransparencyCache cache(&device);
    float eye[3] = {0, 0, 10000}, direction[3] = {0, 0, -1};
    MMTransformMatrix matrix;
    matrix.MakeScale(0.001, 0.001, 0.001);
    cache.AddSTL(mesh.get(), eye, direction, matrix);
    cache.RenderStlTransparentPN(&device);
    device.StopFrame();
    factory.Destroy();
    if (cache.GetNumTriangle() != 1)
        return 2;
    std::printf("%ls\n", Vantrel_XX_xx_00_00::__g_zellibrary_info);
    return 0;
}
