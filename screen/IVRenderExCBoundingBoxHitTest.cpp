// The gizmo's drawing (centre spot, handle strokes) and mouse hit tests.
#include "screen/IVRenderExCBoundingBox.h"

#include "host/win32/WinGdi.h"
#include "screen/GizmoHitGeometry.h"
#include "screen/ScreenMath.h"

#include <algorithm>
#include <cmath>
#include <utility>

using namespace VantrelScreen;

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
    // The centre spot, easier to hit on a box that is large on screen.
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

    // The nearest corner, and whether the mouse is within reach of its strokes at all.
    uint64_t distance = 0;
    const unsigned int corner = FindClosestPoint(mouse, &distance);
    pointIndex = corner;
    const int64_t tolerance = mo_configuration.mn_pick_tolerance;
    const CSize& longest = ma_handle_sizes[std::clamp(mn_longest_handle_axis, 0, 2)];
    if (!WithinReach(longest, tolerance, distance))
        return eMouseOutside;

    // Mouse and stroke vectors in a y-up frame at the corner.
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

    // The three strokes in counter-clockwise order.
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

    // The sector between two neighbouring strokes that holds the mouse vector.
    const int sector = FindSector(mouse_vector, d0, d1, d2);

    // The strokes at the sector's two sides; a hit reports the third axis.
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
