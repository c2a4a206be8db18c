#pragma once
// GdiCall: one call recorded by a GdiDevice, a plain value. Handles are recorded as their integer
// values and rectangles spread into their four sides, so a whole call compares as one string.
#include <string>
#include <vector>

struct GdiCall {
    std::string name;            // the Win32 function, e.g. "Rectangle"
    std::vector<long long> args; // its arguments after the HDC (handles as integers, rectangles spread)
    std::wstring text;           // DrawTextW only: the characters drawn

    // "Rectangle(-1,-31,72,32)"; DrawTextW adds the text in quotes after the numbers.
    std::string ToString() const;
};
