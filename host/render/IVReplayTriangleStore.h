#pragma once
// IVReplayTriangleStore: the triangles of a buffered stream's fill, kept as their replay hands them
// to a device: three corner positions (x, y, z each), and per format the normal sum
// (a.n + b.n) + c.n, summed in single precision as the replay would, and corner 0's colour word.
// Textured triangles keep their three vertices, since the textured-triangle entry takes them whole.
//
// Corner positions are kept once and named by index: a corner whose three floats (bit for bit)
// match a position among the last few thousand distinct ones stored reuses it. A fill of a welded
// mesh meets each point about six times, close together even in a depth order (triangles of
// nearly equal depth lie side by side), so four of five corners find their point: a transparent
// triangle of position, normal and colour then takes about 28 + 7 bytes instead of 84. The lookup
// is a direct-mapped table of recent positions that grows with the fill up to 2^15 entries (128 KB);
// a miss only stores the position again, so the replay is the same whatever the table finds.
//
// Call order: Clear, Append per triangle, then ForEach as often as needed. Blocks never move and
// are kept by Clear for the next fill. Units: none of its own. Not thread-safe; a store belongs
// to one stream.
#include "host/base/MHugePageBlock.h"
#include "host/render/IVVertex.h"
#include "host/render/IVVertexStorage.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <vector>

// One stored triangle: `ma_corners` index the store's positions.
template <class V> struct IVReplayTriangle {
    uint32_t ma_corners[3];
    float ma_normal[3];
};
template <> struct IVReplayTriangle<IVVertexP> { uint32_t ma_corners[3]; };
template <> struct IVReplayTriangle<IVVertexPNC> {
    uint32_t ma_corners[3];
    float ma_normal[3];
    uint32_t mn_colour; // byte 0 red ... byte 3 alpha
};
template <> struct IVReplayTriangle<IVVertexPNT> { IVVertexPNT ma_vertices[3]; };
static_assert(sizeof(IVReplayTriangle<IVVertexP>) == 12 && sizeof(IVReplayTriangle<IVVertexPN>) == 24 &&
              sizeof(IVReplayTriangle<IVVertexPNC>) == 28 && sizeof(IVReplayTriangle<IVVertexPNT>) == 96);

template <class V> class IVReplayTriangleStore {
    static constexpr bool INDEXED = !std::is_same_v<V, IVVertexPNT>;

public:
    using Triangle = IVReplayTriangle<V>;

    IVReplayTriangleStore() = default;
    IVReplayTriangleStore(IVReplayTriangleStore&&) noexcept = default;
    IVReplayTriangleStore& operator=(IVReplayTriangleStore&&) noexcept = default;
    IVReplayTriangleStore(const IVReplayTriangleStore& other) { *this = other; }
    IVReplayTriangleStore& operator=(const IVReplayTriangleStore& other) {
        if (this != &other) {
            Clear();
            mo_triangles = other.mo_triangles;
            for (size_t i = 0; i < other.mn_num_positions; ++i)
                _AppendPosition(other._Position(i));
        }
        return *this;
    }

    // Empties the store, keeping its blocks and its table's size.
    void Clear() {
        mo_triangles.Clear();
        mn_num_positions = 0;
        std::fill(mv_recent.begin(), mv_recent.end(), Recent{});
    }
    size_t GetSize() const { return mo_triangles.GetSize(); }
    // Triangles that fit without growing (for choosing among kept stores).
    size_t GetCapacity() const { return mo_triangles.GetCapacity(); }
    size_t GetNumPositions() const { return mn_num_positions; }

    void Append(const V& a, const V& b, const V& c) {
        Triangle triangle;
        if constexpr (INDEXED) {
            triangle.ma_corners[0] = _Index(a);
            triangle.ma_corners[1] = _Index(b);
            triangle.ma_corners[2] = _Index(c);
            if constexpr (!std::is_same_v<V, IVVertexP>) {
                triangle.ma_normal[0] = (a.nx + b.nx) + c.nx;
                triangle.ma_normal[1] = (a.ny + b.ny) + c.ny;
                triangle.ma_normal[2] = (a.nz + b.nz) + c.nz;
            }
            if constexpr (std::is_same_v<V, IVVertexPNC>)
                triangle.mn_colour =
                    uint32_t(a.r) | uint32_t(a.g) << 8 | uint32_t(a.b) << 16 | uint32_t(a.a) << 24;
        } else {
            triangle.ma_vertices[0] = a;
            triangle.ma_vertices[1] = b;
            triangle.ma_vertices[2] = c;
        }
        mo_triangles.Append(&triangle, 1);
    }

    // Calls visit(triangle, a, b, c) per triangle in order of appending; a, b and c point at the
    // corners' x, y, z.
    template <class Visit> void ForEach(const Visit& visit) const {
        mo_triangles.ForEachBlock([&](const Triangle* triangles, size_t count) {
            for (size_t i = 0; i < count; ++i) {
                const Triangle& triangle = triangles[i];
                // The device's drawing between two triangles pushes the positions out of the
                // nearest caches; ask for those of a triangle a few ahead while this one draws.
                if constexpr (INDEXED)
                    if (i + PREFETCH_DISTANCE < count)
                        for (const uint32_t corner : triangles[i + PREFETCH_DISTANCE].ma_corners)
                            __builtin_prefetch(&_Position(corner));
                if constexpr (INDEXED)
                    visit(triangle, &_Position(triangle.ma_corners[0]).x,
                          &_Position(triangle.ma_corners[1]).x, &_Position(triangle.ma_corners[2]).x);
                else
                    visit(triangle, &triangle.ma_vertices[0].x, &triangle.ma_vertices[1].x,
                          &triangle.ma_vertices[2].x);
            }
        });
    }

private:
    // Positions live in blocks of 2^10, 2^10, 2^11, ... 2^16 entries, then 2^16 each, so that an
    // index finds its block with a few bit operations and a small fill stays small.
    static constexpr unsigned FIRST_BITS = 10;
    static constexpr unsigned LARGEST_BITS = 16;
    static constexpr size_t GROWN = size_t(1) << LARGEST_BITS; // entries before the equal blocks
    static constexpr unsigned LARGEST_TABLE_BITS = 15;
    static constexpr uint32_t NONE = UINT32_MAX;
    static constexpr size_t PREFETCH_DISTANCE = 4; // triangles

    static size_t _BlockOf(size_t index) {
        if (index >= GROWN)
            return (LARGEST_BITS - FIRST_BITS) + (index >> LARGEST_BITS);
        if (index < (size_t(1) << FIRST_BITS))
            return 0;
        return size_t(std::bit_width(index)) - FIRST_BITS;
    }
    static size_t _BlockStart(size_t block) {
        if (block == 0)
            return 0;
        if (block <= LARGEST_BITS - FIRST_BITS)
            return size_t(1) << (block + FIRST_BITS - 1);
        return (block - (LARGEST_BITS - FIRST_BITS)) << LARGEST_BITS;
    }
    static size_t _BlockCapacity(size_t block) { return _BlockStart(block + 1) - _BlockStart(block); }

    const IVVertexP& _Position(size_t index) const {
        const size_t block = _BlockOf(index);
        return mv_positions[block][index - _BlockStart(block)];
    }
    uint32_t _AppendPosition(const IVVertexP& position) {
        const size_t index = mn_num_positions;
        if (index >= NONE)
            throw std::length_error("more corner positions than 32-bit indices name");
        const size_t block = _BlockOf(index);
        if (block == mv_positions.size()) {
            auto* data = static_cast<IVVertexP*>(
                MHugePageBlock::Allocate(_BlockCapacity(block) * sizeof(IVVertexP), false));
            mv_positions.emplace_back(data);
        }
        mv_positions[block][index - _BlockStart(block)] = position;
        ++mn_num_positions;
        return uint32_t(index);
    }
    // The index of a stored position equal to the vertex's, bit for bit, or of a new one.
    template <class Vertex> uint32_t _Index(const Vertex& vertex) {
        Recent key;
        std::memcpy(key.ma_words, &vertex.x, sizeof key.ma_words);
        // Two table entries per stored position up to the largest table: few collisions.
        if (mv_recent.size() < (size_t(1) << LARGEST_TABLE_BITS) && 2 * mn_num_positions >= mv_recent.size())
            mv_recent.assign(std::max<size_t>(2 * mv_recent.size(), 256), Recent{});
        uint32_t hash = (key.ma_words[0] * 0x9E3779B1u) ^ (key.ma_words[1] * 0x85EBCA77u) ^
                        (key.ma_words[2] * 0xC2B2AE3Du);
        hash ^= hash >> 15;
        hash *= 0x2C1B3C6Du;
        hash ^= hash >> 12;
        Recent& slot = mv_recent[hash & (mv_recent.size() - 1)];
        if (slot.mn_index != NONE && slot.ma_words[0] == key.ma_words[0] &&
            slot.ma_words[1] == key.ma_words[1] && slot.ma_words[2] == key.ma_words[2])
            return slot.mn_index;
        IVVertexP position;
        std::memcpy(&position, key.ma_words, sizeof position);
        key.mn_index = _AppendPosition(position);
        slot = key;
        return key.mn_index;
    }

    // A position met lately (its float bits) and its index; NONE: empty.
    struct Recent {
        uint32_t ma_words[3] = {0, 0, 0};
        uint32_t mn_index = NONE;
    };

    IVVertexStorage<Triangle> mo_triangles;
    std::vector<std::unique_ptr<IVVertexP[], MHugePageBlock::Free>> mv_positions;
    size_t mn_num_positions = 0;
    std::vector<Recent> mv_recent; // by hash of the position
};
