#pragma once
// MFrame: a parallelogram frame held by value: a leading scalar, the corner C, the edge vectors A
// and B, and a fourth point. The outline is C, C + A, C + A + B, C + B.
//
// A value type (copies copy all thirteen components); the destructor is virtual because the host
// derives from it. Nothing else is virtual. No invariants; not thread-aware.
#include "host/math/MMPoint3d.h"

template <class T> class MFrame {
public:
    MFrame() = default;
    MFrame(const MFrame&) = default;
    MFrame& operator=(const MFrame&) = default;
    virtual ~MFrame() = default;

    T m_value{};            // not read by the render helpers
    MMPoint3d<T> mo_corner; // C
    MMPoint3d<T> mo_edge_a; // A, from C
    MMPoint3d<T> mo_edge_b; // B, from C
    MMPoint3d<T> mo_fourth; // not read by the render helpers
};

static_assert(sizeof(MMPoint3d<float>) == 3 * sizeof(float));
static_assert(sizeof(MFrame<float>) == 64, "64-bit: the vtable pointer, then thirteen packed floats, padded");
