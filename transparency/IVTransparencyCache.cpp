#include "transparency/IVTransparencyCache.h"

#include "containers/IVStlTriangleIterator.h"
#include "host/base/MUnit.h"
#include "host/mesh/MStlBase.h"
#include "transparency/IVVertexContainerTransparency.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>

namespace {

// Shorter normals are left as they are instead of being blown up into noise.
constexpr double MIN_NORMAL_LENGTH = 1.4901161193847656e-08; // 2^-26

// Deliberately not 1/3: depths must match the host's, which uses this constant.
constexpr float CENTROID_FACTOR = 0.33333f;

// Below this many records the radix passes cost more than a comparison sort of the keys.
constexpr size_t RADIX_MIN_COUNT = 256;

// The radix sort's histograms at most: three passes of 11 bits.
constexpr size_t SORT_HISTOGRAM_SIZE = 3 << 11;

// Registration index of a record whose mesh has none.
constexpr uint16_t NO_REGISTRATION = std::numeric_limits<uint16_t>::max();

// How many records ahead the depth loop and the stream fill fetch what they will read.
constexpr size_t PREFETCH_DISTANCE = 8;

void Prefetch(const void* address) {
    __builtin_prefetch(address);
}

// The triangle's corners and owner link, which may straddle two cache lines.
void PrefetchTriangle(const MStlTriangle* triangle) {
    Prefetch(triangle);
    Prefetch(&triangle->mp_owner);
}

void PrefetchPoints(const MStlTriangle* triangle) {
    for (const MStlPoint* point : triangle->mp_points)
        Prefetch(point);
}

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

// The host sums coordinates in 32-bit integers and wraps; signed overflow would be UB here, so the
// sum is formed unsigned and converted back (modular since C++20).
int32_t WrappingSum(int32_t a, int32_t b, int32_t c) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b) +
                                static_cast<uint32_t>(c));
}

// Depth of a triangle's centroid along a view direction, both in the mesh's coordinates.
float Depth(const MStlTriangle& triangle, const float* eye, const float* direction) {
    const MStlPoint& a = *triangle.mp_points[0];
    const MStlPoint& b = *triangle.mp_points[1];
    const MStlPoint& c = *triangle.mp_points[2];
    const double x = static_cast<double>(static_cast<float>(WrappingSum(a.x, b.x, c.x)) * CENTROID_FACTOR);
    const double y = static_cast<double>(static_cast<float>(WrappingSum(a.y, b.y, c.y)) * CENTROID_FACTOR);
    const double z = static_cast<double>(static_cast<float>(WrappingSum(a.z, b.z, c.z)) * CENTROID_FACTOR);
    const double depth = (y - static_cast<double>(eye[1])) * static_cast<double>(direction[1]) +
                         (x - static_cast<double>(eye[0])) * static_cast<double>(direction[0]) +
                         (z - static_cast<double>(eye[2])) * static_cast<double>(direction[2]);
    return static_cast<float>(depth);
}

// Maps a depth to an unsigned key whose ascending order is the order of decreasing depth. -0 and +0
// compare equal, so they share a key; every NaN gets the largest key, placing NaN records last.
uint32_t DescendingDepthKey(float depth) {
    if (std::isnan(depth))
        return std::numeric_limits<uint32_t>::max();
    const uint32_t bits = depth == 0.0f ? 0u : std::bit_cast<uint32_t>(depth);
    const uint32_t ascending = (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
    return ~ascending;
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

IVTransparencyCache::IVTransparencyCache(IVRender* render) : mp_render(render) {}

IVTransparencyCache::IVTransparencyCache(IVTransparencyCache& other)
    : mp_container(std::move(other.mp_container)), mv_stls(other.mv_stls), mv_new_stls(other.mv_new_stls),
      mp_render(other.mp_render), mn_num_triangles(other.mn_num_triangles),
      mn_sorted_num_triangles(other.mn_sorted_num_triangles), ma_sort_view_dir{other.ma_sort_view_dir[0],
                                                                               other.ma_sort_view_dir[1],
                                                                               other.ma_sort_view_dir[2]},
      mf_skip_sort_cos(other.mf_skip_sort_cos), mb_gouraud_shading(other.mb_gouraud_shading),
      mv_triangles(other.mv_triangles) {
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

    boost::ptr_vector<IVVBTranspTriangle> duplicates(other.mv_triangles);
    mv_triangles.swap(duplicates); // the previous records die with `duplicates`
    mv_visit_records.clear();      // named the previous records
    mv_visit_position.clear();
    mv_visit_triangles.clear();
    mb_position_stls_valid = false;
    return *this;
}

IVTransparencyCache::~IVTransparencyCache() = default;

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
    if (unchanged)
        return;

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
        mv_triangles.reserve(expected);
        mv_visit_triangles.clear(); // filled by the walk: the visit order is the build order
        mv_visit_triangles.reserve(expected);
        for (const TStlReference& reference : mv_stls) {
            const NeighbourInfoScope neighbours(reference.mp_stl->GetCompact(), mb_gouraud_shading);
            for (MStlTriangle* triangle : IVStlTriangleRange{reference.mp_stl->GetRootFeature()}) {
                if (!triangle->IsActive())
                    continue;
                // FIXME: more than 2^31 - 1 active triangles cannot be counted in 32 bits; the rest
                // are left out.
                if (walked == limit)
                    break;
                if (walked == mv_triangles.size())
                    mv_triangles.push_back(std::make_unique<IVVBTranspTriangle>());
                IVVBTranspTriangle& record = mv_triangles[walked];
                record.mp_triangle = triangle;
                mv_visit_triangles.push_back(triangle);
                _CalculateObjectWorldTransformForTriangle(reference, record);
                ++walked;
            }
        }
    } catch (...) {
        // Half-built records must not be drawn, and the next pass must build them again.
        mn_num_triangles = 0;
        mv_stls.clear();
        _ResetVisitOrder(true);
        throw;
    }
    // With nothing counted and nothing walked the records are left alone, as after an empty frame.
    if (counted != 0 || walked != 0)
        mv_triangles.erase(mv_triangles.begin() + static_cast<std::ptrdiff_t>(walked), mv_triangles.end());
    mn_num_triangles = static_cast<int32_t>(walked);
    _ResetVisitOrder(false);
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

void IVTransparencyCache::SetSkipSortTolerance(float angle) {
    const float half = angle * 0.5f;
    mf_skip_sort_cos = static_cast<float>(std::cos(static_cast<double>(half) * 3.141592653589793 / 180.0));
}

void IVTransparencyCache::ForceReSort() {
    mn_sorted_num_triangles = 0;
}

bool IVTransparencyCache::_IsSorted() {
    if (mn_num_triangles == 0)
        return true;
    const TStlReference* reference = _FindSTL(_GetOwnerStl(mv_triangles[0].mp_triangle));
    if (reference == nullptr) {
        // No direction to compare with: sort now, and again next pass, rather than keep a sort
        // state that belongs to no registration.
        mn_sorted_num_triangles = 0;
        return false;
    }
    const float* direction = reference->ma_view_dir;
    const float dot = (direction[1] * ma_sort_view_dir[1] + direction[0] * ma_sort_view_dir[0]) +
                      direction[2] * ma_sort_view_dir[2];
    if (static_cast<int64_t>(mn_num_triangles) == mn_sorted_num_triangles && dot > mf_skip_sort_cos)
        return true;
    mn_sorted_num_triangles = mn_num_triangles;
    std::copy(direction, direction + 3, ma_sort_view_dir);
    return false;
}

void IVTransparencyCache::_Sort() {
    if (mn_num_triangles == 0 || _IsSorted())
        return;
    const size_t count = static_cast<size_t>(mn_num_triangles);
    // Every buffer is sized before anything changes, so that an allocation failure leaves the
    // records as they were and only makes the next pass sort again.
    try {
        if (mv_visit_records.size() != count)
            _ResetVisitOrder(true);
        mv_sort_keys.resize(count);
        mv_sort_keys_scratch.resize(count);
        mv_sort_histograms.reserve(SORT_HISTOGRAM_SIZE);
        mv_visit_facts.resize(count);
        mv_position_facts.resize(count);
    } catch (...) {
        ForceReSort();
        throw;
    }
    uint64_t* keys = mv_sort_keys.data();

    // Registration index of each record's mesh, for the stream fill of this pass.
    const bool stls_indexed = mv_stls.size() < NO_REGISTRATION;
    const auto index_of = [&](const TStlReference* reference) {
        return reference == nullptr || !stls_indexed ? NO_REGISTRATION
                                                     : static_cast<uint16_t>(reference - mv_stls.data());
    };

    // Visit order: while every record's mesh is registered, each depth depends on its own record
    // only, so any order gives the same depths.
    bool all_registered = true;
    {
        const MStlTriangle* const* triangles = mv_visit_triangles.data();
        const uint32_t* positions = mv_visit_position.data();
        const MStlBase* previous_stl = nullptr;
        const TStlReference* reference = nullptr;
        uint16_t stl_index = 0;
        for (size_t v = 0; v < count; ++v) {
            if (v + 2 * PREFETCH_DISTANCE < count)
                PrefetchTriangle(triangles[v + 2 * PREFETCH_DISTANCE]);
            if (v + PREFETCH_DISTANCE < count)
                PrefetchPoints(triangles[v + PREFETCH_DISTANCE]);
            const MStlTriangle& triangle = *triangles[v];
            const MStlBase* stl = _GetOwnerStl(&triangle);
            if (stl != previous_stl || reference == nullptr) {
                reference = _FindSTL(stl);
                previous_stl = stl;
                if (reference == nullptr) {
                    all_registered = false;
                    break;
                }
                stl_index = index_of(reference);
            }
            const float depth = Depth(triangle, reference->ma_eye, reference->ma_view_dir);
            mv_visit_facts[v] = {depth, stl_index};
            keys[positions[v]] = uint64_t(DescendingDepthKey(depth)) << 32 | v;
        }
    }

    // Current order: a record without a registration takes the viewpoint of the last one found
    // before it in this order, so here the order matters.
    if (!all_registered) {
        for (size_t v = 0; v < count; ++v)
            mv_sort_keys_scratch[mv_visit_position[v]] = v;
        void* const* pointers = mv_triangles.base().data();
        const MStlBase* previous_stl = nullptr;
        uint16_t stl_index = NO_REGISTRATION;
        float eye[3] = {0.0f, 0.0f, 0.0f};
        float direction[3] = {0.0f, 0.0f, 0.0f};
        for (size_t i = 0; i < count; ++i) {
            if (i + 3 * PREFETCH_DISTANCE < count)
                Prefetch(pointers[i + 3 * PREFETCH_DISTANCE]);
            if (i + 2 * PREFETCH_DISTANCE < count)
                PrefetchTriangle(
                    static_cast<const IVVBTranspTriangle*>(pointers[i + 2 * PREFETCH_DISTANCE])->mp_triangle);
            if (i + PREFETCH_DISTANCE < count)
                PrefetchPoints(
                    static_cast<const IVVBTranspTriangle*>(pointers[i + PREFETCH_DISTANCE])->mp_triangle);
            IVVBTranspTriangle& record = *static_cast<IVVBTranspTriangle*>(pointers[i]);
            const MStlBase* stl = _GetOwnerStl(record.mp_triangle);
            if (stl != previous_stl) {
                const TStlReference* reference = _FindSTL(stl);
                if (reference != nullptr) {
                    std::copy(reference->ma_eye, reference->ma_eye + 3, eye);
                    std::copy(reference->ma_view_dir, reference->ma_view_dir + 3, direction);
                }
                previous_stl = stl;
                stl_index = index_of(reference);
            }
            const float depth = Depth(*record.mp_triangle, eye, direction);
            const uint64_t visit = mv_sort_keys_scratch[i];
            keys[i] = uint64_t(DescendingDepthKey(depth)) << 32 | visit;
            mv_visit_facts[visit] = {depth, stl_index};
        }
    }
    _SortByKeys(true);
    mb_position_stls_valid = stls_indexed;
    // The stream fill of this pass reads every record in draw order anyway and stores the depths
    // then; whatever it leaves is stored at the end of the pass.
    mb_depths_pending = true;

    if (mp_container != nullptr)
        mp_container->DestroyRenderOptimisations();
}

void IVTransparencyCache::_SortByDepth() {
    const size_t count = static_cast<size_t>(std::max(mn_num_triangles, 0));
    mb_position_stls_valid = false;
    _ResetVisitOrder(true);
    mv_sort_keys.resize(count);
    mv_sort_keys_scratch.resize(count);
    mv_sort_histograms.reserve(SORT_HISTOGRAM_SIZE);
    for (size_t i = 0; i < count; ++i)
        mv_sort_keys[i] = uint64_t(DescendingDepthKey(mv_triangles[i].mf_depth)) << 32 | i;
    _SortByKeys(false);
}

void IVTransparencyCache::_ResetVisitOrder(bool read_triangles) {
    const size_t count = static_cast<size_t>(std::max(mn_num_triangles, 0));
    void* const* pointers = mv_triangles.base().data();
    mv_visit_records.assign(pointers, pointers + count);
    if (read_triangles) {
        mv_visit_triangles.resize(count);
        for (size_t i = 0; i < count; ++i)
            mv_visit_triangles[i] = static_cast<const IVVBTranspTriangle*>(pointers[i])->mp_triangle;
    }
    mv_visit_position.resize(count);
    for (size_t i = 0; i < count; ++i)
        mv_visit_position[i] = static_cast<uint32_t>(i);
}

void IVTransparencyCache::_SortByKeys(bool facts) {
    // The keys are laid out in current order and every algorithm below is stable, so equal depths
    // keep their previous relative order.
    const size_t count = mv_sort_keys.size();
    uint64_t* keys = mv_sort_keys.data();
    if (count < RADIX_MIN_COUNT) {
        std::stable_sort(keys, keys + count, [](uint64_t a, uint64_t b) { return a >> 32 < b >> 32; });
    } else {
        // LSD radix sort on the depth key less the smallest one: as few passes of at most 11 bits
        // (2048 buckets, still few enough write streams for the caches) as that range needs.
        uint32_t lowest = std::numeric_limits<uint32_t>::max();
        uint32_t highest = 0;
        for (size_t i = 0; i < count; ++i) {
            const uint32_t key = static_cast<uint32_t>(keys[i] >> 32);
            lowest = std::min(lowest, key);
            highest = std::max(highest, key);
        }
        const int bits = std::bit_width(highest - lowest);
        const int passes = (bits + 10) / 11;
        if (passes > 0) {
            const int digit_bits = (bits + passes - 1) / passes;
            const uint64_t mask = (uint64_t(1) << digit_bits) - 1;
            const uint64_t offset_key = uint64_t(lowest) << 32;
            std::vector<uint32_t>& histograms = mv_sort_histograms;
            histograms.assign(size_t(passes) << digit_bits, 0);
            for (size_t i = 0; i < count; ++i) {
                const uint64_t key = (keys[i] - offset_key) >> 32;
                for (int pass = 0; pass < passes; ++pass)
                    ++histograms[(size_t(pass) << digit_bits) + ((key >> (digit_bits * pass)) & mask)];
            }
            uint64_t* scratch = mv_sort_keys_scratch.data();
            for (int pass = 0; pass < passes; ++pass) {
                uint32_t* buckets = histograms.data() + (size_t(pass) << digit_bits);
                const int shift = 32 + digit_bits * pass;
                uint32_t offset = 0;
                for (size_t bucket = 0; bucket <= mask; ++bucket)
                    offset += std::exchange(buckets[bucket], offset);
                for (size_t i = 0; i < count; ++i) {
                    const uint64_t key = keys[i];
                    scratch[buckets[((key - offset_key) >> shift) & mask]++] = key;
                }
                std::swap(keys, scratch);
            }
        }
    }

    void** pointers = mv_triangles.base().data();
    void* const* records = mv_visit_records.data();
    uint32_t* positions = mv_visit_position.data();
    for (size_t i = 0; i < count; ++i) {
        const uint32_t visit = static_cast<uint32_t>(keys[i]);
        pointers[i] = records[visit];
        positions[visit] = static_cast<uint32_t>(i);
    }
    if (facts)
        for (size_t i = 0; i < count; ++i)
            mv_position_facts[i] = mv_visit_facts[static_cast<uint32_t>(keys[i])];
}
bool IVTransparencyCache::IVVBTranspTriangleCompare(const IVVBTranspTriangle& a,
                                                    const IVVBTranspTriangle& b) {
    return a.mf_depth > b.mf_depth;
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
    const size_t count = std::min(mv_position_facts.size(), mv_triangles.size());
    for (size_t i = 0; i < count; ++i) {
        if (i + PREFETCH_DISTANCE < count)
            Prefetch(pointers[i + PREFETCH_DISTANCE]);
        static_cast<IVVBTranspTriangle*>(pointers[i])->mf_depth = mv_position_facts[i].mf_depth;
    }
}
