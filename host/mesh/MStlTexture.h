#pragma once
// MStlTexture: a texture laid over some triangles of a mesh, with per-triangle coordinates.
//
// Coordinates are kept in the order they were set; the triangle list (GetTriangles) is a cache
// derived from them. After a change the list is stale until _SpreadInvalidity marks it so and
// _ValidateVector rebuilds it; both are const because they touch only the cache.
#include "host/mesh/MStlTextureCoordinates.h"

#include <unordered_map>
#include <vector>

class MStlTriangle;

class MStlTexture {
public:
    // Adds or replaces the coordinates of `triangle`; a new triangle goes to the end of the list.
    void SetCoordinates(const MStlTriangle* triangle, const MStlTextureCoordinates& coordinates);

    // True when the texture covers `triangle`, filling `coordinates`; false leaves it untouched.
    bool GetCoordinates(const MStlTriangle* triangle, MStlTextureCoordinates& coordinates, bool exact) const;

    void _SpreadInvalidity() const;
    void _ValidateVector() const;
    bool IsListValid() const { return mb_list_valid; }
    const std::vector<MStlTriangle*>& GetTriangles() const { return mv_triangles; }

private:
    std::vector<const MStlTriangle*> mv_order;
    std::unordered_map<const MStlTriangle*, MStlTextureCoordinates> mv_coordinates;
    mutable bool mb_changed = false;
    mutable bool mb_list_valid = true;
    mutable std::vector<MStlTriangle*> mv_triangles;
};
