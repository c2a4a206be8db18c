// Registration and record preparation: reuse, rebuild, normals, lookups, walk/count mismatches.
#include "tests/transparency/IVTransparencyCacheTest.h"

#include <cmath>
#include <set>

namespace {

using Preparation = IVTransparencyCacheTest;

TEST_F(Preparation, ReusesRecordsForTheSameMeshesInTheSameOrderUntilClearOrAnotherOrder) {
    auto a = Strip(2);
    auto b = Strip(1, 50);
    IVTransparencyCache cache(&constructor_device);
    Register(cache, *a);
    RegisterAndPass(cache, *b);
    // Depths follow the mesh's current points, so the order may change; the positions may not.
    const auto sorted = [](std::vector<std::array<float, 3>> corners) {
        std::sort(corners.begin(), corners.end());
        return corners;
    };
    const auto before = sorted(FirstCorners(cache));
    const Record* first = &cache.GetTriangle(0);

    a->GetPoint(0)->x = -7; // the mesh moves; the records do not notice
    a->Invalidate();
    Register(cache, *a);
    RegisterAndPass(cache, *b);
    EXPECT_EQ(sorted(FirstCorners(cache)), before);

    cache.Clear();
    EXPECT_EQ(cache.GetNumTriangle(), 3u) << "Clear keeps the records";
    EXPECT_EQ(sorted(FirstCorners(cache)), before);
    EXPECT_EQ(cache.FindMemento(a.get()), nullptr);

    Register(cache, *a);
    RegisterAndPass(cache, *b);
    const auto after = FirstCorners(cache);
    EXPECT_NE(std::find(after.begin(), after.end(), std::array<float, 3>{-7, 0, 0}), after.end());
    bool reused = false;
    for (uint64_t i = 0; i < cache.GetNumTriangle(); ++i)
        reused = reused || &cache.GetTriangle(i) == first;
    EXPECT_TRUE(reused) << "a rebuild of the same size reuses the heap records";

    a->GetPoint(0)->x = -9; // the same meshes in another order: the records are rebuilt
    Register(cache, *b);
    RegisterAndPass(cache, *a);
    const auto reordered = FirstCorners(cache);
    EXPECT_NE(std::find(reordered.begin(), reordered.end(), std::array<float, 3>{-9, 0, 0}), reordered.end());
}

TEST_F(Preparation, ScalesTheTransformByTheInternalUnitsAndNormalisesTheViewDirectionUnlessItIsTiny) {
    MUnit::SetIE(100);
    auto a = Strip(1);
    MMTransformMatrix matrix;
    matrix.MakeTranslation({1, 2, 3});
    IVTransparencyCache cache(&constructor_device);
    RegisterAndPass(cache, *a, {1, 0, 0}, {0, 0, 0}, matrix);

    const IVVertexPNC& corner = cache.GetTriangle(0).ma_vertices[1]; // point (10, 0, 0)
    EXPECT_EQ((std::array<float, 3>{corner.x, corner.y, corner.z}), (std::array<float, 3>{1100, 200, 300}));
    EXPECT_EQ((std::array<float, 3>{corner.nx, corner.ny, corner.nz}), (std::array<float, 3>{0, 0, 1}));
    ASSERT_EQ(constructor_device.object_world_matrices.size(), 1u);
    const auto& scale = constructor_device.object_world_matrices[0];
    EXPECT_EQ(scale, (std::array<float, 16>{0.01f, 0, 0, 0, 0, 0.01f, 0, 0, 0, 0, 0.01f, 0, 0, 0, 0, 1}));

    auto b = Strip(1);
    IVTransparencyCache second(&constructor_device);
    Register(second, *b, {3, 4, 0}, {1.5f, -2, 9});
    RegisterAndPass(second, *b, {0.001f, 0.002f, 0}); // squared length 5e-6: multiplied by it

    const auto& current = Current(second);
    ASSERT_EQ(current.size(), 2u);
    EXPECT_EQ(current[0].ma_view_dir[0], 3.0f * (1.0f / std::sqrt(25.0f)));
    EXPECT_EQ(current[0].ma_view_dir[1], 4.0f * (1.0f / std::sqrt(25.0f)));
    EXPECT_EQ((std::array<float, 3>{current[0].ma_eye[0], current[0].ma_eye[1], current[0].ma_eye[2]}),
              (std::array<float, 3>{1.5f, -2, 9}));
    const float squared = 0.001f * 0.001f + 0.002f * 0.002f;
    EXPECT_EQ(current[1].ma_view_dir[0], 0.001f * squared);
    EXPECT_EQ(current[1].ma_view_dir[1], 0.002f * squared);
}

// Two triangles folded by 20 degrees along their shared edge, and a third folded by 60 degrees.
class Gouraud : public IVTransparencyCacheTest {
protected:
    void SetUp() override {
        IVTransparencyCacheTest::SetUp();
        const int32_t rise20 = static_cast<int32_t>(std::lround(1000 * std::tan(20 * M_PI / 180)));
        const int32_t rise60 = static_cast<int32_t>(std::lround(1000 * std::tan(60 * M_PI / 180)));
        mesh = MStlMeshBuilder::Make(
            {{0, 0, 0}, {0, 1000, 0}, {-1000, 0, 0}, {1000, 0, rise20}, {-1000, 1000, rise60}},
            {{0, 1, 2}, {0, 3, 1}, {2, 1, 4}});
    }
    const MStlTriangle* Triangle(int index) const {
        const MStlTriangle* triangle = mesh->GetRootFeature()->GetSurface(0)->mp_first_triangle;
        while (index-- > 0)
            triangle = triangle->mp_next;
        return triangle;
    }
    const Record& RecordOf(const IVTransparencyCache& cache, const MStlTriangle* triangle) const {
        for (uint64_t i = 0; i < cache.GetNumTriangle(); ++i)
            if (cache.GetTriangle(i).mp_triangle == triangle)
                return cache.GetTriangle(i);
        throw std::runtime_error("no record for the triangle");
    }
    static std::array<float, 3> Normal(const IVVertexPNC& vertex) {
        return {vertex.nx, vertex.ny, vertex.nz};
    }
    static std::array<float, 3> Face(const MStlTriangle* triangle) {
        return {triangle->ma_normal[0], triangle->ma_normal[1], triangle->ma_normal[2]};
    }

    std::unique_ptr<MStlBase> mesh;
};

TEST_F(Gouraud, AveragesNeighboursWithinThirtyDegreesAndSwitchesOnlyAtRebuild) {
    IVTransparencyCache cache(&constructor_device);
    RegisterAndPass(cache, *mesh);
    cache.SetGouraudShadingEnabled(true);
    RegisterAndPass(cache, *mesh);
    EXPECT_EQ(Normal(RecordOf(cache, Triangle(0)).ma_vertices[0]), Face(Triangle(0))) << "no rebuild yet";

    cache.Clear();
    RegisterAndPass(cache, *mesh);
    const Record& flat = RecordOf(cache, Triangle(0));
    // Point 0 is shared with the 20-degree neighbour only: the normalised mean of the two faces.
    const float* n0 = Triangle(0)->ma_normal;
    const float* n1 = Triangle(1)->ma_normal;
    const float mean[3] = {(n0[0] + n1[0]) / 2.0f, (n0[1] + n1[1]) / 2.0f, (n0[2] + n1[2]) / 2.0f};
    const double length =
        std::sqrt(double(mean[0]) * mean[0] + double(mean[1]) * mean[1] + double(mean[2]) * mean[2]);
    EXPECT_EQ(
        Normal(flat.ma_vertices[0]),
        (std::array<float, 3>{float(mean[0] / length), float(mean[1] / length), float(mean[2] / length)}));
    // Point 2 is shared with the 60-degree neighbour only, which is left out.
    EXPECT_EQ(Normal(flat.ma_vertices[2]), Face(Triangle(0)));
}

TEST_F(Gouraud, RestoresTheNeighbourInformationOfEveryMeshAndLeavesADegenerateTrianglesZeroNormal) {
    auto other = Strip(2);
    other->GetCompact()->EnableNeighbourInfo(true);
    IVTransparencyCache cache(&constructor_device);
    cache.SetGouraudShadingEnabled(true);
    Register(cache, *mesh);
    RegisterAndPass(cache, *other);
    EXPECT_FALSE(mesh->GetCompact()->HasNeighbourInfo());
    EXPECT_TRUE(other->GetCompact()->HasNeighbourInfo());
    EXPECT_NE(Normal(RecordOf(cache, Triangle(0)).ma_vertices[0]), Face(Triangle(0)))
        << "neighbours were available during the rebuild";

    auto line = MStlMeshBuilder::Make({{0, 0, 0}, {10, 0, 0}, {20, 0, 0}}, {{0, 1, 2}});
    IVTransparencyCache line_cache(&constructor_device);
    line_cache.SetGouraudShadingEnabled(true);
    RegisterAndPass(line_cache, *line);
    for (const IVVertexPNC& vertex : line_cache.GetTriangle(0).ma_vertices)
        EXPECT_EQ(Normal(vertex), (std::array<float, 3>{0, 0, 0}));
}

TEST_F(Preparation, FlatShadingSharesOneNormalAndKeepsATinyOneUnnormalised) {
    auto a = MStlMeshBuilder::Make({{0, 0, 0}, {10, 0, 0}, {0, 10, 10}}, {{0, 1, 2}});
    MMTransformMatrix shrink;
    shrink.MakeScale(1e-9, 1e-9, 1e-9);
    IVTransparencyCache cache(&constructor_device);
    RegisterAndPass(cache, *a, {1, 0, 0}, {0, 0, 0}, shrink);

    float expected[3];
    const MStlTriangle* triangle = a->GetRootFeature()->GetSurface(0)->mp_first_triangle;
    std::copy(triangle->ma_normal, triangle->ma_normal + 3, expected);
    Current(cache)[0].mo_matrix.Transform(expected, true);
    ASSERT_LT(std::hypot(expected[0], expected[1], expected[2]), 1.4901161193847656e-08);
    for (const IVVertexPNC& vertex : cache.GetTriangle(0).ma_vertices)
        EXPECT_EQ((std::array<float, 3>{vertex.nx, vertex.ny, vertex.nz}),
                  (std::array<float, 3>{expected[0], expected[1], expected[2]}));
}

TEST_F(Preparation, FindMementoSeesOnlyCurrentRegistrationsAndTheFirstOfEachMesh) {
    auto a = Strip(1);
    IVTransparencyCache cache(&constructor_device);
    constructor_device.SetMaterialFront(MMaterial(0x11223344u));
    Register(cache, *a);
    constructor_device.SetMaterialFront(MMaterial(0x55667788u));
    Register(cache, *a);
    EXPECT_EQ(cache.FindMemento(a.get()), nullptr) << "only in the incoming list";

    cache.RenderStlTransparentPN(&pass_device);
    ASSERT_NE(cache.FindMemento(a.get()), nullptr);
    EXPECT_EQ(cache.FindMemento(a.get())->GetMaterial().GetDiffuse(), 0x11223344u);
    EXPECT_EQ(cache.GetNumTriangle(), 2u) << "a mesh registered twice is drawn twice";
}

// The walk decides the records: inactive, compact-only and uncounted triangles must neither leave
// empty records nor be lost.
TEST_F(Preparation, SizesTheRecordsByWhatTheWalkYields) {
    auto inactive = Strip(4);
    MStlTriangle* second = inactive->GetRootFeature()->GetSurface(0)->mp_first_triangle->mp_next;
    second->SetActive(false);
    auto compact_only = std::make_unique<MStlBase>();
    MStlPoint* p = compact_only->AddPoint(0, 0, 0);
    compact_only->GetCompact()->AddTriangle(p, p, p, 0, 0, 127);
    auto compact_too = Strip(2);
    compact_too->GetCompact()->AddTriangle(compact_too->GetPoint(0), compact_too->GetPoint(1),
                                           compact_too->GetPoint(2), 0, 0, 127);
    auto uncounted = Strip(3);
    ASSERT_EQ(uncounted->GetNumTriangles(), 3);
    uncounted->mo_properties.mn_num_triangles = 1; // a stale count below what the tree holds

    IVTransparencyCache cache(&constructor_device);
    for (MStlBase* stl : {inactive.get(), compact_only.get(), compact_too.get()})
        Register(cache, *stl);
    RegisterAndPass(cache, *uncounted);

    ASSERT_EQ(cache.GetNumTriangle(), 3u + 0u + 2u + 3u);
    std::set<const MStlTriangle*> seen;
    for (uint64_t i = 0; i < cache.GetNumTriangle(); ++i) {
        const MStlTriangle* triangle = cache.GetTriangle(i).mp_triangle;
        ASSERT_NE(triangle, nullptr);
        EXPECT_TRUE(triangle->IsActive());
        EXPECT_NE(cache.FindMemento(cache.GetStl(i)), nullptr);
        seen.insert(triangle);
    }
    EXPECT_EQ(seen.size(), 8u);
    EXPECT_EQ(std::count(streams.pnc->calls.begin(), streams.pnc->calls.end(), "AddTriangle"), 8);

    Register(cache, *compact_only); // fewer records than before: the surplus goes
    RegisterAndPass(cache, *inactive);
    EXPECT_EQ(cache.GetNumTriangle(), 3u);
}

} // namespace
