// Frame cost of vantrel-render at 1280 x 720 with every feature on (fisheye projection, clipping
// plane, animation, gizmo and label), for the built-in scene and for a
// generated one-million-triangle STL read from disk. Counters give the per-stage milliseconds
// (prepare, sort, draw) averaged over the iterations, the CPU time of all threads and the page
// faults per frame. VANTREL_THREADS sets the rasterizer's thread count.
#include "apps/BuiltInScene.h"
#include "apps/FrameRenderer.h"
#include "apps/PrimitiveBuilder.h"
#include "apps/StlReader.h"

#include "host/base/MUnit.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include <sys/resource.h>

namespace {

Options AllFeatures(double skip_sort_degrees) {
    Options options;
    options.width = 1280;
    options.height = 720;
    options.projection = Projection::eFisheye;
    options.fov_degrees = 150.0;
    options.clip = std::array<double, 4>{0.0, 0.0, -1.0, 60.0};
    options.gizmo = true;
    options.label = "Vantrel";
    options.frames = 3600;
    options.orbit_degrees = 360.0; // a tenth of a degree per frame
    options.skip_sort_degrees = skip_sort_degrees;
    return options;
}

// A torus of one million triangles written as binary STL; made once per process.
const std::string& MillionTriangleStl() {
    static const std::string path = [] {
        PrimitiveBuilder builder;
        builder.AddTorus({0, 0, 0}, 60.0, 20.0, 1000, 500);
        const StlMesh mesh = builder.Take();
        const std::string file =
            (std::filesystem::temp_directory_path() / "vantrel-bench-million.stl").string();
        std::ofstream out(file, std::ios::binary);
        char header[80] = "vantrel benchmark torus";
        out.write(header, sizeof header);
        const auto count = uint32_t(mesh.triangles.size());
        out.write(reinterpret_cast<const char*>(&count), 4);
        for (const auto& triangle : mesh.triangles) {
            float record[12] = {};
            for (int corner = 0; corner < 3; ++corner)
                for (int axis = 0; axis < 3; ++axis)
                    record[3 + 3 * corner + axis] = float(mesh.points[triangle[corner]][axis]);
            out.write(reinterpret_cast<const char*>(record), sizeof record);
            const uint16_t attributes = 0;
            out.write(reinterpret_cast<const char*>(&attributes), 2);
        }
        return file;
    }();
    return path;
}

// Page faults and the CPU time of every thread of the process (milliseconds): on a shared
// machine the wall clock also counts time spent waiting for a core.
struct Usage {
    long faults;
    double cpu_ms;
};

Usage Now() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return {usage.ru_minflt, double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                                 double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-3};
}

void RunFrames(benchmark::State& state, Scene& scene, const Options& options) {
    FrameRenderer renderer(scene, options);
    renderer.Render(0); // builds the containers' streams and the cache's records
    int frame = 1;
    double prepare = 0.0, sort = 0.0, draw = 0.0;
    int sorted = 0;
    const Usage before = Now();
    for (auto _ : state) {
        const FrameStats stats = renderer.Render(frame);
        frame = frame + 1 < options.frames ? frame + 1 : 1;
        prepare += stats.prepare_ms;
        sort += stats.sort_ms;
        draw += stats.draw_ms;
        sorted += stats.sorted;
        benchmark::DoNotOptimize(renderer.GetPixels());
    }
    const double iterations = double(state.iterations());
    const Usage after = Now();
    state.counters["process_cpu_ms"] = (after.cpu_ms - before.cpu_ms) / iterations;
    state.counters["faults"] = double(after.faults - before.faults) / iterations;
    state.counters["prepare_ms"] = prepare / iterations;
    state.counters["sort_ms"] = sort / iterations;
    state.counters["draw_ms"] = draw / iterations;
    state.counters["sorted_share"] = sorted / iterations;
    state.counters["triangles"] = double(scene.GetNumTriangles());
}

void BM_BuiltInSceneFrame(benchmark::State& state) {
    Scene scene = BuiltInScene::Make(MUnit::GetIE());
    RunFrames(state, scene, AllFeatures(double(state.range(0))));
}
BENCHMARK(BM_BuiltInSceneFrame)->Arg(0)->Arg(10)->ArgName("skip_sort_deg")->Unit(benchmark::kMillisecond);

void BM_ReadMillionTriangleStl(benchmark::State& state) {
    const std::string& path = MillionTriangleStl();
    for (auto _ : state) {
        const StlMesh mesh = StlReader().ReadFile(path);
        benchmark::DoNotOptimize(mesh.triangles.data());
    }
}
BENCHMARK(BM_ReadMillionTriangleStl)->Unit(benchmark::kMillisecond)->Iterations(3);

// transparent 0: opaque animated mesh; 1: transparent (alpha 0.5) mesh through the cache.
// fisheye 0 draws through the linear camera alone, to show what the panoramic transform costs.
void BM_MillionTriangleFrame(benchmark::State& state) {
    Scene scene;
    const bool transparent = state.range(0) != 0;
    scene.AddMesh(StlReader().ReadFile(MillionTriangleStl()), "torus",
                  transparent ? 0x8028A0E6u : 0xFF288CE6u, transparent);
    Options options = AllFeatures(double(state.range(1)));
    options.animate = 2.0;
    if (state.range(2) == 0) {
        options.projection = Projection::eNone;
        options.fov_degrees.reset();
    }
    RunFrames(state, scene, options);
}
BENCHMARK(BM_MillionTriangleFrame)
    ->Args({0, 0, 1})
    ->Args({1, 0, 1})
    ->Args({1, 10, 1})
    ->Args({0, 0, 0})
    ->Args({1, 0, 0})
    ->ArgNames({"transparent", "skip_sort_deg", "fisheye"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

} // namespace

BENCHMARK_MAIN();
