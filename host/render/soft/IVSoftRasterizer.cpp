#include "host/render/soft/IVSoftRasterizer.h"

#include "host/render/soft/IVDisplaySurfaceSoft.h"
#include "host/render/soft/IVRasterThreadPool.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

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

bool IsUsable(const float* point) {
    return std::isfinite(point[2]) && std::fabs(point[0]) < MAX_COORDINATE &&
           std::fabs(point[1]) < MAX_COORDINATE; // fabs(NaN) < x is false
}

// std::floor for |value| < 2^23, without the library call: bounds are taken for every primitive
// as it is recorded.
int64_t Floor(float value) {
    const auto whole = int64_t(value);
    return float(whole) > value ? whole - 1 : whole;
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

} // namespace

IVSoftRasterizer::IVSoftRasterizer() : mn_handover(FIRST_HANDOVER), mn_threads(DefaultThreadCount()) {
    SetColourWord(0xFFFFFFFFu);
}

IVSoftRasterizer::~IVSoftRasterizer() {
    SetSurface(nullptr);
}

int IVSoftRasterizer::DefaultThreadCount() {
    if (const char* text = std::getenv("VANTREL_THREADS")) {
        char* end = nullptr;
        const long value = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && value >= 1 && value <= 64)
            return int(value);
    }
    return int(std::clamp(std::thread::hardware_concurrency(), 1u, 64u));
}

void IVSoftRasterizer::SetThreadCount(int threads) {
    Flush();
    mn_threads = std::clamp(threads, 1, 64);
    if (mp_pool != nullptr && mp_pool->GetThreadCount() != mn_threads)
        mp_pool.reset();
}

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

float IVSoftRasterizer::Light(const float* normal) {
    float n[3] = {normal[0], normal[1], normal[2]};
    if (!std::isfinite(n[0]) || !std::isfinite(n[1]) || !std::isfinite(n[2]))
        return 0.0f;
    if (n[2] < 0.0f)
        for (float& value : n)
            value = -value;
    const float key = (KEY[0] * n[0] + KEY[1] * n[1]) + KEY[2] * n[2];
    const float fill = (FILL[0] * n[0] + FILL[1] * n[1]) + FILL[2] * n[2];
    const float light = KEY_WEIGHT * std::max(key, 0.0f) + FILL_WEIGHT * std::max(fill, 0.0f);
    return std::clamp(light, 0.0f, 1.0f);
}

uint32_t IVSoftRasterizer::_CurrentPlaneSet(Batch& batch) {
    const size_t count =
        mb_active ? std::min({mv_z0.size(), mv_gx.size(), mv_gy.size(), mv_side.size()}) : size_t(0);
    if (count == 0)
        return 0;
    std::vector<PlaneSet>& sets = batch.plane_sets;
    std::vector<float>& stored_values = batch.plane_values;
    const PlaneSet& last = sets.back();
    if (sets.size() > 1 && last.count == count) {
        bool same = true;
        for (size_t k = 0; k < count && same; ++k) {
            const float* stored = &stored_values[(last.first + k) * 4];
            const float values[4] = {mv_z0[k], mv_gx[k], mv_gy[k], mv_side[k] ? 1.0f : 0.0f};
            same = std::memcmp(stored, values, sizeof values) == 0;
        }
        if (same)
            return uint32_t(sets.size() - 1);
    }
    const auto first = uint32_t(stored_values.size() / 4);
    for (size_t k = 0; k < count; ++k) {
        stored_values.push_back(mv_z0[k]);
        stored_values.push_back(mv_gx[k]);
        stored_values.push_back(mv_gy[k]);
        stored_values.push_back(mv_side[k] ? 1.0f : 0.0f);
    }
    sets.push_back({first, uint32_t(count)});
    return uint32_t(sets.size() - 1);
}

void IVSoftRasterizer::SetSurface(IVDisplaySurfaceSoft* surface) {
    if (surface == mp_surface)
        return;
    Flush();
    mp_surface = surface;
}

void IVSoftRasterizer::_Empty(Batch& batch) {
    for (uint32_t tile : batch.busy_tiles)
        batch.bins[tile].clear();
    batch.busy_tiles.clear();
    batch.count = 0;
    batch.surface = nullptr;
    batch.colour_states.clear();
    batch.textured.clear();
    batch.plane_sets.resize(1);
    batch.plane_values.clear();
}

void IVSoftRasterizer::_ForgetSurface() {
    // The batch being filled writes into the surface: it has to finish before the surface goes.
    _WaitHandedOver();
    _Empty(mo_batches[mn_recording]);
    mp_surface = nullptr;
}

uint32_t IVSoftRasterizer::_CurrentColourState(Batch& batch) {
    const ColourState state{
        {mn_red_quarter, mn_green_quarter, mn_blue_quarter}, {mn_red, mn_green, mn_blue}, mb_shading};
    std::vector<ColourState>& states = batch.colour_states;
    if (states.empty() || !(states.back() == state))
        states.push_back(state);
    return uint32_t(states.size() - 1);
}

IVSoftRasterizer::Command* IVSoftRasterizer::_Record(EKind kind) {
    IVDisplaySurfaceSoft* surface = mp_surface;
    if (surface == nullptr || surface->GetWidth() == 0)
        return nullptr;
    if (surface->mp_pending != this) {
        // Another rasterizer's work on this surface goes first.
        if (surface->mp_pending != nullptr)
            surface->mp_pending->Flush();
        surface->mp_pending = this;
    }
    Batch& batch = mo_batches[mn_recording];
    if (batch.count == 0) {
        if (batch.commands == nullptr)
            batch.commands = std::make_unique_for_overwrite<Command[]>(BATCH_COMMANDS);
        batch.surface = surface;
        batch.tiles_x = (surface->GetWidth() + (1 << TILE_BITS) - 1) >> TILE_BITS;
        batch.tiles_y = (surface->GetHeight() + (1 << TILE_BITS) - 1) >> TILE_BITS;
        const size_t tiles = size_t(batch.tiles_x) * size_t(batch.tiles_y);
        if (batch.bins.size() < tiles)
            batch.bins.resize(tiles);
    }
    Command& command = batch.commands[batch.count++];
    command.kind = kind;
    command.flags = uint8_t((mb_blend ? FLAG_BLEND : 0) | (mb_depth_test ? FLAG_DEPTH_TEST : 0) |
                            (mb_depth_write ? FLAG_DEPTH_WRITE : 0));
    command.alpha = mn_alpha;
    command.size = 0;
    command.colour = _CurrentColourState(batch);
    command.planes = _CurrentPlaneSet(batch);
    command.extra = 0;
    return &command;
}

void IVSoftRasterizer::_AfterRecord() {
    Batch& batch = mo_batches[mn_recording];
    const auto number = uint32_t(batch.count - 1);
    Rect bounds;
    if (!_Bounds(batch, batch.commands[number], bounds)) {
        batch.count = number; // touches no pixel
        return;
    }
    const size_t tiles_x = size_t(batch.tiles_x);
    for (int64_t ty = bounds.top >> TILE_BITS; ty <= bounds.bottom >> TILE_BITS; ++ty)
        for (int64_t tx = bounds.left >> TILE_BITS; tx <= bounds.right >> TILE_BITS; ++tx) {
            const size_t tile = size_t(ty) * tiles_x + size_t(tx);
            std::vector<uint32_t>& bin = batch.bins[tile];
            if (bin.empty())
                batch.busy_tiles.push_back(uint32_t(tile));
            bin.push_back(number);
        }
    if (batch.count < (mn_threads == 1 ? BATCH_COMMANDS : mn_handover))
        return;
    if (mn_threads == 1) {
        _FillHere(false);
        _Empty(batch);
        return;
    }
    // Batches are filled in order: the previous one finishes before this one starts.
    _WaitHandedOver();
    // In tile order every batch, so that the pool gives a tile mostly to the thread that filled
    // it before, whose core still holds its pixels.
    std::sort(batch.busy_tiles.begin(), batch.busy_tiles.end());
    _Pool().Start(batch.busy_tiles.size(), _FillJob, &batch);
    mb_handed_over = true;
    mn_handover = std::min(mn_handover * 2, BATCH_COMMANDS);
    mn_recording ^= 1;
}

IVRasterThreadPool& IVSoftRasterizer::_Pool() {
    if (mp_pool == nullptr)
        mp_pool = std::make_unique<IVRasterThreadPool>(mn_threads);
    return *mp_pool;
}

void IVSoftRasterizer::_WaitHandedOver() {
    if (!mb_handed_over)
        return;
    mp_pool->Wait();
    mb_handed_over = false;
    _Empty(mo_batches[mn_recording ^ 1]);
}

void IVSoftRasterizer::_FillHere(bool parallel) {
    Batch& batch = mo_batches[mn_recording];
    if (parallel) {
        std::sort(batch.busy_tiles.begin(), batch.busy_tiles.end());
        _Pool().Run(batch.busy_tiles.size(), _FillJob, &batch);
    } else {
        for (uint32_t tile : batch.busy_tiles)
            _FillTile(batch, tile);
    }
}

void IVSoftRasterizer::_FillJob(void* context, size_t index) {
    const Batch& batch = *static_cast<const Batch*>(context);
    _FillTile(batch, batch.busy_tiles[index]);
}

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

void IVSoftRasterizer::Flush() {
    _WaitHandedOver();
    mn_handover = FIRST_HANDOVER;
    Batch& batch = mo_batches[mn_recording];
    if (batch.count != 0) {
        // Small batches stay on the calling thread: waking the pool costs more than they do. A
        // batch of few but large primitives still fills its tiles in parallel.
        _FillHere(mn_threads > 1 && (batch.count >= 512 || batch.busy_tiles.size() >= 8));
        _Empty(batch);
    }
    if (mp_surface != nullptr && mp_surface->mp_pending == this)
        mp_surface->mp_pending = nullptr;
}

void IVSoftRasterizer::_FillTile(const Batch& batch, size_t tile) {
    const int64_t tile_x = int64_t(tile % size_t(batch.tiles_x)) << TILE_BITS;
    const int64_t tile_y = int64_t(tile / size_t(batch.tiles_x)) << TILE_BITS;
    const Rect rect{tile_x, tile_y,
                    std::min<int64_t>(tile_x + (1 << TILE_BITS), batch.surface->GetWidth()) - 1,
                    std::min<int64_t>(tile_y + (1 << TILE_BITS), batch.surface->GetHeight()) - 1};
    for (uint32_t number : batch.bins[tile]) {
        const Command& command = batch.commands[number];
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

inline bool IVSoftRasterizer::_IsClipped(const Batch& batch, uint32_t set, float x, float y, float depth) {
    const PlaneSet& planes = batch.plane_sets[set];
    const float* plane = batch.plane_values.data() + size_t(planes.first) * 4;
    for (uint32_t k = 0; k < planes.count; ++k, plane += 4) {
        const float plane_depth = (plane[0] + plane[1] * x) + plane[2] * y;
        if (plane[3] != 0.0f ? depth > plane_depth : depth < plane_depth)
            return true;
    }
    return false;
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

void IVSoftRasterizer::RasterTriangle(const float* ra, const float* rb, const float* rc,
                                      const float* normal) {
    Command* command = _Record(EKind::eTriangle);
    if (command == nullptr)
        return;
    std::memcpy(command->corner[0], ra, sizeof(float) * 3);
    std::memcpy(command->corner[1], rb, sizeof(float) * 3);
    std::memcpy(command->corner[2], rc, sizeof(float) * 3);
    std::memcpy(command->normal, normal, sizeof(float) * 3);
    _AfterRecord();
}

void IVSoftRasterizer::RasterTriangleTextured(const float* ra, const float* rb, const float* rc,
                                              const float* normal, const float* ta, const float* tb,
                                              const float* tc) {
    const auto usable = [](const float* t) {
        return std::isfinite(t[0]) && std::isfinite(t[1]) && std::isfinite(t[2]) && t[2] > 0.0f;
    };
    if (mp_texture == nullptr || mp_texture->GetTexels() == nullptr || !usable(ta) || !usable(tb) ||
        !usable(tc)) {
        RasterTriangle(ra, rb, rc, normal);
        return;
    }
    Command* command = _Record(EKind::eTextured);
    if (command == nullptr)
        return;
    std::memcpy(command->corner[0], ra, sizeof(float) * 3);
    std::memcpy(command->corner[1], rb, sizeof(float) * 3);
    std::memcpy(command->corner[2], rc, sizeof(float) * 3);
    std::memcpy(command->normal, normal, sizeof(float) * 3);
    std::vector<Textured>& textured = mo_batches[mn_recording].textured;
    command->extra = uint32_t(textured.size());
    textured.push_back({{{ta[0], ta[1], ta[2]}, {tb[0], tb[1], tb[2]}, {tc[0], tc[1], tc[2]}},
                        mp_texture,
                        mp_texture->GetAddressing()});
    _AfterRecord();
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

    const uint32_t set = command.planes;
    const size_t stride = size_t(batch.surface->GetWidth());
    const double min_x = double(setup.min_x);
    uint32_t light = 256u;
    const uint32_t shaded = _Colour(batch, command, &light);
    for (int64_t py = first_y; py <= last_y; ++py) {
        int64_t w0 = edge0.value, w1 = edge1.value, w2 = edge2.value;
        const double centre_y = double(py) + 0.5;
        const double row_depth =
            depth.base + depth.dx * (min_x + 0.5 - setup.ax) + depth.dy * (centre_y - setup.ay);
        const size_t row = size_t(py) * stride;
        for (int64_t px = first_x; px <= last_x; ++px) {
            if ((w0 | w1 | w2) >= 0) {
                const float value = float(row_depth + depth.dx * double(px - setup.min_x));
                if (set == 0 || !_IsClipped(batch, set, float(px) + 0.5f, float(centre_y), value)) {
                    uint32_t colour = shaded;
                    if (textured) {
                        const double cx = double(px) + 0.5 - setup.ax, cy = centre_y - setup.ay;
                        const double inverse_w = q.base + q.dx * cx + q.dy * cy;
                        const double u = (s.base + s.dx * cx + s.dy * cy) / inverse_w;
                        const double v = (t.base + t.dx * cx + t.dy * cy) / inverse_w;
                        const uint32_t texel =
                            texture->texture->Sample(float(u), float(v), texture->addressing);
                        colour = 0xFF000000u;
                        for (int shift = 0; shift < 24; shift += 8)
                            colour |= ((((texel >> shift) & 0xFFu) * light + 128u) >> 8) << shift;
                    }
                    _Plot(batch, command, row + size_t(px), value, colour);
                }
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
    if (!std::isfinite(ra[0]) || !std::isfinite(ra[1]) || !std::isfinite(ra[2]) || !std::isfinite(rb[0]) ||
        !std::isfinite(rb[1]) || !std::isfinite(rb[2]))
        return;
    Command* command = _Record(EKind::eLine);
    if (command == nullptr)
        return;
    std::memcpy(command->corner[0], ra, sizeof(float) * 3);
    std::memcpy(command->corner[1], rb, sizeof(float) * 3);
    _AfterRecord();
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

void IVSoftRasterizer::RasterPoint(const float* rp, int mode) {
    if (!std::isfinite(rp[0]) || !std::isfinite(rp[1]) || !std::isfinite(rp[2]) || mp_surface == nullptr)
        return;
    const double centre_x = std::floor(double(rp[0]));
    const double centre_y = std::floor(double(rp[1]));
    if (centre_x < -64.0 || centre_y < -64.0 || centre_x > double(mp_surface->GetWidth()) + 64.0 ||
        centre_y > double(mp_surface->GetHeight()) + 64.0)
        return;
    Command* command = _Record(EKind::ePoint);
    if (command == nullptr)
        return;
    std::memcpy(command->corner[0], rp, sizeof(float) * 3);
    command->size = uint8_t(std::clamp(mode, 1, 64));
    _AfterRecord();
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

void IVSoftRasterizer::RasterTextureRect(const float* rect) {
    if (mp_texture == nullptr || mp_texture->GetTexels() == nullptr)
        return;
    const double x0 = rect[0], x1 = rect[1], y0 = rect[2], y1 = rect[3];
    if (!std::isfinite(x0) || !std::isfinite(x1) || !std::isfinite(y0) || !std::isfinite(y1) || x0 == x1 ||
        y0 == y1)
        return;
    Command* command = _Record(EKind::eRect);
    if (command == nullptr)
        return;
    command->flags = 0; // overwrites: no depth, no blending
    std::vector<Textured>& textured = mo_batches[mn_recording].textured;
    command->extra = uint32_t(textured.size());
    textured.push_back({{{rect[0], rect[1], rect[2]}, {rect[3], 0, 0}, {0, 0, 0}},
                        mp_texture,
                        IVTextureSoft::EAddressing::eClamp});
    _AfterRecord();
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
