#pragma once
// MStlCompact: the mesh's compact triangle store, and the switch for per-point neighbour lists.
//
// Records live in blocks of 8192 so that growing the store never moves a record. Neighbour lists
// cover the mesh's feature-tree triangles: while on, every point lists each triangle using it,
// in feature-tree walk order. EnableNeighbourInfo is const because it changes only derived data.
#include "host/mesh/MStlCompactTriangle.h"

#include <cstdint>
#include <memory>
#include <vector>

class MStlBase;
class MStlTriangle;

class MStlCompact {
public:
    static constexpr uint64_t BLOCK_SIZE = 8192;

    explicit MStlCompact(MStlBase* stl) : mp_stl(stl) {}
    MStlCompact(const MStlCompact&) = delete;
    MStlCompact& operator=(const MStlCompact&) = delete;
    ~MStlCompact();

    uint64_t GetNumTriangles() const { return mn_num_triangles; }
    const MStlCompactTriangle& GetTriangle(uint64_t index) const {
        return mv_blocks[index / BLOCK_SIZE][index % BLOCK_SIZE];
    }
    MStlCompactTriangle& AddTriangle(MStlPoint* p0, MStlPoint* p1, MStlPoint* p2, int8_t nx, int8_t ny,
                                     int8_t nz);

    void EnableNeighbourInfo(bool enable) const;
    bool HasNeighbourInfo() const { return mn_neighbour_info != 0; }

    uint64_t mn_num_triangles = 0;
    mutable uint32_t mn_neighbour_info = 0; // non-zero while neighbour lists exist

private:
    void _DropNeighbourInfo() const;

    MStlBase* mp_stl;
    std::vector<std::unique_ptr<MStlCompactTriangle[]>> mv_blocks;
    mutable std::vector<MStlTriangle*> mv_neighbour_storage;
};
