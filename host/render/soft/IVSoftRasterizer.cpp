#include "host/render/soft/IVSoftRasterizer.h"

#include "host/render/soft/IVDisplaySurfaceSoft.h"

#include <algorithm>
#include <cmath>

namespace {

// Corners snap to 1/256 pixel; with |coordinate| below 2^20 pixels every edge-function product
// stays below 2^59 and fits a signed 64-bit integer.
constexpr int SUBPIXEL_BITS = 8;
constexpr int64_t SUBPIXEL_ONE = int64_t(1) << SUBPIXEL_BITS;
constexpr int64_t SUBPIXEL_HALF = SUBPIXEL_ONE / 2;
constexpr float MAX_COORDINATE = 1048576.0f;

bool IsUsable(const float* point) {
    return std::isfinite(point[2]) && std::fabs(point[0]) < MAX_COORDINATE &&
           std::fabs(point[1]) < MAX_COORDINATE; // fabs(NaN) < x is false
}

// Half away from zero, like llround, without the library call; |value| < 2^20 is checked first.
int64_t Snap(float value) {
    const double scaled = double(value) * double(SUBPIXEL_ONE);
    return int64_t(scaled + (scaled >= 0.0 ? 0.5 : -0.5));
}

uint32_t Shade(uint32_t quarter, uint32_t full, float light) {
    if (full < quarter)
        return std::min(full, 255u);
    const uint32_t value = quarter + uint32_t(float(full - quarter) * light);
    return std::min(value, 255u);
}

uint32_t Blend(uint32_t source, uint32_t target, uint32_t alpha) {
    const uint32_t inverse = 255u - alpha;
    uint32_t result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t channel =
            (((source >> shift) & 0xFFu) * alpha + ((target >> shift) & 0xFFu) * inverse + 127u) / 255u;
        result |= channel << shift;
    }
    const uint32_t target_alpha = target >> 24;
    const uint32_t result_alpha = alpha + (target_alpha * inverse + 127u) / 255u;
    return result | (std::min(result_alpha, 255u) << 24);
}

// One edge p -> q of a triangle with positive snapped area: value(s) = (q - p) x (s - p), stepped
// exactly per pixel. `bias` makes "inside" a plain value >= 0 test: pixels exactly on an edge
// belong to the edge only when it is owned (dy < 0, or dy == 0 and dx > 0), a rule under which
// exactly one of two triangles sharing the edge (traversing it in opposite directions) owns it.
struct Edge {
    Edge(int64_t px, int64_t py, int64_t qx, int64_t qy, int64_t sx, int64_t sy) {
        const int64_t dx = qx - px;
        const int64_t dy = qy - py;
        step_x = -dy * SUBPIXEL_ONE;
        step_y = dx * SUBPIXEL_ONE;
        const bool owned = dy < 0 || (dy == 0 && dx > 0);
        value = dx * (sy - py) - dy * (sx - px) - (owned ? 0 : 1);
    }
    int64_t step_x;
    int64_t step_y;
    int64_t value;
};

} // namespace

IVSoftRasterizer::IVSoftRasterizer() {
    SetColourWord(0xFFFFFFFFu);
}

IVSoftRasterizer::~IVSoftRasterizer() = default;

void IVSoftRasterizer::SetColourWord(uint32_t colour) {
    const uint32_t red = colour & 0xFFu;
    const uint32_t green = (colour >> 8) & 0xFFu;
    const uint32_t blue = (colour >> 16) & 0xFFu;
    const uint32_t alpha = (colour >> 24) & 0xFFu;
    mn_red_quarter = red >> 2;
    mn_red = red;
    mn_green_quarter = green >> 2;
    mn_green = green;
    mn_blue_quarter = blue >> 2;
    mn_blue = blue;
    mn_alpha = uint8_t(alpha & 0xF8u);
}

int IVSoftRasterizer::AddClippingPlane(float a, float b, float c, float d) {
    if (c == 0.0f)
        c = 1e-7f;
    mv_z0.push_back(-d / c);
    mv_gx.push_back(-a / c);
    mv_gy.push_back(-b / c);
    mv_side.push_back(!(c > 0.0f));
    mb_active = true;
    return int(mv_z0.size()) - 1;
}

void IVSoftRasterizer::ClearClippingPlanes() {
    mv_z0.clear();
    mv_gx.clear();
    mv_gy.clear();
    mv_side.clear();
    mb_active = false;
}

inline bool IVSoftRasterizer::_IsClipped(float x, float y, float depth) const {
    const size_t count = std::min({mv_z0.size(), mv_gx.size(), mv_gy.size(), mv_side.size()});
    for (size_t k = 0; k < count; ++k) {
        const float plane_depth = (mv_z0[k] + mv_gx[k] * x) + mv_gy[k] * y;
        if (mv_side[k] ? depth > plane_depth : depth < plane_depth)
            return true;
    }
    return false;
}

inline uint32_t IVSoftRasterizer::_FullColour() const {
    return std::min(mn_red, 255u) | std::min(mn_green, 255u) << 8 | std::min(mn_blue, 255u) << 16 |
           0xFF000000u;
}

inline void IVSoftRasterizer::_Plot(size_t index, float depth, uint32_t colour) {
    float& stored = mp_surface->GetDepth()[index];
    if (mb_depth_test && !(depth > stored))
        return;
    if (mb_depth_write)
        stored = depth;
    uint32_t& pixel = mp_surface->GetColourWords()[index];
    pixel = mb_blend ? Blend(colour, pixel, mn_alpha) : colour;
}

void IVSoftRasterizer::RasterTriangle(const float* ra, const float* rb, const float* rc,
                                      const float* normal) {
    if (mp_surface == nullptr || mp_surface->GetWidth() == 0)
        return;
    if (!IsUsable(ra) || !IsUsable(rb) || !IsUsable(rc))
        return;
    const float* corner[3] = {ra, rb, rc};
    int64_t x[3], y[3];
    for (int i = 0; i < 3; ++i) {
        x[i] = Snap(corner[i][0]);
        y[i] = Snap(corner[i][1]);
    }
    const int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
    if (area == 0)
        return;
    if (area < 0) {
        std::swap(corner[1], corner[2]);
        std::swap(x[1], x[2]);
        std::swap(y[1], y[2]);
    }

    const int width = mp_surface->GetWidth();
    const int height = mp_surface->GetHeight();
    const int64_t min_x =
        std::max<int64_t>((std::min({x[0], x[1], x[2]}) - SUBPIXEL_HALF) >> SUBPIXEL_BITS, 0);
    const int64_t max_x =
        std::min<int64_t>((std::max({x[0], x[1], x[2]}) - SUBPIXEL_HALF) >> SUBPIXEL_BITS, width - 1);
    const int64_t min_y =
        std::max<int64_t>((std::min({y[0], y[1], y[2]}) - SUBPIXEL_HALF) >> SUBPIXEL_BITS, 0);
    const int64_t max_y =
        std::min<int64_t>((std::max({y[0], y[1], y[2]}) - SUBPIXEL_HALF) >> SUBPIXEL_BITS, height - 1);
    if (min_x > max_x || min_y > max_y)
        return;

    // Depth as a plane over the unsnapped corners, evaluated at pixel centres.
    const double ax = corner[0][0], ay = corner[0][1], az = corner[0][2];
    const double e1x = double(corner[1][0]) - ax, e1y = double(corner[1][1]) - ay,
                 e1z = double(corner[1][2]) - az;
    const double e2x = double(corner[2][0]) - ax, e2y = double(corner[2][1]) - ay,
                 e2z = double(corner[2][2]) - az;
    const double denominator = e1x * e2y - e1y * e2x;
    if (denominator == 0.0)
        return;
    const double depth_dx = (e1z * e2y - e2z * e1y) / denominator;
    const double depth_dy = (e2z * e1x - e1z * e2x) / denominator;
    if (!std::isfinite(depth_dx) || !std::isfinite(depth_dy))
        return;

    uint32_t colour = _FullColour();
    if (mb_shading) {
        float light = std::fabs(normal[2]);
        light = light <= 1.0f ? light : (light > 1.0f ? 1.0f : 0.0f);
        colour = Shade(mn_red_quarter, mn_red, light) | Shade(mn_green_quarter, mn_green, light) << 8 |
                 Shade(mn_blue_quarter, mn_blue, light) << 16 | 0xFF000000u;
    }

    const int64_t start_x = min_x * SUBPIXEL_ONE + SUBPIXEL_HALF;
    const int64_t start_y = min_y * SUBPIXEL_ONE + SUBPIXEL_HALF;
    Edge edge0(x[1], y[1], x[2], y[2], start_x, start_y);
    Edge edge1(x[2], y[2], x[0], y[0], start_x, start_y);
    Edge edge2(x[0], y[0], x[1], y[1], start_x, start_y);

    const bool clipping = mb_active && !mv_z0.empty();
    const size_t stride = size_t(width);
    for (int64_t py = min_y; py <= max_y; ++py) {
        int64_t w0 = edge0.value, w1 = edge1.value, w2 = edge2.value;
        const double centre_y = double(py) + 0.5;
        const double row_depth = az + depth_dx * (double(min_x) + 0.5 - ax) + depth_dy * (centre_y - ay);
        const size_t row = size_t(py) * stride;
        for (int64_t px = min_x; px <= max_x; ++px) {
            if ((w0 | w1 | w2) >= 0) {
                const float depth = float(row_depth + depth_dx * double(px - min_x));
                if (!clipping || !_IsClipped(float(px) + 0.5f, float(centre_y), depth))
                    _Plot(row + size_t(px), depth, colour);
            }
            w0 += edge0.step_x;
            w1 += edge1.step_x;
            w2 += edge2.step_x;
        }
        edge0.value += edge0.step_y;
        edge1.value += edge1.step_y;
        edge2.value += edge2.step_y;
    }
}

void IVSoftRasterizer::RasterLine(const float* ra, const float* rb) {
    if (mp_surface == nullptr || mp_surface->GetWidth() == 0)
        return;
    if (!std::isfinite(ra[0]) || !std::isfinite(ra[1]) || !std::isfinite(ra[2]) || !std::isfinite(rb[0]) ||
        !std::isfinite(rb[1]) || !std::isfinite(rb[2]))
        return;
    const double width = mp_surface->GetWidth();
    const double height = mp_surface->GetHeight();
    const double x0 = ra[0], y0 = ra[1], z0 = ra[2];
    const double dx = double(rb[0]) - x0, dy = double(rb[1]) - y0, dz = double(rb[2]) - z0;

    // Liang-Barsky against [0, width] x [0, height]: keeps the stepping bounded by the surface.
    double t0 = 0.0, t1 = 1.0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0, width - x0, y0, height - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
    }
    if (t0 > t1)
        return;

    // Capped so that rounding on huge end points cannot make the walk long.
    const double span = std::min(std::max(std::fabs(dx), std::fabs(dy)) * (t1 - t0), 2.0 * (width + height));
    const int64_t steps = std::max<int64_t>(int64_t(std::ceil(span)), 1);
    const uint32_t colour = _FullColour();
    const bool clipping = mb_active && !mv_z0.empty();
    const size_t stride = size_t(mp_surface->GetWidth());
    for (int64_t i = 0; i <= steps; ++i) {
        const double t = t0 + (t1 - t0) * (double(i) / double(steps));
        const double x = x0 + dx * t;
        const double y = y0 + dy * t;
        if (!(x >= 0.0 && x <= width && y >= 0.0 && y <= height))
            continue;
        // The far edge itself belongs to the last pixel.
        const int px = std::min(int(x), int(width) - 1);
        const int py = std::min(int(y), int(height) - 1);
        const float depth = float(z0 + dz * t);
        if (clipping && _IsClipped(float(px) + 0.5f, float(py) + 0.5f, depth))
            continue;
        _Plot(size_t(py) * stride + size_t(px), depth, colour);
    }
}

void IVSoftRasterizer::RasterPoint(const float* rp, int mode) {
    if (mp_surface == nullptr || mp_surface->GetWidth() == 0)
        return;
    if (!std::isfinite(rp[0]) || !std::isfinite(rp[1]) || !std::isfinite(rp[2]))
        return;
    const int64_t size = std::clamp(mode, 1, 64);
    const double centre_x = std::floor(double(rp[0]));
    const double centre_y = std::floor(double(rp[1]));
    const double width = mp_surface->GetWidth();
    const double height = mp_surface->GetHeight();
    if (centre_x < -64.0 || centre_y < -64.0 || centre_x > width + 64.0 || centre_y > height + 64.0)
        return;
    const int64_t first_x = int64_t(centre_x) - (size - 1) / 2;
    const int64_t first_y = int64_t(centre_y) - (size - 1) / 2;
    const uint32_t colour = _FullColour();
    const bool clipping = mb_active && !mv_z0.empty();
    const size_t stride = size_t(mp_surface->GetWidth());
    for (int64_t py = std::max<int64_t>(first_y, 0); py < std::min<int64_t>(first_y + size, int64_t(height));
         ++py)
        for (int64_t px = std::max<int64_t>(first_x, 0);
             px < std::min<int64_t>(first_x + size, int64_t(width)); ++px) {
            if (clipping && _IsClipped(float(px) + 0.5f, float(py) + 0.5f, rp[2]))
                continue;
            _Plot(size_t(py) * stride + size_t(px), rp[2], colour);
        }
}
