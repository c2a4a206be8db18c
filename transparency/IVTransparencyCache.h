#pragma once
// IVTransparencyCache: draws the triangles of several meshes as one transparent pass, back to
// front, in a single draw of one vertex container.
//
// Call order, once per frame: AddSTL for every mesh to be drawn transparently (the device's state
// at that moment, above all its material, is kept per mesh), then RenderStlTransparentPN once.
// The pass reuses the previous pass's triangle records while the same meshes are registered in the
// same order, re-sorts them only when the view direction has turned by at least half the skip-sort
// tolerance (or the record count changed), and redraws the stream filled last while the order
// stands. Clear (or a pass with nothing registered) empties the registrations so that the next
// pass rebuilds.
//
// Ownership: meshes and devices are borrowed. The cache owns its records and its container; a copy
// takes the container over (the source builds a new one in its next pass that draws).
// Threading: none; used from the host's rendering thread only.
#include "host/math/MMPoint3d.h"
#include "host/math/MMTransformMatrix.h"
#include "host/mesh/MStlSurface.h"
#include "host/mesh/MStlTriangle.h"
#include "host/render/IVRender.h"
#include "host/render/IVVertex.h"
#include "module/VantrelExport.h"

#include <boost/ptr_container/ptr_vector.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

class MStlBase;
struct MStlPoint;
class IVVertexContainerTransparency;

class VANTREL_API IVTransparencyCache {
public:
    // One registration made by AddSTL.
    struct TStlReference {
        MStlBase* mp_stl = nullptr; // the key of every lookup, compared by address
        IVRender::Memento mo_render_memento;
        float ma_eye[3] = {0.0f, 0.0f, 0.0f};      // mesh coordinates, internal units, as given
        float ma_view_dir[3] = {0.0f, 0.0f, 0.0f}; // mesh coordinates, unit length unless tiny
        MMTransformMatrix mo_matrix;               // the caller's transform, first three rows x IE
    };

    // One prepared triangle. The three vertices are handed to the stream by reference, so they must
    // stay three consecutive IVVertexPNC. A record made by the cache starts all zero.
    struct IVVBTranspTriangle {
        const MStlTriangle* mp_triangle;
        float mf_depth;
        IVVertexPNC ma_vertices[3];
    };
    static_assert(std::is_standard_layout_v<IVVBTranspTriangle>);
    static_assert(sizeof(IVVBTranspTriangle::ma_vertices) == 3 * sizeof(IVVertexPNC));
    static_assert(offsetof(IVVBTranspTriangle, ma_vertices) + 3 * sizeof(IVVertexPNC) <=
                  sizeof(IVVBTranspTriangle));

    explicit IVTransparencyCache(IVRender* render);
    // Takes the container from `other`, which keeps none; duplicates everything else.
    IVTransparencyCache(IVTransparencyCache& other);
    // As the copy; assigning a cache to itself leaves it unchanged.
    IVTransparencyCache& operator=(IVTransparencyCache& other);
    ~IVTransparencyCache();

    // Registers a mesh for the next pass: `eye` and `view_direction` (three floats each) are in the
    // mesh's own coordinates and internal units. A null mesh, eye or direction registers nothing.
    void AddSTL(MStlBase* stl, float* eye, float* view_direction, const MMTransformMatrix& matrix);
    // Forgets every registration and discards the filled stream; the records stay until the next
    // rebuild.
    void Clear();
    // Takes effect at the next rebuild of the records.
    void SetGouraudShadingEnabled(bool enable);

    // Tolerance in degrees: a sort is skipped while the direction has turned by less than half of it.
    void SetSkipSortTolerance(float angle);
    // Makes the next pass with records sort.
    void ForceReSort();

    // The whole pass on `render`. A null device prepares and sorts but draws nothing.
    void RenderStlTransparentPN(IVRender* render);

    uint64_t GetNumTriangle() const;
    // Unchecked: keep `index` below GetNumTriangle(). Counted in draw order once sorted.
    const MStlBase* GetStl(uint64_t index) const;
    const IVVBTranspTriangle& GetTriangle(uint64_t index) const;
    // The memento of the first current registration of `stl`; the incoming list is not searched.
    const IVRender::Memento* FindMemento(const MStlBase* stl) const;

private:
    friend class IVVertexContainerTransparency;
    friend class IVTransparencyCacheTest;

    // The mesh a triangle belongs to, through its owner link; null without an owner.
    static const MStlBase* _GetOwnerStl(const MStlTriangle* triangle) {
        return triangle == nullptr || triangle->mp_owner == nullptr ? nullptr : triangle->mp_owner->mp_stl;
    }
    // The mesh of the record at `position`: as the sort of this pass found it when there was one
    // (the same answer as the owner link, without touching the scattered triangle again), else
    // through the owner link. Only registered meshes are told apart; others read as null, which
    // gives the same colours.
    const MStlBase* _GetRecordStl(size_t position) const {
        if (mb_position_stls_valid) {
            const uint16_t index = mv_position_facts[position].mn_stl;
            return index < mv_stls.size() ? mv_stls[index].mp_stl : nullptr;
        }
        return _GetOwnerStl(mv_triangles[position].mp_triangle);
    }
    const TStlReference* _FindSTL(const MStlBase* stl) const;
    void _PrepareTriangles();
    void _CalculateObjectWorldTransformForTriangle(const TStlReference& stl, IVVBTranspTriangle& triangle);
    void _CalculateGouraudNormal(MMPoint3d<float>& normal, MStlPoint* point, const MStlTriangle& triangle);

    bool _IsSorted();
    void _Sort();
    // Orders the first mn_num_triangles records by their mf_depth: greatest first, equal depths in
    // their previous relative order, NaN depths last. Moves record pointers only.
    void _SortByDepth();
    // Orders the records by mv_sort_keys (depth key above visit index, laid out in current order)
    // and moves the record pointers accordingly; with `facts`, also moves mv_visit_facts into
    // mv_position_facts.
    void _SortByKeys(bool facts);
    // Makes the visit order the current order; without `read_triangles`, mv_visit_triangles
    // already holds the records' triangles in that order.
    void _ResetVisitOrder(bool read_triangles);
    // Stores in the records the depths of the last sort that the stream fill has not stored.
    void _StorePendingDepths();
    static bool IVVBTranspTriangleCompare(const IVVBTranspTriangle& a, const IVVBTranspTriangle& b);

    std::unique_ptr<IVVertexContainerTransparency> mp_container; // moves on copy
    std::vector<TStlReference> mv_stls;                          // registrations of the last prepared pass
    std::vector<TStlReference> mv_new_stls;                      // registrations since then
    IVRender* mp_render;                                         // mementos come from here
    int32_t mn_num_triangles = 0;
    int64_t mn_sorted_num_triangles = 0; // record count at the last sort decision; 0: sort next pass
    float ma_sort_view_dir[3] = {0.0f, 0.0f, 0.0f};
    float mf_skip_sort_cos = 1.0f;
    bool mb_gouraud_shading = false;
    boost::ptr_vector<IVVBTranspTriangle> mv_triangles;

    // The depth pass visits the records in their build order, in which triangles and points lie
    // close together in memory, instead of the scattered draw order, and reads the triangles
    // without touching the records. mv_visit_records holds the records in that order,
    // mv_visit_triangles their triangles and mv_visit_position each one's current position; all
    // are reset at a rebuild, and are empty (reset at the next sort) in a copy.
    std::vector<void*> mv_visit_records;
    std::vector<const MStlTriangle*> mv_visit_triangles;
    std::vector<uint32_t> mv_visit_position;
    // What the depth pass found per visit index and, after the sort, per position: the
    // registration index of the record's mesh (the largest value: none) and the depth. The stream
    // fill of the same pass uses the first instead of the triangles' owner links, and stores the
    // depths in the records while it reads them anyway (mb_depths_pending until then; the pass
    // stores what is left at its end). Both last only until the end of the pass; the indices are
    // used only with fewer registrations than the largest value.
    struct TSortFacts {
        float mf_depth;
        uint16_t mn_stl;
    };
    std::vector<TSortFacts> mv_visit_facts;
    std::vector<TSortFacts> mv_position_facts;
    bool mb_position_stls_valid = false;
    bool mb_depths_pending = false;
    // Sort scratch, kept between passes so that a sort does not allocate: (depth key << 32 | visit
    // index) per current position, and a second buffer for the radix passes.
    std::vector<uint64_t> mv_sort_keys;
    std::vector<uint64_t> mv_sort_keys_scratch;
    std::vector<uint32_t> mv_sort_histograms;
};
