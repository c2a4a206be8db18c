#include "containers/IVStlTriangleIterator.h"

#include "host/mesh/MStlFeature.h"
#include "host/mesh/MStlSurface.h"
#include "host/mesh/MStlTriangle.h"

namespace {

int32_t SurfaceCount(const MStlFeature* feature) { return static_cast<int32_t>(feature->GetNumSurfaces(false)); }

IVStlSurfaceCursor EndCursor(MStlFeature* root) {
    if (root == nullptr)
        return {};
    return {root, root, SurfaceCount(root)};
}

} // namespace

void IVStlSurfaceCursor::Advance() {
    if (mp_feature == nullptr || mn_surface_index != SurfaceCount(mp_feature))
        return;
    for (;;) {
        MStlFeature* next = nullptr;
        if (mp_feature->GetNumFeatures(false) != 0) {
            next = mp_feature->GetFeature(0);
        } else {
            // Climb until a feature has a next sibling. Features climbed through count as done,
            // and reaching the root leaves the end cursor: the root's own siblings are not ours.
            while (mp_feature != mp_root) {
                MStlFeature* parent = mp_feature->mp_parent;
                const size_t index = mp_feature->GetIndex();
                if (index < parent->GetNumFeatures(false) - 1) {
                    next = parent->GetFeature(index + 1);
                    break;
                }
                mp_feature = parent;
                mn_surface_index = SurfaceCount(parent);
            }
            if (next == nullptr)
                return;
        }
        mp_feature = next;
        mn_surface_index = 0;
        if (SurfaceCount(next) != 0)
            return;
    }
}

IVStlTriangleIterator IVStlTriangleIterator::Begin(MStlFeature* root) {
    IVStlTriangleIterator iterator;
    iterator.mo_end = EndCursor(root);
    iterator.mo_position = {root, root, 0};
    iterator.mo_position.Advance();
    iterator._TakeNextSurface();
    return iterator;
}

IVStlTriangleIterator IVStlTriangleIterator::End(MStlFeature* root) {
    IVStlTriangleIterator iterator;
    iterator.mo_end = EndCursor(root);
    iterator.mo_position = iterator.mo_end;
    return iterator;
}

void IVStlTriangleIterator::_TakeNextSurface() {
    while (mp_triangle == nullptr && !(mo_position == mo_end)) {
        mp_triangle = mo_position.mp_feature->GetSurface(mo_position.mn_surface_index)->GetFirstTriangle();
        ++mo_position.mn_surface_index;
        mo_position.Advance();
    }
}

IVStlTriangleIterator& IVStlTriangleIterator::operator++() {
    mp_triangle = mp_triangle->mp_next;
    _TakeNextSurface();
    return *this;
}
