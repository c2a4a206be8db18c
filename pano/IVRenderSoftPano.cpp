#include "pano/IVRenderSoftPano.h"

#include "host/render/soft/IVRasterThreadPool.h"
#include "host/render/soft/IVSoftRasterizer.h"

#include <algorithm>
#include <cmath>
#include <immintrin.h>

namespace {

// Below this length a raster normal is passed on unnormalised (a sliver has no reliable
// direction to scale).
constexpr double MIN_NORMAL_LENGTH = 1.4901161193847656e-08; // 2^-26

} // namespace

IVRenderSoftPano::IVRenderSoftPano() = default;

IVRenderSoftPano::~IVRenderSoftPano() {
    mp_rasterizer->Settle();
    mp_rasterizer->SetProducer(nullptr);
}

void IVRenderSoftPano::SetTransform(MMTransform* transform) {
    mp_rasterizer->Settle();
    mp_transform = transform;
    ++mn_projection_epoch;
}

void IVRenderSoftPano::_OnStartFrame(IVDisplaySurface* surface, CDC* dc) {
    IVRenderSoft::_OnStartFrame(surface, dc);
    mn_raster_triangles = 0;
    ++mn_projection_epoch; // the transform may have changed in place between frames
}

void IVRenderSoftPano::_MultiplyMatrix(float* out, const float* m, float x, float y, float z, float w) {
    for (int i = 0; i < 4; ++i)
        out[i] = ((m[4 * i] * x + m[4 * i + 1] * y) + m[4 * i + 2] * z) + m[4 * i + 3] * w;
}

void IVRenderSoftPano::_TransformObjectRaster(float* out, float x, float y, float z, float w) {
    if (mp_transform == nullptr || w == 0.0f) {
        _Transform(out, ma_object_raster, x, y, z, w, true);
        return;
    }
    alignas(16) float h[4];
    _ThroughTransform(h, x, y, z, w);
    if (h[3] == 0.0f) {
        DivideHomogeneous(out, h);
        return;
    }
    const __m128 raster = _mm_load_ps(h);
    alignas(16) float divided[4];
    _mm_store_ps(divided, _mm_div_ps(raster, _mm_shuffle_ps(raster, raster, _MM_SHUFFLE(3, 3, 3, 3))));
    out[0] = divided[0];
    out[1] = divided[1];
    out[2] = divided[2];
}

void IVRenderSoftPano::_TransformWorldRaster(float* out, float x, float y, float z, float w) {
    if (mp_transform == nullptr || w == 0.0f) {
        _Transform(out, ma_world_raster, x, y, z, w, true);
        return;
    }
    float moved[3];
    mp_transform->Transform(moved, x, y, z, false); // its result is not looked at
    float eye[4];
    _MultiplyMatrix(eye, ma_world_eye, moved[0], moved[1], moved[2], w);
    float raster[4];
    _MultiplyMatrix(raster, ma_eye_raster, eye[0], eye[1], eye[2], eye[3]);
    DivideHomogeneous(out, raster);
}

void IVRenderSoftPano::_TransformObjectWindow(float* out, float x, float y, float z, float w) {
    if (mp_transform == nullptr || w == 0.0f) {
        _Transform(out, ma_object_window, x, y, z, w, true);
        return;
    }
    float world[4];
    _MultiplyMatrix(world, ma_object_world, x, y, z, w);
    float moved[3];
    mp_transform->Transform(moved, world[0], world[1], world[2], world[3] == 0.0f);
    float eye[4];
    _MultiplyMatrix(eye, ma_world_eye, moved[0], moved[1], moved[2], world[3]);
    float window[4];
    _MultiplyMatrix(window, ma_eye_window, eye[0], eye[1], eye[2], eye[3]);
    DivideHomogeneous(out, window);
}

void IVRenderSoftPano::_ProjectTriangle(const float* a, const float* b, const float* c, const float* normal,
                                        float* ra, float* rb, float* rc, float* raster_normal) {
    if (mp_transform == nullptr) {
        // Route A's transform-free branch, taken once for the three corners.
        _Transform(ra, ma_object_raster, a[0], a[1], a[2], 1.0f, true);
        _Transform(rb, ma_object_raster, b[0], b[1], b[2], 1.0f, true);
        _Transform(rc, ma_object_raster, c[0], c[1], c[2], 1.0f, true);
    } else {
        _TransformObjectRaster(ra, a[0], a[1], a[2], 1.0f);
        _TransformObjectRaster(rb, b[0], b[1], b[2], 1.0f);
        _TransformObjectRaster(rc, c[0], c[1], c[2], 1.0f);
    }

    // Winding normal in object space: float differences, double cross product.
    const double u0 = double(b[0] - a[0]), u1 = double(b[1] - a[1]), u2 = double(b[2] - a[2]);
    const double v0 = double(c[0] - a[0]), v1 = double(c[1] - a[1]), v2 = double(c[2] - a[2]);
    const double g0 = u1 * v2 - u2 * v1, g1 = u2 * v0 - u0 * v2, g2 = u0 * v1 - u1 * v0;

    const double p0 = double(rb[0] - ra[0]), p1 = double(rb[1] - ra[1]), p2 = double(rb[2] - ra[2]);
    const double q0 = double(rc[0] - ra[0]), q1 = double(rc[1] - ra[1]), q2 = double(rc[2] - ra[2]);
    double m0 = p1 * q2 - p2 * q1, m1 = p2 * q0 - p0 * q2, m2 = p0 * q1 - p1 * q0;
    const double length = std::sqrt((m0 * m0 + m1 * m1) + m2 * m2);
    if (!(length < MIN_NORMAL_LENGTH)) {
        m0 /= length;
        m1 /= length;
        m2 /= length;
    }

    // The supplied normal picks the side; zero or not-a-number agreement takes the negated one.
    const double side = (double(normal[0]) * g0 + double(normal[1]) * g1) + double(normal[2]) * g2;
    raster_normal[0] = float(m0);
    raster_normal[1] = float(m1);
    raster_normal[2] = float(m2);
    if (!(side > 0.0)) {
        raster_normal[0] = -raster_normal[0];
        raster_normal[1] = -raster_normal[1];
        raster_normal[2] = -raster_normal[2];
    }
}

void IVRenderSoftPano::_DrawTriangle(const float* a, const float* b, const float* c, const float* normal,
                                     unsigned long colour) {
    if (_IsExtended() || mb_textured_triangle) {
        const auto word = uint32_t(colour);
        if (_IsHolding())
            _HoldTriangle(a, b, c, normal, &word);
        else
            _DrawTriangleHere(a, b, c, normal, &word);
        return;
    }
    float ra[3], rb[3], rc[3], raster_normal[3];
    _ProjectTriangle(a, b, c, normal, ra, rb, rc, raster_normal);
    mp_rasterizer->SetColourWord(uint32_t(colour));
    ++mn_raster_triangles;
    mp_rasterizer->RasterTriangle(ra, rb, rc, raster_normal);
}

void IVRenderSoftPano::_DrawTriangle(const float* a, const float* b, const float* c, const float* normal) {
    if (_IsExtended()) {
        if (_IsHolding())
            _HoldTriangle(a, b, c, normal, nullptr);
        else
            _DrawTriangleHere(a, b, c, normal, nullptr);
        return;
    }
    float ra[3], rb[3], rc[3], raster_normal[3];
    _ProjectTriangle(a, b, c, normal, ra, rb, rc, raster_normal);
    ++mn_raster_triangles;
    mp_rasterizer->RasterTriangle(ra, rb, rc, raster_normal);
}

void IVRenderSoftPano::DrawTriangle(const float* a, const float* b, const float* c, const float* normal,
                                    const float* colour) {
    _DrawTriangle(a, b, c, normal, static_cast<unsigned long>(MakeColourWord(colour)));
}

void IVRenderSoftPano::DrawTriangle(const float* a, const float* b, const float* c, const float* normal) {
    // A textured triangle (DrawTriangleTextured) keeps its coordinates for the colour-word
    // triangle it goes through; without them this is the literal call.
    mb_textured_triangle = _TakePendingTexcoords(ma_triangle_texcoords);
    _DrawTriangle(a, b, c, normal, static_cast<unsigned long>(mn_current_colour));
    mb_textured_triangle = false;
}

void IVRenderSoftPano::DrawLine(float x0, float y0, float z0, float x1, float y1, float z1,
                                const float* colour) {
    if (_IsExtended()) {
        mp_rasterizer->SetColourWord(MakeColourWord(colour));
        _DrawLineExtended(x0, y0, z0, x1, y1, z1, 0.0f);
        return;
    }
    float ra[3], rb[3];
    _TransformObjectRaster(ra, x0, y0, z0, 1.0f);
    _TransformObjectRaster(rb, x1, y1, z1, 1.0f);
    mp_rasterizer->SetColourWord(MakeColourWord(colour));
    mp_rasterizer->RasterLine(ra, rb);
}

void IVRenderSoftPano::DrawLine(float x0, float y0, float z0, float x1, float y1, float z1) {
    if (_IsExtended()) {
        _DrawLineExtended(x0, y0, z0, x1, y1, z1, 1.0f);
        return;
    }
    float ra[3], rb[3];
    _TransformObjectRaster(ra, x0, y0, z0, 1.0f);
    _TransformObjectRaster(rb, x1, y1, z1, 1.0f);
    ra[2] += 1.0f;
    rb[2] += 1.0f;
    mp_rasterizer->RasterLine(ra, rb);
}

void IVRenderSoftPano::DrawPoint(float x, float y, float z) {
    float rp[3];
    if (_ProjectPoint(rp, x, y, z))
        mp_rasterizer->RasterPoint(rp, 0);
}

void IVRenderSoftPano::DrawPoints(const float* xyz, unsigned int count) {
    for (unsigned int k = 0; k < count; ++k) {
        const unsigned int index = 3u * k; // unsigned 32-bit, as the caller's layout is
        float rp[3];
        if (_ProjectPoint(rp, xyz[index], xyz[index + 1], xyz[index + 2]))
            mp_rasterizer->RasterPoint(rp, 3);
    }
}

bool IVRenderSoftPano::DrawTextureRect(const float* origin, const float* to_end, const float* to_start,
                                       IVTexture* texture) {
    if (!SetTexture(texture))
        return false;
    float left_top[3], right_bottom[3];
    _TransformObjectWindow(left_top, origin[0] + to_start[0], origin[1] + to_start[1],
                           origin[2] + to_start[2], 1.0f);
    _TransformObjectWindow(right_bottom, origin[0] + to_end[0], origin[1] + to_end[1], origin[2] + to_end[2],
                           1.0f);
    if (!_DrawTextureWindowRect(left_top, right_bottom)) {
        SetTexture(nullptr);
        return false;
    }
    return SetTexture(nullptr);
}

void IVRenderSoftPano::_UpdateClippingPlanes() {
    IVSoftRasterizer& rasterizer = *mp_rasterizer;
    rasterizer.ClearClippingPlanes();
    // The device's plane count and index run in 16-bit signed form, like the index table.
    const int16_t count = static_cast<int16_t>(GetNumClippingPlanes());
    for (int16_t i = 0; i < count; ++i) {
        const size_t index = static_cast<size_t>(i);
        if (!ClippingPlaneEnabled(index))
            continue;
        float a = 0.0f, b = 0.0f, c = 0.0f, d = 0.0f;
        GetClippingPlane(index, a, b, c, d);

        float normal[3];
        _TransformWorldRaster(normal, a, b, c, 0.0f);

        // A point of the plane on the axis of its largest coefficient; ties go to z, then y.
        const float abs_a = std::fabs(a), abs_b = std::fabs(b), abs_c = std::fabs(c);
        const float largest = std::max(abs_a, std::max(abs_b, abs_c));
        float point[3] = {0.0f, 0.0f, 0.0f};
        if (abs_c == largest)
            point[2] = -d / c;
        else if (abs_b == largest)
            point[1] = -d / b;
        else
            point[0] = -d / a;
        float raster_point[3];
        _TransformWorldRaster(raster_point, point[0], point[1], point[2], 1.0f);

        // The normal went through the matrix as a direction; scaling its depth part by the square
        // of the x-to-depth scale ratio turns it into the plane normal of the raster plane.
        const float ratio = ma_eye_window[0] / ma_eye_window[10];
        normal[2] = normal[2] * ratio * ratio;
        const float offset =
            -((normal[0] * raster_point[0] + normal[1] * raster_point[1]) + normal[2] * raster_point[2]);
        const int number = rasterizer.AddClippingPlane(normal[0], normal[1], normal[2], offset);
        if (index < mv_plane_indices.size())
            mv_plane_indices[index] = static_cast<int16_t>(number);
    }
}
