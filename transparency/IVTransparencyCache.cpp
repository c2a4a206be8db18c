#include "transparency/IVTransparencyCache.h"

#include "containers/IVStlTriangleIterator.h"
#include "host/base/MUnit.h"
#include "host/mesh/MStlBase.h"
#include "transparency/IVTranspParallel.h"
#include "transparency/IVTranspRecordSlabs.h"
#include "transparency/IVVertexContainerTransparency.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>

namespace {

// Sizes a large scratch buffer, dropping its contents: a buffer that grows is allocated once, at
// the size asked for.
template <class Vector> void SizeBuffer(Vector& buffer, size_t count) {
    if (buffer.capacity() < count) {
        Vector grown;
        grown.reserve(count);
        buffer.swap(grown);
    }
    buffer.resize(count);
}

// Shorter normals are left as they are instead of being blown up into noise.
constexpr double MIN_NORMAL_LENGTH = 1.4901161193847656e-08; // 2^-26

void Normalise(float* vector) {
    const double x = vector[0];
    const double y = vector[1];
    const double z = vector[2];
    const double length = std::sqrt(x * x + y * y + z * z);
    if (length < MIN_NORMAL_LENGTH)
        return;
    vector[0] = static_cast<float>(x / length);
    vector[1] = static_cast<float>(y / length);
    vector[2] = static_cast<float>(z / length);
}

// The mesh's triangle count, brought up to date the way the mesh library expects of its callers.
int64_t CountTriangles(const MStlBase& stl) {
    const MStlBaseProperties& properties = stl.mo_properties;
    if (properties.mp_validity != nullptr && properties.mp_validity->mn_state == 0)
        properties.mp_validity->_SpreadInvalidity();
    if (!properties.mb_num_triangles_valid)
        properties._CalculateNumTriangles();
    return properties.mn_num_triangles;
}

// Switches a compact store's neighbour lists on for a rebuild and restores the previous state,
// also when the rebuild throws.
class NeighbourInfoScope {
public:
    NeighbourInfoScope(const MStlCompact* compact, bool enable)
        : mp_compact(enable ? compact : nullptr),
          mb_was_on(mp_compact != nullptr && mp_compact->HasNeighbourInfo()) {
        if (mp_compact != nullptr)
            mp_compact->EnableNeighbourInfo(true);
    }
    NeighbourInfoScope(const NeighbourInfoScope&) = delete;
    NeighbourInfoScope& operator=(const NeighbourInfoScope&) = delete;
    ~NeighbourInfoScope() {
        if (mp_compact != nullptr && !mb_was_on)
            mp_compact->EnableNeighbourInfo(false);
    }

private:
    const MStlCompact* mp_compact;
    bool mb_was_on;
};

} // namespace

void* IVTransparencyCache::IVVBTranspTriangle::operator new(std::size_t size) {
    return ::operator new(size);
}

void IVTransparencyCache::IVVBTranspTriangle::operator delete(void* pointer) {
    if (pointer == nullptr || IVTranspRecordSlabs::IsSlabRecord(pointer))
        return;
    ::operator delete(pointer);
}

IVTransparencyCache::IVTransparencyCache(IVRender* render)
    : mp_render(render), mp_slabs(std::make_unique<IVTranspRecordSlabs>(sizeof(IVVBTranspTriangle))) {}

IVTransparencyCache::IVTransparencyCache(IVTransparencyCache& other)
    : mp_container(std::move(other.mp_container)), mv_stls(other.mv_stls), mv_new_stls(other.mv_new_stls),
      mp_render(other.mp_render), mn_num_triangles(other.mn_num_triangles),
      mn_sorted_num_triangles(other.mn_sorted_num_triangles), ma_sort_view_dir{other.ma_sort_view_dir[0],
                                                                               other.ma_sort_view_dir[1],
                                                                               other.ma_sort_view_dir[2]},
      mf_skip_sort_cos(other.mf_skip_sort_cos), mb_gouraud_shading(other.mb_gouraud_shading),
      mn_sort_key(other.mn_sort_key),
      mn_sort_threads(other.mn_sort_threads), ma_sort_eye{other.ma_sort_eye[0], other.ma_sort_eye[1],
                                                          other.ma_sort_eye[2]},
      md_sort_near_distance(other.md_sort_near_distance),
      mp_slabs(std::make_unique<IVTranspRecordSlabs>(sizeof(IVVBTranspTriangle))),
      mv_fingerprints(other.mv_fingerprints) {
    try {
        _CloneRecords(other.mv_triangles);
    } catch (...) {
        other.mp_container = std::move(mp_container);
        throw;
    }
    // The stream it holds was filled from records this copy duplicates, so it stays valid here.
    if (mp_container != nullptr)
        mp_container->mp_cache = this;
}

IVTransparencyCache& IVTransparencyCache::operator=(IVTransparencyCache& other) {
    if (this == &other)
        return *this;
    std::unique_ptr<IVVertexContainerTransparency> taken = std::move(other.mp_container);
    if (taken != mp_container)
        mp_container = std::move(taken); // destroys the previous container
    if (mp_container != nullptr)
        mp_container->mp_cache = this;

    mv_stls = other.mv_stls;
    mv_new_stls = other.mv_new_stls;
    mp_render = other.mp_render;
    mn_num_triangles = other.mn_num_triangles;
    mn_sorted_num_triangles = other.mn_sorted_num_triangles;
    std::copy(std::begin(other.ma_sort_view_dir), std::end(other.ma_sort_view_dir), ma_sort_view_dir);
    mf_skip_sort_cos = other.mf_skip_sort_cos;
    mb_gouraud_shading = other.mb_gouraud_shading;
    mn_sort_key = other.mn_sort_key;
    mn_sort_threads = other.mn_sort_threads;
    std::copy(std::begin(other.ma_sort_eye), std::end(other.ma_sort_eye), ma_sort_eye);
    md_sort_near_distance = other.md_sort_near_distance;
    mv_fingerprints = other.mv_fingerprints;

    _CloneRecords(other.mv_triangles); // the previous records go once the duplicates stand
    return *this;
}

IVTransparencyCache::~IVTransparencyCache() {
    // The records go before the blocks that hold them; the pointer vector is left empty.
    _ReleaseRecords();
}

void IVTransparencyCache::_CloneRecords(const boost::ptr_vector<IVVBTranspTriangle>& records) {
    const size_t count = records.size();
    auto slabs = std::make_unique<IVTranspRecordSlabs>(sizeof(IVVBTranspTriangle));
    std::vector<void*> duplicates;
    duplicates.reserve(count);
    IVTranspRecordSlabs::AdviseHugePages(duplicates.data(), count * sizeof(void*));
    duplicates.resize(count);
    slabs->Allocate(count, nullptr, 0, duplicates.data());
    for (size_t i = 0; i < count; ++i)
        *static_cast<IVVBTranspTriangle*>(duplicates[i]) = records[i];

    mv_triangles.base().swap(duplicates); // `duplicates` now holds the previous records
    for (void* record : duplicates)
        if (!mp_slabs->Owns(record))
            delete static_cast<IVVBTranspTriangle*>(record);
    mp_slabs = std::move(slabs); // frees the previous blocks
    // The visit order is the copy's current order, set up at its next sort.
    mb_visit_valid = false;
    mv_visit_ends.clear();
    mb_position_stls_valid = false;
    mb_depths_pending = false;
}

void IVTransparencyCache::_ReleaseRecords() {
    std::vector<void*>& pointers = mv_triangles.base();
    for (void* record : pointers)
        if (!mp_slabs->Owns(record))
            delete static_cast<IVVBTranspTriangle*>(record);
    pointers.clear();
    mp_slabs->Release();
    mp_visit_base = nullptr;
    mb_visit_valid = false;
}

void IVTransparencyCache::_ResizeRecords(size_t count) {
    std::vector<void*>& pointers = mv_triangles.base();
    const size_t size = pointers.size();
    if (count < size) {
        for (size_t i = count; i < size; ++i)
            if (!mp_slabs->Owns(pointers[i]))
                delete static_cast<IVVBTranspTriangle*>(pointers[i]);
        pointers.resize(count);
        mp_slabs->Trim(pointers.data(), count);
    } else if (count > size) {
        if (pointers.capacity() < count) {
            std::vector<void*> grown;
            grown.reserve(count);
            IVTranspRecordSlabs::AdviseHugePages(grown.data(), count * sizeof(void*));
            grown.assign(pointers.begin(), pointers.end());
            pointers.swap(grown);
        }
        pointers.resize(count, nullptr);
        try {
            mp_slabs->Allocate(count - size, pointers.data(), size, pointers.data() + size);
        } catch (...) {
            pointers.resize(size);
            throw;
        }
    }
}

void IVTransparencyCache::AddSTL(MStlBase* stl, float* eye, float* view_direction,
                                 const MMTransformMatrix& matrix) {
    if (stl == nullptr || eye == nullptr || view_direction == nullptr)
        return;
    TStlReference reference;
    reference.mp_stl = stl;
    if (mp_render != nullptr)
        mp_render->CreateMemento(reference.mo_render_memento);

    const float x = view_direction[0];
    const float y = view_direction[1];
    const float z = view_direction[2];
    const float squared = x * x + y * y + z * z;
    // A tiny direction is not normalised but shrunk further (times its squared length): the skip
    // test then finds a dot product near 0 and sorts, instead of trusting a direction of noise.
    const float factor = static_cast<double>(squared) > 0.0001 ? 1.0f / std::sqrt(squared) : squared;
    reference.ma_view_dir[0] = x * factor;
    reference.ma_view_dir[1] = y * factor;
    reference.ma_view_dir[2] = z * factor;

    std::copy(eye, eye + 3, reference.ma_eye);

    // Positions stay in internal units; the pass draws them with an object-to-world scale of 1 / IE.
    float values[16] = {};
    matrix.GetMatrixFloat16(values);
    const float internal_units = static_cast<float>(MUnit::GetIE());
    for (int i = 0; i < 12; ++i)
        values[i] *= internal_units;
    MMTransformMatrix scaled;
    scaled.MakeFromFloat16(values);
    reference.mo_matrix = scaled;

    mv_new_stls.push_back(reference);
}

void IVTransparencyCache::Clear() {
    mv_stls.clear();
    mv_new_stls.clear();
    mn_sorted_num_triangles = 0;
    if (mp_container != nullptr)
        mp_container->DestroyRenderOptimisations();
}

void IVTransparencyCache::SetGouraudShadingEnabled(bool enable) {
    mb_gouraud_shading = enable;
}

uint64_t IVTransparencyCache::GetNumTriangle() const {
    return static_cast<uint64_t>(mn_num_triangles);
}

const MStlBase* IVTransparencyCache::GetStl(uint64_t index) const {
    return _GetOwnerStl(mv_triangles[static_cast<size_t>(index)].mp_triangle);
}

const IVTransparencyCache::IVVBTranspTriangle& IVTransparencyCache::GetTriangle(uint64_t index) const {
    return mv_triangles[static_cast<size_t>(index)];
}

const IVRender::Memento* IVTransparencyCache::FindMemento(const MStlBase* stl) const {
    const TStlReference* reference = _FindSTL(stl);
    return reference == nullptr ? nullptr : &reference->mo_render_memento;
}

const IVTransparencyCache::TStlReference* IVTransparencyCache::_FindSTL(const MStlBase* stl) const {
    if (stl == nullptr)
        return nullptr;
    for (const TStlReference& reference : mv_stls)
        if (reference.mp_stl == stl)
            return &reference;
    return nullptr;
}

void IVTransparencyCache::_PrepareTriangles() {
    const bool unchanged =
        std::equal(mv_stls.begin(), mv_stls.end(), mv_new_stls.begin(), mv_new_stls.end(),
                   [](const TStlReference& a, const TStlReference& b) { return a.mp_stl == b.mp_stl; });
    mv_stls.swap(mv_new_stls);
    mv_new_stls.clear();
    if (unchanged) {
#ifndef NDEBUG
        _CheckReusedMeshes();
#endif
        return;
    }

    // The meshes' counts only size the storage: they include triangles the walk never visits
    // (inactive ones, the compact store), so the records are sized by what the walk yields.
    int64_t counted = 0;
    for (const TStlReference& reference : mv_stls)
        counted += CountTriangles(*reference.mp_stl);

    size_t walked = 0;
    const size_t limit = static_cast<size_t>(std::numeric_limits<int32_t>::max());
    try {
        const size_t expected =
            static_cast<size_t>(std::clamp<int64_t>(counted, 0, std::numeric_limits<int32_t>::max()));
        if (expected > mv_triangles.size())
            _ResizeRecords(expected);
        // Filled by the walk: the visit order is the build order.
        mv_visit_triangles.clear();
        if (mv_visit_triangles.capacity() < expected)
            mv_visit_triangles.reserve(expected);
        mv_visit_ends.clear();
        mv_fingerprints.clear();
        for (const TStlReference& reference : mv_stls) {
            const MStlBaseProperties& properties = reference.mp_stl->mo_properties;
            IVStlTriangleRange triangles{reference.mp_stl->GetRootFeature()};
            mv_fingerprints.push_back({triangles.begin() == triangles.end() ? nullptr : *triangles.begin(),
                                       properties.mn_num_triangles, properties.mb_num_triangles_valid});
            const NeighbourInfoScope neighbours(reference.mp_stl->GetCompact(), mb_gouraud_shading);
            const size_t first = walked;
            for (MStlTriangle* triangle : triangles) {
                if (!triangle->IsActive())
                    continue;
                // FIXME: more than 2^31 - 1 active triangles cannot be counted in 32 bits; the rest
                // are left out.
                if (walked == limit)
                    break;
                if (walked == mv_triangles.size()) {
                    // More than the counts said: grow by a good part at once, the surplus goes below.
                    _ResizeRecords(walked + std::max<size_t>(walked / 2, 1024));
                }
                mv_visit_triangles.push_back(triangle);
                ++walked;
            }
            // Each record depends on its own triangle only, so the threads may share them out.
            void* const* pointers = mv_triangles.base().data();
            const MStlTriangle* const* walk = mv_visit_triangles.data();
            RunParts(_ThreadCount(walked - first), walked - first, [&](unsigned, size_t begin, size_t end) {
                for (size_t k = first + begin; k < first + end; ++k) {
                    IVVBTranspTriangle& record = *static_cast<IVVBTranspTriangle*>(pointers[k]);
                    record.mp_triangle = walk[k];
                    _CalculateObjectWorldTransformForTriangle(reference, record);
                }
            });
            mv_visit_ends.push_back(static_cast<uint32_t>(walked));
        }
    } catch (...) {
        // Half-built records must not be drawn, and the next pass must build them again.
        mn_num_triangles = 0;
        mv_stls.clear();
        mv_visit_ends.clear();
        mb_visit_valid = false;
        throw;
    }
    // With nothing counted and nothing walked the records are left alone, as after an empty frame.
    if (counted != 0 || walked != 0)
        _ResizeRecords(walked);
    mn_num_triangles = static_cast<int32_t>(walked);
    _ResetVisitOrder(false);
}

void IVTransparencyCache::_ResetVisitOrder(bool read_triangles) {
    const size_t count = static_cast<size_t>(std::max(mn_num_triangles, 0));
    void* const* pointers = mv_triangles.base().data();
    // While the records lie in visit order in one block, the block is the map.
    bool contiguous = count > 0;
    for (size_t i = 1; i < count && contiguous; ++i)
        contiguous = pointers[i] == static_cast<char*>(pointers[0]) + i * sizeof(IVVBTranspTriangle);
    mp_visit_base = contiguous ? static_cast<IVVBTranspTriangle*>(pointers[0]) : nullptr;
    if (contiguous)
        decltype(mv_visit_records)().swap(mv_visit_records);
    else
        SizeBuffer(mv_visit_records, count);
    if (!contiguous)
        std::copy(pointers, pointers + count, mv_visit_records.begin());
    if (read_triangles) {
        SizeBuffer(mv_visit_triangles, count);
        for (size_t i = 0; i < count; ++i)
            mv_visit_triangles[i] = static_cast<const IVVBTranspTriangle*>(pointers[i])->mp_triangle;
        mv_visit_ends.clear();
    }
    SizeBuffer(mv_sort_keys, count);
    SizeBuffer(mv_sort_keys_scratch, count);
    for (size_t i = 0; i < count; ++i)
        mv_sort_keys[i] = i;
    mb_visit_valid = true;
}

void IVTransparencyCache::_CheckReusedMeshes() const {
    if (mv_fingerprints.size() != mv_stls.size())
        return;
    for (size_t r = 0; r < mv_stls.size(); ++r) {
        const MStlBase* stl = mv_stls[r].mp_stl;
        const TMeshFingerprint& fingerprint = mv_fingerprints[r];
        const IVStlTriangleRange triangles{stl->GetRootFeature()};
        const MStlTriangle* first = triangles.begin() == triangles.end() ? nullptr : *triangles.begin();
        // A new first triangle, or fewer triangles than the records were built from, means the
        // mesh was destroyed or rebuilt: its records point to triangles that may be gone. Moved
        // points and added triangles are safe and, as designed, go unnoticed until Clear().
        const MStlBaseProperties& properties = stl->mo_properties;
        const bool fewer = fingerprint.mb_count_valid && properties.mb_num_triangles_valid &&
                           properties.mn_num_triangles < fingerprint.mn_num_triangles;
        if (first != fingerprint.mp_first_triangle || fewer) {
            std::fprintf(
                stderr,
                "IVTransparencyCache: registered mesh %p (registration %zu) was destroyed or rebuilt "
                "since its records were prepared; call Clear() after destroying or editing a "
                "registered mesh\n",
                static_cast<const void*>(stl), r);
            std::abort();
        }
    }
}

void IVTransparencyCache::_CalculateObjectWorldTransformForTriangle(const TStlReference& stl,
                                                                    IVVBTranspTriangle& triangle) {
    const MStlTriangle& mesh_triangle = *triangle.mp_triangle;
    IVVertexPNC* vertices = triangle.ma_vertices;
    for (int i = 0; i < 3; ++i) {
        const MStlPoint& point = *mesh_triangle.mp_points[i];
        vertices[i].x = static_cast<float>(point.x);
        vertices[i].y = static_cast<float>(point.y);
        vertices[i].z = static_cast<float>(point.z);
    }

    if (mb_gouraud_shading) {
        for (int i = 0; i < 3; ++i) {
            MMPoint3d<float> normal;
            _CalculateGouraudNormal(normal, mesh_triangle.mp_points[i], mesh_triangle);
            float direction[3] = {normal.x, normal.y, normal.z};
            stl.mo_matrix.Transform(direction, true);
            Normalise(direction);
            vertices[i].nx = direction[0];
            vertices[i].ny = direction[1];
            vertices[i].nz = direction[2];
        }
    } else {
        float direction[3] = {mesh_triangle.ma_normal[0], mesh_triangle.ma_normal[1],
                              mesh_triangle.ma_normal[2]};
        stl.mo_matrix.Transform(direction, true);
        Normalise(direction);
        for (int i = 0; i < 3; ++i) {
            vertices[i].nx = direction[0];
            vertices[i].ny = direction[1];
            vertices[i].nz = direction[2];
        }
    }

    for (int i = 0; i < 3; ++i)
        stl.mo_matrix.Transform(vertices[i].x, vertices[i].y, vertices[i].z, false);
}

void IVTransparencyCache::_CalculateGouraudNormal(MMPoint3d<float>& normal, MStlPoint* point,
                                                  const MStlTriangle& triangle) {
    // cos(30 degrees) in single precision from the radian value, as the host computes it.
    static const float threshold = std::cos(0.5235988f);
    const float* own = triangle.ma_normal;
    normal = MMPoint3d<float>(0.0f, 0.0f, 0.0f);
    uint64_t count = 0;
    if (point != nullptr && point->mpp_neighbours != nullptr) {
        for (uint16_t i = 0; i < point->mn_num_neighbours; ++i) {
            const MStlTriangle* neighbour = point->mpp_neighbours[i];
            if (neighbour == nullptr)
                continue;
            const float* other = neighbour->ma_normal;
            const float dot = (other[1] * own[1] + other[0] * own[0]) + other[2] * own[2];
            if (dot > threshold) {
                normal.x += other[0];
                normal.y += other[1];
                normal.z += other[2];
                ++count;
            }
        }
    }
    if (count == 0) {
        // Only a degenerate face normal (or missing neighbour lists) gets here: the face normal
        // is the only sensible answer, where a mean over nothing would be 0/0.
        normal = MMPoint3d<float>(own[0], own[1], own[2]);
        return;
    }
    const float divisor = static_cast<float>(count);
    normal.x /= divisor;
    normal.y /= divisor;
    normal.z /= divisor;
}

void IVTransparencyCache::RenderStlTransparentPN(IVRender* render) {
    // What the sort leaves for the stream fill lasts for this pass only: depths the fill did not
    // store are stored on the way out, also when a device call throws.
    struct PassEnd {
        IVTransparencyCache& mr_cache;
        ~PassEnd() {
            mr_cache._StorePendingDepths();
            mr_cache.mb_position_stls_valid = false;
        }
    } pass_end{*this};

    if (mv_new_stls.empty()) {
        Clear();
        return;
    }
    _PrepareTriangles();
    if (mn_num_triangles == 0)
        return;
    _Sort();
    if (render == nullptr)
        return;

    render->StartTransparency(false);
    render->EnableZBuffer(true, true);
    render->SetBackfaceVisible(true, true);

    if (mp_container == nullptr)
        mp_container = std::make_unique<IVVertexContainerTransparency>();

    // The records hold positions in internal units; this scales them back to model units.
    const float inverse = 1.0f / static_cast<float>(MUnit::GetIE());
    const float scale[16] = {inverse, 0, 0, 0, 0, inverse, 0, 0, 0, 0, inverse, 0, 0, 0, 0, 1};
    if (mp_render != nullptr)
        mp_render->SetTransformObjectWorld(scale);

    // The farthest triangle's mesh sets the device's material; the others differ only by colour.
    const TStlReference* farthest = _FindSTL(GetStl(0));
    if (farthest != nullptr && mp_render != nullptr)
        mp_render->RestoreMemento(farthest->mo_render_memento, IVRender::eMemoMaterial);

    mp_container->mp_cache = this;
    mp_container->mp_target_render = render;
    mp_container->SetModeDynamic(false);
    mp_container->RenderTriangles(*render, true, false, 0);
    render->EndTransparency();
}

void IVTransparencyCache::_StorePendingDepths() {
    if (!mb_depths_pending)
        return;
    mb_depths_pending = false;
    void* const* pointers = mv_triangles.base().data();
    const size_t count = std::min(mv_sort_keys.size(), mv_triangles.size());
    for (size_t i = 0; i < count; ++i)
        static_cast<IVVBTranspTriangle*>(pointers[i])->mf_depth = _GetSortedDepth(i);
}
