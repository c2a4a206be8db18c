#pragma once
// MStlVectorMaskPoints: one three-float vector per mesh point index, stored in blocks of 1024 so
// that an entry is found in constant time and growing never moves existing entries.
#include <cstdint>
#include <memory>
#include <vector>

class MStlVectorMaskPoints {
public:
    static constexpr uint64_t BLOCK_SIZE = 1024;
    using Entry = float[3];

    explicit MStlVectorMaskPoints(uint64_t count = 0) { Resize(count); }

    // New entries are zero.
    void Resize(uint64_t count);
    uint64_t GetCount() const { return mn_count; }
    const float* Get(uint64_t index) const { return mv_blocks[index / BLOCK_SIZE][index % BLOCK_SIZE]; }
    void Set(uint64_t index, float x, float y, float z);

private:
    uint64_t mn_count = 0;
    std::vector<std::unique_ptr<Entry[]>> mv_blocks;
};
