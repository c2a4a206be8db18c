// The room of `--scene room` as `make render` draws it: an equirectangular 2048 x 1024 panorama
// from the middle of the room, with edge subdivision at the default tolerance (0.5 pixels), at a
// coarse one, and off. Counters: the triangles the frame handed to the rasterizer after near
// clipping and subdivision, and the stages of --stats; page faults per frame (getrusage), since a
// frame that allocates pays for every fresh page it touches.
#include "apps/FrameRenderer.h"
#include "apps/RoomScene.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// tolerance_centipixels: the subdivision tolerance in hundredths of a pixel; 0 switches it off.
void BM_RoomPanorama(benchmark::State& state) {
    Scene scene = RoomScene::Make();
    Options options;
    options.scene = SceneKind::eRoom;
    options.width = 2048;
    options.height = 1024;
    options.projection = Projection::eEquirect;
    options.subdivide_pixels = double(state.range(0)) / 100.0;
    FrameRenderer renderer(scene, options);
    renderer.Render(0); // builds the containers' streams and the cache's records
    double sort = 0.0, draw = 0.0;
    const long faults_before = MinorFaults();
    for (auto _ : state) {
        const FrameStats stats = renderer.Render(0);
        sort += stats.sort_ms;
        draw += stats.draw_ms;
        benchmark::DoNotOptimize(renderer.GetPixels());
    }
    const double iterations = double(state.iterations());
    state.counters["faults_per_frame"] = double(MinorFaults() - faults_before) / iterations;
    state.counters["scene_triangles"] = double(scene.GetNumTriangles());
    state.counters["raster_triangles"] = double(renderer.GetNumRasterTriangles());
    state.counters["sort_ms"] = sort / iterations;
    state.counters["draw_ms"] = draw / iterations;
}
BENCHMARK(BM_RoomPanorama)
    ->Arg(50)
    ->Arg(200)
    ->Arg(0)
    ->ArgName("tolerance_centipixels")
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
