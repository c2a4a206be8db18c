// The panoramic device's opt-in extensions on the device's side: it hands primitives to its
// projectors (IVPanoProjector), on the calling thread or, with vertex threads, held back and
// projected by several threads at once, and replays their pieces to the rasterizer in order.
// Switched off, none of this runs.
#include "host/render/soft/IVRasterThreadPool.h"
#include "host/render/soft/IVSoftRasterizer.h"
#include "pano/IVRenderSoftPano.h"

#include <cstring>

void IVRenderSoftPano::_RefreshColumns() {
    if (mn_columns_generation == mn_transform_generation)
        return;
    // The three matrices transposed once per change rather than once per point.
    const float* matrices[3] = {ma_object_world, ma_world_eye, ma_eye_raster};
    for (int k = 0; k < 3; ++k)
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 4; ++column)
                mo_setup.columns[k][4 * column + row] = matrices[k][4 * row + column];
    mn_columns_generation = mn_transform_generation;
}

void IVRenderSoftPano::_RefreshSetup() {
    _RefreshColumns();
    mo_setup.object_raster = ma_object_raster;
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
    mv_pieces.clear();
    const float(*texcoords)[2] = mb_textured_triangle ? ma_triangle_texcoords : nullptr;
    if (_IsExtended())
        mv_projectors[0]->Triangle(mo_setup, a, b, c, normal, texcoords, mv_pieces);
    else
        mv_projectors[0]->TriangleLiteral(mo_setup, a, b, c, normal, texcoords, mv_pieces);
    _Replay(mv_pieces);
}

void IVRenderSoftPano::_DrawLineExtended(float x0, float y0, float z0, float x1, float y1, float z1,
                                         float depth_offset) {
    _RefreshSetup();
    mv_pieces.clear();
    const float from[3] = {x0, y0, z0}, to[3] = {x1, y1, z1};
    mv_projectors[0]->Line(mo_setup, from, to, depth_offset, mv_pieces);
    _Replay(mv_pieces);
}

bool IVRenderSoftPano::_ProjectPoint(float* out, float x, float y, float z) {
    if (!mb_near_clipping) {
        _TransformObjectRaster(out, x, y, z, 1.0f);
        return true;
    }
    _RefreshSetup();
    return mv_projectors[0]->Point(mo_setup, out, x, y, z);
}

void IVRenderSoftPano::_HoldTriangle(const float* a, const float* b, const float* c, const float* normal,
                                     const uint32_t* colour) {
    if (mv_held.empty()) {
        mv_held.reserve(CHUNK_TRIANGLES * HELD_CHUNKS);
        mo_held.device = this;
        mp_rasterizer->SetProducer(&mo_held);
        mp_rasterizer->HoldsWork();
    }
    HeldTriangle& held = mv_held.emplace_back();
    const float* corners[3] = {a, b, c};
    for (int k = 0; k < 3; ++k)
        std::memcpy(held.corner[k], corners[k], sizeof held.corner[k]);
    std::memcpy(held.normal, normal, sizeof held.normal);
    held.textured = mb_textured_triangle;
    if (held.textured)
        std::memcpy(held.texcoords, ma_triangle_texcoords, sizeof held.texcoords);
    held.has_colour = colour != nullptr;
    held.colour = colour != nullptr ? *colour : 0u;
    if (mv_held.size() == CHUNK_TRIANGLES * HELD_CHUNKS)
        mp_rasterizer->Settle();
}

void IVRenderSoftPano::_ProjectChunk(size_t chunk, IVPanoProjector& projector) {
    std::vector<IVPanoProjector::Piece>& pieces = mv_chunk_pieces[chunk];
    pieces.clear();
    const size_t end = std::min(mv_held.size(), (chunk + 1) * CHUNK_TRIANGLES);
    for (size_t k = chunk * CHUNK_TRIANGLES; k < end; ++k) {
        const HeldTriangle& held = mv_held[k];
        if (held.has_colour) {
            IVPanoProjector::Piece& piece = pieces.emplace_back();
            piece.kind = IVPanoProjector::Piece::EKind::eColour;
            piece.colour = held.colour;
        }
        projector.Triangle(mo_setup, held.corner[0], held.corner[1], held.corner[2], held.normal,
                           held.textured ? held.texcoords : nullptr, pieces);
    }
    mp_chunk_done[chunk].store(1, std::memory_order_release);
    mp_chunk_done[chunk].notify_one();
}

void IVRenderSoftPano::_VertexJob(void* context, size_t index) {
    IVRenderSoftPano& device = *static_cast<IVRenderSoftPano*>(context);
    IVPanoProjector& projector = *device.mv_projectors[index + 1];
    for (;;) {
        const size_t chunk = device.mn_next_chunk.fetch_add(1, std::memory_order_relaxed);
        if (chunk >= device.mn_held_chunks)
            return;
        device._ProjectChunk(chunk, projector);
    }
}

void IVRenderSoftPano::_HandOverHeld() {
    if (mv_held.empty())
        return;
    _RefreshSetup();
    const size_t threads = size_t(mn_vertex_threads);
    while (mv_projectors.size() < threads)
        mv_projectors.push_back(std::make_unique<IVPanoProjector>());
    if (mv_chunk_pieces.size() < HELD_CHUNKS) {
        mv_chunk_pieces.resize(HELD_CHUNKS);
        mp_chunk_done = std::make_unique<std::atomic<uint32_t>[]>(HELD_CHUNKS);
    }
    mn_held_chunks = (mv_held.size() + CHUNK_TRIANGLES - 1) / CHUNK_TRIANGLES;
    for (size_t chunk = 0; chunk < mn_held_chunks; ++chunk)
        mp_chunk_done[chunk].store(0, std::memory_order_relaxed);
    mn_next_chunk.store(0, std::memory_order_relaxed);
    const bool parallel = threads > 1 && mn_held_chunks > 1;
    if (parallel) {
        if (mp_vertex_pool == nullptr || mp_vertex_pool->GetThreadCount() != int(threads))
            mp_vertex_pool = std::make_unique<IVRasterThreadPool>(int(threads));
        mp_vertex_pool->Start(threads - 1, _VertexJob, this);
    }
    // The caller replays chunks in order, projecting chunks itself while the next one in line is
    // still unclaimed and waiting only for one that another thread has under way.
    for (size_t chunk = 0; chunk < mn_held_chunks; ++chunk) {
        while (mp_chunk_done[chunk].load(std::memory_order_acquire) == 0) {
            const size_t claimed = mn_next_chunk.fetch_add(1, std::memory_order_relaxed);
            if (claimed < mn_held_chunks)
                _ProjectChunk(claimed, *mv_projectors[0]);
            else
                mp_chunk_done[chunk].wait(0, std::memory_order_acquire);
        }
        _Replay(mv_chunk_pieces[chunk]);
    }
    if (parallel)
        mp_vertex_pool->Wait();
    mv_held.clear();
}
