#include "host/render/soft/IVSoftRasterizer.h"

#include "host/base/MPrefetchForWriting.h"
#include "host/render/soft/IVDisplaySurfaceSoft.h"
#include "host/render/soft/IVRasterThreadPool.h"
#include "host/render/soft/IVSoftRasterizerRules.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

using namespace IVSoftRasterizerRules;

namespace {

// Commands ahead of the one being recorded whose lines are asked for.
constexpr size_t WRITE_AHEAD = 16;

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

void IVSoftRasterizer::HoldsWork(bool holds) {
    mb_producer_holds = holds && mp_producer != nullptr;
    if (mb_producer_holds && mp_surface != nullptr)
        _ClaimSurface(mp_surface);
}

void IVSoftRasterizer::_TakeHeldWork() {
    // Cleared first: the hand-over records through the raster operations, which settle again.
    mb_producer_holds = false;
    mp_producer->HandOver();
}

void IVSoftRasterizer::_ClaimSurface(IVDisplaySurfaceSoft* surface) {
    if (surface->mp_pending != this) {
        // Another rasterizer's work on this surface goes first.
        if (surface->mp_pending != nullptr)
            surface->mp_pending->Flush();
        surface->mp_pending = this;
    }
}

void IVSoftRasterizer::SetThreadCount(int threads) {
    Flush();
    mn_threads = std::clamp(threads, 1, 64);
    if (mp_pool != nullptr && mp_pool->GetThreadCount() != mn_threads)
        mp_pool.reset();
}

void IVSoftRasterizer::SetColourWord(uint32_t colour) {
    Settle();
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
    Settle();
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
    Settle();
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
        // Bit patterns, not float equality: a NaN plane is the same plane, and -0 is not +0. Asked
        // for every primitive, so compared inline rather than through a library call.
        const auto bits = [](float value) { return std::bit_cast<uint32_t>(value); };
        bool same = true;
        for (size_t k = 0; k < count && same; ++k) {
            const float* stored = &stored_values[(last.first + k) * 4];
            same = bits(stored[0]) == bits(mv_z0[k]) && bits(stored[1]) == bits(mv_gx[k]) &&
                   bits(stored[2]) == bits(mv_gy[k]) && bits(stored[3]) == bits(mv_side[k] ? 1.0f : 0.0f);
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
    Flush(); // takes held work first
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
    Settle();
    IVDisplaySurfaceSoft* surface = mp_surface;
    if (surface == nullptr || surface->GetWidth() == 0)
        return nullptr;
    _ClaimSurface(surface);
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
    // The command's line was last read by the thread that filled this batch before.
    if (batch.count + WRITE_AHEAD < BATCH_COMMANDS)
        MPrefetchForWriting(&batch.commands[batch.count + WRITE_AHEAD]);
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

void IVSoftRasterizer::Flush() {
    Settle();
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
