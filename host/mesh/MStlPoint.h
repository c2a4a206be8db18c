#pragma once
// MStlPoint: a mesh point in internal units (32-bit integers). While the mesh's compact store has
// neighbour information switched on, the point also lists every feature-tree triangle that uses it.
#include <cstdint>

class MStlTriangle;

struct MStlPoint {
    int32_t x = 0;
    int32_t y = 0;
    int32_t z = 0;
    // The count sits in the coordinates' padding: a point takes 32 bytes instead of 40, which a
    // mesh of a million points feels.
    uint16_t mn_num_neighbours = 0;
    uint64_t mn_index = 0; // position of the point in its mesh; keys per-point data such as masks
    MStlTriangle** mpp_neighbours = nullptr; // owned by MStlCompact while neighbour info is on
};
static_assert(sizeof(MStlPoint) == 32);
