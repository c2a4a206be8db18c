// The gizmo's drawing (centre spot, handle strokes) and mouse hit tests.
#include "screen/IVRenderExCBoundingBox.h"

#include "host/win32/WinGdi.h"
#include "screen/ScreenMath.h"

#include <algorithm>
#include <cmath>
#include <utility>

using namespace VantrelScreen;

namespace {

struct Vector {
    double x;
    double y;
};

int Quadrant(const Vector& p) {
    if (p.y >= 0.0)
        return p.x >= 0.0 ? 0 : 1;
    return p.x < 0.0 ? 2 : 3;
}

// +1 when p comes before q counter-clockwise from the positive x axis, -1 when after, 0 when the
// two point the same way (within a small tolerance on the cross product).
int Compare(const Vector& p, const Vector& q) {
    const int quadrant_p = Quadrant(p), quadrant_q = Quadrant(q);
    if (quadrant_p != quadrant_q)
        return quadrant_p < quadrant_q ? 1 : -1;
    const double cross = p.x * q.y - p.y * q.x;
    if (std::fabs(cross) < 3.140185e-15)
        return 0;
    return cross > 0.0 ? 1 : -1;
}

// Whether the mouse vector lies on the stroke from the corner to `stroke`, within `tolerance`:
// first inside the stroke's box widened by the tolerance, then within the tolerance of the segment
// itself. The segment distance needs no slope, so vertical, horizontal and zero-length strokes are
// handled alike.
bool OnStroke(const Vector& mouse, const Vector& stroke, double tolerance) {
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

} // namespace

void IVRenderEx::CBoundingBox::RenderCenterSpot(CDC& dc) const {
    const CPoint& centre = ma_vertices_on_screen[8];
    const int64_t radius = mo_configuration.mn_center_spot_radius;
    dc.Ellipse(ClampToInt(centre.x - radius), ClampToInt(centre.y - radius), ClampToInt(centre.x + radius),
               ClampToInt(centre.y + radius));
}

void IVRenderEx::CBoundingBox::RenderHandles(CDC& dc, bool farLines) const {
    for (unsigned line = 0; line < 12; ++line) {
        const int first = mga_lines_indeces[line][0], second = mga_lines_indeces[line][1];
        const bool near_line = mn_min_z_vertex == first || mn_min_z_vertex == second;
        if (near_line == farLines)
            continue;
        const CPoint& p = ma_vertices_on_screen[first];
        const CPoint& q = ma_vertices_on_screen[second];
        const CSize& size = ma_handle_sizes[line / 4];
        const int64_t step_x = p.x > q.x ? -int64_t(size.cx) : int64_t(size.cx);
        const int64_t step_y = p.y > q.y ? -int64_t(size.cy) : int64_t(size.cy);
        dc.MoveTo(p.x, p.y);
        dc.LineTo(ClampToInt(p.x + step_x), ClampToInt(p.y + step_y));
        dc.MoveTo(q.x, q.y);
        dc.LineTo(ClampToInt(q.x - step_x), ClampToInt(q.y - step_y));
    }
}

unsigned int IVRenderEx::CBoundingBox::FindClosestPoint(CPoint point, uint64_t* squaredDistance) const {
    unsigned int closest = 0;
    uint64_t best = 0;
    for (unsigned int i = 0; i < 8; ++i) {
        const CPoint& vertex = ma_vertices_on_screen[i];
        const uint64_t distance = SquaredLength(int64_t(vertex.x) - point.x, int64_t(vertex.y) - point.y);
        if (i == 0 || distance < best) {
            best = distance;
            closest = i;
        }
    }
    if (squaredDistance != nullptr)
        *squaredDistance = best;
    return closest;
}

bool IVRenderEx::CBoundingBox::WhereIsTheMouseQuickTest(CPoint point) const {
    CRect area = mo_bounds_on_screen;
    ::InflateRect(&area, mo_configuration.mn_pick_tolerance, mo_configuration.mn_pick_tolerance);
    return ::PtInRect(&area, point) != FALSE;
}

IVRenderEx::CBoundingBox::EMouseType
IVRenderEx::CBoundingBox::WhereIsTheMouse(EAxis& axis, unsigned int& pointIndex, CPoint mouse) const {
    // 1. The centre spot, easier to hit on a box that is large on screen.
    int64_t radius = mo_configuration.mn_center_spot_radius;
    const int64_t width = int64_t(mo_bounds_on_screen.right) - mo_bounds_on_screen.left;
    const int64_t height = int64_t(mo_bounds_on_screen.bottom) - mo_bounds_on_screen.top;
    if (2 * radius < width && 2 * radius < height)
        radius += mo_configuration.mn_center_pick_margin;
    const CPoint& centre = ma_vertices_on_screen[8];
    if (SquaredLength(int64_t(mouse.x) - centre.x, int64_t(mouse.y) - centre.y) <= SquaredLength(radius, 0)) {
        pointIndex = 8;
        return eMouseCenter;
    }

    // 2. The nearest corner, and 3. whether the mouse is within reach of its strokes at all.
    uint64_t distance = 0;
    const unsigned int corner = FindClosestPoint(mouse, &distance);
    pointIndex = corner;
    const int64_t tolerance = mo_configuration.mn_pick_tolerance;
    const CSize& longest = ma_handle_sizes[std::clamp(mn_longest_handle_axis, 0, 2)];
    if (SquaredLength(longest.cx + tolerance, longest.cy + tolerance) <= distance)
        return eMouseOutside;

    // 4. and 5. Mouse and stroke vectors in a y-up frame at the corner.
    const CPoint& vertex = ma_vertices_on_screen[corner];
    const Vector mouse_vector{double(mouse.x) - double(vertex.x), double(vertex.y) - double(mouse.y)};
    Vector strokes[3];
    for (int a = 0; a < 3; ++a) {
        int other = mga_lines_indeces[4 * a][1];
        for (int line = 4 * a; line < 4 * a + 4; ++line) {
            if (mga_lines_indeces[line][0] == corner)
                other = mga_lines_indeces[line][1];
            else if (mga_lines_indeces[line][1] == corner)
                other = mga_lines_indeces[line][0];
        }
        const CPoint& end = ma_vertices_on_screen[other];
        const CSize& size = ma_handle_sizes[a];
        strokes[a] = Vector{end.x > vertex.x ? double(size.cx) : -double(size.cx),
                            end.y > vertex.y ? -double(size.cy) : double(size.cy)};
    }

    // 7. The three strokes in counter-clockwise order.
    int order[3] = {0, 1, 2};
    const auto sort_pair = [&](int i, int j) {
        if (Compare(strokes[order[i]], strokes[order[j]]) == -1)
            std::swap(order[i], order[j]);
    };
    sort_pair(0, 1);
    sort_pair(1, 2);
    sort_pair(0, 1);
    const Vector& d0 = strokes[order[0]];
    const Vector& d1 = strokes[order[1]];
    const Vector& d2 = strokes[order[2]];

    // 8. The sector between two neighbouring strokes that holds the mouse vector.
    int sector = 2;
    const int to_d1 = Compare(mouse_vector, d1);
    const int from_d0 = Compare(d0, mouse_vector);
    if (from_d0 == 0) {
        sector = to_d1 == 1 ? 0 : 1;
    } else if (to_d1 == 0) {
        sector = 0; // along d1, between sectors 0 and 1: the lower-numbered one
    } else if (from_d0 == to_d1) {
        sector = 0;
    } else {
        const int to_d2 = Compare(mouse_vector, d2);
        if (to_d2 == 0)
            sector = 1; // along d2, between sectors 1 and 2: the lower-numbered one
        else if (to_d2 == -to_d1)
            sector = 1;
    }

    // 9. and 10. The strokes at the sector's two sides; a hit reports the third axis.
    const int first_side = order[sector];
    const int second_side = order[(sector + 1) % 3];
    const double widened = double(tolerance) + 0.00034526698;
    if (OnStroke(mouse_vector, strokes[first_side], widened) ||
        OnStroke(mouse_vector, strokes[second_side], widened)) {
        axis = static_cast<EAxis>(3 - first_side - second_side);
        return eMouseHandle;
    }
    return eMouseOutside;
}
