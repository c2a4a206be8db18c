#pragma once
// MStlCompactTriangle: a triangle of the compact store: three points and a unit normal quantised
// to signed bytes (component x 127).
#include <cstdint>

struct MStlPoint;

struct MStlCompactTriangle {
    MStlPoint* mp_points[3] = {nullptr, nullptr, nullptr};
    int8_t ma_normal[3] = {0, 0, 0};
};
