// Panoramic device throughput: route A (object to raster) per point without a transform, with an
// identity transform, with a radial fisheye stand-in and with the renderer's fisheye; a full
// 1280 x 720 frame of a 200,000-triangle sphere on the plain software device and on the
// panoramic device, without and with the fisheye; and a 1024 x 512 equirectangular panorama from
// inside a room-sized box, literal and with near clipping and subdivision (reported with the
// triangles handed to the rasterizer).
//
// Route A with the radial fisheye measures about 45 M points/s at this machine's usual speed, 30 to
// 36 M in its slow phases (when the transform-free route drops from over 200 to about 130 M as well).
// A third of a point's time is the stand-in's own std::atan; the device's share is the
// object-to-world product, the transform's float entry and the two products behind it.
#include "apps/EquirectTransform.h"
#include "apps/FisheyeTransform.h"
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
// radius * atan(r / radius) along the same ray. Its float entry, which the device calls per
// point, maps directly instead of through the double-precision one (same results).
class RadialFisheyeTransform final : public MMTransform {
public:
    explicit RadialFisheyeTransform(double radius) : md_radius(radius) {}
    using MMTransform::Transform;
    bool Transform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool) const override {
        out = _Map(in);
        return true;
    }
    bool Transform(float* out, float x, float y, float z, bool) const override {
        const MMPoint3d<double> moved = _Map(MMPoint3d<double>(x, y, z));
        out[0] = float(moved.x);
        out[1] = float(moved.y);
        out[2] = float(moved.z);
        return true;
    }
    bool InverseTransform(MMPoint3d<double>& out, const MMPoint3d<double>& in, bool) const override {
        out = in;
        return false;
    }

private:
    MMPoint3d<double> _Map(const MMPoint3d<double>& in) const {
        const double distance = std::sqrt(in.x * in.x + in.y * in.y);
        const double scale = distance > 0.0 ? md_radius * std::atan(distance / md_radius) / distance : 1.0;
        return MMPoint3d<double>(in.x * scale, in.y * scale, in.z);
    }

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
    RadialFisheyeTransform fisheye(1.0);
    RouteA(state, &fisheye);
}
// The renderer's equidistant fisheye (200 degrees) behind its canvas camera.
void BM_RouteA_RendererFisheye(benchmark::State& state) {
    const Camera camera({0.0, -3.0, 0.5}, {0.0, 0.0, 0.0}, WIDTH, HEIGHT, 90.0);
    FisheyeTransform fisheye(camera, 200.0);
    RouteA(state, &fisheye);
}
BENCHMARK(BM_RouteA_NoTransform);
BENCHMARK(BM_RouteA_IdentityTransform);
BENCHMARK(BM_RouteA_FisheyeTransform);
BENCHMARK(BM_RouteA_RendererFisheye);

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
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(stream.GetNumVertices() / 3));
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
    RadialFisheyeTransform fisheye(1.0);
    device.SetTransform(&fisheye);
    Frame(state, device);
}
BENCHMARK(BM_Frame_PlainSoftware)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Frame_PanoNoTransform)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Frame_PanoFisheye)->Unit(benchmark::kMillisecond);

// A room of 5 x 4 x 2.6 (model units), each wall a grid of 8 x 8 quads in its own colour.
void DrawRoom(IVRender& device) {
    const float low[3] = {-2.5f, -2.0f, 0.0f}, high[3] = {2.5f, 2.0f, 2.6f};
    constexpr int CELLS = 8;
    for (int wall = 0; wall < 6; ++wall) {
        const int axis = wall / 2, first = (axis + 1) % 3, second = (axis + 2) % 3;
        const float colour[3] = {0.3f + 0.1f * float(wall), 0.8f - 0.1f * float(wall), 0.5f};
        float inward[3] = {0, 0, 0};
        inward[axis] = wall % 2 == 0 ? 1.0f : -1.0f;
        auto corner = [&](int i, int j, float* out) {
            out[axis] = wall % 2 == 0 ? low[axis] : high[axis];
            out[first] = low[first] + (high[first] - low[first]) * float(i) / CELLS;
            out[second] = low[second] + (high[second] - low[second]) * float(j) / CELLS;
        };
        for (int i = 0; i < CELLS; ++i)
            for (int j = 0; j < CELLS; ++j) {
                float a[3], b[3], c[3], d[3];
                corner(i, j, a);
                corner(i + 1, j, b);
                corner(i + 1, j + 1, c);
                corner(i, j + 1, d);
                device.DrawTriangle(a, b, c, inward, colour);
                device.DrawTriangle(a, c, d, inward, colour);
            }
    }
}

void Panorama(benchmark::State& state, bool extensions) {
    constexpr int PANO_WIDTH = 1024, PANO_HEIGHT = 512;
    const Camera camera({0.4, -0.3, 1.5}, {0.4, 1.0, 1.5}, PANO_WIDTH, PANO_HEIGHT, 90.0);
    EquirectTransform equirect(camera, 360.0);
    const Camera canvas = PanoramicTransform::MakeCanvasCamera(camera);
    IVRenderSoftPano device;
    float matrix[16];
    canvas.GetWorldEye(matrix);
    device.SetTransformWorldEye(matrix);
    canvas.GetEyeWindow(matrix);
    device.SetTransformEyeWindow(matrix);
    device.SetTransform(&equirect);
    device.SetRenderMode(1);
    if (extensions) {
        device.SetNearClipping(true);
        device.SetSubdivision(0.5f, 8);
    }
    IVDisplaySurfaceSoft surface(PANO_WIDTH, PANO_HEIGHT);
    size_t triangles = 0;
    for (auto _ : state) {
        surface.Clear(0xFF000000u);
        device.StartFrame(&surface, nullptr);
        DrawRoom(device);
        triangles = device.GetNumRasterTriangles();
        device.StopFrame();
        benchmark::DoNotOptimize(surface.GetPixels());
    }
    state.counters["raster_triangles"] = double(triangles);
}

void BM_Panorama_Literal(benchmark::State& state) {
    Panorama(state, false);
}
void BM_Panorama_ClippedSubdivided(benchmark::State& state) {
    Panorama(state, true);
}
BENCHMARK(BM_Panorama_Literal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Panorama_ClippedSubdivided)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
