// The rasterizer's filling side: what the threads run on a batch, reading only the batch and
// the pixels of their tile.
#include "host/render/soft/IVDisplaySurfaceSoft.h"
#include "host/render/soft/IVSoftRasterizer.h"
#include "host/render/soft/IVSoftRasterizerRules.h"

#include <algorithm>
#include <cmath>

using namespace IVSoftRasterizerRules;
uint32_t IVSoftRasterizer::_Colour(const Batch& batch, const Command& command, uint32_t* light256) {
    const ColourState& state = batch.colour_states[command.colour];
    const bool shaded =
        state.shading && (command.kind == EKind::eTriangle || command.kind == EKind::eTextured);
    if (!shaded) {
        if (light256 != nullptr)
            *light256 = 256u;
        return std::min(state.full[0], 255u) | std::min(state.full[1], 255u) << 8 |
               std::min(state.full[2], 255u) << 16 | 0xFF000000u;
    }
    const float light = Light(command.normal);
    if (light256 != nullptr)
        *light256 = 64u + uint32_t(192.0f * light);
    return Shade(state.quarter[0], state.full[0], light) |
           Shade(state.quarter[1], state.full[1], light) << 8 |
           Shade(state.quarter[2], state.full[2], light) << 16 | 0xFF000000u;
}

void IVSoftRasterizer::_FillTile(const Batch& batch, size_t tile) {
    const int64_t tile_x = int64_t(tile % size_t(batch.tiles_x)) << TILE_BITS;
    const int64_t tile_y = int64_t(tile / size_t(batch.tiles_x)) << TILE_BITS;
    const Rect rect{tile_x, tile_y,
                    std::min<int64_t>(tile_x + (1 << TILE_BITS), batch.surface->GetWidth()) - 1,
                    std::min<int64_t>(tile_y + (1 << TILE_BITS), batch.surface->GetHeight()) - 1};
    // A tile's primitives lie anywhere in the batch once a depth sort has scattered them, so
    // each would be a cache miss: ask for the ones a few places ahead while drawing this one.
    constexpr size_t PREFETCH_AHEAD = 8;
    const std::vector<uint32_t>& bin = batch.bins[tile];
    const size_t count = bin.size();
    for (size_t k = 0; k < std::min(count, PREFETCH_AHEAD); ++k)
        __builtin_prefetch(&batch.commands[bin[k]]);
    for (size_t position = 0; position < count; ++position) {
        if (position + PREFETCH_AHEAD < count)
            __builtin_prefetch(&batch.commands[bin[position + PREFETCH_AHEAD]]);
        const Command& command = batch.commands[bin[position]];
        switch (command.kind) {
        case EKind::eTriangle:
        case EKind::eTextured:
            _DrawTriangle(batch, command, rect);
            break;
        case EKind::eLine:
            _DrawLine(batch, command, rect);
            break;
        case EKind::ePoint:
            _DrawPoint(batch, command, rect);
            break;
        case EKind::eRect:
            _DrawRect(batch, command, rect);
            break;
        }
    }
}

namespace {

// Whether a pixel at depth `depth` lies on the discarded side of any of `count` raster planes.
inline bool IsClipped(const float* plane, uint32_t count, float x, float y, float depth) {
    for (uint32_t k = 0; k < count; ++k, plane += 4) {
        const float plane_depth = (plane[0] + plane[1] * x) + plane[2] * y;
        if (plane[3] != 0.0f ? depth > plane_depth : depth < plane_depth)
            return true;
    }
    return false;
}

} // namespace

inline bool IVSoftRasterizer::_IsClipped(const Batch& batch, uint32_t set, float x, float y, float depth) {
    const PlaneSet& planes = batch.plane_sets[set];
    return IsClipped(batch.plane_values.data() + size_t(planes.first) * 4, planes.count, x, y, depth);
}

inline void IVSoftRasterizer::_Plot(const Batch& batch, const Command& command, size_t index, float depth,
                                    uint32_t colour) {
    float& stored = batch.surface->mv_depth[index];
    if ((command.flags & FLAG_DEPTH_TEST) != 0 && !(depth > stored))
        return;
    if ((command.flags & FLAG_DEPTH_WRITE) != 0)
        stored = depth;
    uint32_t& pixel = batch.surface->mv_colour[index];
    pixel = (command.flags & FLAG_BLEND) != 0 ? Blend(colour, pixel, command.alpha) : colour;
}

bool IVSoftRasterizer::_Bounds(const Batch& batch, const Command& command, Rect& bounds) {
    const int64_t width = batch.surface->GetWidth(), height = batch.surface->GetHeight();
    switch (command.kind) {
    case EKind::eTriangle:
    case EKind::eTextured: {
        const float(&c)[3][3] = command.corner;
        if (!IsUsable(c[0]) || !IsUsable(c[1]) || !IsUsable(c[2]))
            return false;
        // Pixel p is covered only when its centre p + 0.5 lies within the snapped corners, which
        // are at most 1/512 pixel from these: the margins keep the bounds a superset.
        // Two-way min and max compile to min and max instructions (the corners are finite here),
        // where the random orientation of small triangles would mispredict branches.
        bounds.left = Floor(std::min(std::min(c[0][0], c[1][0]), c[2][0]) - 0.51f);
        bounds.right = Floor(std::max(std::max(c[0][0], c[1][0]), c[2][0]) - 0.49f);
        bounds.top = Floor(std::min(std::min(c[0][1], c[1][1]), c[2][1]) - 0.51f);
        bounds.bottom = Floor(std::max(std::max(c[0][1], c[1][1]), c[2][1]) - 0.49f);
        break;
    }
    case EKind::eLine: {
        LineWalk walk;
        if (!walk.Make(command.corner, double(width), double(height)))
            return false;
        // The clipped segment, a pixel wider on each side for rounding.
        const double xa = walk.x0 + walk.dx * walk.t0, xb = walk.x0 + walk.dx * walk.t1;
        const double ya = walk.y0 + walk.dy * walk.t0, yb = walk.y0 + walk.dy * walk.t1;
        bounds = {int64_t(std::min(xa, xb)) - 1, int64_t(std::min(ya, yb)) - 1, int64_t(std::max(xa, xb)) + 1,
                  int64_t(std::max(ya, yb)) + 1};
        break;
    }
    case EKind::ePoint: {
        const int64_t first_x = int64_t(std::floor(double(command.corner[0][0]))) - (command.size - 1) / 2;
        const int64_t first_y = int64_t(std::floor(double(command.corner[0][1]))) - (command.size - 1) / 2;
        bounds = {first_x, first_y, first_x + command.size - 1, first_y + command.size - 1};
        break;
    }
    case EKind::eRect: {
        const Textured& textured = batch.textured[command.extra];
        const double x0 = textured.texcoord[0][0], x1 = textured.texcoord[0][1];
        const double y0 = textured.texcoord[0][2], y1 = textured.texcoord[1][0];
        // Pixel p is covered when its centre p + 0.5 lies between the two edges.
        const auto pixel = [](double edge, int64_t size) {
            return int64_t(std::clamp(std::ceil(edge - 0.5), -1.0, double(size) + 1.0));
        };
        bounds = {pixel(std::min(x0, x1), width), pixel(std::min(y0, y1), height),
                  pixel(std::max(x0, x1), width) - 1, pixel(std::max(y0, y1), height) - 1};
        break;
    }
    }
    bounds.left = std::max<int64_t>(bounds.left, 0);
    bounds.top = std::max<int64_t>(bounds.top, 0);
    bounds.right = std::min(bounds.right, width - 1);
    bounds.bottom = std::min(bounds.bottom, height - 1);
    return bounds.left <= bounds.right && bounds.top <= bounds.bottom;
}

void IVSoftRasterizer::_DrawTriangle(const Batch& batch, const Command& command, const Rect& tile) {
    Setup setup;
    if (!setup.Make(command.corner, batch.surface->GetWidth(), batch.surface->GetHeight()))
        return;
    // Depth as a plane over the unsnapped corners, evaluated at pixel centres.
    const double depths[3] = {setup.corner[0][2], setup.corner[1][2], setup.corner[2][2]};
    Plane depth;
    if (!setup.Fit(depths, depth))
        return;
    const int64_t first_x = std::max(setup.min_x, tile.left), last_x = std::min(setup.max_x, tile.right);
    const int64_t first_y = std::max(setup.min_y, tile.top), last_y = std::min(setup.max_y, tile.bottom);
    if (first_x > last_x || first_y > last_y)
        return;

    // Texture coordinates over w, and 1 / w, as planes in raster space.
    const bool textured = command.kind == EKind::eTextured;
    Plane s{}, t{}, q{};
    const Textured* texture = textured ? &batch.textured[command.extra] : nullptr;
    if (textured) {
        double su[3], tv[3], iw[3];
        for (int i = 0; i < 3; ++i) {
            // The corner order may have been swapped; find each corner's texture coordinates.
            const int source = setup.corner[i] == command.corner[0]   ? 0
                               : setup.corner[i] == command.corner[1] ? 1
                                                                      : 2;
            const float* tc = texture->texcoord[source];
            iw[i] = 1.0 / double(tc[2]);
            su[i] = double(tc[0]) * iw[i];
            tv[i] = double(tc[1]) * iw[i];
        }
        if (!setup.Fit(su, s) || !setup.Fit(tv, t) || !setup.Fit(iw, q))
            return;
    }

    const int64_t start_x = first_x * SUBPIXEL_ONE + SUBPIXEL_HALF;
    const int64_t start_y = first_y * SUBPIXEL_ONE + SUBPIXEL_HALF;
    const int64_t* x = setup.x;
    const int64_t* y = setup.y;
    Edge edge0(x[1], y[1], x[2], y[2], start_x, start_y);
    Edge edge1(x[2], y[2], x[0], y[0], start_x, start_y);
    Edge edge2(x[0], y[0], x[1], y[1], start_x, start_y);

    const size_t stride = size_t(batch.surface->GetWidth());
    const double min_x = double(setup.min_x);
    uint32_t light = 256u;
    const uint32_t shaded = _Colour(batch, command, &light);
    // What each pixel reads, in locals: the compiler cannot keep fields of the batch and the
    // command in registers across the pixel stores, which might alias them.
    float* const depth_buffer = batch.surface->mv_depth.data();
    uint32_t* const colour_buffer = batch.surface->mv_colour.data();
    const bool depth_test = (command.flags & FLAG_DEPTH_TEST) != 0;
    const bool depth_write = (command.flags & FLAG_DEPTH_WRITE) != 0;
    const bool blend = (command.flags & FLAG_BLEND) != 0;
    const uint32_t alpha = command.alpha;
    const PlaneSet& planes = batch.plane_sets[command.planes];
    const uint32_t plane_count = command.planes != 0 ? planes.count : 0u;
    const float* const plane_values = batch.plane_values.data() + size_t(planes.first) * 4;
    // Rows at least this wide find their covered span with three divisions instead of testing
    // each pixel's edge values; narrower ones test, which costs less than dividing.
    constexpr int64_t SPAN_MIN_WIDTH = 16;
    const bool spans = last_x - first_x + 1 >= SPAN_MIN_WIDTH;
    for (int64_t py = first_y; py <= last_y; ++py) {
        const double centre_y = double(py) + 0.5;
        const double row_depth =
            depth.base + depth.dx * (min_x + 0.5 - setup.ax) + depth.dy * (centre_y - setup.ay);
        const size_t row = size_t(py) * stride;
        const auto draw = [&](int64_t px) {
            const float value = float(row_depth + depth.dx * double(px - setup.min_x));
            float& stored = depth_buffer[row + size_t(px)];
            // The depth test before the planes (the cheaper first): a pixel is written only
            // when it passes both, in either order.
            if (depth_test && !(value > stored))
                return;
            if (plane_count != 0 &&
                IsClipped(plane_values, plane_count, float(px) + 0.5f, float(centre_y), value))
                return;
            uint32_t colour = shaded;
            if (textured) {
                const double cx = double(px) + 0.5 - setup.ax, cy = centre_y - setup.ay;
                const double inverse_w = q.base + q.dx * cx + q.dy * cy;
                const double u = (s.base + s.dx * cx + s.dy * cy) / inverse_w;
                const double v = (t.base + t.dx * cx + t.dy * cy) / inverse_w;
                const uint32_t texel = texture->texture->Sample(float(u), float(v), texture->addressing);
                colour = 0xFF000000u;
                for (int shift = 0; shift < 24; shift += 8)
                    colour |= ((((texel >> shift) & 0xFFu) * light + 128u) >> 8) << shift;
            }
            if (depth_write)
                stored = value;
            uint32_t& pixel = colour_buffer[row + size_t(px)];
            pixel = blend ? Blend(colour, pixel, alpha) : colour;
        };
        if (spans) {
            int64_t low = first_x, high = last_x;
            NarrowToEdge(edge0.value, edge0.step_x, first_x, low, high);
            NarrowToEdge(edge1.value, edge1.step_x, first_x, low, high);
            NarrowToEdge(edge2.value, edge2.step_x, first_x, low, high);
            for (int64_t px = low; px <= high; ++px)
                draw(px);
        } else {
            int64_t w0 = edge0.value, w1 = edge1.value, w2 = edge2.value;
            for (int64_t px = first_x; px <= last_x; ++px) {
                if ((w0 | w1 | w2) >= 0)
                    draw(px);
                w0 += edge0.step_x;
                w1 += edge1.step_x;
                w2 += edge2.step_x;
            }
        }
        edge0.value += edge0.step_y;
        edge1.value += edge1.step_y;
        edge2.value += edge2.step_y;
    }
}

void IVSoftRasterizer::_DrawLine(const Batch& batch, const Command& command, const Rect& tile) {
    const double width = batch.surface->GetWidth(), height = batch.surface->GetHeight();
    LineWalk walk;
    if (!walk.Make(command.corner, width, height))
        return;
    // Only the steps near the tile can land in it; a pixel of margin covers rounding.
    double enter, leave;
    if (!walk.Clip(double(tile.left) - 1.0, double(tile.right) + 2.0, double(tile.top) - 1.0,
                   double(tile.bottom) + 2.0, enter, leave))
        return;
    const double span = walk.t1 - walk.t0;
    int64_t first = 0, last = walk.steps;
    if (span > 0.0) {
        first = std::max<int64_t>(int64_t(std::floor((enter - walk.t0) / span * double(walk.steps))) - 1, 0);
        last = std::min<int64_t>(int64_t(std::ceil((leave - walk.t0) / span * double(walk.steps))) + 1,
                                 walk.steps);
    }
    const size_t stride = size_t(batch.surface->GetWidth());
    const uint32_t colour = _Colour(batch, command, nullptr);
    for (int64_t i = first; i <= last; ++i) {
        const double t = walk.t0 + (walk.t1 - walk.t0) * (double(i) / double(walk.steps));
        const double x = walk.x0 + walk.dx * t;
        const double y = walk.y0 + walk.dy * t;
        if (!(x >= 0.0 && x <= width && y >= 0.0 && y <= height))
            continue;
        // The far edge itself belongs to the last pixel.
        const int px = std::min(int(x), int(width) - 1);
        const int py = std::min(int(y), int(height) - 1);
        if (px < tile.left || px > tile.right || py < tile.top || py > tile.bottom)
            continue;
        const float depth = float(walk.z0 + walk.dz * t);
        if (command.planes != 0 &&
            _IsClipped(batch, command.planes, float(px) + 0.5f, float(py) + 0.5f, depth))
            continue;
        _Plot(batch, command, size_t(py) * stride + size_t(px), depth, colour);
    }
}

void IVSoftRasterizer::_DrawPoint(const Batch& batch, const Command& command, const Rect& tile) {
    const int64_t size = command.size;
    const int64_t first_x = int64_t(std::floor(double(command.corner[0][0]))) - (size - 1) / 2;
    const int64_t first_y = int64_t(std::floor(double(command.corner[0][1]))) - (size - 1) / 2;
    const float depth = command.corner[0][2];
    const size_t stride = size_t(batch.surface->GetWidth());
    const uint32_t colour = _Colour(batch, command, nullptr);
    for (int64_t py = std::max(first_y, tile.top); py <= std::min(first_y + size - 1, tile.bottom); ++py)
        for (int64_t px = std::max(first_x, tile.left); px <= std::min(first_x + size - 1, tile.right);
             ++px) {
            if (command.planes != 0 &&
                _IsClipped(batch, command.planes, float(px) + 0.5f, float(py) + 0.5f, depth))
                continue;
            _Plot(batch, command, size_t(py) * stride + size_t(px), depth, colour);
        }
}

void IVSoftRasterizer::_DrawRect(const Batch& batch, const Command& command, const Rect& tile) {
    const Textured& textured = batch.textured[command.extra];
    const double x0 = textured.texcoord[0][0], x1 = textured.texcoord[0][1];
    const double y0 = textured.texcoord[0][2], y1 = textured.texcoord[1][0];
    const int64_t left = std::max(int64_t(std::max(std::ceil(std::min(x0, x1) - 0.5), 0.0)), tile.left);
    const int64_t right =
        std::min(int64_t(std::min(std::ceil(std::max(x0, x1) - 0.5), double(batch.surface->GetWidth()))) - 1,
                 tile.right);
    const int64_t top = std::max(int64_t(std::max(std::ceil(std::min(y0, y1) - 0.5), 0.0)), tile.top);
    const int64_t bottom =
        std::min(int64_t(std::min(std::ceil(std::max(y0, y1) - 0.5), double(batch.surface->GetHeight()))) - 1,
                 tile.bottom);
    const size_t stride = size_t(batch.surface->GetWidth());
    for (int64_t y = top; y <= bottom; ++y) {
        const auto v = float((double(y) + 0.5 - y0) / (y1 - y0));
        uint32_t* row = batch.surface->mv_colour.data() + size_t(y) * stride;
        for (int64_t x = left; x <= right; ++x)
            row[x] =
                textured.texture->Sample(float((double(x) + 0.5 - x0) / (x1 - x0)), v, textured.addressing);
    }
}
