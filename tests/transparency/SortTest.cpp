// Depth sort: depths, skip decisions, stability and NaN handling.
#include "tests/transparency/IVTransparencyCacheTest.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <tuple>

namespace {

using Sorting = IVTransparencyCacheTest;

TEST_F(Sorting, SortsBackToFrontAlongEachMeshsOwnDirectionWithTheCentroidSumWrappingInThirtyTwoBits) {
    auto a = Strip(3);
    auto b = Strip(2);
    IVTransparencyCache cache(&constructor_device);
    Register(cache, *a, {1, 0, 0});
    RegisterAndPass(cache, *b, {-1, 0, 0}, {100, 0, 0});

    // Centroid x of a's triangle i is (30 i + 10) x 0.33333 (not a third).
    const float c0 = 10.0f * 0.33333f, c1 = 40.0f * 0.33333f, c2 = 70.0f * 0.33333f;
    EXPECT_EQ(Depths(cache), (std::vector<float>{float((double(c0) - 100.0) * -1.0),
                                                 float((double(c1) - 100.0) * -1.0), c2, c1, c0}));
    EXPECT_EQ(cache.GetStl(0), b.get());
    EXPECT_EQ(cache.GetStl(2), a.get());

    const int32_t far = std::numeric_limits<int32_t>::max();
    auto wrapped = MStlMeshBuilder::Make({{far, 0, 0}, {far, 1, 0}, {far, 0, 1}}, {{0, 1, 2}});
    IVTransparencyCache wrapped_cache(&constructor_device);
    RegisterAndPass(wrapped_cache, *wrapped);
    EXPECT_EQ(wrapped_cache.GetTriangle(0).mf_depth, static_cast<float>(2147483645) * 0.33333f);
}

// The skip decision pass by pass, from a new cache with a tolerance (0: none) in each run. Each
// step registers the strip (and one more mesh when asked) looking along a direction, or forces a
// sort first, and gives the stream fills of the run so far; a skipped sort keeps the depths.
TEST_F(Sorting, SkipsOnlyWithinHalfTheToleranceOfTheLastSortedDirection) {
    using Direction = std::array<float, 3>;
    const Direction X = {1, 0, 0}, TINY = {0.001f, 0, 0}, HALF = {0.5f, 0.8660254f, 0};
    const Direction TURNED = {float(std::cos(59.0 * M_PI / 180.0)), float(std::sin(59.0 * M_PI / 180.0)), 0};
    enum Extra { eNone, eForce, eAddMesh };
    const struct {
        float tolerance;
        std::vector<std::tuple<Direction, int, Extra>> steps;
    } runs[] = {
        {0, {{X, 1, eNone}, {X, 2, eNone}}}, // every pass sorts after construction
        {120, {{X, 1, eNone}, {TURNED, 1, eNone}, {HALF, 2, eNone}, {HALF, 2, eNone}, {HALF, 3, eForce}}},
        {170, {{X, 1, eNone}, {X, 2, eAddMesh}}},                                  // a new record count
        {170, {{TINY, 1, eNone}, {TINY, 2, eNone}, {X, 3, eNone}, {X, 3, eNone}}}, // tiny now, then before
    };
    for (const auto& run : runs) {
        auto mesh = Strip(3), other = Strip(1);
        IVTransparencyCache cache(&constructor_device);
        if (run.tolerance > 0)
            cache.SetSkipSortTolerance(run.tolerance);
        const int start = StreamFills();
        std::vector<float> depths;
        Direction last{};
        for (const auto& [direction, fills, extra] : run.steps) {
            SCOPED_TRACE(::testing::Message() << "tolerance " << run.tolerance << ", " << fills << " fills");
            if (extra == eForce)
                cache.ForceReSort();
            Register(cache, *mesh, direction);
            if (extra == eAddMesh)
                Register(cache, *other);
            const int before = StreamFills() - start;
            cache.RenderStlTransparentPN(&pass_device);
            EXPECT_EQ(StreamFills() - start, fills);
            if (direction == HALF) {
                ASSERT_EQ(Current(cache)[0].ma_view_dir[0], 0.5f) << "precondition: the dot product is 0.5";
            }
            if (fills == before) {
                EXPECT_EQ(Depths(cache), depths) << "the stream filled last is drawn again";
            } else if (direction != last) {
                EXPECT_NE(Depths(cache), depths) << "a sort for a new direction";
            }
            depths = Depths(cache);
            last = direction;
        }
    }
}

// Triangles in rows: the three of a row share the centroid x, rows differ in y. Run on both sides
// of the size at which the sort changes algorithm.
class EqualDepths : public IVTransparencyCacheTest, public ::testing::WithParamInterface<int> {};

TEST_P(EqualDepths, KeepTheWalkOrder) {
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
    RegisterAndPass(cache, *mesh, {1, 0, 0});
    std::vector<const MStlTriangle*> walk;
    for (MStlTriangle* t = mesh->GetRootFeature()->GetSurface(0)->mp_first_triangle; t != nullptr;
         t = t->mp_next)
        walk.push_back(t);
    EXPECT_EQ(Order(cache), walk) << "all depths equal: the walk order stays";

    RegisterAndPass(cache, *mesh, {0, -1, 0});
    std::vector<const MStlTriangle*> by_row = walk;
    std::stable_sort(by_row.begin(), by_row.end(), [](const MStlTriangle* a, const MStlTriangle* b) {
        return a->mp_points[0]->y < b->mp_points[0]->y;
    });
    EXPECT_EQ(Order(cache), by_row) << "rows by depth, each row in walk order";

    // Whatever order the last sort left, equal depths fall back into the walk order.
    RegisterAndPass(cache, *mesh, {1, 0, 0});
    EXPECT_EQ(Order(cache), walk) << "all depths equal again: the walk order, not the last one";
}

INSTANTIATE_TEST_SUITE_P(SmallAndLarge, EqualDepths, ::testing::Values(4, 200));

// Sort keys against std::stable_sort. Depths are set directly, clustered within 2^bits float steps
// of a base, at sizes on both sides of the switch to the radix sort (256) and to two threads
// (65536), with key ranges on both sides of each radix pass count (11 and 22 bits); optionally
// mixed with signed zeros (denormal steps around 0) or NaN (which widen the range to 32 bits).
enum class Mix { ePlain, eZeros, eNan };
struct KeyCase {
    size_t count;
    int bits;
    Mix mix;
};

class ClusteredKeys : public IVTransparencyCacheTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(ClusteredKeys, SortLikeStableSortForEveryThreadCount) {
    const KeyCase c = GetParam();
    std::mt19937 random(static_cast<unsigned>(c.count * 31 + size_t(c.bits)));
    const uint32_t base = std::bit_cast<uint32_t>(1000.0f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<float> depths(c.count);
    for (size_t i = 0; i < c.count; ++i) {
        const uint32_t step = static_cast<uint32_t>(random()) & ((uint32_t(1) << c.bits) - 1);
        switch (c.mix) {
        case Mix::ePlain:
            depths[i] = std::bit_cast<float>(base + step);
            break;
        case Mix::eZeros: // +-0 every fifth, denormals of either sign around them
            depths[i] = std::bit_cast<float>((i % 5 == 0 ? 0u : step) | (random() % 2 ? 0x80000000u : 0u));
            break;
        case Mix::eNan:
            depths[i] = i % 7 == 3 ? (i % 2 ? nan : -nan) : std::bit_cast<float>(base + step);
            break;
        }
    }
    std::vector<MStlTriangle> tags(c.count);
    std::vector<size_t> expected(c.count);
    std::iota(expected.begin(), expected.end(), size_t(0));
    std::stable_sort(expected.begin(), expected.end(), [&](size_t a, size_t b) {
        if (std::isnan(depths[a]) || std::isnan(depths[b]))
            return !std::isnan(depths[a]) && std::isnan(depths[b]);
        Record ra{}, rb{};
        ra.mf_depth = depths[a];
        rb.mf_depth = depths[b];
        return Compare(ra, rb);
    });

    for (unsigned threads : {1u, 2u, 3u}) {
        IVTransparencyCache cache(&constructor_device);
        cache.SetSortThreads(threads);
        SortDepths(cache, depths, tags);
        std::vector<size_t> order;
        for (const MStlTriangle* tag : Order(cache))
            order.push_back(size_t(tag - tags.data()));
        ASSERT_EQ(order, expected) << c.count << " records within 2^" << c.bits << " steps, " << threads
                                   << " threads";
    }
}

std::vector<KeyCase> KeyCases() {
    std::vector<KeyCase> cases;
    for (size_t count : {size_t(2), size_t(255), size_t(256), size_t(2049)})
        for (int bits : {1, 11, 12, 22, 23})
            for (Mix mix : {Mix::ePlain, Mix::eZeros, Mix::eNan})
                cases.push_back({count, bits, mix});
    // Either side of the switch to threads, for each pass count.
    for (size_t count : {size_t(65535), size_t(65536)})
        for (int bits : {11, 12, 23})
            for (Mix mix : {Mix::ePlain, Mix::eNan})
                cases.push_back({count, bits, mix});
    return cases;
}

std::string KeyCaseName(const ::testing::TestParamInfo<KeyCase>& info) {
    static const char* const MIXES[] = {"Plain", "Zeros", "Nan"};
    return std::to_string(info.param.count) + "Keys" + std::to_string(info.param.bits) + "Bits" +
           MIXES[int(info.param.mix)];
}

INSTANTIATE_TEST_SUITE_P(SizesRangesAndMixes, ClusteredKeys, ::testing::ValuesIn(KeyCases()), KeyCaseName);

// Two meshes of different colours above the two-thread size, with depths a few float steps apart
// and a few equal, sorted with each key and 1, 2 and 3 threads, and again after a turn: the same
// records, order and bitwise depths, and the same vertices streamed, colours included.
TEST_F(Sorting, OrderDepthsAndStreamDoNotDependOnTheThreadCount) {
    const int count = 70'000;
    std::vector<MStlMeshBuilder::Point> points[2];
    std::vector<MStlMeshBuilder::Triangle> triangles[2];
    for (int i = 0; i < count; ++i) {
        const int m = (i / 3 + i / 7) % 2; // the meshes alternate unevenly in depth order
        const uint32_t first = static_cast<uint32_t>(points[m].size());
        const int32_t x = 1'000'000 + (i * 7919) % 4096; // clustered far from the eye
        points[m].insert(points[m].end(), {{x, i % 3, 0}, {x + 1, 0, i % 5}, {x, 1, 1}});
        triangles[m].push_back({first, first + 1, first + 2});
    }
    auto near_mesh = MStlMeshBuilder::Make(points[0], triangles[0]);
    auto far_mesh = MStlMeshBuilder::Make(points[1], triangles[1]);
    const auto pass = [&](IVTransparencyCache& cache, std::array<float, 3> direction) {
        constructor_device.SetMaterialFront(MMaterial(0x80FF2010u));
        Register(cache, *near_mesh, direction);
        constructor_device.SetMaterialFront(MMaterial(0x4010E0F0u));
        RegisterAndPass(cache, *far_mesh, direction);
    };
    for (auto key : {IVTransparencyCache::eSortDirectionDepth, IVTransparencyCache::eSortEyeDistance}) {
        // Per record: the triangle, the depth's bits and the first corner.
        using Records = std::vector<std::tuple<const MStlTriangle*, uint32_t, std::array<float, 3>>>;
        Records first;
        std::vector<IVVertexPNC> first_stream;
        for (unsigned threads : {1u, 2u, 3u}) {
            IVTransparencyCache cache(&constructor_device);
            cache.SetSortKey(key);
            cache.SetSortThreads(threads);
            streams.pnc->vertices.clear();
            pass(cache, {1, 0.001f, 0});
            pass(cache, {0.001f, 1, 0});
            const std::vector<float> values = Depths(cache);
            ASSERT_TRUE(std::is_sorted(values.begin(), values.end(), std::greater<float>())) << "key " << key;
            const auto order = Order(cache);
            const auto corners = FirstCorners(cache);
            Records records;
            for (size_t i = 0; i < values.size(); ++i)
                records.emplace_back(order[i], std::bit_cast<uint32_t>(values[i]), corners[i]);
            const std::vector<IVVertexPNC>& stream = streams.pnc->vertices;
            ASSERT_EQ(stream.size(), 2 * size_t(count) * 3) << "key " << key << ", " << threads << " threads";
            if (threads == 1) {
                first = records;
                first_stream = stream;
                continue;
            }
            EXPECT_EQ(records, first) << "key " << key << ", " << threads << " threads";
            EXPECT_EQ(std::memcmp(stream.data(), first_stream.data(), stream.size() * sizeof(IVVertexPNC)), 0)
                << "key " << key << ", " << threads << " threads";
        }
    }
}

// -0 and NaN share their sort keys with +0 and other NaNs; the records still get the exact depth,
// whether the stream fill stores it or the end of a pass without a device.
TEST_F(Sorting, SignedZeroAndNanDepthsAreStoredExactly) {
    auto mesh = MStlMeshBuilder::Make({{3, 3, 3}, {6, 3, 3}, {0, 3, 3}, {0, 0, 0}, {30, 0, 0}, {0, 30, 0}},
                                      {{0, 1, 2}, {3, 4, 5}});
    // Centroid of the first triangle: 9 x 0.33333 per axis, the eye exactly there.
    const float at = 9.0f * 0.33333f;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (IVRender* device : {static_cast<IVRender*>(&pass_device), static_cast<IVRender*>(nullptr)}) {
        IVTransparencyCache cache(&constructor_device);
        Register(cache, *mesh, {-1, -1, -1}, {at, at, at});
        cache.RenderStlTransparentPN(device);
        const float zero = cache.GetTriangle(0).mf_depth;
        EXPECT_EQ(std::bit_cast<uint32_t>(zero), 0x80000000u) << "expected -0, got " << zero;

        cache.ForceReSort();
        Register(cache, *mesh, {-1, -1, -1}, {nan, 0, 0});
        cache.RenderStlTransparentPN(device);
        EXPECT_TRUE(std::isnan(cache.GetTriangle(0).mf_depth) && std::isnan(cache.GetTriangle(1).mf_depth))
            << cache.GetTriangle(0).mf_depth << " " << cache.GetTriangle(1).mf_depth;
    }
}

// Eye distance: measured in world space through each mesh's own matrix, farthest first; the sort
// is skipped while the eye moves less than sin(tolerance / 2) times the nearest distance.
class EyeDistance : public IVTransparencyCacheTest {
protected:
    void Pass(std::array<float, 3> eye, std::array<float, 3> direction = {1, 0, 0}) {
        Register(cache, *near_mesh, direction, eye);
        RegisterAndPass(cache, *scaled_mesh, direction, {eye[0] / 2, eye[1] / 2, eye[2] / 2}, doubled);
    }
    static float Expected(const MStlTriangle& triangle, double scale, std::array<float, 3> eye) {
        double squared = 0;
        for (int axis = 0; axis < 3; ++axis) {
            int32_t sum = 0;
            for (const MStlPoint* point : triangle.mp_points)
                sum += (&point->x)[axis];
            const double difference = double(float(sum) * 0.33333f) * scale - double(eye[axis]) * scale;
            squared += difference * difference;
        }
        return float(std::sqrt(squared));
    }

    std::unique_ptr<MStlBase> near_mesh = Strip(3);
    std::unique_ptr<MStlBase> scaled_mesh = Strip(2, 5);
    MMTransformMatrix doubled = [] {
        MMTransformMatrix matrix;
        matrix.MakeScale(2, 2, 2);
        return matrix;
    }();
    IVTransparencyCache cache{&constructor_device};
};

TEST_F(EyeDistance, SortsFarthestFirstInWorldSpace) {
    EXPECT_EQ(cache.GetSortKey(), IVTransparencyCache::eSortDirectionDepth) << "the default";
    cache.SetSortKey(IVTransparencyCache::eSortEyeDistance);
    const std::array<float, 3> eye = {30, 40, 0};
    Pass(eye);
    ASSERT_EQ(cache.GetNumTriangle(), 5u);
    std::vector<std::pair<float, const MStlTriangle*>> expected;
    for (uint64_t i = 0; i < cache.GetNumTriangle(); ++i) {
        const MStlTriangle* triangle = cache.GetTriangle(i).mp_triangle;
        const bool scaled = cache.GetStl(i) == scaled_mesh.get();
        expected.push_back(
            {scaled ? Expected(*triangle, 2.0, {15, 20, 0}) : Expected(*triangle, 1.0, eye), triangle});
    }
    std::stable_sort(expected.begin(), expected.end(), [](auto& a, auto& b) { return a.first > b.first; });
    for (uint64_t i = 0; i < cache.GetNumTriangle(); ++i) {
        EXPECT_EQ(cache.GetTriangle(i).mp_triangle, expected[i].second) << "position " << i;
        EXPECT_EQ(cache.GetTriangle(i).mf_depth, expected[i].first) << "position " << i;
    }
}

TEST_F(EyeDistance, SkipFollowsTheEyesMovement) {
    cache.SetSortKey(IVTransparencyCache::eSortEyeDistance);
    Pass({0, 0, 100});
    Pass({0, 0, 100});
    EXPECT_EQ(StreamFills(), 2) << "no tolerance: every pass sorts";

    cache.SetSkipSortTolerance(60.0f); // the eye may move by half the nearest distance
    Pass({0, 0, 100});
    EXPECT_EQ(StreamFills(), 2) << "an unmoved eye keeps the order";
    const float nearest = cache.GetTriangle(cache.GetNumTriangle() - 1).mf_depth;
    Pass({nearest * 0.49f, 0, 100}, {0, 1, 0});
    EXPECT_EQ(StreamFills(), 2) << "a small move and a turn keep the order";
    Pass({nearest * 0.51f, 0, 100});
    EXPECT_EQ(StreamFills(), 3) << "moved by more than half the nearest distance";

    cache.SetSortKey(IVTransparencyCache::eSortDirectionDepth);
    Pass({nearest * 0.51f, 0, 100});
    EXPECT_EQ(StreamFills(), 4) << "a new key sorts";
}

#ifndef NDEBUG
using ReuseCheckDeathTest = IVTransparencyCacheTest;

TEST_F(ReuseCheckDeathTest, RebuiltMeshWithoutClearAborts) {
    auto mesh = Strip(3);
    IVTransparencyCache cache(&constructor_device);
    RegisterAndPass(cache, *mesh);
    MStlSurface* surface = mesh->GetRootFeature()->GetSurface(0);
    MStlTriangle* first = surface->mp_first_triangle;
    surface->mp_first_triangle = first->mp_next; // as if rebuilt
    Register(cache, *mesh);
    EXPECT_DEATH(cache.RenderStlTransparentPN(&pass_device), "call Clear\\(\\) after destroying or editing");
    surface->mp_first_triangle = first;
}
#endif

} // namespace
