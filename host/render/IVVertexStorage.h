#pragma once
// IVVertexStorage: the append-only store behind IVVertexStreamBuffer, of vertices or of whole
// primitives as a replay draws them (IVReplayTriangle, IVReplayLine). Entries go into
// blocks that never move: the first blocks are small (a gizmo's stream stays small), later ones
// double up to 2 MiB, which are aligned and advised as huge pages. Growing therefore copies
// nothing and never holds an old and a new array at once, so a stream of millions of vertices
// peaks at its own size, and its first fill does not fault in 4 KiB pages one by one (11 to 16
// microseconds each on a first touch).
//
// Every block holds a multiple of six entries and a fill adds whole triangles or whole lines (3
// or 2 vertices, or 1 primitive), so no primitive straddles two blocks. Clear keeps the blocks
// for the next fill. Not thread-safe; a store belongs to one stream.
#include "host/base/MHugePageBlock.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

template <class V> class IVVertexStorage {
    static_assert(std::is_trivially_copyable_v<V>, "blocks are raw memory");

public:
    IVVertexStorage() = default;
    IVVertexStorage(IVVertexStorage&&) noexcept = default;
    IVVertexStorage& operator=(IVVertexStorage&&) noexcept = default;
    IVVertexStorage(const IVVertexStorage& other) { *this = other; }
    IVVertexStorage& operator=(const IVVertexStorage& other) {
        if (this != &other) {
            Clear();
            other.ForEachBlock([this](const V* vertices, size_t count) {
                for (size_t i = 0; i < count; i += 6)
                    Append(vertices + i, std::min<size_t>(6, count - i));
            });
        }
        return *this;
    }

    // Appends `count` (at most 6) vertices, all into one block.
    void Append(const V* vertices, size_t count) {
        while (mn_block < mv_blocks.size() &&
               mv_blocks[mn_block].count + count > mv_blocks[mn_block].capacity)
            ++mn_block;
        if (mn_block == mv_blocks.size())
            _AddBlock();
        Block& block = mv_blocks[mn_block];
        std::memcpy(block.data.get() + block.count, vertices, count * sizeof(V));
        block.count += count;
        mn_size += count;
    }
    // Empties the store, keeping its blocks.
    void Clear() {
        for (Block& block : mv_blocks)
            block.count = 0;
        mn_block = 0;
        mn_size = 0;
    }
    size_t GetSize() const { return mn_size; }
    size_t GetCapacity() const {
        size_t capacity = 0;
        for (const Block& block : mv_blocks)
            capacity += block.capacity;
        return capacity;
    }
    // Calls visit(vertices, count) for every block holding vertices, in order of appending.
    template <class Visit> void ForEachBlock(const Visit& visit) const {
        for (const Block& block : mv_blocks) {
            if (block.count == 0)
                break;
            visit(block.data.get(), block.count);
        }
    }

private:
    static constexpr size_t FIRST_BLOCK = 96;                                         // vertices
    static constexpr size_t LARGEST_BLOCK = MHugePageBlock::SIZE / sizeof(V) / 6 * 6; // vertices
    static_assert(FIRST_BLOCK % 6 == 0 && LARGEST_BLOCK % 6 == 0 && FIRST_BLOCK < LARGEST_BLOCK);

    struct Block {
        std::unique_ptr<V[], MHugePageBlock::Free> data;
        size_t capacity = 0;
        size_t count = 0;
    };

    // A block as large as all before it together (the store doubles), within the bounds above.
    void _AddBlock() {
        const size_t capacity = std::clamp(GetCapacity(), FIRST_BLOCK, LARGEST_BLOCK);
        V* data = static_cast<V*>(MHugePageBlock::Allocate(capacity * sizeof(V), capacity == LARGEST_BLOCK));
        mv_blocks.push_back({std::unique_ptr<V[], MHugePageBlock::Free>(data), capacity, 0});
    }

    std::vector<Block> mv_blocks;
    size_t mn_block = 0; // the block being filled
    size_t mn_size = 0;
};
