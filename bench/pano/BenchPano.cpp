// Panoramic device throughput: route A (object to raster) per point without a transform, with an
// identity transform and with a non-linear fisheye; and a full 1280 x 720 frame of a
// 200,000-triangle sphere on the plain software device and on the panoramic device, without and
// with the fisheye.
#include "host/render/IVVertexStreamBuffer.h"
#include "host/render/soft/IVDisplaySurfaceSoft.h"
#include "host/render/soft/IVRenderSoft.h"
#include "pano/IVRenderSoftPano.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

// A radial fisheye in the world x-y plane about the origin: distance r becomes
// radius * atan(r / radius) along the same ray.
class FisheyeTransform : public MMTransform {
public:
    explicit FisheyeTransform(double radius) : md_radius(radius) {}
    using MMTransform::Transform;
    bool Transform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool) const override {
        const double distance = std::sqrt(in.x * in.x + in.y * in.y);
        const double scale = distance > 0.0 ? md_radius * std::atan(distance / md_radius) / distance : 1.0;
        out = MMPoint3d<double>(in.x * scale, in.y * scale, in.z);
        return true;
    }
    bool InverseTransform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool) const override {
        out = in;
        return false;
    }

private:
    double md_radius;
};

class IdentityTransform : public MMTransform {
public:
    using MMTransform::Transform;
    bool Transform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool) const override {
        out = in;
        return true;
    }
    bool InverseTransform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool) const override {
        out = in;
        return true;
    }
};

class RouteDevice : public IVRenderSoftPano {
public:
    using IVRenderSoftPano::_TransformObjectRaster;
};

constexpr int WIDTH = 1280;
constexpr int HEIGHT = 720;
// Eye (unit sphere about the origin) to window pixels, depth scaled like x and y.
constexpr float EYE_WINDOW[16] = {330, 0, 0, 640, 0, -330, 0, 360, 0, 0, 330, 0, 0, 0, 0, 1};

void SetUpDevice(IVRender& device) {
    device.SetTransformEyeWindow(EYE_WINDOW);
    device.SetCurrentColour(0xFF3080E0u);
}

std::vector<float> MakePoints(size_t count) {
    std::vector<float> points(3 * count);
    for (size_t i = 0; i < count; ++i) {
        const double angle = 0.001 * double(i);
        points[3 * i] = float(std::cos(angle) * 0.9);
        points[3 * i + 1] = float(std::sin(angle * 1.3) * 0.9);
        points[3 * i + 2] = float(std::sin(angle * 0.7));
    }
    return points;
}

void RouteA(benchmark::State& state, MMTransform* transform) {
    RouteDevice device;
    SetUpDevice(device);
    device.SetTransform(transform);
    const size_t count = 4096;
    const std::vector<float> points = MakePoints(count);
    float out[3];
    for (auto _ : state) {
        for (size_t i = 0; i < count; ++i) {
            device._TransformObjectRaster(out, points[3 * i], points[3 * i + 1], points[3 * i + 2], 1.0f);
            benchmark::DoNotOptimize(out);
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(count));
}

void BM_RouteA_NoTransform(benchmark::State& state) {
    RouteA(state, nullptr);
}
void BM_RouteA_IdentityTransform(benchmark::State& state) {
    IdentityTransform identity;
    RouteA(state, &identity);
}
void BM_RouteA_FisheyeTransform(benchmark::State& state) {
    FisheyeTransform fisheye(1.0);
    RouteA(state, &fisheye);
}
BENCHMARK(BM_RouteA_NoTransform);
BENCHMARK(BM_RouteA_IdentityTransform);
BENCHMARK(BM_RouteA_FisheyeTransform);

// A unit UV sphere of 2 x 200 x 500 = 200,000 triangles with outward corner normals.
const IVVertexStreamBuffer<IVVertexPN>& SphereStream() {
    static const IVVertexStreamBuffer<IVVertexPN> stream = [] {
        IVVertexStreamBuffer<IVVertexPN> built;
        constexpr int RINGS = 200, SEGMENTS = 500;
        auto vertex = [](int ring, int segment) {
            const double theta = std::numbers::pi * ring / RINGS;
            const double phi = 2.0 * std::numbers::pi * segment / SEGMENTS;
            const float x = float(std::sin(theta) * std::cos(phi));
            const float y = float(std::cos(theta));
            const float z = float(std::sin(theta) * std::sin(phi));
            return IVVertexPN{x, y, z, x, y, z};
        };
        built.BeginTriangles();
        for (int ring = 0; ring < RINGS; ++ring)
            for (int segment = 0; segment < SEGMENTS; ++segment) {
                const IVVertexPN a = vertex(ring, segment), b = vertex(ring + 1, segment);
                const IVVertexPN c = vertex(ring + 1, segment + 1), d = vertex(ring, segment + 1);
                built.AddTriangle(a, b, c);
                built.AddTriangle(a, c, d);
            }
        built.End();
        return built;
    }();
    return stream;
}

void Frame(benchmark::State& state, IVRenderSoft& device) {
    SetUpDevice(device);
    device.SetRenderMode(1);
    IVDisplaySurfaceSoft surface(WIDTH, HEIGHT);
    IVVertexStreamBuffer<IVVertexPN> stream = SphereStream();
    for (auto _ : state) {
        surface.Clear(0xFF000000u);
        device.StartFrame(&surface, nullptr);
        stream.Render(device);
        device.StopFrame();
        benchmark::DoNotOptimize(surface.GetPixels());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(stream.GetVertices().size() / 3));
}

void BM_Frame_PlainSoftware(benchmark::State& state) {
    IVRenderSoft device;
    Frame(state, device);
}
void BM_Frame_PanoNoTransform(benchmark::State& state) {
    IVRenderSoftPano device;
    Frame(state, device);
}
void BM_Frame_PanoFisheye(benchmark::State& state) {
    IVRenderSoftPano device;
    FisheyeTransform fisheye(1.0);
    device.SetTransform(&fisheye);
    Frame(state, device);
}
BENCHMARK(BM_Frame_PlainSoftware)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Frame_PanoNoTransform)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Frame_PanoFisheye)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
