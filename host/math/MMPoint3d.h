#pragma once
// MMPoint3d: the host's plain three-component point, used for positions and directions alike.
// A value type with public fields; no invariants.


template <class T> struct MMPoint3d {
    T x{};
    T y{};
    T z{};

    constexpr MMPoint3d() = default;
    constexpr MMPoint3d(T x_value, T y_value, T z_value) : x(x_value), y(y_value), z(z_value) {}

    constexpr bool operator==(const MMPoint3d&) const = default;
};
