#include "containers/IVVertexContainerStlDataAnimation.h"

#include "host/mesh/MStlMeshBuilder.h"
#include "host/mesh/MStlVectorMaskPoints.h"
#include "tests/support/RecordingRender.h"
#include "tests/support/RecordingStream.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace {

using ExposedAnimation = Exposed<IVVertexContainerStlDataAnimation>;

std::array<float, 3> Position(const IVVertexPN& vertex) {
    return {vertex.x, vertex.y, vertex.z};
}

// Two triangles over four points; each point's displacement is distinct and not a power of two
// so that a wrong point index or a wrong operation order shows up in the floats.
class AnimationContainer : public ::testing::Test {
protected:
    void SetUp() override {
        mesh = MStlMeshBuilder::Make({{0, 0, 0}, {1000, 0, 0}, {0, 1000, 0}, {1000, 1000, 7}},
                                     {{0, 1, 2}, {1, 3, 2}});
        mask.Resize(4);
        for (uint64_t i = 0; i < 4; ++i)
            mask.Set(i, 0.1f * float(i + 1), -0.3f * float(i + 1), 3.0f + float(i));
    }

    std::unique_ptr<MStlBase> mesh;
    MStlVectorMaskPoints mask;
};

// At scale zero the integer coordinates and the facet normals; otherwise each point's displacement
// scaled in single precision. A null mask streams nothing, a mesh without triangles an empty frame.
TEST_F(AnimationContainer, ScalesEachPointsOwnDisplacementInSinglePrecision) {
    ExposedAnimation container(mesh.get(), &mask);
    container.SetAnimationScale(0.0f);
    container.SetSkipTextures(false);
    auto log = Optimise(container);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"BeginTriangles", "AddTriangle", "AddTriangle", "End"}));
    ASSERT_EQ(log.vertices.size(), 6u);
    EXPECT_EQ(Position(log.vertices[4]),
              (std::array{1000.0f, 1000.0f, 7.0f})); // triangle 1, corner 1: point 3
    const float* normal = mesh->GetRootFeature()->GetSurface(0)->mp_first_triangle->mp_next->ma_normal;
    for (int k = 3; k < 6; ++k)
        EXPECT_EQ((std::array{log.vertices[k].nx, log.vertices[k].ny, log.vertices[k].nz}),
                  (std::array{normal[0], normal[1], normal[2]}))
            << "corner " << k;

    container.SetAnimationScale(1.0f);
    log = Optimise(container);
    ASSERT_EQ(log.vertices.size(), 6u);
    EXPECT_EQ(Position(log.vertices[4]), (std::array{0.4f + 1000.0f, -1.2f + 1000.0f, 6.0f + 7.0f}));
    container.SetAnimationScale(0.37f);
    log = Optimise(container);
    EXPECT_EQ(log.vertices[1].x, (0.1f * 2.0f) * 0.37f + 1000.0f); // point 1, the first triangle's corner 1

    ExposedAnimation without_mask(mesh.get(), nullptr);
    EXPECT_TRUE(Optimise(without_mask).calls.empty());
    MStlBase empty;
    ExposedAnimation without_triangles(&empty, &mask);
    EXPECT_EQ(Optimise(without_triangles).calls, (std::vector<std::string>{"BeginTriangles", "End"}));
}

TEST_F(AnimationContainer, SkipsOnlyTrianglesCoveredByTheFirstTexture) {
    MStlTriangle* first = mesh->GetRootFeature()->GetSurface(0)->mp_first_triangle;
    MStlTextureFactory* textures = mesh->GetTextureFactory(true);
    ExposedAnimation container(mesh.get(), &mask);
    container.SetAnimationScale(0.0f);

    container.SetSkipTextures(true);
    EXPECT_EQ(Optimise(container).vertices.size(), 6u) << "no texture: nothing to skip";

    textures->CreateTexture()->SetCoordinates(first, {});
    textures->CreateTexture()->SetCoordinates(first->mp_next, {}); // second texture is not consulted
    const auto skipped = Optimise(container);
    ASSERT_EQ(skipped.vertices.size(), 3u);
    EXPECT_EQ(skipped.vertices[1].z, 7.0f) << "the uncovered triangle is the one drawn";

    container.SetSkipTextures(false);
    EXPECT_EQ(Optimise(container).vertices.size(), 6u);
}

TEST_F(AnimationContainer,
       CopiesShareTheMeshButNotTheSettingsAndADeviceFillsOnceUntilOptimisationsAreDestroyed) {
    ExposedAnimation original(mesh.get(), &mask), assigned(mesh.get(), nullptr);
    original.SetAnimationScale(1.0f);
    original.SetSkipTextures(false);
    ExposedAnimation copy(original);
    assigned = original;
    EXPECT_EQ(Optimise(copy).vertices[4].x, 0.4f + 1000.0f);
    copy.SetAnimationScale(0.0f); // the copy's own: the original keeps its scale
    EXPECT_EQ(Optimise(original).vertices[4].x, 0.4f + 1000.0f);
    EXPECT_EQ(Optimise(assigned).vertices[4].x, 0.4f + 1000.0f);

    RecordingRender device;
    RecordingStreamSource streams;
    device.SetVertexStreamSource(&streams);
    {
        ExposedAnimation filled(mesh.get(), &mask);
        filled.SetAnimationScale(0.0f);
        filled.SetSkipTextures(false);
        filled.RenderTriangles(device, true, false, 0);
        filled.RenderTriangles(device, true, false, 0);
        EXPECT_EQ(streams.pn->streams_created, 1);
        filled.DestroyRenderOptimisations();
        EXPECT_EQ(streams.pn->streams_destroyed, 1);
        filled.RenderTriangles(device, true, false, 0);
        EXPECT_EQ(streams.pn->streams_created, 2);
    }
    EXPECT_EQ(streams.pn->streams_destroyed, 2) << "the destructor drops the stream";
    EXPECT_EQ(std::count(streams.pn->calls.begin(), streams.pn->calls.end(), "Render"), 3);

    // Drawing through: a dynamic container draws while it fills and keeps no stream, so a later
    // static draw fills again (from the device's source) instead of replaying nothing.
    device.SetDrawThrough(true);
    ExposedAnimation container(mesh.get(), &mask);
    container.SetSkipTextures(false);
    container.SetModeDynamic(true);
    const int drawn = device.triangles;
    container.RenderTriangles(device, true, false, 0);
    container.RenderTriangles(device, true, false, 0);
    EXPECT_EQ(device.triangles - drawn, 4);
    EXPECT_EQ(streams.pn->streams_created, 2) << "drawing through takes no stream from the source";
    container.SetModeDynamic(false);
    container.RenderTriangles(device, true, false, 0);
    EXPECT_EQ(streams.pn->streams_created, 3);
}

} // namespace
