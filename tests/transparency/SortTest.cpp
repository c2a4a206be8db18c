// Depth sort: depths, skip decisions, stability and NaN handling.
#include "tests/transparency/IVTransparencyCacheTest.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace {

using Sorting = IVTransparencyCacheTest;

TEST_F(Sorting, SortsBackToFrontAlongEachMeshsOwnDirection) {
    auto a = Strip(3);
    auto b = Strip(2);
    IVTransparencyCache cache(&constructor_device);
    Register(cache, *a, {1, 0, 0});
    Register(cache, *b, {-1, 0, 0}, {100, 0, 0});
    cache.RenderStlTransparentPN(&pass_device);

    // Centroid x of a's triangle i is (30 i + 10) x 0.33333 (not a third).
    std::vector<float> depths;
    for (uint64_t i = 0; i < cache.GetNumTriangle(); ++i)
        depths.push_back(cache.GetTriangle(i).mf_depth);
    const float c0 = 10.0f * 0.33333f, c1 = 40.0f * 0.33333f, c2 = 70.0f * 0.33333f;
    EXPECT_EQ(depths, (std::vector<float>{float((double(c0) - 100.0) * -1.0),
                                          float((double(c1) - 100.0) * -1.0), c2, c1, c0}));
    EXPECT_EQ(cache.GetStl(0), b.get());
    EXPECT_EQ(cache.GetStl(2), a.get());
}

TEST_F(Sorting, CentroidSumWrapsAroundInThirtyTwoBits) {
    const int32_t far = std::numeric_limits<int32_t>::max();
    auto a = MStlMeshBuilder::Make({{far, 0, 0}, {far, 1, 0}, {far, 0, 1}}, {{0, 1, 2}});
    IVTransparencyCache cache(&constructor_device);
    Register(cache, *a);
    cache.RenderStlTransparentPN(&pass_device);
    EXPECT_EQ(cache.GetTriangle(0).mf_depth, static_cast<float>(2147483645) * 0.33333f);
}

class SkipDecision : public IVTransparencyCacheTest {
protected:
    void Pass(std::array<float, 3> direction) {
        Register(cache, *mesh, direction);
        cache.RenderStlTransparentPN(&pass_device);
    }
    std::vector<float> Depths() const {
        std::vector<float> depths;
        for (uint64_t i = 0; i < cache.GetNumTriangle(); ++i)
            depths.push_back(cache.GetTriangle(i).mf_depth);
        return depths;
    }

    std::unique_ptr<MStlBase> mesh = Strip(3);
    IVTransparencyCache cache{&constructor_device};
};

TEST_F(SkipDecision, EveryPassSortsAfterConstruction) {
    Pass({1, 0, 0});
    Pass({1, 0, 0});
    EXPECT_EQ(StreamFills(), 2);
}

TEST_F(SkipDecision, SkipsWithinHalfTheToleranceAndSortsAtIt) {
    cache.SetSkipSortTolerance(120.0f);
    ASSERT_EQ(SkipCos(cache), 0.5f);
    Pass({1, 0, 0});
    const auto depths = Depths();

    const double turned = 59.0 * M_PI / 180.0;
    Pass({float(std::cos(turned)), float(std::sin(turned)), 0});
    EXPECT_EQ(StreamFills(), 1) << "the stream filled last is drawn again";
    EXPECT_EQ(Depths(), depths);

    Pass({0.5f, 0.8660254f, 0}); // exactly at half the tolerance
    ASSERT_EQ(Current(cache)[0].ma_view_dir[0], 0.5f) << "precondition: the dot product is exactly 0.5";
    EXPECT_EQ(StreamFills(), 2);
    EXPECT_NE(Depths(), depths);

    Pass({0.5f, 0.8660254f, 0});
    EXPECT_EQ(StreamFills(), 2) << "compared with the direction of the last sort";
    cache.ForceReSort();
    Pass({0.5f, 0.8660254f, 0});
    EXPECT_EQ(StreamFills(), 3);
}

TEST_F(SkipDecision, NewRecordCountAlwaysSorts) {
    cache.SetSkipSortTolerance(170.0f);
    Pass({1, 0, 0});
    auto other = Strip(1);
    Register(cache, *other);
    Pass({1, 0, 0});
    EXPECT_EQ(cache.GetNumTriangle(), 4u);
    EXPECT_EQ(StreamFills(), 2);
}

TEST_F(SkipDecision, UnnormalisedDirectionForcesASort) {
    cache.SetSkipSortTolerance(170.0f);
    Pass({0.001f, 0, 0});
    Pass({0.001f, 0, 0});
    EXPECT_EQ(StreamFills(), 2) << "tiny direction now and at the last sort";
    Pass({1, 0, 0});
    EXPECT_EQ(StreamFills(), 3) << "tiny direction at the last sort";
    Pass({1, 0, 0});
    EXPECT_EQ(StreamFills(), 3);
}

// Triangles in rows: the three of a row share the centroid x, rows differ in y. Run on both sides
// of the size at which the sort changes algorithm.
class EqualDepths : public IVTransparencyCacheTest, public ::testing::WithParamInterface<int> {};

TEST_P(EqualDepths, KeepTheirPreviousOrder) {
    const int rows = GetParam();
    std::vector<MStlMeshBuilder::Point> points;
    std::vector<MStlMeshBuilder::Triangle> triangles;
    for (int i = 0; i < 3 * rows; ++i) {
        const uint32_t first = static_cast<uint32_t>(points.size());
        const int32_t y = 10 * (i % rows);
        points.insert(points.end(), {{0, y, i}, {30, y, i}, {0, y + 10, i}});
        triangles.push_back({first, first + 1, first + 2});
    }
    auto mesh = MStlMeshBuilder::Make(points, triangles);
    IVTransparencyCache cache(&constructor_device);
    Register(cache, *mesh, {1, 0, 0});
    cache.RenderStlTransparentPN(&pass_device);
    std::vector<const MStlTriangle*> walk;
    for (MStlTriangle* t = mesh->GetRootFeature()->GetSurface(0)->mp_first_triangle; t != nullptr;
         t = t->mp_next)
        walk.push_back(t);
    EXPECT_EQ(Order(cache), walk) << "all depths equal: the walk order stays";

    Register(cache, *mesh, {0, -1, 0});
    cache.RenderStlTransparentPN(&pass_device);
    std::vector<const MStlTriangle*> by_row = walk;
    std::stable_sort(by_row.begin(), by_row.end(), [](const MStlTriangle* a, const MStlTriangle* b) {
        return a->mp_points[0]->y < b->mp_points[0]->y;
    });
    EXPECT_EQ(Order(cache), by_row) << "rows by depth, each row in its previous order";

    Register(cache, *mesh, {1, 0, 0});
    cache.RenderStlTransparentPN(&pass_device);
    EXPECT_EQ(Order(cache), by_row) << "all depths equal again: the previous order stands";
}

INSTANTIATE_TEST_SUITE_P(SmallAndLarge, EqualDepths, ::testing::Values(4, 200));

// Depths are set directly: NaN, infinities and signed zeros at many positions, many duplicates.
class NanDepths : public IVTransparencyCacheTest, public ::testing::WithParamInterface<int> {};

TEST_P(NanDepths, GoLastAndTheRestFollowsTheComparatorStably) {
    const size_t count = static_cast<size_t>(GetParam());
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float values[] = {nan, -nan, inf, -inf, 0.0f, -0.0f, 1.5f, -2.0f, 3e38f, -3e38f, 1e-45f, 7.0f};
    std::mt19937 random(static_cast<unsigned>(count));
    std::vector<float> depths(count);
    for (size_t i = 0; i < count; ++i)
        depths[i] = i == 0 || i + 1 == count || i % 7 == 3 ? nan : values[random() % std::size(values)];
    std::vector<MStlTriangle> tags(count);

    IVTransparencyCache cache(&constructor_device);
    SortDepths(cache, depths, tags);

    std::vector<const Record*> finite, nans;
    std::vector<Record> originals(count);
    for (size_t i = 0; i < count; ++i) {
        originals[i].mp_triangle = &tags[i];
        originals[i].mf_depth = depths[i];
        (std::isnan(depths[i]) ? nans : finite).push_back(&originals[i]);
    }
    std::stable_sort(finite.begin(), finite.end(),
                     [](const Record* a, const Record* b) { return Compare(*a, *b); });
    std::vector<const MStlTriangle*> expected;
    for (const auto* part : {&finite, &nans})
        for (const Record* record : *part)
            expected.push_back(record->mp_triangle);
    EXPECT_EQ(Order(cache), expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, NanDepths, ::testing::Values(2, 13, 255, 256, 5000));

} // namespace
