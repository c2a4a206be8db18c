#include "host/render/soft/HomogeneousClipper.h"

#include <utility>

namespace {

// Signed distance of h from plane `plane`; inside is >= 0. Not-a-number counts as outside.
double Distance(const float* h, int plane) {
    const double x = h[0], y = h[1], w = h[3];
    const double band = double(HomogeneousClipper::GUARD_BAND) * w;
    switch (plane) {
    case 0:
        return w - double(HomogeneousClipper::NEAR_W);
    case 1:
        return band - x;
    case 2:
        return band + x;
    case 3:
        return band - y;
    default:
        return band + y;
    }
}

bool Inside(double distance) {
    return distance >= 0.0; // false for not-a-number
}

// The point where the edge from `inside` to `outside` leaves the plane, interpolated from the
// inside end whatever the edge's direction, so shared edges agree.
HomogeneousClipper::Vertex Cut(const HomogeneousClipper::Vertex& inside, double inside_distance,
                               const HomogeneousClipper::Vertex& outside, double outside_distance) {
    const double t = inside_distance / (inside_distance - outside_distance);
    HomogeneousClipper::Vertex result;
    for (int i = 0; i < 4; ++i)
        result.h[i] = float(double(inside.h[i]) + t * (double(outside.h[i]) - double(inside.h[i])));
    for (int i = 0; i < 2; ++i)
        result.attribute[i] = float(double(inside.attribute[i]) +
                                    t * (double(outside.attribute[i]) - double(inside.attribute[i])));
    return result;
}

} // namespace

bool HomogeneousClipper::IsInside(const float* h) {
    for (int plane = 0; plane < PLANE_COUNT; ++plane)
        if (!Inside(Distance(h, plane)))
            return false;
    return true;
}

int HomogeneousClipper::ClipTriangle(const Vertex& a, const Vertex& b, const Vertex& c) {
    ma_corners[0] = a;
    ma_corners[1] = b;
    ma_corners[2] = c;
    int count = 3;
    if (IsInside(a.h) && IsInside(b.h) && IsInside(c.h))
        return count;

    Vertex* source = ma_corners;
    Vertex* target = ma_scratch;
    for (int plane = 0; plane < PLANE_COUNT && count > 0; ++plane) {
        double distances[MAX_CORNERS];
        bool any_outside = false;
        for (int i = 0; i < count; ++i) {
            distances[i] = Distance(source[i].h, plane);
            any_outside = any_outside || !Inside(distances[i]);
        }
        if (!any_outside)
            continue;
        int kept = 0;
        for (int i = 0; i < count; ++i) {
            const int next = (i + 1) % count;
            const bool here = Inside(distances[i]), there = Inside(distances[next]);
            if (here)
                target[kept++] = source[i];
            // A not-a-number distance cannot be cut against; such an edge is dropped.
            if (here != there && distances[i] == distances[i] && distances[next] == distances[next]) {
                target[kept++] = here ? Cut(source[i], distances[i], source[next], distances[next])
                                      : Cut(source[next], distances[next], source[i], distances[i]);
            }
        }
        count = kept < 3 ? 0 : kept;
        std::swap(source, target);
    }
    if (source != ma_corners)
        for (int i = 0; i < count; ++i)
            ma_corners[i] = source[i];
    return count;
}

bool HomogeneousClipper::ClipSegment(Vertex& a, Vertex& b) {
    for (int plane = 0; plane < PLANE_COUNT; ++plane) {
        const double da = Distance(a.h, plane), db = Distance(b.h, plane);
        const bool keep_a = Inside(da), keep_b = Inside(db);
        if (keep_a && keep_b)
            continue;
        if (!keep_a && !keep_b)
            return false;
        if (da != da || db != db)
            return false;
        if (keep_a)
            b = Cut(a, da, b, db);
        else
            a = Cut(b, db, a, da);
    }
    return true;
}
