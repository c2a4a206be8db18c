#pragma once
// IVTransparencyCache: draws the triangles of several meshes as one transparent pass, back to
// front, in a single draw of one vertex container.
//
// Call order, once per frame: AddSTL for every mesh to be drawn transparently (the device's state
// at that moment, above all its material's diffuse colour and alpha, is kept per mesh), then
// RenderStlTransparentPN once. A pass with nothing registered empties the cache and draws nothing.
//
// AddSTL's parameters, for a mesh whose integer point coordinates are in internal units
// (MUnit::GetIE() of them per model unit):
//   stl      - borrowed; must stay alive and unchanged in shape until Clear() or the end of the
//              last pass that uses it (see reuse below).
//   eye      - three floats: the viewpoint in the mesh's own coordinates, in internal units.
//   view_dir - three floats: the view direction in the same frame; brought to unit length.
//   matrix   - maps the mesh's own coordinates (internal units, as its points are) to world
//              coordinates in MODEL units. The cache multiplies its linear part and translation
//              by IE, so that the records hold world positions in internal units, and the pass
//              draws them with an object-to-world scale of 1 / IE on the constructor's device.
//              The identity therefore makes the scene IE times too large: a mesh already placed
//              in the world in internal units needs a uniform scale of 1 / IE.
//
// Reuse contract: the records of the previous pass (positions, normals, the triangles they point
// to) are reused while the same mesh addresses come in the same order. Call Clear() after
// destroying, rebuilding or editing a registered mesh; moved points are otherwise drawn where they
// were, and a destroyed mesh leaves records that point into freed memory. Builds without NDEBUG
// check each reused mesh's first triangle and triangle count and abort with a message when the
// mesh was rebuilt behind the cache's back.
//
// Sorting: by default by the depth of each triangle's centroid along its mesh's view direction,
// re-sorted when the direction has turned by at least half the skip-sort tolerance (or the record
// count changed). SetSortKey(eSortEyeDistance) sorts by the distance of each centroid from the
// eye instead, measured in world space (centroid and eye both through the mesh's matrix, internal
// units); that sort is skipped while the record count is unchanged and the eye has moved, since
// the last sort, by less than sin(tolerance / 2) times the distance of the nearest triangle then:
// no triangle then sees the eye turn by half the tolerance or more. Equal depths keep the order in
// which the records were built (meshes in registration order, each in its walk order; a copy's in
// the order it was copied in), so a view gives the same picture whatever was drawn before it. Large
// sorts and rebuilds use up to SetSortThreads() threads when a client opts in (1, the default,
// starts no thread; 0 takes as many as the machine has cores, at most 2); records, depths and order
// never depend on it.
//
// Ownership: meshes and devices are borrowed. The cache owns its records and its container; a copy
// takes the container over (the source builds a new one in its next pass that draws). The records
// live in blocks of the cache's own (one per rebuild that grows), still owned one by one through
// the pointer vector.
// Threading: used from one thread at a time. With SetSortThreads other than 1, a pass of 65,536
// records or more runs helper threads, which end before RenderStlTransparentPN returns.
#include "host/math/MMPoint3d.h"
#include "host/math/MMTransformMatrix.h"
#include "host/mesh/MStlSurface.h"
#include "host/mesh/MStlTriangle.h"
#include "host/render/IVRender.h"
#include "host/render/IVVertex.h"
#include "module/VantrelExport.h"
#include "transparency/IVHugePageAllocator.h"

#include <boost/ptr_container/ptr_vector.hpp>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

class MStlBase;
struct MStlPoint;
class IVVertexContainerTransparency;
class IVTranspRecordSlabs;

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

        // Single records come from the heap; the cache's own come from its blocks, and deleting
        // one of those frees nothing (its block goes with the cache).
        static void* operator new(std::size_t size);
        static void operator delete(void* pointer);
    };
    static_assert(std::is_standard_layout_v<IVVBTranspTriangle>);
    static_assert(sizeof(IVVBTranspTriangle::ma_vertices) == 3 * sizeof(IVVertexPNC));
    static_assert(offsetof(IVVBTranspTriangle, ma_vertices) + 3 * sizeof(IVVertexPNC) <=
                  sizeof(IVVBTranspTriangle));

    // What the records are sorted by; see the opening comment.
    enum ESortKey { eSortDirectionDepth = 0, eSortEyeDistance = 1 };

    explicit IVTransparencyCache(IVRender* render);
    // Takes the container from `other`, which keeps none; duplicates everything else.
    IVTransparencyCache(IVTransparencyCache& other);
    // As the copy; assigning a cache to itself leaves it unchanged.
    IVTransparencyCache& operator=(IVTransparencyCache& other);
    ~IVTransparencyCache();

    // Registers a mesh for the next pass (parameters: see the opening comment). A null mesh, eye
    // or direction registers nothing.
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
    // Changing the key makes the next pass sort.
    void SetSortKey(ESortKey key) {
        if (key != mn_sort_key)
            ForceReSort();
        mn_sort_key = key;
    }
    ESortKey GetSortKey() const { return mn_sort_key; }
    // Most threads a pass may use: 1 (the default) starts none, 0 takes the machine's cores (at
    // most 2). The order and the depths never depend on it.
    void SetSortThreads(unsigned threads) { mn_sort_threads = threads; }

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
    // The visit range, and so the registration, of the record at `position` while the sort of this
    // pass has checked the ranges (mb_position_stls_valid): the same answer as the owner link,
    // without touching the scattered triangle again.
    size_t _GetRecordRange(size_t position) const;
    // The depth the sort of this pass found for the record at `position`.
    float _GetSortedDepth(size_t position) const;
    const TStlReference* _FindSTL(const MStlBase* stl) const;
    void _PrepareTriangles();
    void _CalculateObjectWorldTransformForTriangle(const TStlReference& stl, IVVBTranspTriangle& triangle);
    void _CalculateGouraudNormal(MMPoint3d<float>& normal, MStlPoint* point, const MStlTriangle& triangle);
    // Replaces the records by duplicates of `records`, in the cache's own blocks.
    void _CloneRecords(const boost::ptr_vector<IVVBTranspTriangle>& records);
    // Resizes the records to `count` as the pointer vector would: new ones zeroed, surplus ones
    // dropped, the rest left as they are.
    void _ResizeRecords(size_t count);
    // Drops every record; the blocks go with them.
    void _ReleaseRecords();
    // Debug builds: aborts when a reused mesh was rebuilt since its records were prepared.
    void _CheckReusedMeshes() const;

    bool _IsSorted();
    void _Sort();
    // The smallest and the largest depth key written, which bound the radix passes.
    struct TKeyRange {
        uint32_t mn_lowest = UINT32_MAX;
        uint32_t mn_highest = 0;
        void Add(uint32_t key) {
            mn_lowest = key < mn_lowest ? key : mn_lowest;
            mn_highest = key > mn_highest ? key : mn_highest;
        }
        void Add(const TKeyRange& other) {
            mn_lowest = other.mn_lowest < mn_lowest ? other.mn_lowest : mn_lowest;
            mn_highest = other.mn_highest > mn_highest ? other.mn_highest : mn_highest;
        }
    };
    // Depth (or distance) of every record into the sort keys, in visit order on the sort threads;
    // when a record's mesh has no registration, in current order instead. Sets
    // mb_position_stls_valid when every record's mesh was its visit range's.
    TKeyRange _ComputeDepths(size_t count);
    TKeyRange _ComputeDepthsInCurrentOrder(size_t count);
    // Orders the first mn_num_triangles records by their mf_depth: greatest first, equal depths in
    // their previous relative order, NaN depths last. Moves record pointers only.
    void _SortByDepth();
    // Stable sort of mv_sort_keys by their depth half, all within `range`; then the record
    // pointers follow.
    void _SortByKeys(const TKeyRange& range);
    // Makes the current order the visit order; without `read_triangles`, mv_visit_triangles
    // already holds the records' triangles in that order (the rebuild's walk).
    void _ResetVisitOrder(bool read_triangles);
    IVVBTranspTriangle* _VisitRecord(size_t visit) const;
    // Stores in the records the depths of the last sort that the stream fill has not stored.
    void _StorePendingDepths();
    // Threads for a pass over `count` records.
    unsigned _ThreadCount(size_t count) const;
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

    ESortKey mn_sort_key = eSortDirectionDepth;
    unsigned mn_sort_threads = 1;
    // Distance key: the world eye and the nearest record's distance at the last sort decision.
    double ma_sort_eye[3] = {0.0, 0.0, 0.0};
    double md_sort_near_distance = 0.0;

    // The cache's record blocks.
    std::unique_ptr<IVTranspRecordSlabs> mp_slabs;

    // The depth pass visits the records in their build order, in which triangles and points lie
    // close together in memory, instead of the scattered draw order, and reads the triangles
    // without touching the records. Record of visit index v: mp_visit_base + v while the records
    // lie in that order in one block (mv_visit_records empty), else mv_visit_records[v].
    // mv_visit_ends holds, per registration, the end of its visit range while the visit order is
    // the build order (empty otherwise). All are reset at a rebuild; a copy resets them at its
    // next sort.
    IVVBTranspTriangle* mp_visit_base = nullptr;
    std::vector<void*, IVHugePageAllocator<void*>> mv_visit_records;
    std::vector<const MStlTriangle*, IVHugePageAllocator<const MStlTriangle*>> mv_visit_triangles;
    std::vector<uint32_t> mv_visit_ends;
    bool mb_visit_valid = false;
    // Per current position: (descending depth key << 32) | visit index. The depth pass writes the
    // keys of the next sort into mv_sort_keys_scratch in visit order and swaps the two, so the
    // current order stays for the fallback until every depth is known; the scratch buffer is
    // then the radix passes' second one.
    std::vector<uint64_t, IVHugePageAllocator<uint64_t>> mv_sort_keys;
    std::vector<uint64_t, IVHugePageAllocator<uint64_t>> mv_sort_keys_scratch;
    std::vector<uint32_t> mv_sort_histograms;
    // Depths that the key does not tell exactly (NaN, -0), by visit index, and per thread while
    // the depth pass runs.
    std::vector<std::pair<uint32_t, float>> mv_special_depths;
    std::vector<std::vector<std::pair<uint32_t, float>>> mv_special_depths_parts;
    // Per registration: the first registration of the same mesh (the one every lookup finds),
    // and what the depth pass measures with: the eye and direction widened to double, and for
    // the distance key the mesh's matrix and the eye through it.
    std::vector<const TStlReference*> mv_visit_range_references;
    // Per registration, the colour bytes the stream fill writes while the ranges are checked
    // (sized by the sort, so that the fill does not allocate).
    std::vector<std::array<uint8_t, 4>> mv_range_colours;
    struct TDepthFrame {
        double ma_eye[3];
        double ma_direction[3];
        double ma_matrix[16];
        double ma_world_eye[3];
    };
    std::vector<TDepthFrame> mv_depth_frames;
    // Set by the sort for the rest of its pass: the stream fill may take meshes from the visit
    // ranges and depths from the keys (it stores them while it reads the records anyway;
    // mb_depths_pending until then, and the pass stores what is left at its end).
    bool mb_position_stls_valid = false;
    bool mb_depths_pending = false;

    // Per registration of the last rebuild, for the debug check of reused meshes: the first
    // triangle the walk yielded and the mesh's triangle count as its properties said.
    struct TMeshFingerprint {
        const MStlTriangle* mp_first_triangle;
        int32_t mn_num_triangles;
        bool mb_count_valid;
    };
    std::vector<TMeshFingerprint> mv_fingerprints;
};
