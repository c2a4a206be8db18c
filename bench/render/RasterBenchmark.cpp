// The software rasterizer alone at 1280 x 720: a million-triangle torus given in raster space
// (about the size and depth complexity of the renderer's torus frame), opaque with the depth
// test and transparent with blending, and large textured triangles for the fill rate. The
// thread count is the benchmark's argument. Counters split the wall time into recording (the
// calls, with the hand-over of full batches and, with more threads, the waits for the batch
// before) and the final flush, and give the CPU time of all threads and the page faults per
// frame.
#include "host/render/soft/IVDisplaySurfaceSoft.h"
#include "host/render/soft/IVSoftRasterizer.h"
#include "host/render/soft/IVTextureSoft.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <vector>

#include <sys/resource.h>

namespace {

constexpr int WIDTH = 1280;
constexpr int HEIGHT = 720;

long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// User and system time of every thread of the process, in milliseconds: on a shared machine the
// wall clock also counts the time spent waiting for a core.
double ProcessCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-3;
}

// Corners (x, y, depth) and a raster normal per triangle, nine plus three floats.
struct Mesh {
    std::vector<float> corners;
    std::vector<float> normals;
    size_t count = 0;
};

// A torus of 1000 x 500 quads, its axis tilted towards the viewer, projected orthographically.
const Mesh& Torus() {
    static const Mesh mesh = [] {
        Mesh torus;
        const int around = 1000, tube = 500;
        const double big = 300.0, small = 100.0, tilt = 0.9;
        auto point = [&](int i, int j, float* out) {
            const double theta = 2.0 * M_PI * i / around, phi = 2.0 * M_PI * j / tube;
            const double x = (big + small * std::cos(phi)) * std::cos(theta);
            const double y = (big + small * std::cos(phi)) * std::sin(theta);
            const double z = small * std::sin(phi);
            out[0] = float(WIDTH / 2 + x);
            out[1] = float(HEIGHT / 2 + y * std::cos(tilt) - z * std::sin(tilt));
            out[2] = float(y * std::sin(tilt) + z * std::cos(tilt));
        };
        torus.corners.reserve(size_t(around) * tube * 18);
        for (int i = 0; i < around; ++i)
            for (int j = 0; j < tube; ++j) {
                float p[4][3];
                point(i, j, p[0]);
                point(i + 1, j, p[1]);
                point(i + 1, j + 1, p[2]);
                point(i, j + 1, p[3]);
                const int triangles[2][3] = {{0, 1, 2}, {0, 2, 3}};
                for (const auto& triangle : triangles) {
                    for (int corner : triangle)
                        torus.corners.insert(torus.corners.end(), p[corner], p[corner] + 3);
                    const float* a = p[triangle[0]];
                    const float* b = p[triangle[1]];
                    const float* c = p[triangle[2]];
                    const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
                    const double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
                    double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                                   u[0] * v[1] - u[1] * v[0]};
                    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
                    for (double& value : n)
                        torus.normals.push_back(float(length > 0.0 ? value / length : 0.0));
                }
            }
        torus.count = torus.normals.size() / 3;
        return torus;
    }();
    return mesh;
}

// threads, transparent (0 or 1)
void BM_MillionTriangleRaster(benchmark::State& state) {
    const Mesh& torus = Torus();
    IVDisplaySurfaceSoft surface(WIDTH, HEIGHT);
    IVSoftRasterizer rasterizer;
    rasterizer.SetThreadCount(int(state.range(0)));
    const bool transparent = state.range(1) != 0;
    double bin_ms = 0.0, fill_ms = 0.0, cpu_ms = 0.0;
    long faults = 0;
    for (auto _ : state) {
        surface.Clear(0xFF402010u);
        const long faults_before = MinorFaults();
        const double cpu_before = ProcessCpuMs();
        const auto start = std::chrono::steady_clock::now();
        rasterizer.SetSurface(&surface);
        rasterizer.SetShading(true);
        rasterizer.SetBlend(transparent);
        rasterizer.SetDepthTest(true, !transparent);
        rasterizer.SetColourWord(transparent ? 0x8028A0E6u : 0xFF288CE6u);
        for (size_t i = 0; i < torus.count; ++i) {
            const float* corner = &torus.corners[9 * i];
            rasterizer.RasterTriangle(corner, corner + 3, corner + 6, &torus.normals[3 * i]);
        }
        const auto binned = std::chrono::steady_clock::now();
        rasterizer.Flush();
        const auto filled = std::chrono::steady_clock::now();
        faults += MinorFaults() - faults_before;
        cpu_ms += ProcessCpuMs() - cpu_before;
        bin_ms += std::chrono::duration<double, std::milli>(binned - start).count();
        fill_ms += std::chrono::duration<double, std::milli>(filled - binned).count();
        benchmark::DoNotOptimize(surface.GetPixels());
    }
    const double iterations = double(state.iterations());
    state.counters["record_ms"] = bin_ms / iterations;
    state.counters["process_cpu_ms"] = cpu_ms / iterations;
    state.counters["fill_ms"] = fill_ms / iterations;
    state.counters["faults"] = double(faults) / iterations;
    state.counters["triangles"] = double(torus.count);
}
BENCHMARK(BM_MillionTriangleRaster)
    ->ArgsProduct({{1, 2}, {0, 1}})
    ->ArgNames({"threads", "transparent"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// threads, perspective (0: all w equal, 1: w from 1 to 4 across the screen)
void BM_TexturedFill(benchmark::State& state) {
    std::vector<uint32_t> texels(256 * 256);
    for (size_t i = 0; i < texels.size(); ++i)
        texels[i] = uint32_t(i * 2654435761u) | 0xFF000000u;
    IVTextureSoft texture;
    texture.SetImage(256, 256, reinterpret_cast<const uint8_t*>(texels.data()), texels.size() * 4);
    IVDisplaySurfaceSoft surface(WIDTH, HEIGHT);
    IVSoftRasterizer rasterizer;
    rasterizer.SetThreadCount(int(state.range(0)));
    rasterizer.SetShading(true);
    const float far_w = state.range(1) != 0 ? 4.0f : 1.0f;
    const float a[3] = {0, 0, 0}, b[3] = {WIDTH, 0, 0}, c[3] = {WIDTH, HEIGHT, 0}, d[3] = {0, HEIGHT, 0};
    const float ta[3] = {0, 0, 1}, tb[3] = {5, 0, far_w}, tc[3] = {5, 3, far_w}, td[3] = {0, 3, 1};
    const float normal[3] = {0, 0, 1};
    long faults = 0;
    for (auto _ : state) {
        surface.Clear(0xFF000000u);
        const long faults_before = MinorFaults();
        rasterizer.SetSurface(&surface);
        rasterizer.SetTexture(&texture);
        rasterizer.RasterTriangleTextured(a, b, c, normal, ta, tb, tc);
        rasterizer.RasterTriangleTextured(a, c, d, normal, ta, tc, td);
        rasterizer.Flush();
        faults += MinorFaults() - faults_before;
        benchmark::DoNotOptimize(surface.GetPixels());
    }
    state.counters["Mpixels_per_s"] = benchmark::Counter(
        double(WIDTH) * HEIGHT * 1e-6 * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["faults"] = double(faults) / double(state.iterations());
}
BENCHMARK(BM_TexturedFill)
    ->ArgsProduct({{1, 2}, {0, 1}})
    ->ArgNames({"threads", "perspective"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
