// The panoramic device's opt-in extensions on the device's side: it hands primitives to its
// projectors (IVPanoProjector), on the calling thread or, with vertex threads, held back and
// projected by several threads at once, and replays their pieces to the rasterizer in order.
// Switched off, none of this runs.
#include "host/base/MPrefetchForWriting.h"
#include "host/render/soft/IVRasterThreadPool.h"
#include "host/render/soft/IVSoftRasterizer.h"
#include "pano/IVRenderSoftPano.h"

#include <cstring>

void IVRenderSoftPano::_RebuildColumns() {
    // The matrices transposed once per change rather than once per point.
    const float* matrices[4] = {ma_object_world, ma_world_eye, ma_eye_raster, ma_object_raster};
    for (int k = 0; k < 4; ++k)
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 4; ++column)
                mo_setup.columns[k][4 * column + row] = matrices[k][4 * row + column];
    mn_columns_generation = mn_transform_generation;
}

void IVRenderSoftPano::_RefreshSetup() {
    if (mo_setup.epoch == mn_projection_epoch && mo_setup.matrices == mn_transform_generation &&
        !mv_projectors.empty())
        return;
    _RefreshColumns();
    mo_setup.transform = mp_transform;
    mo_setup.near_clipping = mb_near_clipping;
    mo_setup.reuse = mb_projection_reuse;
    mo_setup.tolerance = mf_subdivision_tolerance;
    mo_setup.depth = mn_subdivision_depth;
    mo_setup.matrices = mn_transform_generation;
    mo_setup.epoch = mn_projection_epoch;
    if (mv_projectors.empty())
        mv_projectors.push_back(std::make_unique<IVPanoProjector>());
}

void IVRenderSoftPano::_Replay(const std::vector<IVPanoProjector::Piece>& pieces) {
    IVSoftRasterizer& rasterizer = *mp_rasterizer;
    for (const IVPanoProjector::Piece& piece : pieces) {
        switch (piece.kind) {
        case IVPanoProjector::Piece::EKind::eColour:
            rasterizer.SetColourWord(piece.colour);
            break;
        case IVPanoProjector::Piece::EKind::eTriangle:
            ++mn_raster_triangles;
            rasterizer.RasterTriangle(piece.corner[0], piece.corner[1], piece.corner[2], piece.normal);
            break;
        case IVPanoProjector::Piece::EKind::eTextured:
            ++mn_raster_triangles;
            rasterizer.RasterTriangleTextured(piece.corner[0], piece.corner[1], piece.corner[2], piece.normal,
                                              piece.texture[0], piece.texture[1], piece.texture[2]);
            break;
        case IVPanoProjector::Piece::EKind::eLine:
            rasterizer.RasterLine(piece.corner[0], piece.corner[1]);
            break;
        }
    }
}

void IVRenderSoftPano::_DrawTriangleHere(const float* a, const float* b, const float* c, const float* normal,
                                         const uint32_t* colour) {
    mp_rasterizer->Settle(); // held triangles come first
    if (colour != nullptr)
        mp_rasterizer->SetColourWord(*colour);
    _RefreshSetup();
    IVPanoProjector& projector = *mv_projectors[0];
    projector.SetDirect(mp_rasterizer.get(), &mn_raster_triangles);
    const float(*texcoords)[2] = mb_textured_triangle ? ma_triangle_texcoords : nullptr;
    if (_IsExtended())
        projector.Triangle(mo_setup, a, b, c, normal, texcoords, nullptr);
    else
        projector.TriangleLiteral(mo_setup, a, b, c, normal, texcoords, nullptr);
}

void IVRenderSoftPano::_DrawLineExtended(float x0, float y0, float z0, float x1, float y1, float z1,
                                         float depth_offset) {
    mp_rasterizer->Settle(); // held triangles come first, and the setup is theirs until then
    _RefreshSetup();
    IVPanoProjector& projector = *mv_projectors[0];
    projector.SetDirect(mp_rasterizer.get(), &mn_raster_triangles);
    const float from[3] = {x0, y0, z0}, to[3] = {x1, y1, z1};
    projector.Line(mo_setup, from, to, depth_offset, nullptr);
}

bool IVRenderSoftPano::_ProjectPoint(float* out, float x, float y, float z) {
    mp_rasterizer->Settle(); // held triangles come first, and the setup is theirs until then
    if (!mb_near_clipping) {
        _TransformObjectRaster(out, x, y, z, 1.0f);
        return true;
    }
    _RefreshSetup();
    return mv_projectors[0]->Point(mo_setup, out, x, y, z);
}

void IVRenderSoftPano::_HoldTriangle(const float* a, const float* b, const float* c, const float* normal,
                                     const uint32_t* colour) {
    HeldBatch& batch = mo_batches[mn_filling];
    if (batch.triangles.empty() && !mb_in_flight) {
        // The first held triangle since everything was handed over: the setup stays as it is now
        // until the next hand-over, because every change of it settles first.
        _RefreshSetup();
        for (HeldBatch& each : mo_batches) {
            if (each.device != nullptr)
                continue;
            each.device = this;
            each.triangles.reserve(CHUNK_TRIANGLES * BATCH_CHUNKS);
            each.pieces.resize(BATCH_CHUNKS);
            each.done = std::make_unique<std::atomic<uint32_t>[]>(BATCH_CHUNKS);
        }
        mo_held.device = this;
        mp_rasterizer->SetProducer(&mo_held);
        mp_rasterizer->HoldsWork();
    }
    // Held triangles' lines were last read by the vertex threads, two batches ago.
    constexpr size_t WRITE_AHEAD = 8;
    if (batch.triangles.size() + WRITE_AHEAD < batch.triangles.capacity())
        MPrefetchForWriting(batch.triangles.data() + batch.triangles.size() + WRITE_AHEAD);
    HeldTriangle& held = batch.triangles.emplace_back();
    const float* corners[3] = {a, b, c};
    for (int k = 0; k < 3; ++k)
        std::memcpy(held.corner[k], corners[k], sizeof held.corner[k]);
    std::memcpy(held.normal, normal, sizeof held.normal);
    held.textured = mb_textured_triangle;
    if (held.textured)
        std::memcpy(held.texcoords, ma_triangle_texcoords, sizeof held.texcoords);
    held.has_colour = colour != nullptr;
    held.colour = colour != nullptr ? *colour : 0u;
    if (batch.triangles.size() == CHUNK_TRIANGLES * BATCH_CHUNKS)
        _HandOverFull();
}

void IVRenderSoftPano::_ProjectChunk(HeldBatch& batch, size_t chunk, const IVPanoProjector::Setup& setup,
                                     IVPanoProjector& projector) {
    std::vector<IVPanoProjector::Piece>& pieces = batch.pieces[chunk];
    pieces.clear();
    const HeldTriangle* triangles = batch.triangles.data();
    const size_t end = std::min(batch.triangles.size(), (chunk + 1) * CHUNK_TRIANGLES);
    const size_t count = batch.triangles.size();
    for (size_t k = chunk * CHUNK_TRIANGLES; k < end; ++k) {
        // The held triangles were written by the calling thread, so their lines come from its
        // core: fetched well ahead, before the lookups of the triangle two ahead read them.
        if (k + FETCH_HELD_TRIANGLES < count) {
            const char* held = reinterpret_cast<const char*>(&triangles[k + FETCH_HELD_TRIANGLES]);
            __builtin_prefetch(held);
            __builtin_prefetch(held + sizeof(HeldTriangle) - 1);
        }
        if (k + PREFETCH_TRIANGLES < count) {
            const HeldTriangle& coming = triangles[k + PREFETCH_TRIANGLES];
            projector.PrefetchTriangle(coming.corner[0], coming.corner[1], coming.corner[2]);
        }
        const HeldTriangle& held = triangles[k];
        if (held.has_colour) {
            IVPanoProjector::Piece& piece = pieces.emplace_back();
            piece.kind = IVPanoProjector::Piece::EKind::eColour;
            piece.colour = held.colour;
        }
        projector.Triangle(setup, held.corner[0], held.corner[1], held.corner[2], held.normal,
                           held.textured ? held.texcoords : nullptr, &pieces);
    }
    batch.done[chunk].store(1, std::memory_order_release);
    batch.done[chunk].notify_one();
}

void IVRenderSoftPano::_VertexJob(void* context, size_t index) {
    HeldBatch& batch = *static_cast<HeldBatch*>(context);
    IVPanoProjector& projector = *batch.device->mv_projectors[index + 1];
    // A copy of its own: the device's setup shares cache lines with what the calling thread
    // writes for every piece it replays, and the projector reads the setup at every corner.
    const IVPanoProjector::Setup setup = batch.device->mo_setup;
    size_t chunk = 0;
    while (batch.unclaimed.Claim(true, chunk))
        batch.device->_ProjectChunk(batch, chunk, setup, projector);
}

void IVRenderSoftPano::_StartBatch(HeldBatch& batch) {
    batch.chunks = (batch.triangles.size() + CHUNK_TRIANGLES - 1) / CHUNK_TRIANGLES;
    batch.replayed = 0;
    for (size_t chunk = 0; chunk < batch.chunks; ++chunk)
        batch.done[chunk].store(0, std::memory_order_relaxed);
    batch.unclaimed.Reset(batch.chunks);
    const size_t threads = size_t(mn_vertex_threads);
    // One job per other thread, at least two: the pool runs a single job on the caller. A job
    // that finds no chunk left returns at once.
    const size_t jobs = std::max(threads - 1, size_t(2));
    while (mv_projectors.size() < jobs + 1)
        mv_projectors.push_back(std::make_unique<IVPanoProjector>());
    batch.started = threads > 1 && batch.chunks > 1;
    if (!batch.started)
        return;
    if (mp_vertex_pool == nullptr || mp_vertex_pool->GetThreadCount() != int(threads))
        mp_vertex_pool = std::make_unique<IVRasterThreadPool>(int(threads));
    mp_vertex_pool->Start(jobs, _VertexJob, &batch);
}

void IVRenderSoftPano::_FinishBatch(HeldBatch& batch) {
    for (;;) {
        if (batch.replayed < batch.chunks &&
            batch.done[batch.replayed].load(std::memory_order_acquire) != 0) {
            _Replay(batch.pieces[batch.replayed]);
            ++batch.replayed;
            continue;
        }
        size_t chunk = 0;
        if (!batch.unclaimed.Claim(false, chunk))
            break;
        _ProjectChunk(batch, chunk, mo_setup, *mv_projectors[0]);
    }
    if (batch.started)
        mp_vertex_pool->Wait();
    batch.started = false;
}

void IVRenderSoftPano::_ReplayRest(HeldBatch& batch) {
    for (; batch.replayed < batch.chunks; ++batch.replayed)
        _Replay(batch.pieces[batch.replayed]);
    batch.triangles.clear();
    batch.chunks = 0;
}

void IVRenderSoftPano::_HandOverFull() {
    // Replaying records into the rasterizer, which must not ask for the held triangles again.
    mp_rasterizer->HoldsWork(false);
    HeldBatch& filling = mo_batches[mn_filling];
    HeldBatch& other = mo_batches[mn_filling ^ 1];
    if (mb_in_flight)
        _FinishBatch(other);
    // The other threads go on with the full batch while the caller replays the one before it and
    // fills the next.
    _StartBatch(filling);
    if (mb_in_flight)
        _ReplayRest(other);
    mb_in_flight = true;
    mn_filling ^= 1;
    mp_rasterizer->HoldsWork(); // still holding: the batch in flight
}

void IVRenderSoftPano::_HandOverHeld() {
    HeldBatch& filling = mo_batches[mn_filling];
    if (mb_in_flight) {
        HeldBatch& other = mo_batches[mn_filling ^ 1];
        _FinishBatch(other);
        _ReplayRest(other);
        mb_in_flight = false;
    }
    if (!filling.triangles.empty()) {
        _StartBatch(filling);
        _FinishBatch(filling);
        _ReplayRest(filling);
    }
}
