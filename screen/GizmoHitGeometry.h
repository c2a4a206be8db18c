#pragma once
// The plane geometry of the gizmo's hit test (internal): vectors in a y-up frame centred on a
// corner, their counter-clockwise order, the sector between two strokes and the stroke test.
#include "host/win32/CSize.h"
#include "screen/ScreenMath.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace VantrelScreen {

struct Vector {
    double x;
    double y;
};

// 0 to 3 counter-clockwise from the positive x axis; the positive axes belong to quadrants 0
// (x) and 0 or 1 (y), as the comparison below needs.
inline int Quadrant(const Vector& p) {
    if (p.y >= 0.0)
        return p.x >= 0.0 ? 0 : 1;
    return p.x < 0.0 ? 2 : 3;
}

// +1 when p comes before q counter-clockwise from the positive x axis, -1 when after, 0 when the
// two point the same way (within a small tolerance on the cross product).
inline int Compare(const Vector& p, const Vector& q) {
    const int quadrant_p = Quadrant(p), quadrant_q = Quadrant(q);
    if (quadrant_p != quadrant_q)
        return quadrant_p < quadrant_q ? 1 : -1;
    const double cross = p.x * q.y - p.y * q.x;
    if (std::fabs(cross) < 3.140185e-15)
        return 0;
    return cross > 0.0 ? 1 : -1;
}

// Sector 0 lies between d0 and d1, 1 between d1 and d2, 2 between d2 and d0 (the strokes in
// counter-clockwise order).
inline int FindSector(const Vector& mouse, const Vector& d0, const Vector& d1, const Vector& d2) {
    const int to_d1 = Compare(mouse, d1);
    const int from_d0 = Compare(d0, mouse);
    if (from_d0 == 0)
        return to_d1 == 1 ? 0 : 1;
    if (to_d1 == 0)
        return 0; // along d1, where sectors 0 and 1 meet: the lower-numbered one
    if (from_d0 == to_d1)
        return 0;
    const int to_d2 = Compare(mouse, d2);
    if (to_d2 == 0)
        return 1; // along d2, where sectors 1 and 2 meet: the lower-numbered one
    return to_d2 == -to_d1 ? 1 : 2;
}

// Whether a mouse at `squared_distance` from the nearest corner can reach a stroke at all: the
// longest stroke widened by the tolerance on both components.
inline bool WithinReach(const CSize& longest, int64_t tolerance, uint64_t squared_distance) {
    return SquaredLength(longest.cx + tolerance, longest.cy + tolerance) > squared_distance;
}

// Whether the mouse vector lies on the stroke from the corner to `stroke`, within `tolerance`:
// first inside the stroke's box widened by the tolerance, then within the tolerance of the segment
// itself. The segment distance needs no slope, so vertical, horizontal and zero-length strokes are
// handled alike.
inline bool OnStroke(const Vector& mouse, const Vector& stroke, double tolerance) {
    if (mouse.x < std::min(0.0, stroke.x) - tolerance || mouse.x > std::max(0.0, stroke.x) + tolerance ||
        mouse.y < std::min(0.0, stroke.y) - tolerance || mouse.y > std::max(0.0, stroke.y) + tolerance)
        return false;
    const double length_squared = stroke.x * stroke.x + stroke.y * stroke.y;
    double t = 0.0;
    if (length_squared > 0.0)
        t = std::clamp((mouse.x * stroke.x + mouse.y * stroke.y) / length_squared, 0.0, 1.0);
    const double dx = mouse.x - t * stroke.x, dy = mouse.y - t * stroke.y;
    return dx * dx + dy * dy <= tolerance * tolerance;
}

} // namespace VantrelScreen
