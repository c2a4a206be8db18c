#pragma once
// MStlBaseProperties: cached facts about a mesh. The triangle count covers the feature tree (every
// triangle, active or not) and the compact store; it is recomputed on demand after a change.
#include <cstdint>

class MStlBase;
class MValidityField;

class MStlBaseProperties {
public:
    MValidityField* mp_validity = nullptr;
    mutable bool mb_num_triangles_valid = false;
    mutable int32_t mn_num_triangles = 0;
    const MStlBase* mp_stl = nullptr;

    void _CalculateNumTriangles() const;
};
