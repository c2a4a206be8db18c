#include "transparency/IVVertexContainerTransparency.h"

#include "host/mesh/MStlBase.h"
#include "transparency/IVTransparencyCache.h"

#include <algorithm>
#include <cstdint>

namespace {

// Rounded, then the low eight bits: a component of -1 (no colour found yet) gives 2.
uint8_t ColourByte(float component) {
    return static_cast<uint8_t>(static_cast<int64_t>(component * 255.0f + 0.5f));
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
    float colour[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
    uint8_t bytes[4];
    const auto convert = [&] {
        for (int k = 0; k < 4; ++k)
            bytes[k] = ColourByte(colour[k]);
    };
    convert();

    const MStlBase* previous_stl = nullptr;
    void* const* pointers = mp_cache->mv_triangles.base().data();
    const size_t count =
        std::min(static_cast<size_t>(std::max(mp_cache->mn_num_triangles, 0)), mp_cache->mv_triangles.size());
    // The sort of this pass left the depths for this loop to store, as it reads every record anyway.
    const bool depths_pending = mp_cache->mb_depths_pending && mp_cache->mv_sort_keys.size() >= count;
    for (size_t i = 0; i < count; ++i) {
        // The records lie scattered over their block in draw order: fetch them ahead of their use.
        if (i + PREFETCH_DISTANCE < count)
            PrefetchRecord(pointers[i + PREFETCH_DISTANCE]);
        Record& record = *static_cast<Record*>(pointers[i]);
        const IVTransparencyCache::TStlReference* reference = nullptr;
        const MStlBase* stl = mp_cache->_GetRecordStl(i, &reference);
        if (stl != previous_stl) {
            previous_stl = stl;
            if (reference == nullptr)
                reference = mp_cache->_FindSTL(stl);
            if (reference != nullptr) {
                const uint32_t diffuse = reference->mo_render_memento.GetMaterial().GetDiffuse();
                for (int k = 0; k < 4; ++k)
                    colour[k] = static_cast<float>((diffuse >> (8 * k)) & 0xFFu) / 255.0f;
                convert();
            }
        }
        if (depths_pending)
            record.mf_depth = mp_cache->_GetSortedDepth(i);
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
