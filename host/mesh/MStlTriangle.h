#pragma once
// MStlTriangle: one feature-tree triangle. Triangles of a surface form a singly linked list.
// The owner link leads to the surface holding the triangle and from there to the mesh; a triangle
// without an owner belongs to no mesh.
#include <cstdint>

class MStlBase;
class MStlSurface;
struct MStlPoint;

class MStlTriangle {
public:
    static constexpr uint8_t ACTIVE_FLAG = 0x80; // top bit of mn_flags

    MStlPoint* mp_points[3] = {nullptr, nullptr, nullptr};
    float ma_normal[3] = {0.0f, 0.0f, 0.0f}; // facet normal, unit length when the triangle is not degenerate
    uint8_t mn_flags = ACTIVE_FLAG;
    MStlTriangle* mp_next = nullptr;
    MStlSurface* mp_owner = nullptr;

    bool IsActive() const { return (mn_flags & ACTIVE_FLAG) != 0; }
    void SetActive(bool active) {
        mn_flags = active ? uint8_t(mn_flags | ACTIVE_FLAG) : uint8_t(mn_flags & ~ACTIVE_FLAG);
    }
    MStlBase* GetStl() const;
    // Recomputes ma_normal from the corners (single precision, normalised when non-zero).
    void CalculateNormal();
};
static_assert(sizeof(MStlTriangle) == 56); // 53 bytes of fields, padded for the pointers
