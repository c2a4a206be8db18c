#include "containers/IVVertexContainerStlDataTexturedAnimation.h"
#include "containers/IVVertexContainerTexturedPlane.h"

#include "host/base/MUnit.h"
#include "host/mesh/MStlMeshBuilder.h"
#include "host/mesh/MStlVectorMaskPoints.h"
#include "tests/support/RecordingStream.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

using ExposedTexturedAnimation = Exposed<IVVertexContainerStlDataTexturedAnimation>;
using ExposedPlane = Exposed<IVVertexContainerTexturedPlane>;

std::array<float, 3> Position(const IVVertexPNT& vertex) {
    return {vertex.x, vertex.y, vertex.z};
}
std::array<float, 2> Texel(const IVVertexPNT& vertex) {
    return {vertex.u, vertex.v};
}

MStlTriangle* TriangleAt(MStlBase& mesh, int index) {
    MStlTriangle* triangle = mesh.GetRootFeature()->GetSurface(0)->mp_first_triangle;
    for (int i = 0; i < index; ++i)
        triangle = triangle->mp_next;
    return triangle;
}

// Three triangles over five points with distinct, non-power-of-two displacements, so a wrong
// point index or operation order shows in the floats.
class TexturedAnimationContainer : public ::testing::Test {
protected:
    void SetUp() override {
        mesh = MStlMeshBuilder::Make({{0, 0, 0}, {1000, 0, 0}, {0, 1000, 0}, {1000, 1000, 7}, {-5, 3, 11}},
                                     {{0, 1, 2}, {1, 3, 2}, {2, 4, 0}});
        mask.Resize(5);
        for (uint64_t i = 0; i < 5; ++i)
            mask.Set(i, 0.1f * float(i + 1), -0.3f * float(i + 1), 3.0f + float(i));
        texture = mesh->GetTextureFactory(true)->CreateTexture();
    }

    void Cover(int triangle, MStlTextureCoordinates coordinates = {}) {
        texture->SetCoordinates(TriangleAt(*mesh, triangle), coordinates);
    }

    std::unique_ptr<MStlBase> mesh;
    MStlVectorMaskPoints mask;
    MStlTexture* texture = nullptr;
};

TEST_F(TexturedAnimationContainer,
       ScaleZeroGivesTheIntegerCoordinatesScaleOneAddsTheDisplacementAndNullInputsNothing) {
    Cover(1);
    ExposedTexturedAnimation container(mesh.get(), &mask, texture);

    container.SetAnimationScale(0.0f);
    auto log = Optimise(container);
    EXPECT_EQ(log.calls, (Calls{"BeginTriangles", "AddTriangle", "End"}));
    ASSERT_EQ(log.vertices.size(), 3u);
    EXPECT_EQ(Position(log.vertices[1]), (std::array{1000.0f, 1000.0f, 7.0f})); // corner 1 is point 3

    container.SetAnimationScale(1.0f);
    log = Optimise(container);
    ASSERT_EQ(log.vertices.size(), 3u);
    const float* displacement = mask.Get(3);
    EXPECT_EQ(Position(log.vertices[1]),
              (std::array{displacement[0] * 1.0f + 1000.0f, displacement[1] * 1.0f + 1000.0f, 6.0f + 7.0f}));
    const float* normal = TriangleAt(*mesh, 1)->ma_normal;
    for (const IVVertexPNT& corner : log.vertices)
        EXPECT_EQ((std::array{corner.nx, corner.ny, corner.nz}),
                  (std::array{normal[0], normal[1], normal[2]}));
    // Copies share the geometry but keep a scale of their own.
    ExposedTexturedAnimation copy(container), assigned(mesh.get(), nullptr, nullptr);
    assigned = container;
    EXPECT_EQ(Optimise(copy).vertices[1].x, displacement[0] + 1000.0f);
    copy.SetAnimationScale(0.0f);
    EXPECT_EQ(Optimise(copy).vertices[1].x, 1000.0f);
    EXPECT_EQ(Optimise(container).vertices[1].x, displacement[0] + 1000.0f);
    EXPECT_EQ(Optimise(assigned).vertices[1].x, displacement[0] + 1000.0f);

    Cover(0);
    ExposedTexturedAnimation without_mask(mesh.get(), nullptr, texture);
    EXPECT_TRUE(Optimise(without_mask).calls.empty());
    ExposedTexturedAnimation without_texture(mesh.get(), &mask, nullptr);
    EXPECT_TRUE(Optimise(without_texture).calls.empty());

    ExposedTexturedAnimation empty(mesh.get(), &mask, mesh->GetTextureFactory(true)->CreateTexture());
    EXPECT_EQ(Optimise(empty).calls, (Calls{"BeginTriangles", "End"}));
}

// Each corner takes its u from the record's three u values, then its v from the three v values.
TEST_F(TexturedAnimationContainer, DrawsTheTextureListInItsOwnOrderAndPicksUpLaterChanges) {
    Cover(2);
    Cover(0, MStlTextureCoordinates{{0.1f, 0.2f, 0.3f}, {0.4f, 0.5f, 0.6f}});
    ExposedTexturedAnimation container(mesh.get(), &mask, texture);
    container.SetAnimationScale(0.0f);
    auto log = Optimise(container);
    ASSERT_EQ(log.vertices.size(), 6u);
    EXPECT_EQ(log.vertices[1].x, -5.0f);   // triangle 2 first: its corner 1 is point 4
    EXPECT_EQ(log.vertices[4].x, 1000.0f); // then triangle 0: its corner 1 is point 1
    EXPECT_EQ((std::array{Texel(log.vertices[3]), Texel(log.vertices[4]), Texel(log.vertices[5])}),
              (std::array{std::array{0.1f, 0.4f}, std::array{0.2f, 0.5f}, std::array{0.3f, 0.6f}}));

    Cover(1); // a new triangle joins the end of the list, even after a fill
    log = Optimise(container);
    ASSERT_EQ(log.vertices.size(), 9u);
    EXPECT_EQ(log.vertices[7].z, 7.0f);
}

// One square plane in the tree: an active and an inactive triangle; the compact store holds two
// more triangles with quantised normals.
class TexturedPlaneContainer : public ::testing::Test {
protected:
    void SetUp() override {
        MUnit::SetIE(1000);
        mesh = MStlMeshBuilder::Make(
            {{0, 0, 0}, {2000, 0, 0}, {0, 4000, 0}, {2000, 4000, 0}, {1000, 1000, 9000}},
            {{0, 1, 2}, {1, 3, 2}});
        TriangleAt(*mesh, 1)->SetActive(false);
        MStlPoint* p0 = mesh->GetPoint(0);
        MStlPoint* p4 = mesh->GetPoint(4);
        mesh->GetCompact()->AddTriangle(p4, p0, p4, 127, 0, -127);
        mesh->GetCompact()->AddTriangle(p0, p4, p0, -128, 1, 0);
    }

    // What a plane container over the mesh streams with these parameters.
    RecordedStreamLog<IVVertexPNT> Stream(MMTransformMatrix& matrix, float max_u, float max_v, float width,
                                          float height, bool internal_units) {
        ExposedPlane container(mesh.get());
        container.SetParams(matrix, max_u, max_v, width, height, internal_units);
        return Optimise(container);
    }

    std::unique_ptr<MStlBase> mesh;
    MMTransformMatrix identity;
};

TEST_F(TexturedPlaneContainer, MapsLocalPositionsIntoTheTextureRangeWithVRunningDownScaledInDoublePrecision) {
    const auto log = Stream(identity, 1.0f, 1.0f, 2.0f, 4.0f, true);

    // Compact triangle 0, corner 0: point 4 at (1, 1, 9) in model units.
    ASSERT_EQ(log.vertices.size(), 9u);
    EXPECT_EQ(Position(log.vertices[3]), (std::array{1.0f, 1.0f, 9.0f}));
    EXPECT_EQ(Texel(log.vertices[3]), (std::array{0.5f, 0.75f}));
    // Tree triangle 0: local (0, 0) -> (0, max v), local (width, 0) -> (max u, max v), (0, height) -> (0, 0).
    EXPECT_EQ(Texel(log.vertices[0]), (std::array{0.0f, 1.0f}));
    EXPECT_EQ(Texel(log.vertices[1]), (std::array{1.0f, 1.0f}));
    EXPECT_EQ(Texel(log.vertices[2]), (std::array{0.0f, 0.0f}));

    // Scaled in double precision, v flipped in single: point 4, local (1000, 1000), where
    // 0.3f x 1000 / 3 rounds differently in single precision.
    const auto scaled_log = Stream(identity, 0.3f, 0.3f, 3.0f, 3.0f, false);
    ASSERT_EQ(scaled_log.vertices.size(), 9u);
    const float scaled = static_cast<float>(static_cast<double>(0.3f) * 1000.0 / 3.0);
    ASSERT_NE(scaled, 0.3f * 1000.0f / 3.0f);
    EXPECT_EQ(Texel(scaled_log.vertices[3]), (std::array{scaled, 0.3f - scaled}));
}

TEST_F(TexturedPlaneContainer,
       CarriesCornersIntoThePlaneFrameThroughTheInverseTransformAndCopiesCarryThePlane) {
    MMTransformMatrix shift;
    shift.MakeTranslation({1.0, 0.0, 0.0});
    const auto log = Stream(shift, 3.0f, 5.0f, 2.0f, 4.0f, true);

    ASSERT_EQ(log.vertices.size(), 9u);
    // Point 1 at (2, 0, 0), local (1, 0), keeps its position; point 2 at (0, 4, 0) is local (-1, 4).
    EXPECT_EQ(Position(log.vertices[1]), (std::array{2.0f, 0.0f, 0.0f}));
    EXPECT_EQ(Texel(log.vertices[1]), (std::array{static_cast<float>(3.0 * 1.0 / 2.0), 5.0f}));
    EXPECT_EQ(Texel(log.vertices[2]), (std::array{-1.5f, 0.0f}));

    ExposedPlane original(mesh.get());
    original.SetParams(shift, 3.0f, 5.0f, 2.0f, 4.0f, false);
    ExposedPlane copy(original);
    ExposedPlane assigned(nullptr);
    assigned = original;
    original.SetParams(identity, 1.0f, 1.0f, 1.0f, 1.0f, true);

    for (ExposedPlane* container : {&copy, &assigned}) {
        const auto copied = Optimise(*container);
        ASSERT_EQ(copied.vertices.size(), 9u);
        EXPECT_EQ(copied.vertices[1].x, 2000.0f);
        EXPECT_EQ(copied.vertices[1].u, 3.0f * 1999.0f / 2.0f);
    }
}

TEST_F(TexturedPlaneContainer, DividesByTheInternalUnitsOnlyWhenAsked) {
    mesh = MStlMeshBuilder::Make({{1500, -1500, 33554435}, {0, 0, 0}, {1, 0, 0}}, {{0, 1, 2}});
    auto log = Stream(identity, 1.0f, 1.0f, 1.0f, 1.0f, true);
    ASSERT_EQ(log.vertices.size(), 3u);
    EXPECT_EQ(Position(log.vertices[0]), (std::array{1.5f, -1.5f, 33554435.0f / 1000.0f})); // float division

    log = Stream(identity, 1.0f, 1.0f, 1.0f, 1.0f, false);
    ASSERT_EQ(log.vertices.size(), 3u);
    EXPECT_EQ(Position(log.vertices[0]), (std::array{1500.0f, -1500.0f, 33554435.0f}));
}

TEST_F(TexturedPlaneContainer,
       DrawsActiveTreeTrianglesThenEveryCompactTriangleWithUnclampedNormalsEvenWithoutTreeTriangles) {
    const auto log = Stream(identity, 1.0f, 1.0f, 2.0f, 4.0f, false);

    EXPECT_EQ(log.calls, (Calls{"BeginTriangles", "AddTriangle", "AddTriangle", "AddTriangle", "End"}));
    ASSERT_EQ(log.vertices.size(), 9u);
    const MStlTriangle* active = TriangleAt(*mesh, 0);
    EXPECT_EQ(log.vertices[2].nz, active->ma_normal[2]);
    // The compact pass follows the tree pass, corners in their stored order (point 4, 0, 4).
    EXPECT_EQ((std::array{log.vertices[3].z, log.vertices[4].z, log.vertices[5].z}),
              (std::array{9000.0f, 0.0f, 9000.0f}));
    for (int k = 3; k < 6; ++k)
        EXPECT_EQ((std::array{log.vertices[k].nx, log.vertices[k].ny, log.vertices[k].nz}),
                  (std::array{1.0f, 0.0f, -1.0f}))
            << "corner " << k;
    EXPECT_EQ(log.vertices[6].nx, -128.0f / 127.0f);
    EXPECT_EQ(log.vertices[6].ny, 1.0f / 127.0f);

    TriangleAt(*mesh, 0)->SetActive(false);
    EXPECT_EQ(Stream(identity, 1.0f, 1.0f, 2.0f, 4.0f, false).calls,
              (Calls{"BeginTriangles", "AddTriangle", "AddTriangle", "End"}))
        << "the compact pass runs without tree triangles";
}

} // namespace
