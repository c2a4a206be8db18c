// IVTransparencyCache: the skip decision, the depth pass and the back-to-front sort.
#include "transparency/IVTransparencyCache.h"

#include "host/mesh/MStlBase.h"
#include "transparency/IVTranspParallel.h"
#include "transparency/IVTranspRecordSlabs.h"
#include "transparency/IVVertexContainerTransparency.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <thread>

namespace {

// Deliberately not 1/3: depths must match the host's, which uses this constant.
constexpr float CENTROID_FACTOR = 0.33333f;

// Below this many records the radix passes cost more than a comparison sort of the keys.
constexpr size_t RADIX_MIN_COUNT = 256;
// Radix digits have at most this many bits (2048 buckets, still few enough write streams).
constexpr int DIGIT_BITS_MAX = 11;
// Below this many records a second thread costs more than it saves.
constexpr size_t PARALLEL_MIN_COUNT = size_t(1) << 16;

// How many records ahead the loops fetch what they will read.
constexpr size_t PREFETCH_DISTANCE = 8;

// Sort key of a NaN depth, and of both zeros.
constexpr uint32_t NAN_KEY = std::numeric_limits<uint32_t>::max();

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

// The host sums coordinates in 32-bit integers and wraps; signed overflow would be UB here, so the
// sum is formed unsigned and converted back (modular since C++20).
int32_t WrappingSum(int32_t a, int32_t b, int32_t c) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b) +
                                static_cast<uint32_t>(c));
}

// A triangle's centroid in its mesh's coordinates, as the host forms it.
void Centroid(const MStlTriangle& triangle, double* centroid) {
    const MStlPoint& a = *triangle.mp_points[0];
    const MStlPoint& b = *triangle.mp_points[1];
    const MStlPoint& c = *triangle.mp_points[2];
    centroid[0] = static_cast<double>(static_cast<float>(WrappingSum(a.x, b.x, c.x)) * CENTROID_FACTOR);
    centroid[1] = static_cast<double>(static_cast<float>(WrappingSum(a.y, b.y, c.y)) * CENTROID_FACTOR);
    centroid[2] = static_cast<double>(static_cast<float>(WrappingSum(a.z, b.z, c.z)) * CENTROID_FACTOR);
}

// A point through a 16-value row-major matrix, with the divide of a projective one.
void TransformPoint(const double* m, const double* in, double* out) {
    const double x = m[0] * in[0] + m[1] * in[1] + m[2] * in[2] + m[3];
    const double y = m[4] * in[0] + m[5] * in[1] + m[6] * in[2] + m[7];
    const double z = m[8] * in[0] + m[9] * in[1] + m[10] * in[2] + m[11];
    const double h = m[12] * in[0] + m[13] * in[1] + m[14] * in[2] + m[15];
    const double scale = h == 0.0 || h == 1.0 ? 1.0 : 1.0 / h;
    out[0] = x * scale;
    out[1] = y * scale;
    out[2] = z * scale;
}

template <class Frame> float DirectionDepth(const MStlTriangle& triangle, const Frame& frame) {
    double c[3];
    Centroid(triangle, c);
    const double* eye = frame.ma_eye;
    const double* direction = frame.ma_direction;
    return static_cast<float>((c[1] - eye[1]) * direction[1] + (c[0] - eye[0]) * direction[0] +
                              (c[2] - eye[2]) * direction[2]);
}

// Distance of the centroid from the eye in world space: meshes with different matrices (other
// scales, other placements) are compared in one frame.
template <class Frame> float EyeDistance(const MStlTriangle& triangle, const Frame& frame) {
    double c[3];
    Centroid(triangle, c);
    double world[3];
    TransformPoint(frame.ma_matrix, c, world);
    const double x = world[0] - frame.ma_world_eye[0];
    const double y = world[1] - frame.ma_world_eye[1];
    const double z = world[2] - frame.ma_world_eye[2];
    return static_cast<float>(std::sqrt(x * x + y * y + z * z));
}

// Maps a depth to an unsigned key whose ascending order is the order of decreasing depth. -0 and +0
// compare equal, so they share a key; every NaN gets the largest key, placing NaN records last.
uint32_t DescendingDepthKey(float depth) {
    if (std::isnan(depth))
        return NAN_KEY;
    const uint32_t bits = depth == 0.0f ? 0u : std::bit_cast<uint32_t>(depth);
    const uint32_t ascending = (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
    return ~ascending;
}

const uint32_t ZERO_KEY = DescendingDepthKey(0.0f);

// The depth of a key; exact except for NaN and -0, which the special list keeps.
float DepthOfKey(uint32_t key) {
    const uint32_t ascending = ~key;
    const uint32_t bits = (ascending & 0x80000000u) != 0 ? ascending & 0x7FFFFFFFu : ~ascending;
    return std::bit_cast<float>(bits);
}

bool IsSpecial(float depth) {
    return std::isnan(depth) || (depth == 0.0f && std::signbit(depth));
}

} // namespace

void IVTransparencyCache::SetSkipSortTolerance(float angle) {
    const float half = angle * 0.5f;
    mf_skip_sort_cos = static_cast<float>(std::cos(static_cast<double>(half) * 3.141592653589793 / 180.0));
}

void IVTransparencyCache::ForceReSort() {
    mn_sorted_num_triangles = 0;
}

unsigned IVTransparencyCache::_ThreadCount(size_t count) const {
    if (count < PARALLEL_MIN_COUNT)
        return 1;
    unsigned threads = mn_sort_threads;
    if (threads == 0)
        threads = std::min(2u, std::max(1u, std::thread::hardware_concurrency()));
    return std::min(threads, MAX_SORT_THREADS);
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
    const bool same_count = static_cast<int64_t>(mn_num_triangles) == mn_sorted_num_triangles;
    const float* direction = reference->ma_view_dir;
    if (mn_sort_key == eSortEyeDistance) {
        float values[16] = {};
        reference->mo_matrix.GetMatrixFloat16(values);
        double matrix[16];
        std::copy(values, values + 16, matrix);
        const double eye[3] = {reference->ma_eye[0], reference->ma_eye[1], reference->ma_eye[2]};
        double world_eye[3];
        TransformPoint(matrix, eye, world_eye);
        const double moved = std::hypot(world_eye[0] - ma_sort_eye[0], world_eye[1] - ma_sort_eye[1],
                                        world_eye[2] - ma_sort_eye[2]);
        // The eye may move by this much before some triangle sees it turn by half the tolerance.
        const double cosine = static_cast<double>(mf_skip_sort_cos);
        const double sine = cosine <= 0.0 ? 1.0 : std::sqrt(std::max(0.0, 1.0 - cosine * cosine));
        if (same_count && moved < md_sort_near_distance * sine)
            return true;
        std::copy(world_eye, world_eye + 3, ma_sort_eye);
    } else {
        const float dot = (direction[1] * ma_sort_view_dir[1] + direction[0] * ma_sort_view_dir[0]) +
                          direction[2] * ma_sort_view_dir[2];
        if (same_count && dot > mf_skip_sort_cos)
            return true;
    }
    mn_sorted_num_triangles = mn_num_triangles;
    std::copy(direction, direction + 3, ma_sort_view_dir);
    return false;
}

IVTransparencyCache::IVVBTranspTriangle* IVTransparencyCache::_VisitRecord(size_t visit) const {
    return mp_visit_base != nullptr ? mp_visit_base + visit
                                    : static_cast<IVVBTranspTriangle*>(mv_visit_records[visit]);
}

void IVTransparencyCache::_Sort() {
    if (mn_num_triangles == 0 || _IsSorted())
        return;
    const size_t count = static_cast<size_t>(mn_num_triangles);
    // Every buffer is sized before anything changes, so that an allocation failure leaves the
    // records as they were and only makes the next pass sort again.
    try {
        if (!mb_visit_valid || mv_sort_keys.size() != count || mv_visit_triangles.size() != count)
            _ResetVisitOrder(true);
        mv_sort_histograms.reserve(size_t(MAX_SORT_THREADS) << DIGIT_BITS_MAX);
        mv_special_depths_parts.resize(MAX_SORT_THREADS);
        mv_depth_frames.resize(mv_stls.size());
        mv_visit_range_references.resize(mv_stls.size());
        mv_range_colours.resize(mv_stls.size());
    } catch (...) {
        ForceReSort();
        throw;
    }
    for (size_t r = 0; r < mv_stls.size(); ++r) {
        const TStlReference& reference = mv_stls[r];
        mv_visit_range_references[r] = _FindSTL(reference.mp_stl);
        TDepthFrame& frame = mv_depth_frames[r];
        float values[16] = {};
        reference.mo_matrix.GetMatrixFloat16(values);
        for (int k = 0; k < 3; ++k) {
            frame.ma_eye[k] = static_cast<double>(reference.ma_eye[k]);
            frame.ma_direction[k] = static_cast<double>(reference.ma_view_dir[k]);
        }
        std::copy(values, values + 16, frame.ma_matrix);
        TransformPoint(frame.ma_matrix, frame.ma_eye, frame.ma_world_eye);
    }

    _SortByKeys(_ComputeDepths(count));
    mb_depths_pending = true;

    if (mn_sort_key == eSortEyeDistance) {
        // The nearest distance bounds how far the eye may move before the next sort.
        md_sort_near_distance = 0.0;
        for (size_t i = count; i-- > 0;) {
            if (static_cast<uint32_t>(mv_sort_keys[i] >> 32) != NAN_KEY) {
                md_sort_near_distance = static_cast<double>(_GetSortedDepth(i));
                break;
            }
        }
        if (!(md_sort_near_distance > 0.0))
            md_sort_near_distance = 0.0;
    }

    if (mp_container != nullptr)
        mp_container->DestroyRenderOptimisations();
}

IVTransparencyCache::TKeyRange IVTransparencyCache::_ComputeDepths(size_t count) {
    mb_position_stls_valid = false;
    const unsigned threads = _ThreadCount(count);
    const bool distance = mn_sort_key == eSortEyeDistance;
    const bool ranges =
        !mv_visit_ends.empty() && mv_visit_ends.size() == mv_stls.size() && mv_visit_ends.back() == count;
    bool all_registered[MAX_SORT_THREADS];
    bool ranges_match[MAX_SORT_THREADS];
    TKeyRange key_ranges[MAX_SORT_THREADS];
    // The keys go to the scratch buffer in visit order, so that the current order stays in
    // mv_sort_keys for the fallback below until every depth is known.
    uint64_t* visit_keys = mv_sort_keys_scratch.data();

    // While every record's mesh is registered, each depth depends on its own record only, so any
    // visiting order, and any split between threads, gives the same depths.
    RunParts(threads, count, [&](unsigned part, size_t begin, size_t end) {
        std::vector<std::pair<uint32_t, float>>& specials = mv_special_depths_parts[part];
        specials.clear();
        all_registered[part] = true;
        ranges_match[part] = ranges;
        const MStlTriangle* const* triangles = mv_visit_triangles.data();
        const MStlBase* previous_stl = nullptr;
        const TDepthFrame* frame = nullptr;
        TKeyRange keys;
        size_t range = ranges ? size_t(std::upper_bound(mv_visit_ends.begin(), mv_visit_ends.end(),
                                                        static_cast<uint32_t>(begin)) -
                                       mv_visit_ends.begin())
                              : 0;
        for (size_t v = begin; v < end; ++v) {
            if (v + 2 * PREFETCH_DISTANCE < end)
                PrefetchTriangle(triangles[v + 2 * PREFETCH_DISTANCE]);
            if (v + PREFETCH_DISTANCE < end)
                PrefetchPoints(triangles[v + PREFETCH_DISTANCE]);
            const MStlTriangle& triangle = *triangles[v];
            const MStlBase* stl = _GetOwnerStl(&triangle);
            if (stl != previous_stl || frame == nullptr) {
                const TStlReference* reference = _FindSTL(stl);
                if (reference == nullptr) {
                    all_registered[part] = false;
                    return;
                }
                frame = &mv_depth_frames[size_t(reference - mv_stls.data())];
                previous_stl = stl;
            }
            if (ranges_match[part]) {
                while (v >= mv_visit_ends[range])
                    ++range;
                ranges_match[part] = mv_stls[range].mp_stl == stl;
            }
            const float depth = distance ? EyeDistance(triangle, *frame) : DirectionDepth(triangle, *frame);
            const uint32_t key = DescendingDepthKey(depth);
            keys.Add(key);
            visit_keys[v] = uint64_t(key) << 32 | v;
            if (IsSpecial(depth))
                specials.push_back({static_cast<uint32_t>(v), depth});
        }
        key_ranges[part] = keys;
    });
    for (unsigned part = 0; part < threads; ++part)
        if (!all_registered[part])
            return _ComputeDepthsInCurrentOrder(count);

    // Sorting from visit order rather than from the current one spares gathering every depth at
    // a random place, and breaks ties by visit order, so equal depths come out the same way
    // whatever was drawn before.
    mv_sort_keys.swap(mv_sort_keys_scratch);
    mv_special_depths.clear();
    for (unsigned part = 0; part < threads; ++part)
        mv_special_depths.insert(mv_special_depths.end(), mv_special_depths_parts[part].begin(),
                                 mv_special_depths_parts[part].end());
    bool checked = ranges;
    TKeyRange keys;
    for (unsigned part = 0; part < threads; ++part) {
        checked = checked && ranges_match[part];
        keys.Add(key_ranges[part]);
    }
    mb_position_stls_valid = checked;
    return keys;
}

IVTransparencyCache::TKeyRange IVTransparencyCache::_ComputeDepthsInCurrentOrder(size_t count) {
    // A record without a registration takes the viewpoint of the last one found before it in the
    // current order (all zero before any), so here the order matters.
    const bool distance = mn_sort_key == eSortEyeDistance;
    const TDepthFrame zero{};
    const TDepthFrame* frame = &zero;
    void* const* pointers = mv_triangles.base().data();
    uint64_t* keys = mv_sort_keys.data();
    const MStlBase* previous_stl = nullptr;
    TKeyRange range;
    mv_special_depths.clear();
    for (size_t i = 0; i < count; ++i) {
        if (i + 3 * PREFETCH_DISTANCE < count)
            Prefetch(pointers[i + 3 * PREFETCH_DISTANCE]);
        if (i + 2 * PREFETCH_DISTANCE < count)
            PrefetchTriangle(
                static_cast<const IVVBTranspTriangle*>(pointers[i + 2 * PREFETCH_DISTANCE])->mp_triangle);
        if (i + PREFETCH_DISTANCE < count)
            PrefetchPoints(
                static_cast<const IVVBTranspTriangle*>(pointers[i + PREFETCH_DISTANCE])->mp_triangle);
        const IVVBTranspTriangle& record = *static_cast<const IVVBTranspTriangle*>(pointers[i]);
        const MStlBase* stl = _GetOwnerStl(record.mp_triangle);
        if (stl != previous_stl) {
            if (const TStlReference* reference = _FindSTL(stl))
                frame = &mv_depth_frames[size_t(reference - mv_stls.data())];
            previous_stl = stl;
        }
        const float depth =
            distance ? EyeDistance(*record.mp_triangle, *frame) : DirectionDepth(*record.mp_triangle, *frame);
        const uint32_t visit = static_cast<uint32_t>(keys[i]);
        const uint32_t key = DescendingDepthKey(depth);
        range.Add(key);
        keys[i] = uint64_t(key) << 32 | visit;
        if (IsSpecial(depth))
            mv_special_depths.push_back({visit, depth});
    }
    std::sort(mv_special_depths.begin(), mv_special_depths.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return range;
}

float IVTransparencyCache::_GetSortedDepth(size_t position) const {
    const uint64_t key = mv_sort_keys[position];
    const uint32_t depth_key = static_cast<uint32_t>(key >> 32);
    if (depth_key == NAN_KEY || depth_key == ZERO_KEY) {
        const uint32_t visit = static_cast<uint32_t>(key);
        const auto at = std::lower_bound(mv_special_depths.begin(), mv_special_depths.end(), visit,
                                         [](const auto& special, uint32_t v) { return special.first < v; });
        if (at != mv_special_depths.end() && at->first == visit)
            return at->second;
    }
    return DepthOfKey(depth_key);
}

size_t IVTransparencyCache::_GetRecordRange(size_t position) const {
    const uint32_t visit = static_cast<uint32_t>(mv_sort_keys[position]);
    // In draw order the meshes alternate unpredictably: count without branches for a few.
    const size_t ranges = mv_visit_ends.size();
    if (ranges > 16)
        return size_t(std::upper_bound(mv_visit_ends.begin(), mv_visit_ends.end(), visit) -
                      mv_visit_ends.begin());
    size_t range = 0;
    for (size_t r = 0; r + 1 < ranges; ++r)
        range += visit >= mv_visit_ends[r] ? 1 : 0;
    return range;
}

void IVTransparencyCache::_SortByDepth() {
    const size_t count = static_cast<size_t>(std::max(mn_num_triangles, 0));
    mb_position_stls_valid = false;
    mb_depths_pending = false;
    _ResetVisitOrder(true);
    mv_sort_histograms.reserve(size_t(MAX_SORT_THREADS) << DIGIT_BITS_MAX);
    TKeyRange range;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t key = DescendingDepthKey(mv_triangles[i].mf_depth);
        range.Add(key);
        mv_sort_keys[i] = uint64_t(key) << 32 | i;
    }
    _SortByKeys(range);
}

void IVTransparencyCache::_SortByKeys(const TKeyRange& range) {
    // Every step below is stable, so equal depths keep the order the keys are laid out in,
    // whatever the number of threads.
    const size_t count = mv_sort_keys.size();
    const unsigned threads = _ThreadCount(count);
    if (count < RADIX_MIN_COUNT) {
        std::stable_sort(mv_sort_keys.begin(), mv_sort_keys.end(),
                         [](uint64_t a, uint64_t b) { return a >> 32 < b >> 32; });
    } else if (range.mn_highest > range.mn_lowest) {
        // LSD radix sort on the depth key less the smallest one: as few passes of at most 11 bits
        // as that range needs, each split between the threads, which keep their parts in order.
        const int bits = std::bit_width(range.mn_highest - range.mn_lowest);
        const int passes = (bits + DIGIT_BITS_MAX - 1) / DIGIT_BITS_MAX;
        const int digit_bits = (bits + passes - 1) / passes;
        const size_t buckets = size_t(1) << digit_bits;
        const uint64_t mask = buckets - 1;
        const uint64_t offset_key = uint64_t(range.mn_lowest) << 32;
        mv_sort_histograms.assign(threads * buckets, 0);
        uint32_t* histograms = mv_sort_histograms.data();
        uint64_t* from = mv_sort_keys.data();
        uint64_t* to = mv_sort_keys_scratch.data();
        for (int pass = 0; pass < passes; ++pass) {
            const int shift = 32 + digit_bits * pass;
            RunParts(threads, count, [&](unsigned part, size_t begin, size_t end) {
                uint32_t* histogram = histograms + part * buckets;
                std::fill(histogram, histogram + buckets, 0u);
                for (size_t i = begin; i < end; ++i)
                    ++histogram[((from[i] - offset_key) >> shift) & mask];
            });
            // Bucket by bucket, the parts in order: the first part's keys come first.
            uint32_t offset = 0;
            for (size_t bucket = 0; bucket < buckets; ++bucket)
                for (unsigned part = 0; part < threads; ++part)
                    offset += std::exchange(histograms[part * buckets + bucket], offset);
            RunParts(threads, count, [&](unsigned part, size_t begin, size_t end) {
                uint32_t* histogram = histograms + part * buckets;
                for (size_t i = begin; i < end; ++i) {
                    const uint64_t key = from[i];
                    to[histogram[((key - offset_key) >> shift) & mask]++] = key;
                }
            });
            std::swap(from, to);
        }
        if (from != mv_sort_keys.data())
            mv_sort_keys.swap(mv_sort_keys_scratch);
    }

    void** pointers = mv_triangles.base().data();
    const uint64_t* keys = mv_sort_keys.data();
    RunParts(threads, count, [&](unsigned, size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i)
            pointers[i] = _VisitRecord(static_cast<uint32_t>(keys[i]));
    });
}

bool IVTransparencyCache::IVVBTranspTriangleCompare(const IVVBTranspTriangle& a,
                                                    const IVVBTranspTriangle& b) {
    return a.mf_depth > b.mf_depth;
}
