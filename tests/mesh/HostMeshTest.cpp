// The stand-in host's mesh and math pieces whose behaviour the library relies on, and the store
// behind its buffered streams.
#include "host/math/MMTransformMatrix.h"
#include "host/mesh/MStlMeshBuilder.h"
#include "host/mesh/MStlVectorMaskPoints.h"
#include "host/render/IVReplayTriangleStore.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

namespace {

TEST(HostMesh, TriangleCountFollowsChangesOnlyAfterInvalidationAndStoresSpanBlocks) {
    auto mesh = MStlMeshBuilder::Make({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 2, 1}});
    EXPECT_EQ(mesh->GetNumTriangles(), 2);
    const MStlBaseProperties& properties = mesh->GetProperties();
    EXPECT_TRUE(properties.mb_num_triangles_valid);
    EXPECT_NE(properties.mp_validity->mn_state, 0);

    MStlPoint* p = mesh->GetPoint(0);
    mesh->GetCompact()->AddTriangle(p, p, p, 0, 0, 127);
    mesh->Invalidate();
    EXPECT_EQ(properties.mp_validity->mn_state, 0);
    EXPECT_EQ(mesh->GetNumTriangles(), 3) << "compact triangles count too";

    MStlBase blocks;
    MStlPoint* q = blocks.AddPoint(1, 2, 3);
    for (int i = 0; i < 8193; ++i)
        blocks.GetCompact()->AddTriangle(q, q, q, int8_t(i % 100), 0, -128);
    EXPECT_EQ(blocks.GetCompact()->GetNumTriangles(), 8193u);
    EXPECT_EQ(blocks.GetCompact()->GetTriangle(8192).ma_normal[0], 92);

    // Points past a reservation go to new blocks; earlier points neither move nor renumber.
    blocks.Reserve(2, 0);
    std::vector<MStlPoint*> added{q};
    for (int i = 1; i < 300; ++i)
        added.push_back(blocks.AddPoint(i, -i, 2 * i));
    for (size_t i = 0; i < added.size(); ++i) {
        ASSERT_EQ(blocks.GetPoint(i), added[i]) << "point " << i;
        ASSERT_EQ(added[i]->mn_index, i);
    }
    EXPECT_EQ(blocks.GetPoint(299)->z, 598);

    MStlVectorMaskPoints mask(1025);
    mask.Set(1024, 1, 2, 3);
    EXPECT_EQ(mask.Get(1024)[2], 3.0f);
    EXPECT_EQ(mask.Get(1023)[0], 0.0f);
}

TEST(HostMesh, NeighbourInfoListsEveryTreeTriangleUsingThePointAndIsDropped) {
    // A fan of three triangles around point 0, in a second surface too.
    auto mesh =
        MStlMeshBuilder::Make({{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {-10, 0, 0}}, {{0, 1, 2}, {0, 2, 3}});
    MStlSurface* extra = mesh->AddSurface(mesh->GetRootFeature());
    MStlTriangle* third = mesh->AddTriangle(extra, mesh->GetPoint(0), mesh->GetPoint(3), mesh->GetPoint(1));
    const MStlCompact& compact = *mesh->GetCompact();

    compact.EnableNeighbourInfo(true);
    ASSERT_TRUE(compact.HasNeighbourInfo());
    const MStlPoint& centre = *mesh->GetPoint(0);
    ASSERT_EQ(centre.mn_num_neighbours, 3);
    EXPECT_EQ(centre.mpp_neighbours[2], third) << "walk order";
    EXPECT_EQ(mesh->GetPoint(1)->mn_num_neighbours, 2);
    EXPECT_EQ(mesh->GetPoint(2)->mn_num_neighbours, 2);

    compact.EnableNeighbourInfo(false);
    EXPECT_FALSE(compact.HasNeighbourInfo());
    EXPECT_EQ(centre.mn_num_neighbours, 0);
    EXPECT_EQ(centre.mpp_neighbours, nullptr);
}

TEST(HostMesh, TextureListIsRebuiltInCoordinateOrderAfterAChange) {
    auto mesh = MStlMeshBuilder::Make({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 2, 1}});
    MStlTriangle* first = mesh->GetRootFeature()->GetSurface(0)->mp_first_triangle;
    MStlTexture* texture = mesh->GetTextureFactory(true)->CreateTexture();
    texture->SetCoordinates(first->mp_next, {{1, 2, 3}, {4, 5, 6}});
    texture->SetCoordinates(first, {});

    texture->_SpreadInvalidity();
    EXPECT_FALSE(texture->IsListValid());
    texture->_ValidateVector();
    EXPECT_EQ(texture->GetTriangles(), (std::vector<MStlTriangle*>{first->mp_next, first}));

    MStlTextureCoordinates coordinates;
    EXPECT_TRUE(texture->GetCoordinates(first->mp_next, coordinates, true));
    EXPECT_EQ(coordinates.ma_v[2], 6.0f);
    MStlTriangle stranger;
    EXPECT_FALSE(texture->GetCoordinates(&stranger, coordinates, true));
}

TEST(HostStreams, TriangleStoreGivesBackEveryCornerBitForBitWhileSharingRepeatedPositions) {
    // Corners drawn from a few hundred positions, among them both zeros and a NaN, so that most
    // repeat; a copy and a refill of the same store must give the same back.
    std::mt19937 random(7);
    std::vector<IVVertexPNC> pool;
    for (int i = 0; i < 300; ++i)
        pool.push_back({float(random() % 50), float(random() % 50) * 0.5f, i % 3 == 0 ? -0.0f : 0.0f,
                        float(i), 0.5f, -1.0f, uint8_t(i), 2, 3, uint8_t(255 - i % 256)});
    pool[7].y = std::nanf("");
    std::vector<IVVertexPNC> corners;
    for (int i = 0; i < 3 * 20000; ++i)
        corners.push_back(pool[random() % pool.size()]);

    IVReplayTriangleStore<IVVertexPNC> store;
    for (int fill = 0; fill < 2; ++fill) {
        store.Clear();
        for (size_t i = 0; i < corners.size(); i += 3)
            store.Append(corners[i], corners[i + 1], corners[i + 2]);
        const IVReplayTriangleStore<IVVertexPNC> copy = store;
        const IVReplayTriangleStore<IVVertexPNC>* reads[] = {&store, &copy};
        for (const IVReplayTriangleStore<IVVertexPNC>* read : reads) {
            size_t corner = 0;
            read->ForEach([&](const IVReplayTriangle<IVVertexPNC>& triangle, const float* a, const float* b,
                              const float* c) {
                const IVVertexPNC* given = &corners[corner];
                const float* read_corners[3] = {a, b, c};
                for (int k = 0; k < 3; ++k)
                    ASSERT_EQ(std::memcmp(read_corners[k], &given[k].x, 12), 0)
                        << "corner " << corner + k << " of fill " << fill;
                const float sum = (given[0].nx + given[1].nx) + given[2].nx;
                ASSERT_EQ(std::bit_cast<uint32_t>(triangle.ma_normal[0]), std::bit_cast<uint32_t>(sum));
                ASSERT_EQ(triangle.mn_colour,
                          uint32_t(given[0].r) | 2u << 8 | 3u << 16 | uint32_t(given[0].a) << 24);
                corner += 3;
            });
            EXPECT_EQ(corner, corners.size());
        }
        EXPECT_LT(store.GetNumPositions(), corners.size() / 10) << "repeated corners share their position";
    }
}

TEST(HostMath, RotationAboutAnOffsetAxisAndItsInverse) {
    MMTransformMatrix rotation;
    rotation.MakeRotation({1, 0, 0}, {0, 0, 2}, std::numbers::pi / 2);
    MMPoint3d<double> out;
    ASSERT_TRUE(rotation.Transform(out, {2, 0, 5}, false));
    EXPECT_NEAR(out.x, 1, 1e-12);
    EXPECT_NEAR(out.y, 1, 1e-12);
    EXPECT_NEAR(out.z, 5, 1e-12);
    ASSERT_TRUE(rotation.Transform(out, {1, 0, 0}, true)) << "directions ignore the offset";
    EXPECT_NEAR(out.y, 1, 1e-12);

    MMPoint3d<double> back;
    ASSERT_TRUE(rotation.InverseTransform(back, {1, 1, 5}, false));
    EXPECT_NEAR(back.x, 2, 1e-12);
    EXPECT_NEAR(back.y, 0, 1e-12);

    MMTransformMatrix singular;
    singular.MakeScale(1, 0, 1);
    EXPECT_FALSE(singular.InverseTransform(back, {1, 1, 1}, false));
}

} // namespace
