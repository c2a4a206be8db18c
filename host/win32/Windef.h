#pragma once
// The basic Win32 types with their Windows layouts (LONG is 32 bits, as on Win64).
#include <cstdint>

using BOOL = int;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using UINT = unsigned int;
using WCHAR = wchar_t;
using COLORREF = DWORD;
using HWND = struct HWND__*;
using HDC = struct HDC__*;
using HGDIOBJ = void*;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

constexpr COLORREF RGB(BYTE red, BYTE green, BYTE blue) {
    return COLORREF(red) | (COLORREF(green) << 8) | (COLORREF(blue) << 16);
}
constexpr BYTE GetRValue(COLORREF colour) { return BYTE(colour & 0xFF); }
constexpr BYTE GetGValue(COLORREF colour) { return BYTE((colour >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF colour) { return BYTE((colour >> 16) & 0xFF); }

struct tagPOINT {
    LONG x;
    LONG y;
};
using POINT = tagPOINT;

struct tagSIZE {
    LONG cx;
    LONG cy;
};
using SIZE = tagSIZE;

struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using RECT = tagRECT;

constexpr int LF_FACESIZE = 32;

struct tagLOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
};
using LOGFONTW = tagLOGFONTW;
