#pragma once
// M3dBorder, M3dBorderContour, M3dBorderPoint: a 3D border as linked records. A border links to
// its first contour, a contour to its first point and to the next contour (null after the last),
// a point to the next point of its contour. The records do not own what they link to.
#include <cstdint>

template <class T, class S> struct M3dBorderPoint {
    T x{};
    T y{};
    T z{};
    M3dBorderPoint* mp_next = nullptr;
};

template <class T, class S, class TPoint> struct M3dBorderContour {
    TPoint* mp_first_point = nullptr;
    int32_t mn_num_points = 0;
    M3dBorderContour* mp_next = nullptr;
};

template <class T, class S, class TContour> struct M3dBorder {
    TContour* mp_first_contour = nullptr;
};

// The instance the render helpers draw.
using M3dBorderFloat = M3dBorder<float, float, M3dBorderContour<float, float, M3dBorderPoint<float, float>>>;
