#pragma once
// IVRenderSoftPano: the panoramic software device. It draws like IVRenderSoft, but every point it
// draws (triangle corners, line end points, single points, one point of each clipping plane) can
// pass through a point transform (SetTransform) placed between the object-to-world and the
// world-to-eye stage. The transform may be non-linear: primitives stay straight between their
// transformed vertices, and triangles get a raster normal recomputed from their projected
// corners (with subdivision or near clipping on, one normal per source triangle instead, from
// its corners through the linear matrices alone). Directions (w = 0) never pass through the transform.
//
// Reaching the device: the class is not exported (only SetTransform is), so a client cannot
// dynamic_cast to it. Create it through IVRenderFactoryStubSoftPano::Create, take
// GetDevice() and static_cast the IVRender* to IVRenderSoftPano*; that factory makes nothing
// else. The factory owns the device (its Destroy ends it); never delete it yourself.
//
// Call order: SetTransformObjectWorld / SetTransformWorldEye / SetTransformEyeWindow and
// SetTransform, then StartFrame(surface, dc), state and draws, StopFrame(). The transform may
// be swapped between primitives; the clipping planes follow it only at the next
// _UpdateClippingPlanes (a plane change or the next frame start).
//
// Units and frames: primitives come in object coordinates (the caller's model units); the
// object-to-world matrix takes them to world coordinates, where the point transform works
// (world in, world out, in the same units); world-to-eye and eye-to-window are 16 floats,
// row-major for column vectors (out[i] = m[4i] x + m[4i+1] y + m[4i+2] z + m[4i+3] w). Window and
// raster space are pixels of the display surface, x to the right and y downwards, plus a depth
// that grows towards the viewer; the fourth homogeneous component (w) is positive in front of
// the eye. Float colours are red, green, blue in 0..1; colour words hold red in byte 0 up to
// alpha in byte 3. Normals are in object coordinates and only choose the side that faces.
//
// Ownership: the transform, the surface and textures are borrowed; the caller keeps them alive
// while the device draws. Threading: one rendering thread per device, and the transform must
// stand calls from that thread; only SetVertexThreads starts threads of its own.
//
// Extensions (all off after construction, so the device draws literally as above): near
// clipping (SetNearClipping), subdivision of primitives that the transform bends
// (SetSubdivision), reuse of projections (SetProjectionReuse), vertex work on several threads
// (SetVertexThreads) and a count of rasterized triangles (GetNumRasterTriangles).
#include "host/math/MMTransform.h"
#include "host/render/soft/IVClaimRange.h"
#include "host/render/soft/IVRenderSoft.h"
#include "host/render/soft/IVSoftRasterizer.h"
#include "module/VantrelExport.h"
#include "pano/IVPanoProjector.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class IVRasterThreadPool;

class IVRenderSoftPano : public IVRenderSoft {
public:
    IVRenderSoftPano();
    ~IVRenderSoftPano() override;

    // Unbinds the texture, draws nothing and answers false when the frame's surface is not a
    // software surface (or there is no frame); with no texture given it draws nothing either.
    bool DrawTextureRect(const float* origin, const float* to_end, const float* to_start,
                         IVTexture* texture) override;

protected:
    void _OnStartFrame(IVDisplaySurface* surface, CDC* dc) override;
    void _UpdateClippingPlanes() override;

    void _DrawTriangle(const float* a, const float* b, const float* c, const float* normal,
                       unsigned long colour) override;
    void _DrawTriangle(const float* a, const float* b, const float* c, const float* normal) override;

public:
    void DrawTriangle(const float* a, const float* b, const float* c, const float* normal,
                      const float* colour) override;
    void DrawTriangle(const float* a, const float* b, const float* c, const float* normal) override;
    void DrawLine(float x0, float y0, float z0, float x1, float y1, float z1, const float* colour) override;
    void DrawLine(float x0, float y0, float z0, float x1, float y1, float z1) override;
    void DrawPoint(float x, float y, float z) override;
    void DrawPoints(const float* xyz, unsigned int count) override;

    // --- Non-virtual operations ---

    // Borrowed; null removes the transform. The caller keeps it alive while the device draws.
    VANTREL_API void SetTransform(MMTransform* transform);
    MMTransform* GetTransform() const { return mp_transform; }

    // --- Opt-in extensions, off after construction; inline because the class is not exported ---

    // Clip triangles and lines at the near plane and the guard band in homogeneous raster
    // coordinates before the divide (see HomogeneousClipper); points at or behind the eye are
    // dropped. Takes effect at the next primitive.
    void SetNearClipping(bool enable) {
        mp_rasterizer->Settle();
        mb_near_clipping = enable;
        ++mn_projection_epoch;
    }
    bool GetNearClipping() const { return mb_near_clipping; }

    // While a transform is set, split triangles and lines whose edges bend more than
    // `tolerance_pixels` (raster x, y distance between an edge's projected middle and the middle
    // of its projected ends), halving each edge at most `max_depth` times (clamped to 0 ..
    // MAX_SUBDIVISION_DEPTH). An edge whose middle strays from its chord by more than a quarter
    // of the chord crosses a discontinuity of the transform (a seam, or a singular point such as
    // the pole of a panorama or the point behind a wide fisheye): it may be halved a few times
    // more, and what still bends then is not drawn straight across the image: a line is cut at
    // the jump, a small triangle piece is left out. A tolerance of zero or less (the default)
    // switches subdivision off; so does the absence of a transform.
    static constexpr int MAX_SUBDIVISION_DEPTH = 12;
    void SetSubdivision(float tolerance_pixels, int max_depth) {
        mp_rasterizer->Settle();
        mf_subdivision_tolerance = tolerance_pixels > 0.0f ? tolerance_pixels : 0.0f;
        ++mn_projection_epoch;
        mn_subdivision_depth = std::clamp(max_depth, 0, MAX_SUBDIVISION_DEPTH);
    }
    float GetSubdivisionTolerance() const { return mf_subdivision_tolerance; }
    int GetSubdivisionDepth() const { return mn_subdivision_depth; }

    // While subdivision or near clipping is on, reuse a point's projection within a frame as long
    // as the matrices and the transform stay the same: the triangles of a mesh share corners and
    // edge middles, so most points then pass the transform once instead of up to six times. The
    // transform must give the same result for the same point until the next SetTransform or frame
    // start (the program's panoramic transforms do); every result is then the same bits as
    // without reuse.
    void SetProjectionReuse(bool enable) {
        mp_rasterizer->Settle();
        mb_projection_reuse = enable;
        ++mn_projection_epoch;
    }
    bool GetProjectionReuse() const { return mb_projection_reuse; }

    // With more than one thread, triangles drawn through a transform while subdivision or near
    // clipping is on are held back and projected by that many threads at once (the caller among them), then
    // handed to the rasterizer in the order they were drawn: images are the same for any thread count. The
    // transform must then stand calls from several threads at once and give the same result for
    // the same point until the next SetTransform or frame start (the program's panoramic
    // transforms do). Held triangles are handed over before anything that could see or change
    // their outcome: any other drawing, a change of state, matrices, transform or extension, a
    // read of the surface, StopFrame. 1 (the default) projects each triangle as it comes.
    void SetVertexThreads(int threads) {
        mp_rasterizer->Settle();
        mn_vertex_threads = std::clamp(threads, 1, 64);
    }
    int GetVertexThreads() const { return mn_vertex_threads; }

    // Triangles handed to the rasterizer since the frame started (pieces counted one by one).
    size_t GetNumRasterTriangles() const {
        mp_rasterizer->Settle();
        return mn_raster_triangles;
    }

    // out[0..3] = matrix x (x, y, z, w), each row summed left to right in single precision.
    static void _MultiplyMatrix(float* out, const float* matrix, float x, float y, float z, float w);
    // out[0..2] = in[0..2] / in[3]; when in[3] is zero (either sign) the unit direction of
    // in[0..2] instead.
    static void _Dehomogenise(float* out, const float* in) { DivideHomogeneous(out, in); }

protected:
    // Route A: object to raster (triangles, lines, points).
    void _TransformObjectRaster(float* out, float x, float y, float z, float w);
    // Route B: world to raster (clipping planes).
    void _TransformWorldRaster(float* out, float x, float y, float z, float w);
    // Route C: object to window (texture rectangle).
    void _TransformObjectWindow(float* out, float x, float y, float z, float w);

private:
    // Route A before the divide, through the transform (which must be set).
    void _ThroughTransform(float* homogeneous, float x, float y, float z, float w) {
        _RefreshColumns();
        mo_setup.transform = mp_transform;
        IVPanoProjector::ThroughTransform(mo_setup, homogeneous, x, y, z, w);
    }
    // Inline, since route A asks before every point; the rebuild runs once per change.
    void _RefreshColumns() {
        if (mn_columns_generation != mn_transform_generation)
            _RebuildColumns();
    }
    void _RebuildColumns();
    // Brings mo_setup up to date with the device's matrices, transform and extensions.
    void _RefreshSetup();

    // Projects a triangle with route A and computes its raster normal.
    void _ProjectTriangle(const float* a, const float* b, const float* c, const float* normal, float* ra,
                          float* rb, float* rc, float* raster_normal);

    bool _IsSubdividing() const { return mf_subdivision_tolerance > 0.0f && mp_transform != nullptr; }
    bool _IsExtended() const { return mb_near_clipping || _IsSubdividing(); }
    // Triangles are held for the vertex threads only when the transform makes their projection
    // worth it: near clipping alone costs less than holding and replaying.
    bool _IsHolding() const { return mn_vertex_threads > 1 && mp_transform != nullptr && _IsExtended(); }

    // The triangle through the extensions (or, textured, literally) on the calling thread; a
    // colour word to set first when colour is not null.
    void _DrawTriangleHere(const float* a, const float* b, const float* c, const float* normal,
                           const uint32_t* colour);
    void _DrawLineExtended(float x0, float y0, float z0, float x1, float y1, float z1, float depth_offset);
    // Route A of a point, false when near clipping is on and the point lies at or behind the eye.
    bool _ProjectPoint(float* out, float x, float y, float z);
    // Hands pieces to the rasterizer in order.
    void _Replay(const std::vector<IVPanoProjector::Piece>& pieces);

    struct HeldBatch;
    // Holds an extended triangle back for the vertex threads.
    void _HoldTriangle(const float* a, const float* b, const float* c, const float* normal,
                       const uint32_t* colour);
    // The filling batch is full: the other threads start on it while the caller finishes and
    // replays the batch before it, and fills the next.
    void _HandOverFull();
    // Hands over everything held, in order (the rasterizer's producer call).
    void _HandOverHeld();
    // Starts the vertex threads on a batch; its chunks are claimed from the last down.
    void _StartBatch(HeldBatch& batch);
    // Projects the batch's chunks from the first up until none is unclaimed, replaying those
    // done in order meanwhile, then waits for the other threads.
    void _FinishBatch(HeldBatch& batch);
    // Replays the batch's remaining chunks (all projected) and empties it.
    void _ReplayRest(HeldBatch& batch);
    void _ProjectChunk(HeldBatch& batch, size_t chunk, const IVPanoProjector::Setup& setup,
                       IVPanoProjector& projector);
    static void _VertexJob(void* batch, size_t index);

    // Lets the rasterizer ask for the held triangles before it does anything else.
    struct HeldTriangles : IVRasterProducer {
        IVRenderSoftPano* device = nullptr;
        void HandOver() override { device->_HandOverHeld(); }
    };

    MMTransform* mp_transform = nullptr;
    uint64_t mn_columns_generation = UINT64_MAX; // mn_transform_generation of mo_setup.columns
    // Grows with SetTransform, every extension setter and every frame: kept projections and
    // mo_setup are current while theirs is this one.
    uint64_t mn_projection_epoch = 0;
    IVPanoProjector::Setup mo_setup;

    bool mb_near_clipping = false;
    float mf_subdivision_tolerance = 0.0f;
    int mn_subdivision_depth = 0;
    bool mb_projection_reuse = false;
    size_t mn_raster_triangles = 0;

    // Projector 0 works on the calling thread; one more per vertex thread.
    std::vector<std::unique_ptr<IVPanoProjector>> mv_projectors;

    struct HeldTriangle {
        float corner[3][3];
        float normal[3];
        float texcoords[3][2];
        uint32_t colour;
        bool has_colour;
        bool textured;
    };
    // Triangles per chunk, the unit of work of a vertex thread, and chunks per batch: small
    // enough to balance the threads and to keep the pieces in cache, large enough that waking a
    // thread and waiting for a chunk cost little beside projecting it.
    static constexpr size_t CHUNK_TRIANGLES = 256;
    static constexpr size_t BATCH_CHUNKS = 32;
    // How far ahead a projecting thread asks for the kept projections of the triangles to come:
    // about one triangle's work covers a miss to memory.
    static constexpr size_t PREFETCH_TRIANGLES = 2;
    // How far ahead it fetches the held triangles themselves.
    static constexpr size_t FETCH_HELD_TRIANGLES = 8;
    // Held triangles and, once projected, their pieces per chunk. Allocated once and reused.
    // Aligned so that the batch being filled and the one in flight share no cache line.
    struct alignas(64) HeldBatch {
        IVRenderSoftPano* device = nullptr;
        std::vector<HeldTriangle> triangles;
        std::vector<std::vector<IVPanoProjector::Piece>> pieces;
        std::unique_ptr<std::atomic<uint32_t>[]> done; // per chunk, set once its pieces are written
        // The caller takes chunks from the first (so that it can replay its own as it goes), the
        // other threads from the last; each works through neighbouring chunks, whose triangles
        // share points its projector has kept.
        IVClaimRange unclaimed;
        size_t chunks = 0;   // of the projection under way
        size_t replayed = 0; // chunks replayed so far
        bool started = false;
    };
    int mn_vertex_threads = 1;
    HeldTriangles mo_held;
    HeldBatch mo_batches[2];
    int mn_filling = 0;        // the batch that takes held triangles
    bool mb_in_flight = false; // the other batch is being projected
    std::unique_ptr<IVRasterThreadPool> mp_vertex_pool;

    // Texture coordinates taken from DrawTriangleTextured for the one triangle being drawn.
    bool mb_textured_triangle = false;
    float ma_triangle_texcoords[3][2] = {};
};
