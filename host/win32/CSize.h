#pragma once
// CSize: MFC's extent, a SIZE with constructors and comparison. A value type in pixels; no shared
// state, safe to use from any thread.
#include "host/win32/Windef.h"

class CSize : public tagSIZE {
public:
    constexpr CSize() : tagSIZE{0, 0} {}
    constexpr CSize(int cx_value, int cy_value) : tagSIZE{cx_value, cy_value} {}
    constexpr CSize(SIZE size) : tagSIZE(size) {}

    constexpr bool operator==(const SIZE& other) const { return cx == other.cx && cy == other.cy; }
    constexpr bool operator!=(const SIZE& other) const { return !(*this == other); }
};

static_assert(sizeof(CSize) == sizeof(SIZE));
