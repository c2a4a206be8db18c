#pragma once
// MStlMeshBuilder: makes meshes for tests and programs from integer points and index triples.
// Meshes it returns own everything they hold.
#include "host/mesh/MStlBase.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

struct MStlMeshBuilder {
    using Point = std::array<int32_t, 3>;
    using Triangle = std::array<uint32_t, 3>;

    // One root feature with one surface holding every triangle, in order.
    static std::unique_ptr<MStlBase> Make(const std::vector<Point>& points, const std::vector<Triangle>& triangles);

    // Adds `points` to `mesh` and returns their pointers, in order.
    static std::vector<MStlPoint*> AddPoints(MStlBase& mesh, const std::vector<Point>& points);
    // Appends triangles over `points` (indices into it) to `surface`.
    static void AddTriangles(MStlBase& mesh, MStlSurface* surface, const std::vector<MStlPoint*>& points,
                             const std::vector<Triangle>& triangles);
};
