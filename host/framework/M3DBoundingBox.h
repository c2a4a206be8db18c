#pragma once
// M3DBoundingBox: an axis-aligned box as six values in the host's order x-minimum, x-maximum,
// y-minimum, y-maximum, z-minimum, z-maximum. A plain record: nothing keeps minimum <= maximum,
// so a box preset to (+max, -max) and left alone by an empty object reads as empty.
#include <cstddef>

template <class T> struct M3DBoundingBox {
    T x_min{};
    T x_max{};
    T y_min{};
    T y_max{};
    T z_min{};
    T z_max{};

    constexpr bool operator==(const M3DBoundingBox&) const = default;
};

static_assert(sizeof(M3DBoundingBox<float>) == 6 * sizeof(float));
static_assert(offsetof(M3DBoundingBox<float>, x_max) == sizeof(float) &&
              offsetof(M3DBoundingBox<float>, y_min) == 2 * sizeof(float) &&
              offsetof(M3DBoundingBox<float>, z_max) == 5 * sizeof(float));
