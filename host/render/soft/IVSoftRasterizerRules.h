#pragma once
// IVSoftRasterizerRules: the software rasterizer's fixed-point and shading rules, shared by its
// recording side (bounds, binning) and its filling side (IVSoftRasterizer.cpp and
// IVSoftRasterizerFill.cpp); see IVSoftRasterizer.h for the conventions they implement. Internal
// to the rasterizer: values and functions only, no state.
#include "host/render/soft/IVSoftRasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace IVSoftRasterizerRules {

// Corners snap to 1/256 pixel; with |coordinate| below 2^20 pixels every edge-function product
// stays below 2^59 and fits a signed 64-bit integer.
constexpr int SUBPIXEL_BITS = 8;
constexpr int64_t SUBPIXEL_ONE = int64_t(1) << SUBPIXEL_BITS;
constexpr int64_t SUBPIXEL_HALF = SUBPIXEL_ONE / 2;
constexpr float MAX_COORDINATE = 1048576.0f;

// Tiles of 64 x 64 pixels: 16 KiB of colour and 16 KiB of depth, which stay in a core's cache
// while the tile's primitives are drawn.
constexpr int TILE_BITS = 6;
// Small enough that filling starts early in a frame and that both batches (4 MiB of commands
// each) and the frame stay in the shared cache, large enough that handing over costs little.
constexpr size_t BATCH_COMMANDS = IVSoftRasterizer::BATCH_PRIMITIVES;
constexpr size_t FIRST_HANDOVER = IVSoftRasterizer::FIRST_BATCH_PRIMITIVES;

constexpr uint8_t FLAG_BLEND = 1;
constexpr uint8_t FLAG_DEPTH_TEST = 2;
constexpr uint8_t FLAG_DEPTH_WRITE = 4;

// Raster-space lights: x right, y down, depth towards the viewer; unit vectors. The weights make
// a face turned straight to the viewer reach full light (1.017 before the clamp), so flat views
// keep their colours, while the three visible faces of a box differ.
constexpr float KEY[3] = {-0.44988f, -0.69982f, 0.55485f};
constexpr float KEY_WEIGHT = 1.32f;
constexpr float FILL[3] = {0.50016f, -0.30010f, 0.81227f};
constexpr float FILL_WEIGHT = 0.35f;

inline bool IsUsable(const float* point) {
    return std::isfinite(point[2]) && std::fabs(point[0]) < MAX_COORDINATE &&
           std::fabs(point[1]) < MAX_COORDINATE; // fabs(NaN) < x is false
}

// std::floor for |value| < 2^23, without the library call: bounds are taken for every primitive
// as it is recorded.
inline int64_t Floor(float value) {
    const auto whole = int64_t(value);
    return float(whole) > value ? whole - 1 : whole;
}

// Half away from zero, like llround, without the library call; |value| < 2^20 is checked first.
inline int64_t Snap(float value) {
    const double scaled = double(value) * double(SUBPIXEL_ONE);
    return int64_t(scaled + (scaled >= 0.0 ? 0.5 : -0.5));
}

inline uint32_t Shade(uint32_t quarter, uint32_t full, float light) {
    if (full < quarter)
        return std::min(full, 255u);
    const uint32_t value = quarter + uint32_t(float(full - quarter) * light);
    return std::min(value, 255u);
}

inline uint32_t Blend(uint32_t source, uint32_t target, uint32_t alpha) {
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

// Narrows [low, high] to the pixels k places right of the row's first where an edge's value
// there, value + step k, is not negative; exact in integers, so a row loop over the span covers
// the same pixels as testing every pixel. Empty (high < low) when none is.
inline void NarrowToEdge(int64_t value, int64_t step, int64_t first, int64_t& low, int64_t& high) {
    if (value >= 0) {
        if (step < 0)
            high = std::min(high, first + value / -step);
    } else if (step > 0) {
        low = std::max(low, first + (step - 1 - value) / step);
    } else {
        high = first - 1;
    }
}

// A linear function of the pixel centre over a triangle's unsnapped corners.
struct Plane {
    double base, dx, dy;
};

// The snapped, counter-clockwise set-up of a triangle, clamped to the surface. Bounds are the
// whole triangle's (not a tile's), so every tile evaluates depth from the same origin and the
// result does not depend on the tiling.
struct Setup {
    const float* corner[3];
    int64_t x[3], y[3];
    int64_t min_x, max_x, min_y, max_y;
    double ax, ay, e1x, e1y, e2x, e2y, denominator;

    // False when the triangle covers no pixel centre of a width x height surface.
    bool Make(const float (&corners)[3][3], int64_t width, int64_t height) {
        for (int i = 0; i < 3; ++i) {
            corner[i] = corners[i];
            x[i] = Snap(corners[i][0]);
            y[i] = Snap(corners[i][1]);
        }
        const int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
        if (area == 0)
            return false;
        if (area < 0) {
            std::swap(corner[1], corner[2]);
            std::swap(x[1], x[2]);
            std::swap(y[1], y[2]);
        }
        min_x = std::max<int64_t>((std::min({x[0], x[1], x[2]}) - SUBPIXEL_HALF) >> SUBPIXEL_BITS, 0);
        max_x = std::min<int64_t>((std::max({x[0], x[1], x[2]}) - SUBPIXEL_HALF) >> SUBPIXEL_BITS, width - 1);
        min_y = std::max<int64_t>((std::min({y[0], y[1], y[2]}) - SUBPIXEL_HALF) >> SUBPIXEL_BITS, 0);
        max_y =
            std::min<int64_t>((std::max({y[0], y[1], y[2]}) - SUBPIXEL_HALF) >> SUBPIXEL_BITS, height - 1);
        if (min_x > max_x || min_y > max_y)
            return false;
        ax = corner[0][0];
        ay = corner[0][1];
        e1x = double(corner[1][0]) - ax;
        e1y = double(corner[1][1]) - ay;
        e2x = double(corner[2][0]) - ax;
        e2y = double(corner[2][1]) - ay;
        denominator = e1x * e2y - e1y * e2x;
        return denominator != 0.0;
    }

    // The plane through the values a, b, c at the (swapped) corners; false when not finite.
    bool Fit(const double* value, Plane& out) const {
        const double e1z = value[1] - value[0];
        const double e2z = value[2] - value[0];
        out.base = value[0];
        out.dx = (e1z * e2y - e2z * e1y) / denominator;
        out.dy = (e2z * e1x - e1z * e2x) / denominator;
        return std::isfinite(out.dx) && std::isfinite(out.dy);
    }
};

// A line clipped to the surface and the number of steps it is walked in.
struct LineWalk {
    double x0, y0, z0, dx, dy, dz, t0, t1;
    int64_t steps;

    bool Make(const float (&corner)[3][3], double width, double height) {
        x0 = corner[0][0];
        y0 = corner[0][1];
        z0 = corner[0][2];
        dx = double(corner[1][0]) - x0;
        dy = double(corner[1][1]) - y0;
        dz = double(corner[1][2]) - z0;
        if (!Clip(0.0, width, 0.0, height, t0, t1))
            return false;
        // Capped so that rounding on huge end points cannot make the walk long.
        const double span =
            std::min(std::max(std::fabs(dx), std::fabs(dy)) * (t1 - t0), 2.0 * (width + height));
        steps = std::max<int64_t>(int64_t(std::ceil(span)), 1);
        return true;
    }

    // Liang-Barsky against [left, right] x [top, bottom] over t in [0, 1].
    bool Clip(double left, double right, double top, double bottom, double& enter, double& leave) const {
        enter = 0.0;
        leave = 1.0;
        const double p[4] = {-dx, dx, -dy, dy};
        const double q[4] = {x0 - left, right - x0, y0 - top, bottom - y0};
        for (int i = 0; i < 4; ++i) {
            if (p[i] == 0.0) {
                if (q[i] < 0.0)
                    return false;
                continue;
            }
            const double t = q[i] / p[i];
            if (p[i] < 0.0)
                enter = std::max(enter, t);
            else
                leave = std::min(leave, t);
        }
        return enter <= leave;
    }
};

} // namespace IVSoftRasterizerRules
