#pragma once
// IVStlTriangleIterator: the one way the library visits the triangles of a mesh's feature tree.
//
// Pre-order: a feature's own surfaces in index order (each surface's triangles in list order),
// then its child features in index order, each with its whole subtree, before the next sibling.
// The walk never leaves the subtree of the feature it started at. It holds no list of its own:
// a cursor (feature, next surface index) is all the state, so walking allocates nothing.
// Iterators compare by their current triangle only; the walk has ended when it is null.
#include <cstdint>

class MStlFeature;
class MStlTriangle;

struct IVStlSurfaceCursor {
    MStlFeature* mp_root = nullptr;
    MStlFeature* mp_feature = nullptr;
    int32_t mn_surface_index = 0;

    bool operator==(const IVStlSurfaceCursor&) const = default;

    // Moves to the next feature that still has a surface to visit, or to the end cursor.
    void Advance();
};

class IVStlTriangleIterator {
public:
    static IVStlTriangleIterator Begin(MStlFeature* root);
    static IVStlTriangleIterator End(MStlFeature* root);

    MStlTriangle* operator*() const { return mp_triangle; }
    IVStlTriangleIterator& operator++();
    bool operator==(const IVStlTriangleIterator& other) const { return mp_triangle == other.mp_triangle; }

    MStlTriangle* mp_triangle = nullptr;
    IVStlSurfaceCursor mo_position;
    IVStlSurfaceCursor mo_end;

private:
    // Takes surfaces from the position until one has a triangle or the position reaches the end.
    void _TakeNextSurface();
};

// Range over a feature tree's triangles, for range-based for.
struct IVStlTriangleRange {
    MStlFeature* mp_root;
    IVStlTriangleIterator begin() const { return IVStlTriangleIterator::Begin(mp_root); }
    IVStlTriangleIterator end() const { return IVStlTriangleIterator::End(mp_root); }
};
