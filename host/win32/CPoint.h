#pragma once
// CPoint: MFC's point, a POINT with constructors and arithmetic. A value type; x to the right, y
// downwards, 32-bit pixels. No shared state: safe to use from any thread.
#include "host/win32/Windef.h"

class CPoint : public tagPOINT {
public:
    constexpr CPoint() : tagPOINT{0, 0} {}
    constexpr CPoint(int x_value, int y_value) : tagPOINT{x_value, y_value} {}
    constexpr CPoint(POINT point) : tagPOINT(point) {}

    void Offset(int dx, int dy) {
        x += dx;
        y += dy;
    }
    constexpr bool operator==(const POINT& other) const { return x == other.x && y == other.y; }
    constexpr bool operator!=(const POINT& other) const { return !(*this == other); }
    CPoint& operator+=(const POINT& other) {
        Offset(other.x, other.y);
        return *this;
    }
    CPoint& operator-=(const POINT& other) {
        Offset(-other.x, -other.y);
        return *this;
    }
    constexpr CPoint operator+(const POINT& other) const { return CPoint(x + other.x, y + other.y); }
    constexpr CPoint operator-(const POINT& other) const { return CPoint(x - other.x, y - other.y); }
    constexpr CPoint operator-() const { return CPoint(-x, -y); }
};

static_assert(sizeof(CPoint) == sizeof(POINT));
