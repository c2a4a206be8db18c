// Cost of the transparent pass on scenes of 10 thousand to 1 million triangles over four meshes.
//
// The device rasterizes nothing and its streams only store what they are given (into storage kept
// across fills), so each figure is the cache's own work plus one copy of the vertices into the
// stream:
//   FirstPass   - a new cache: rebuild of every record, depth sort, stream fill
//   TurnedView  - same meshes, the view turned by 20 degrees each pass: depth sort and stream fill
//   SkippedSort - same meshes, the view turned by 1 degree within a 10 degree tolerance: no sort,
//                 the stream filled last is drawn again
//   TurnedViewDistance - as TurnedView, with the eye-distance sort key and the eye moving instead
// Every benchmark reports minor page faults per pass (getrusage) and the process's peak resident
// memory; FirstPass also the bytes the cache holds per record after its first pass. The second
// argument is the number of sort threads (0: the cache's default).
#include "host/base/MUnit.h"
#include "host/math/MMTransformMatrix.h"
#include "host/mesh/MStlMeshBuilder.h"
#include "host/render/IVRender.h"
#include "transparency/IVTransparencyCache.h"

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

namespace {

// Keeps what a stream is given in storage that outlives the stream, as a device's vertex buffer
// would, so that a refill does not reallocate.
template <class V> class StoringStream final : public IIVVertexStream<V> {
public:
    explicit StoringStream(std::vector<V>& storage) : mr_storage(storage) {}
    void BeginTriangles() override { mr_storage.clear(); }
    void BeginLines() override { mr_storage.clear(); }
    void End() override {}
    void AddTriangle(const V& a, const V& b, const V& c) override {
        mr_storage.push_back(a);
        mr_storage.push_back(b);
        mr_storage.push_back(c);
    }
    void AddLine(const V& a, const V& b) override {
        mr_storage.push_back(a);
        mr_storage.push_back(b);
    }
    void Render(IVRender&) override { benchmark::DoNotOptimize(mr_storage.data()); }

private:
    std::vector<V>& mr_storage;
};

class StoringSource final : public IVVertexStreamSource {
public:
    std::unique_ptr<IIVVertexStream<IVVertexP>> CreateStream(const IVVertexP*) override {
        return std::make_unique<StoringStream<IVVertexP>>(mv_p);
    }
    std::unique_ptr<IIVVertexStream<IVVertexPN>> CreateStream(const IVVertexPN*) override {
        return std::make_unique<StoringStream<IVVertexPN>>(mv_pn);
    }
    std::unique_ptr<IIVVertexStream<IVVertexPNC>> CreateStream(const IVVertexPNC*) override {
        return std::make_unique<StoringStream<IVVertexPNC>>(mv_pnc);
    }
    std::unique_ptr<IIVVertexStream<IVVertexPNT>> CreateStream(const IVVertexPNT*) override {
        return std::make_unique<StoringStream<IVVertexPNT>>(mv_pnt);
    }

    std::vector<IVVertexP> mv_p;
    std::vector<IVVertexPN> mv_pn;
    std::vector<IVVertexPNC> mv_pnc;
    std::vector<IVVertexPNT> mv_pnt;
};

class NullRender final : public IVRender {
public:
    void DrawQuad(const float*, const float*, const float*, const float*, const float*, const float*,
                  const float*, const float*, const float*, IVTexture&) override {}
    bool DrawTextureRect(const float*, const float*, const float*, IVTexture*) override { return false; }

protected:
    void _DrawTriangle(const float*, const float*, const float*, const float*, unsigned long) override {}
    void _DrawTriangle(const float*, const float*, const float*, const float*) override {}
    void _DrawLine(float, float, float, float, float, float, unsigned long) override {}
    void _DrawLine(float, float, float, float, float, float) override {}
    void _DrawPoint(float, float, float, float, float, float) override {}
    void _DrawPoint(float, float, float, unsigned long) override {}
    void _DrawPoint(float, float, float) override {}

public:
    void DrawTriangle(const float*, const float*, const float*, const float*, const float*) override {}
    void DrawTriangle(const float*, const float*, const float*, const float*) override {}
    void DrawLine(float, float, float, float, float, float, const float*) override {}
    void DrawLine(float, float, float, float, float, float) override {}
    void DrawPoint(float, float, float) override {}
    void DrawPoints(const float*, unsigned int) override {}
};

constexpr int MESHES = 4;

// Four wavy grids of about count / 4 triangles each, side by side, each with its own transform.
struct Scene {
    explicit Scene(int64_t count) {
        const int64_t quads = count / (2 * MESHES);
        const int64_t columns = static_cast<int64_t>(std::sqrt(double(quads)));
        const int64_t rows = quads / columns;
        for (int m = 0; m < MESHES; ++m) {
            auto mesh = std::make_unique<MStlBase>();
            MStlSurface* surface = mesh->AddSurface(mesh->CreateRootFeature());
            std::vector<MStlMeshBuilder::Point> points;
            for (int64_t r = 0; r <= rows; ++r)
                for (int64_t c = 0; c <= columns; ++c)
                    points.push_back({int32_t(c * 1000 + m * 1000 * (columns + 2)), int32_t(r * 1000),
                                      int32_t(300 * std::sin(0.05 * double(r + c)) + 200 * m)});
            const std::vector<MStlPoint*> handles = MStlMeshBuilder::AddPoints(*mesh, points);
            std::vector<MStlMeshBuilder::Triangle> triangles;
            const auto at = [&](int64_t r, int64_t c) { return uint32_t(r * (columns + 1) + c); };
            for (int64_t r = 0; r < rows; ++r)
                for (int64_t c = 0; c < columns; ++c) {
                    triangles.push_back({at(r, c), at(r, c + 1), at(r + 1, c)});
                    triangles.push_back({at(r, c + 1), at(r + 1, c + 1), at(r + 1, c)});
                }
            MStlMeshBuilder::AddTriangles(*mesh, surface, handles, triangles);
            mv_meshes.push_back(std::move(mesh));
            MMTransformMatrix matrix;
            matrix.MakeRotation({0, 0, 0}, {0, 0, 1}, 0.1 * m);
            mv_matrices.push_back(matrix);
        }
    }

    void Register(IVTransparencyCache& cache, double angle_degrees, float eye_shift = 0.0f) {
        const double angle = angle_degrees * M_PI / 180.0;
        for (size_t m = 0; m < mv_meshes.size(); ++m) {
            float eye[3] = {-1e6f + eye_shift, -1e6f, 5e5f};
            float direction[3] = {float(std::cos(angle)), float(std::sin(angle)), -0.3f};
            cache.AddSTL(mv_meshes[m].get(), eye, direction, mv_matrices[m]);
        }
    }

    std::vector<std::unique_ptr<MStlBase>> mv_meshes;
    std::vector<MMTransformMatrix> mv_matrices;
};

Scene& SceneOf(int64_t count) {
    static std::map<int64_t, std::unique_ptr<Scene>> scenes;
    std::unique_ptr<Scene>& scene = scenes[count];
    if (scene == nullptr)
        scene = std::make_unique<Scene>(count);
    return *scene;
}

struct Devices {
    // The stream's storage is reserved and touched once, as a device's vertex buffer would be.
    explicit Devices(int64_t triangles) {
        pass.SetVertexStreamSource(&source);
        source.mv_pnc.resize(size_t(3 * triangles));
        source.mv_pnc.clear();
    }
    StoringSource source;
    NullRender constructor;
    NullRender pass;
};

long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Page faults per pass and peak resident memory of the process so far, in MB.
void ReportMemory(benchmark::State& state, long faults) {
    state.counters["faults_per_pass"] = double(faults) / double(std::max<int64_t>(state.iterations(), 1));
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = double(usage.ru_maxrss) / 1024.0;
}

// Resident memory now, in bytes (the cache's blocks are mapped, not malloc'ed).
double ResidentBytes() {
    long pages = 0;
    long resident = 0;
    if (FILE* file = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(file, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(file);
    }
    return double(resident) * 4096.0;
}

IVTransparencyCache* NewCache(std::unique_ptr<IVTransparencyCache>& cache, Devices& devices,
                              const benchmark::State& state) {
    cache = std::make_unique<IVTransparencyCache>(&devices.constructor);
    cache->SetSortThreads(unsigned(state.range(1)));
    return cache.get();
}

void FirstPass(benchmark::State& state) {
    MUnit::SetIE(1000);
    Scene& scene = SceneOf(state.range(0));
    Devices devices(state.range(0));
    std::unique_ptr<IVTransparencyCache> cache;
    long faults = 0;
    for (auto _ : state) {
        state.PauseTiming();
        cache.reset();
        NewCache(cache, devices, state);
        const long before = MinorFaults();
        state.ResumeTiming();
        scene.Register(*cache, 0.0);
        cache->RenderStlTransparentPN(&devices.pass);
        state.PauseTiming();
        faults += MinorFaults() - before;
        state.ResumeTiming();
    }
    ReportMemory(state, faults);
    const double records = double(cache->GetNumTriangle());
    state.counters["records"] = records;

    // What a cache holds after its first pass (records, the pointer vector, sort scratch,
    // registrations, container): resident memory, since its record blocks bypass malloc. The
    // stream's storage is the device's and is already resident.
    cache.reset();
    const double before = ResidentBytes();
    NewCache(cache, devices, state);
    scene.Register(*cache, 0.0);
    cache->RenderStlTransparentPN(&devices.pass);
    state.counters["bytes_per_record"] = (ResidentBytes() - before) / records;
    state.counters["record_bytes"] = double(sizeof(IVTransparencyCache::IVVBTranspTriangle));
}

// A cache with a 10-degree skip tolerance, after one full pass at angle 0.
void PrimeCache(Scene& scene, IVTransparencyCache& cache, Devices& devices, const benchmark::State& state) {
    cache.SetSkipSortTolerance(10.0f);
    cache.SetSortThreads(unsigned(state.range(1)));
    scene.Register(cache, 0.0);
    cache.RenderStlTransparentPN(&devices.pass);
}

void TurnedView(benchmark::State& state) {
    MUnit::SetIE(1000);
    Scene& scene = SceneOf(state.range(0));
    Devices devices(state.range(0));
    IVTransparencyCache cache(&devices.constructor);
    PrimeCache(scene, cache, devices, state);
    double angle = 0.0;
    const long before = MinorFaults();
    for (auto _ : state) {
        angle += 20.0;
        scene.Register(cache, angle);
        cache.RenderStlTransparentPN(&devices.pass);
    }
    ReportMemory(state, MinorFaults() - before);
}

// The eye moves along the scene by a tenth of its width each pass (the direction stays), so that
// the distance order changes.
void TurnedViewDistance(benchmark::State& state) {
    MUnit::SetIE(1000);
    Scene& scene = SceneOf(state.range(0));
    Devices devices(state.range(0));
    IVTransparencyCache cache(&devices.constructor);
    cache.SetSortKey(IVTransparencyCache::eSortEyeDistance);
    PrimeCache(scene, cache, devices, state);
    int64_t frame = 0;
    const long before = MinorFaults();
    for (auto _ : state) {
        scene.Register(cache, 0.0, 1e5f * float(++frame % 10));
        cache.RenderStlTransparentPN(&devices.pass);
    }
    ReportMemory(state, MinorFaults() - before);
}

void SkippedSort(benchmark::State& state) {
    MUnit::SetIE(1000);
    Scene& scene = SceneOf(state.range(0));
    Devices devices(state.range(0));
    IVTransparencyCache cache(&devices.constructor);
    PrimeCache(scene, cache, devices, state);
    int64_t frame = 0;
    const long before = MinorFaults();
    for (auto _ : state) {
        scene.Register(cache, (++frame % 2) * 1.0);
        cache.RenderStlTransparentPN(&devices.pass);
    }
    ReportMemory(state, MinorFaults() - before);
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
    for (int64_t count : {10'000, 100'000, 1'000'000})
        benchmark->Args({count, 0});
    benchmark->Args({1'000'000, 1}); // one sort thread
}

BENCHMARK(FirstPass)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(TurnedView)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(TurnedViewDistance)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(SkippedSort)->Apply(Sizes)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
