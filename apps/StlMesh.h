#pragma once
// StlMesh: the triangles of one STL file after reading, in internal units, with identical points
// welded so that triangles share their corners (neighbour lists, and with them Gouraud normals,
// need shared points). Plain data; MeshFactory turns it into a host mesh.
#include <array>
#include <cstdint>
#include <vector>

struct StlMesh {
    std::vector<std::array<int32_t, 3>> points;
    std::vector<std::array<uint32_t, 3>> triangles;
    // One per triangle: the file's facet normal brought to unit length, or zero when the file gave
    // none usable (zero, not finite); the mesh then keeps the normal computed from the corners.
    std::vector<std::array<float, 3>> normals;
};
