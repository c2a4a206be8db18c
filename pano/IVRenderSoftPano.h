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
// while the device draws. Threading: none of its own; one rendering thread per device, and the
// transform must stand calls from that thread.
//
// Extensions (all off after construction, so the device draws literally as above): near
// clipping (SetNearClipping), subdivision of primitives that the transform bends
// (SetSubdivision) and a count of rasterized triangles (GetNumRasterTriangles).
#include "host/math/MMTransform.h"
#include "host/render/soft/IVRenderSoft.h"
#include "module/VantrelExport.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>

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
    void SetNearClipping(bool enable) { mb_near_clipping = enable; }
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
        mf_subdivision_tolerance = tolerance_pixels > 0.0f ? tolerance_pixels : 0.0f;
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
    void SetProjectionReuse(bool enable) { mb_projection_reuse = enable; }
    bool GetProjectionReuse() const { return mb_projection_reuse; }

    // Triangles handed to the rasterizer since the frame started (pieces counted one by one).
    size_t GetNumRasterTriangles() const { return mn_raster_triangles; }

    // out[0..3] = matrix x (x, y, z, w), each row summed left to right in single precision.
    static void _MultiplyMatrix(float* out, const float* matrix, float x, float y, float z, float w);
    // out[0..2] = in[0..2] / in[3]; when in[3] is zero (either sign) the unit direction of
    // in[0..2] instead.
    static void _Dehomogenise(float* out, const float* in) { _DivideHomogeneous(out, in); }

protected:
    // Route A: object to raster (triangles, lines, points).
    void _TransformObjectRaster(float* out, float x, float y, float z, float w);
    // Route B: world to raster (clipping planes).
    void _TransformWorldRaster(float* out, float x, float y, float z, float w);
    // Route C: object to window (texture rectangle).
    void _TransformObjectWindow(float* out, float x, float y, float z, float w);

private:
    // Route A before the divide, through the transform (which must be set): the homogeneous
    // raster point, computed with the matrices' columns kept in ma_columns.
    void _ThroughTransform(float* homogeneous, float x, float y, float z, float w);

    // A primitive's corner on its way through the extensions: object position, texture
    // coordinates, and route A's result before (homogeneous) and after the divide.
    struct Corner {
        float object[3];
        float texture[2];
        float homogeneous[4];
        float raster[3];
    };

    // Projects a triangle with route A and computes its raster normal.
    void _ProjectTriangle(const float* a, const float* b, const float* c, const float* normal, float* ra,
                          float* rb, float* rc, float* raster_normal);

    bool _IsSubdividing() const { return mf_subdivision_tolerance > 0.0f && mp_transform != nullptr; }
    bool _IsExtended() const { return mb_near_clipping || _IsSubdividing(); }
    // Route A with w = 1 for corner.object, keeping the homogeneous point; reused when allowed.
    void _Project(Corner& corner);
    // Route A through the transform, always computed.
    void _ProjectThroughTransform(Corner& corner);
    // Drops every kept projection.
    void _ForgetProjections();
    // The corner halfway between a and b in object space (and texture space), projected.
    void _Middle(const Corner& a, const Corner& b, Corner& middle);
    // Distance in raster x, y between the projected middle of an edge and the middle of its
    // projected ends.
    static double _Bend(const Corner& a, const Corner& b, const Corner& middle);
    // Narrows the edge a -> b to the spot where its projection jumps; true when the jump stays
    // wider than the tolerance allows, with low and high the last corners on a's and b's side.
    bool _FindJump(const Corner& a, const Corner& b, Corner& low, Corner& high);

    void _DrawTriangleExtended(const float* a, const float* b, const float* c, const float* normal);
    // depths[i]: how often edge corners[i] -> corners[(i + 1) % 3] was halved (new inner edges
    // count as deeper than any edge of their parent). Every decision about an edge depends only
    // on its ends and its depth, so triangles that share an edge split it alike.
    // raster_normal: the one normal that lights every piece of the source triangle.
    void _SubdivideTriangle(const Corner* corners, const int* depths, const float* raster_normal,
                            int generation);
    void _EmitTriangle(const Corner& a, const Corner& b, const Corner& c, const float* raster_normal);
    // ta, tb, tc: u, v and clip w per corner, used while the triangle is textured.
    void _RasterPiece(const float* ra, const float* rb, const float* rc, const float* ta, const float* tb,
                      const float* tc, const float* raster_normal);
    // The colour-word triangle without extensions, textured while texture coordinates are held.
    void _DrawTriangleLiteral(const float* a, const float* b, const float* c, const float* normal);

    void _DrawLineExtended(float x0, float y0, float z0, float x1, float y1, float z1, float depth_offset);
    void _SubdivideLine(const Corner& a, const Corner& b, int depth, float depth_offset, int generation);
    void _EmitLine(const Corner& a, const Corner& b, float depth_offset);
    // Route A of a point, false when near clipping is on and the point lies at or behind the eye.
    bool _ProjectPoint(float* out, float x, float y, float z);

    MMTransform* mp_transform = nullptr;
    // Object-to-world, world-to-eye and eye-to-raster transposed, as of mn_columns_generation.
    alignas(16) float ma_columns[3][16] = {};
    uint64_t mn_columns_generation = UINT64_MAX;

    bool mb_near_clipping = false;
    float mf_subdivision_tolerance = 0.0f;
    int mn_subdivision_depth = 0;
    size_t mn_raster_triangles = 0;
    // Kept projections: a direct-mapped table indexed by a hash of the object point. An entry is
    // valid while its generation is the current one; 2^14 entries of 48 bytes stay in a core's
    // second-level cache, and hold a few rows of a mesh's corners and edge middles.
    struct KeptProjection {
        float object[3];
        uint32_t generation;
        float homogeneous[4];
        float raster[3];
        uint32_t unused;
    };
    static_assert(sizeof(KeptProjection) == 48, "entries do not straddle cache lines in pairs");
    static constexpr int KEPT_PROJECTION_BITS = 14;
    bool mb_projection_reuse = false;
    std::unique_ptr<KeptProjection[]> mp_kept_projections;
    uint32_t mn_kept_generation = 0;
    uint64_t mn_kept_matrices = 0; // mn_transform_generation the entries were made under

    // Texture coordinates taken from DrawTriangleTextured for the one triangle being drawn.
    bool mb_textured_triangle = false;
    float ma_triangle_texcoords[3][2] = {};
};
