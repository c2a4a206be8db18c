// Links the shared library itself, not its objects: what a host can reach through the exports.
#include "containers/IVVertexContainerStlDataAnimation.h"
#include "host/mesh/MStlMeshBuilder.h"
#include "host/mesh/MStlVectorMaskPoints.h"
#include "module/VersionRecord.h"
#include "tests/support/RecordingRender.h"

#include <gtest/gtest.h>

namespace {

TEST(SharedLibrary, ExportsTheVersionRecordAndTheContainers) {
    EXPECT_EQ(Vantrel_XX_xx_00_00::__g_version.mp_info, Vantrel_XX_xx_00_00::__g_zellibrary_info);

    auto mesh = MStlMeshBuilder::Make({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    MStlVectorMaskPoints mask(3);
    IVVertexContainerStlDataAnimation container(mesh.get(), &mask);
    container.SetAnimationScale(1.0f);
    container.SetSkipTextures(false);
    IVVertexContainerStlDataAnimation copy(container);
    RecordingRender device;
    copy.RenderTriangles(device, true, false, 0);
    EXPECT_EQ(device.triangles, 1);
}

} // namespace
