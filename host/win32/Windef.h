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
using HPEN = struct HPEN__*;
using HBRUSH = struct HBRUSH__*;
using HFONT = struct HFONT__*;
using LPCWSTR = const wchar_t*;
using LPWSTR = wchar_t*;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

constexpr COLORREF RGB(BYTE red, BYTE green, BYTE blue) {
    return COLORREF(red) | (COLORREF(green) << 8) | (COLORREF(blue) << 16);
}
constexpr BYTE GetRValue(COLORREF colour) {
    return BYTE(colour & 0xFF);
}
constexpr BYTE GetGValue(COLORREF colour) {
    return BYTE((colour >> 8) & 0xFF);
}
constexpr BYTE GetBValue(COLORREF colour) {
    return BYTE((colour >> 16) & 0xFF);
}

struct tagPOINT {
    LONG x;
    LONG y;
};
using POINT = tagPOINT;
using LPPOINT = POINT*;

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
using LPRECT = RECT*;
using LPCRECT = const RECT*;

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

static_assert(sizeof(POINT) == 8 && sizeof(RECT) == 16 && sizeof(COLORREF) == 4);
static_assert(sizeof(LOGFONTW) == 28 + LF_FACESIZE * sizeof(WCHAR));
