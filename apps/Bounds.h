#pragma once
// Bounds: an axis-aligned box in model units that grows to take in points; starts empty.
#include "host/math/MMPoint3d.h"

#include <algorithm>
#include <cmath>
#include <limits>

struct Bounds {
    MMPoint3d<double> minimum{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                              std::numeric_limits<double>::max()};
    MMPoint3d<double> maximum{-std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
                              -std::numeric_limits<double>::max()};

    bool IsEmpty() const { return minimum.x > maximum.x; }

    void Add(const MMPoint3d<double>& point) {
        minimum = {std::min(minimum.x, point.x), std::min(minimum.y, point.y), std::min(minimum.z, point.z)};
        maximum = {std::max(maximum.x, point.x), std::max(maximum.y, point.y), std::max(maximum.z, point.z)};
    }
    void Add(const Bounds& other) {
        if (!other.IsEmpty()) {
            Add(other.minimum);
            Add(other.maximum);
        }
    }

    MMPoint3d<double> Centre() const {
        return {(minimum.x + maximum.x) * 0.5, (minimum.y + maximum.y) * 0.5, (minimum.z + maximum.z) * 0.5};
    }
    // Half the diagonal: the radius of a sphere about Centre() that holds the box.
    double Radius() const {
        const double dx = maximum.x - minimum.x, dy = maximum.y - minimum.y, dz = maximum.z - minimum.z;
        return 0.5 * std::sqrt(dx * dx + dy * dy + dz * dz);
    }
};
