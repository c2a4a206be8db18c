#pragma once
// MeshWelder: turns triangle corners (three per triangle, in model units) into an StlMesh whose
// triangles share identical points. Points are numbered in order of first use, so the result
// depends only on the input. Triangles with two corners at the same point are left out and
// counted. The welding itself is meshoptimizer's vertex remap, which hashes the coordinates'
// bytes: callers give +0 for a negative zero so that the two weld.
#include "apps/StlMesh.h"

#include <array>
#include <vector>

class MeshWelder {
public:
    // `normals` has one entry per triangle (unit or zero) and moves into the result.
    static StlMesh Weld(std::vector<std::array<float, 3>>&& corners,
                        std::vector<std::array<float, 3>>&& normals);
    // `texture_coordinates`, when not empty, has one record per triangle and is thinned like the
    // triangles into the result.
    static StlMesh Weld(std::vector<std::array<double, 3>>&& corners,
                        std::vector<std::array<float, 3>>&& normals,
                        std::vector<std::array<float, 6>>&& texture_coordinates = {});
};
