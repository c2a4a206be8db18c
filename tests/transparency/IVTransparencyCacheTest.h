#pragma once
// IVTransparencyCacheTest: the fixture of the transparency suites. It is the cache's friend, so the
// few checks that cannot be made through public behaviour (sort state, the container, the sort on
// chosen depths) go through its static accessors.
//
// Every test gets two devices, so that the roles of the constructor's device (mementos, transform)
// and the pass's device (everything else) can be told apart, and the pass device hands out
// recording streams. IE is 1 unless a test sets it, so record positions equal point coordinates.
#include "host/base/MUnit.h"
#include "host/math/MMTransformMatrix.h"
#include "host/mesh/MStlMeshBuilder.h"
#include "tests/support/RecordingRender.h"
#include "tests/support/RecordingStream.h"
#include "transparency/IVTransparencyCache.h"
#include "transparency/IVVertexContainerTransparency.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

class IVTransparencyCacheTest : public ::testing::Test {
protected:
    using Record = IVTransparencyCache::IVVBTranspTriangle;

    void SetUp() override {
        MUnit::SetIE(1);
        pass_device.SetVertexStreamSource(&streams);
    }
    void TearDown() override { MUnit::SetIE(1000); }

    // `count` triangles side by side along x, triangle i with centroid x = 10 i + 10/3, at height z.
    static std::unique_ptr<MStlBase> Strip(int count, int32_t z = 0) {
        std::vector<MStlMeshBuilder::Point> points;
        std::vector<MStlMeshBuilder::Triangle> triangles;
        for (int i = 0; i < count; ++i) {
            const uint32_t first = static_cast<uint32_t>(points.size());
            points.push_back({10 * i, 0, z});
            points.push_back({10 * i + 10, 0, z});
            points.push_back({10 * i, 10, z});
            triangles.push_back({first, first + 1, first + 2});
        }
        return MStlMeshBuilder::Make(points, triangles);
    }

    void Register(IVTransparencyCache& cache, MStlBase& stl, std::array<float, 3> direction = {1, 0, 0},
                  std::array<float, 3> eye = {0, 0, 0},
                  const MMTransformMatrix& matrix = MMTransformMatrix()) {
        cache.AddSTL(&stl, eye.data(), direction.data(), matrix);
    }

    // Registers a frame's last mesh and runs the pass on the pass device.
    void RegisterAndPass(IVTransparencyCache& cache, MStlBase& stl,
                         std::array<float, 3> direction = {1, 0, 0}, std::array<float, 3> eye = {0, 0, 0},
                         const MMTransformMatrix& matrix = MMTransformMatrix()) {
        Register(cache, stl, direction, eye, matrix);
        cache.RenderStlTransparentPN(&pass_device);
    }

    // A field of every record, in draw order.
    template <class Field> static auto Each(const IVTransparencyCache& cache, Field field) {
        std::vector<decltype(field(cache.GetTriangle(0)))> values;
        for (uint64_t i = 0; i < cache.GetNumTriangle(); ++i)
            values.push_back(field(cache.GetTriangle(i)));
        return values;
    }
    // The position of every record's vertex 0.
    static std::vector<std::array<float, 3>> FirstCorners(const IVTransparencyCache& cache) {
        return Each(cache, [](const Record& record) {
            return std::array<float, 3>{record.ma_vertices[0].x, record.ma_vertices[0].y,
                                        record.ma_vertices[0].z};
        });
    }
    static std::vector<const MStlTriangle*> Order(const IVTransparencyCache& cache) {
        return Each(cache, [](const Record& record) -> const MStlTriangle* { return record.mp_triangle; });
    }
    static std::vector<float> Depths(const IVTransparencyCache& cache) {
        return Each(cache, [](const Record& record) { return record.mf_depth; });
    }

    int StreamFills() const { return streams.pnc->streams_created; }

    // Friend access.
    static int64_t SortedCount(const IVTransparencyCache& cache) { return cache.mn_sorted_num_triangles; }
    static IVVertexContainerTransparency* Container(const IVTransparencyCache& cache) {
        return cache.mp_container.get();
    }
    static const std::vector<IVTransparencyCache::TStlReference>& Current(const IVTransparencyCache& cache) {
        return cache.mv_stls;
    }
    // Replaces the records by ones with the given depths and sorts them by depth alone.
    static void SortDepths(IVTransparencyCache& cache, const std::vector<float>& depths,
                           const std::vector<MStlTriangle>& tags) {
        cache.mv_triangles.clear();
        for (size_t i = 0; i < depths.size(); ++i) {
            auto record = std::make_unique<Record>();
            record->mp_triangle = &tags[i];
            record->mf_depth = depths[i];
            cache.mv_triangles.push_back(std::move(record));
        }
        cache.mn_num_triangles = static_cast<int32_t>(depths.size());
        cache._SortByDepth();
    }
    static bool Compare(const Record& a, const Record& b) {
        return IVTransparencyCache::IVVBTranspTriangleCompare(a, b);
    }

    RecordingRender constructor_device;
    RecordingRender pass_device;
    RecordingStreamSource streams;
};
