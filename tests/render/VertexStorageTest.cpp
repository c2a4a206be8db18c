// The blocks behind the buffered streams: whatever the fill size, every vertex comes back once,
// in order, with no triangle or line split between blocks, and a refill reuses the blocks.
#include "host/render/IVVertex.h"
#include "host/render/IVVertexStorage.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<IVVertexPNC> Read(const IVVertexStorage<IVVertexPNC>& storage, size_t primitive) {
    std::vector<IVVertexPNC> read;
    storage.ForEachBlock([&](const IVVertexPNC* vertices, size_t count) {
        EXPECT_EQ(count % primitive, 0u) << "a block of " << count << " vertices splits a primitive";
        read.insert(read.end(), vertices, vertices + count);
    });
    return read;
}

} // namespace

TEST(VertexStorage, GivesBackWholePrimitivesInOrderAcrossBlocksAndReusesThemWhenRefilled) {
    IVVertexStorage<IVVertexPNC> storage;
    // Sizes on both sides of the first block and of doublings, and past a full 2 MiB block.
    for (const size_t primitive : {size_t(3), size_t(2)})
        for (const size_t count : {0, 1, 31, 32, 33, 48, 49, 1000, 30000}) {
            storage.Clear();
            for (size_t i = 0; i < count * primitive; i += primitive) {
                IVVertexPNC corners[3] = {};
                for (size_t k = 0; k < primitive; ++k)
                    corners[k].x = float(i + k);
                storage.Append(corners, primitive);
            }
            const size_t capacity = storage.GetCapacity();
            const std::vector<IVVertexPNC> read = Read(storage, primitive);
            ASSERT_EQ(read.size(), count * primitive);
            for (size_t i = 0; i < read.size(); ++i)
                ASSERT_EQ(read[i].x, float(i)) << "vertex " << i << " of " << count << " primitives";
            const IVVertexStorage<IVVertexPNC> copy = storage;
            EXPECT_EQ(Read(copy, primitive).size(), read.size());
            storage.Clear();
            IVVertexPNC corners[3] = {};
            for (size_t i = 0; i < count; ++i)
                storage.Append(corners, primitive);
            EXPECT_EQ(storage.GetCapacity(), capacity) << "a refill of the same size grows the store";
        }
}
