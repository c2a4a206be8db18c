#include "transparency/IVVertexContainerTransparency.h"

#include "host/mesh/MStlBase.h"
#include "transparency/IVTransparencyCache.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

// Rounded, then the low eight bits: a component of -1 (no colour found yet) gives 2.
uint8_t ColourByte(float component) {
    return static_cast<uint8_t>(static_cast<int64_t>(component * 255.0f + 0.5f));
}

std::array<uint8_t, 4> ColourBytes(float component) {
    const uint8_t byte = ColourByte(component);
    return {byte, byte, byte, byte};
}

// A colour word's components (red in the low byte) through float, as the fill has always done.
std::array<uint8_t, 4> ColourBytes(uint32_t diffuse) {
    std::array<uint8_t, 4> bytes;
    for (int k = 0; k < 4; ++k)
        bytes[k] = ColourByte(static_cast<float>((diffuse >> (8 * k)) & 0xFFu) / 255.0f);
    return bytes;
}

// How many records ahead the fill fetches a record (all its cache lines, for writing). At about
// 15 ns a record, 16 ahead still left the loop waiting on misses: 32 to 64 took 1.5 ms off a
// million records (TurnedView).
constexpr size_t PREFETCH_DISTANCE = 48;

void PrefetchRecord(const void* record) {
    const char* bytes = static_cast<const char*>(record);
    for (size_t offset = 0; offset < sizeof(IVTransparencyCache::IVVBTranspTriangle); offset += 64)
        __builtin_prefetch(bytes + offset, 1);
    __builtin_prefetch(bytes + sizeof(IVTransparencyCache::IVVBTranspTriangle) - 1, 1);
}

} // namespace

IVVertexContainerTransparency::IVVertexContainerTransparency() = default;

IVVertexContainerTransparency::~IVVertexContainerTransparency() = default;

void IVVertexContainerTransparency::_Optimise(IIVVertexStream<IVVertexPNC>& stream) {
    if (mp_cache == nullptr || mp_target_render == nullptr)
        return;
    stream.BeginTriangles();

    using Record = IVTransparencyCache::IVVBTranspTriangle;
    IVTransparencyCache& cache = *mp_cache;
    // While the sort has checked the visit ranges, each registration's colour is worked out once:
    // along the draw order the meshes alternate unpredictably, and a change of colour at every
    // change of mesh cost a tenth of a turned-view pass.
    bool by_range = cache.mb_position_stls_valid &&
                    cache.mv_range_colours.size() == cache.mv_visit_range_references.size();
    if (by_range) {
        for (size_t range = 0; range < cache.mv_range_colours.size() && by_range; ++range) {
            const IVTransparencyCache::TStlReference* reference = cache.mv_visit_range_references[range];
            by_range = reference != nullptr;
            if (by_range)
                cache.mv_range_colours[range] =
                    ColourBytes(reference->mo_render_memento.GetMaterial().GetDiffuse());
        }
    }
    // Otherwise the colour changes with the mesh, through the owner link; a mesh without a
    // registration keeps the colour before it (none yet: -1 in every component).
    std::array<uint8_t, 4> bytes = ColourBytes(-1.0f);
    const MStlBase* previous_stl = nullptr;

    void* const* pointers = cache.mv_triangles.base().data();
    const size_t count =
        std::min(static_cast<size_t>(std::max(cache.mn_num_triangles, 0)), cache.mv_triangles.size());
    // The sort of this pass left the depths for this loop to store, as it reads every record anyway.
    const bool depths_pending = cache.mb_depths_pending && cache.mv_sort_keys.size() >= count;
    for (size_t i = 0; i < count; ++i) {
        // The records lie scattered over their block in draw order: fetch them ahead of their use.
        if (i + PREFETCH_DISTANCE < count)
            PrefetchRecord(pointers[i + PREFETCH_DISTANCE]);
        Record& record = *static_cast<Record*>(pointers[i]);
        if (by_range) {
            bytes = cache.mv_range_colours[cache._GetRecordRange(i)];
        } else {
            const MStlBase* stl = IVTransparencyCache::_GetOwnerStl(record.mp_triangle);
            if (stl != previous_stl) {
                previous_stl = stl;
                if (const IVTransparencyCache::TStlReference* reference = cache._FindSTL(stl))
                    bytes = ColourBytes(reference->mo_render_memento.GetMaterial().GetDiffuse());
            }
        }
        if (depths_pending)
            record.mf_depth = cache._GetSortedDepth(i);
        for (IVVertexPNC& vertex : record.ma_vertices) {
            vertex.r = bytes[0];
            vertex.g = bytes[1];
            vertex.b = bytes[2];
            vertex.a = bytes[3];
        }
        stream.AddTriangle(record.ma_vertices[0], record.ma_vertices[1], record.ma_vertices[2]);
    }
    if (depths_pending)
        mp_cache->mb_depths_pending = false;
    stream.End();
}
