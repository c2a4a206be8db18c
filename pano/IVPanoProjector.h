#pragma once
// IVPanoProjector: the panoramic device's extended primitive path (near clipping, subdivision of
// edges that the point transform bends, reuse of projections) as an object of its own, so that
// several of them can work on one device's triangles at once. It reads the device's setup, keeps
// its own table of projections, and writes what is to be drawn as raster pieces into a list,
// which the device replays in order; on the rasterizer's own thread it may instead hand them
// straight to the rasterizer (SetDirect, and no list).
//
// Call order: the device fills a Setup, then calls Triangle, Line or Point with it; the setup and
// the matrices it points to stay unchanged during the call. The epoch and matrix generation in
// the setup tell the projector when its kept projections have gone stale.
//
// Units: as the device's (object coordinates in, raster pixels and depth out; see
// IVRenderSoftPano).
//
// Threading: one projector per thread. Projectors of one device may run at once when the
// transform stands concurrent calls; the setup is only read.
#include "host/math/MMTransform.h"
#include "pano/IVPanoColumns.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class IVSoftRasterizer;

// Aligned to a cache line: projectors of one device are allocated side by side, and each
// thread writes its own at every triangle.
class alignas(64) IVPanoProjector {
public:
    struct Setup {
        // Object-to-world, world-to-eye, eye-to-raster and object-to-raster (route A without a
        // transform), transposed (columns) for SSE; copies, so that a thread that projects
        // reads no line of the device's.
        static constexpr int OBJECT_WORLD = 0, WORLD_EYE = 1, EYE_RASTER = 2, OBJECT_RASTER = 3;
        alignas(16) float columns[4][16] = {};
        MMTransform* transform = nullptr;
        bool near_clipping = false;
        bool reuse = false;
        float tolerance = 0.0f; // subdivision off at 0
        int depth = 0;
        uint64_t matrices = UINT64_MAX; // generation of the matrices above
        uint64_t epoch = UINT64_MAX;    // changes with the transform, the extensions and each frame
    };

    // What the device hands to the rasterizer, in order: a colour word to set, or a primitive.
    struct Piece {
        enum class EKind : uint8_t { eColour, eTriangle, eTextured, eLine };
        EKind kind;
        uint32_t colour;     // eColour
        float corner[3][3];  // raster; a line uses the first two
        float normal[3];     // triangles
        float texture[3][3]; // eTextured: u, v and clip w per corner
    };
    static_assert(sizeof(Piece) == 92, "pieces stay small: a chunk of triangles yields hundreds");

    IVPanoProjector();
    ~IVPanoProjector();
    IVPanoProjector(const IVPanoProjector&) = delete;
    IVPanoProjector& operator=(const IVPanoProjector&) = delete;

    // Route A before the divide, through the transform (which must be set); inline, since route A
    // asks for it at every point.
    static void ThroughTransform(const Setup& setup, float* homogeneous, float x, float y, float z, float w) {
        alignas(16) float world[4];
        _mm_store_ps(world, IVPanoColumns::MultiplyColumns(setup.columns[Setup::OBJECT_WORLD], _mm_set1_ps(x),
                                                           _mm_set1_ps(y), _mm_set1_ps(z), _mm_set1_ps(w)));
        float moved[3];
        setup.transform->Transform(moved, world[0], world[1], world[2], false); // its result is not looked at
        const __m128 eye =
            IVPanoColumns::MultiplyColumns(setup.columns[Setup::WORLD_EYE], _mm_set1_ps(moved[0]),
                                           _mm_set1_ps(moved[1]), _mm_set1_ps(moved[2]), _mm_set1_ps(1.0f));
        _mm_storeu_ps(homogeneous, IVPanoColumns::MultiplyColumns(
                                       setup.columns[Setup::EYE_RASTER], IVPanoColumns::Broadcast<0>(eye),
                                       IVPanoColumns::Broadcast<1>(eye), IVPanoColumns::Broadcast<2>(eye),
                                       IVPanoColumns::Broadcast<3>(eye)));
    }

    // Where pieces go when a call is given no list: straight to `rasterizer`, each triangle
    // counted in `raster_triangles`. Only from the rasterizer's thread.
    void SetDirect(IVSoftRasterizer* rasterizer, size_t* raster_triangles) {
        mp_rasterizer = rasterizer;
        mp_raster_triangles = raster_triangles;
    }

    // Appends the pieces of one triangle (texcoords: u, v per corner, or null when untextured).
    void Triangle(const Setup& setup, const float* a, const float* b, const float* c, const float* normal,
                  const float (*texcoords)[2], std::vector<Piece>* out);
    // The textured triangle without extensions: one piece lit by its own projected corners.
    void TriangleLiteral(const Setup& setup, const float* a, const float* b, const float* c,
                         const float* normal, const float (*texcoords)[2], std::vector<Piece>* out);
    // Appends the pieces of one line; depth_offset is added to the raster depth of each.
    void Line(const Setup& setup, const float* from, const float* to, float depth_offset,
              std::vector<Piece>* out);
    // Route A of a point; false when near clipping is on and it lies at or behind the eye.
    bool Point(const Setup& setup, float* out, float x, float y, float z);

    // Asks for the kept projections that a coming Triangle call with these corners looks up
    // first (its corners and edge middles), so that the lookups need not wait on memory: they
    // land at random in a table the size of a core's second-level cache, which the pieces and
    // the rasterizer's work stream through. A hint only; it changes nothing.
    void PrefetchTriangle(const float* a, const float* b, const float* c) const;

private:
    // A corner on its way: object position, texture coordinates, and route A's result before
    // (homogeneous) and after the divide.
    struct Corner {
        float object[3];
        float texture[2];
        float homogeneous[4];
        float raster[3];
    };

    // Route A with w = 1 for corner.object, keeping the homogeneous point; reused when allowed.
    void _Project(Corner& corner);
    // _Project for up to MAX_PROJECTED_TOGETHER corners at once.
    static constexpr int MAX_PROJECTED_TOGETHER = 6;
    void _ProjectAll(Corner* const* corners, int count);
    // Route A through the transform for up to MAX_PROJECTED_TOGETHER corners, whose points the
    // transform gets in one call (MMTransform::TransformPoints).
    void _ProjectThroughTransform(Corner* const* corners, int count);
    void _ForgetProjections();
    // The middle of two object points: the one arithmetic every split and every prefetch uses, so
    // that a prefetch asks for the entry the lookup will find.
    static void _MiddlePoint(const float* a, const float* b, float* middle);
    // The corner halfway between a and b in object space (and texture space), projected.
    void _Middle(const Corner& a, const Corner& b, Corner& middle);
    static void _MiddleUnprojected(const Corner& a, const Corner& b, Corner& middle);
    // The same from the points and texture coordinates themselves.
    static void _MiddleUnprojected(const float* a, const float* b, const float* texture_a,
                                   const float* texture_b, Corner& middle);
    // Squared distance in raster x, y between the projected middle of an edge and the middle of
    // its projected ends.
    static double _BendSquared(const Corner& a, const Corner& b, const Corner& middle);
    // Narrows the edge a -> b to the spot where its projection jumps; true when the jump stays
    // wider than the tolerance allows, with low and high the last corners on a's and b's side.
    bool _FindJump(const Corner& a, const Corner& b, Corner& low, Corner& high);

    bool _IsSubdividing() const { return mp_setup->tolerance > 0.0f && mp_setup->transform != nullptr; }
    // depths[i]: how often edge corners[i] -> corners[(i + 1) % 3] was halved (new inner edges
    // count as deeper than any edge of their parent). Every decision about an edge depends only
    // on its ends and its depth, so triangles that share an edge split it alike.
    // raster_normal: the one normal that lights every piece of the source triangle.
    // projected_middles: the three edge middles, projected already (or null).
    void _SubdivideTriangle(const Corner* corners, const int* depths, const float* raster_normal,
                            int generation, const Corner* projected_middles = nullptr);
    void _EmitTriangle(const Corner& a, const Corner& b, const Corner& c, const float* raster_normal);
    // Appends to mp_out.
    void _Append(const Piece& piece);
    void _EmitPiece(const float* ra, const float* rb, const float* rc, const float* ta, const float* tb,
                    const float* tc, const float* raster_normal);
    void _SubdivideLine(const Corner& a, const Corner& b, int depth, float depth_offset, int generation);
    void _EmitLine(const Corner& a, const Corner& b, float depth_offset);

    // Set for the duration of a call.
    const Setup* mp_setup = nullptr;
    std::vector<Piece>* mp_out = nullptr; // null: straight to mp_rasterizer
    IVSoftRasterizer* mp_rasterizer = nullptr;
    size_t* mp_raster_triangles = nullptr;
    bool mb_textured = false;

    // Kept projections: a direct-mapped table indexed by a hash of the object point. An entry is
    // valid while its generation is the current one; 2^15 entries of 32 bytes about fill a core's
    // second-level cache, and hold a few rows of a mesh's corners and edge middles, or in a
    // depth-sorted frame most of a depth band's. The threads ask for an entry a triangle or two
    // before they look it up (PrefetchTriangle), so that a table this large costs little waiting.
    // The raster point is divided again on every hit: the division costs less than the cache
    // misses that a larger entry brings.
    struct alignas(32) KeptProjection {
        float object[3];
        uint32_t generation;
        float homogeneous[4];
    };
    static_assert(sizeof(KeptProjection) == 32, "two entries to a cache line, none straddling one");
    static constexpr int KEPT_PROJECTION_BITS = 15;
    // The entry of an object point; its key is the point's bits.
    static size_t _KeptIndex(const float* object);
    std::unique_ptr<KeptProjection[]> mp_kept_projections;
    uint32_t mn_kept_generation = 0;
    uint64_t mn_kept_matrices = UINT64_MAX; // the setup's matrices and epoch the entries were made under
    uint64_t mn_kept_epoch = UINT64_MAX;
};
