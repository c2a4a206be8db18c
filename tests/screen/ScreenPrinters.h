#pragma once
// gtest printers for the screen and host value types, so failed checks show readable values.
#include "host/framework/M3DBoundingBox.h"
#include "host/math/MMPoint3d.h"
#include "host/win32/CRect.h"

#include <ostream>

inline void PrintTo(const CPoint& point, std::ostream* out) {
    *out << "(" << point.x << ", " << point.y << ")";
}
inline void PrintTo(const CSize& size, std::ostream* out) {
    *out << "(" << size.cx << " x " << size.cy << ")";
}
inline void PrintTo(const CRect& rect, std::ostream* out) {
    *out << "(" << rect.left << ", " << rect.top << ", " << rect.right << ", " << rect.bottom << ")";
}
template <class T> void PrintTo(const MMPoint3d<T>& point, std::ostream* out) {
    *out << "(" << point.x << ", " << point.y << ", " << point.z << ")";
}
template <class T> void PrintTo(const M3DBoundingBox<T>& box, std::ostream* out) {
    *out << "x " << box.x_min << ".." << box.x_max << ", y " << box.y_min << ".." << box.y_max << ", z "
         << box.z_min << ".." << box.z_max;
}
