#pragma once
// MStlBlockStore: the append-only store of a mesh's points or triangles. Elements live in blocks
// that never move, so the raw pointers the mesh hands out stay valid while it grows.
//
// Call order: Reserve (optional, when the caller knows how many elements are coming), then
// EmplaceBack for each element; operator[] at any time. A reservation is one block of exactly
// the elements asked for, so a mesh built from a file of known size holds no slack and no
// per-block overhead (a std::deque of 56-byte triangles spends about 2 % on its 512-byte nodes
// and their heap headers). Without one, blocks double from 64 elements up to 2 MiB. Blocks of 2
// MiB or more are aligned and advised as huge pages, since a fresh 4 KiB page costs 11 to 16 us
// on first touch; elements are constructed as they are appended, so unused room is never touched.
//
// Elements must be trivially destructible (plain records of pointers and numbers). Not
// thread-safe; one thread builds and reads at a time.
#include "host/base/MHugePageBlock.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

template <class T> class MStlBlockStore {
    static_assert(std::is_trivially_destructible_v<T>, "blocks are freed without destroying elements");

public:
    MStlBlockStore() = default;
    MStlBlockStore(const MStlBlockStore&) = delete;
    MStlBlockStore& operator=(const MStlBlockStore&) = delete;

    // Makes room for `count` more elements in one block, unless the room already there holds them.
    void Reserve(size_t count) {
        const size_t room = mv_blocks.empty() ? 0 : mv_blocks.back().capacity - mv_blocks.back().count;
        if (count > room)
            _AddBlock(count);
    }
    // Appends a default-constructed element and returns it.
    T& EmplaceBack() {
        if (mv_blocks.empty() || mv_blocks.back().count == mv_blocks.back().capacity)
            _AddBlock(std::clamp(mn_size, FIRST_BLOCK, LARGEST_BLOCK));
        Block& block = mv_blocks.back();
        T* element = ::new (block.data.get() + block.count) T();
        ++block.count;
        ++mn_size;
        return *element;
    }
    // Unchecked: keep `index` below GetSize().
    T& operator[](size_t index) { return *_Find(index); }
    const T& operator[](size_t index) const { return *_Find(index); }
    size_t GetSize() const { return mn_size; }

private:
    static constexpr size_t FIRST_BLOCK = 64;
    static constexpr size_t LARGEST_BLOCK = std::max<size_t>(MHugePageBlock::SIZE / sizeof(T), FIRST_BLOCK);

    struct Block {
        std::unique_ptr<T[], MHugePageBlock::Free> data;
        size_t first = 0; // index of the block's first element
        size_t capacity = 0;
        size_t count = 0;
    };

    void _AddBlock(size_t capacity) {
        const size_t bytes = capacity * sizeof(T);
        void* data = MHugePageBlock::Allocate(bytes, bytes >= MHugePageBlock::SIZE);
        // A block left partly filled by a reservation keeps its unused room; indices stay dense.
        if (!mv_blocks.empty())
            mv_blocks.back().capacity = mv_blocks.back().count;
        mv_blocks.push_back(
            {std::unique_ptr<T[], MHugePageBlock::Free>(static_cast<T*>(data)), mn_size, capacity, 0});
    }
    T* _Find(size_t index) const {
        // Nearly every lookup falls in the last block (a reserved mesh has one); else bisect.
        const Block& last = mv_blocks.back();
        if (index >= last.first)
            return last.data.get() + (index - last.first);
        const auto after =
            std::upper_bound(mv_blocks.begin(), mv_blocks.end(), index,
                             [](size_t value, const Block& block) { return value < block.first; });
        const Block& block = *(after - 1);
        return block.data.get() + (index - block.first);
    }

    std::vector<Block> mv_blocks;
    size_t mn_size = 0;
};
