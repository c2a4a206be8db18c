#pragma once
// GdiDeviceState: a snapshot of a GdiDevice's drawing state, a plain value; tests compare the
// snapshots taken before and after a helper to see that it restored what it changed.
#include "host/win32/Windef.h"

struct GdiDeviceState {
    COLORREF text_colour = 0;
    COLORREF background_colour = 0;
    int background_mode = 0;
    POINT position{};
    HGDIOBJ pen = nullptr;
    HGDIOBJ brush = nullptr;
    HGDIOBJ font = nullptr;

    bool operator==(const GdiDeviceState& other) const;
};
