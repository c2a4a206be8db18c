#pragma once
// CRect: MFC's rectangle, a RECT with MFC's helpers. Right and bottom are exclusive in the Win32
// sense (Width is right - left); nothing is normalised unless NormalizeRect is called. Unlike MFC
// the default constructor gives (0, 0, 0, 0) instead of leaving the fields undefined. A value type;
// no shared state.
#include "host/win32/CPoint.h"
#include "host/win32/CSize.h"
#include "host/win32/WinGdi.h"

#include <utility>

class CRect : public tagRECT {
public:
    constexpr CRect() : tagRECT{0, 0, 0, 0} {}
    constexpr CRect(int left_value, int top_value, int right_value, int bottom_value)
        : tagRECT{left_value, top_value, right_value, bottom_value} {}
    constexpr CRect(const RECT& rect) : tagRECT(rect) {}
    constexpr CRect(POINT top_left, POINT bottom_right)
        : tagRECT{top_left.x, top_left.y, bottom_right.x, bottom_right.y} {}

    constexpr int Width() const { return right - left; }
    constexpr int Height() const { return bottom - top; }
    constexpr CSize Size() const { return CSize(Width(), Height()); }
    constexpr CPoint TopLeft() const { return CPoint(left, top); }
    constexpr CPoint BottomRight() const { return CPoint(right, bottom); }
    constexpr CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
    constexpr bool IsRectEmpty() const { return right <= left || bottom <= top; }

    void SetRect(int left_value, int top_value, int right_value, int bottom_value) {
        left = left_value;
        top = top_value;
        right = right_value;
        bottom = bottom_value;
    }
    void OffsetRect(int dx, int dy) { ::OffsetRect(this, dx, dy); }
    void OffsetRect(POINT offset) { ::OffsetRect(this, offset.x, offset.y); }
    void InflateRect(int dx, int dy) { ::InflateRect(this, dx, dy); }
    void DeflateRect(int dx, int dy) { ::InflateRect(this, -dx, -dy); }
    void NormalizeRect() {
        if (left > right)
            std::swap(left, right);
        if (top > bottom)
            std::swap(top, bottom);
    }
    bool PtInRect(POINT point) const { return ::PtInRect(this, point) != FALSE; }

    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }

    constexpr bool operator==(const RECT& other) const {
        return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
    }
    constexpr bool operator!=(const RECT& other) const { return !(*this == other); }
};

static_assert(sizeof(CRect) == sizeof(RECT));
