#pragma once
// M3dBorderBuilder: makes and owns 3D borders (M3dBorderFloat) for tests and programs.
//
// Contours are appended in order; each one's points are linked as a ring (the last point links
// back to the first), the shape the host's borders have. The stored count may be given apart from
// the points, so that callers can build the degenerate counts too. Records live in deques, so
// their addresses stay valid while the builder grows; the builder can be neither copied nor moved
// because the border links into its own storage.
#include "host/math/MMPoint3d.h"
#include "host/mesh/M3dBorder.h"

#include <cstdint>
#include <deque>
#include <vector>

class M3dBorderBuilder {
public:
    using Point = M3dBorderPoint<float, float>;
    using Contour = M3dBorderContour<float, float, Point>;

    M3dBorderBuilder() = default;
    M3dBorderBuilder(const M3dBorderBuilder&) = delete;
    M3dBorderBuilder& operator=(const M3dBorderBuilder&) = delete;

    // Appends a contour whose count is the number of points.
    Contour& AddRing(const std::vector<MMPoint3d<float>>& points) {
        return AddRing(points, static_cast<int32_t>(points.size()));
    }

    // Appends a contour over `points` (ring-linked) that claims `count` points.
    Contour& AddRing(const std::vector<MMPoint3d<float>>& points, int32_t count) {
        Point* first = nullptr;
        Point* last = nullptr;
        for (const MMPoint3d<float>& value : points) {
            Point& point = mo_points.emplace_back();
            point.x = value.x;
            point.y = value.y;
            point.z = value.z;
            if (last != nullptr)
                last->mp_next = &point;
            else
                first = &point;
            last = &point;
        }
        if (last != nullptr)
            last->mp_next = first;
        Contour& contour = mo_contours.emplace_back();
        contour.mp_first_point = first;
        contour.mn_num_points = count;
        if (mp_last_contour != nullptr)
            mp_last_contour->mp_next = &contour;
        else
            mo_border.mp_first_contour = &contour;
        mp_last_contour = &contour;
        return contour;
    }

    M3dBorderFloat* GetBorder() { return &mo_border; }

private:
    std::deque<Point> mo_points;
    std::deque<Contour> mo_contours;
    M3dBorderFloat mo_border;
    Contour* mp_last_contour = nullptr;
};
