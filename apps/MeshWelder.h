#pragma once
// MeshWelder: turns triangle corners (three per triangle, in model units) into an StlMesh whose
// triangles share identical points. Points are numbered in order of first use, so the result
// depends only on the input. Triangles with two corners at the same point are left out and
// counted. Corners are hashed and compared by their bytes (callers give +0 for a negative zero
// so that the two weld), in one hash table per thread over a share of the hashes; the numbering
// pass is serial, so the result does not depend on the thread count (VANTREL_THREADS).
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
