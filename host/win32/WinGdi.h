#pragma once
// The Win32 USER, GDI and KERNEL32 functions the library calls, with Win32's signatures and
// semantics, on top of the stand-in device context GdiDevice (host/win32/GdiDevice.h).
//
// An HDC is a GdiDevice's handle (GdiDevice::GetHdc); every function taking one records the call in
// that device and, when the device has an image, draws into it. A null or foreign HDC makes the
// function fail the Win32 way (FALSE, 0, CLR_INVALID or a null handle) without touching anything.
//
// GDI objects (pens, brushes, fonts) live in a process-wide table guarded by a mutex, so that
// handles may be created on one thread and used on another as in Win32; a device itself must be
// used from one thread at a time. The Win32Stub namespace holds the stand-in's own controls: the
// screen size, the system colours and the live-object count that tests read.
#include "host/win32/Windef.h"

#include <cstddef>

// System metrics and colours.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_3DSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_3DHIGHLIGHT = 20;

// Device capabilities.
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;

// Background modes.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

// Pen styles.
constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_DOT = 2;
constexpr int PS_NULL = 5;

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_GUI_FONT = 17;

// Font weights.
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;

// DrawTextW formats.
constexpr UINT DT_TOP = 0x0000;
constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_VCENTER = 0x0004;
constexpr UINT DT_BOTTOM = 0x0008;
constexpr UINT DT_WORDBREAK = 0x0010;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_NOCLIP = 0x0100;
constexpr UINT DT_CALCRECT = 0x0400;
constexpr UINT DT_NOPREFIX = 0x0800;

// KERNEL32: number × numerator / denominator with a 64-bit intermediate, rounded half away from
// zero; -1 when the denominator is 0 or the result does not fit in 32 bits.
int MulDiv(int number, int numerator, int denominator);

// USER32.
int GetSystemMetrics(int index);
COLORREF GetSysColor(int index);
int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format);
BOOL DrawFocusRect(HDC dc, const RECT* rect);
BOOL InflateRect(LPRECT rect, int dx, int dy);
BOOL OffsetRect(LPRECT rect, int dx, int dy);
BOOL PtInRect(const RECT* rect, POINT point);

// GDI32: device state.
int GetDeviceCaps(HDC dc, int index);
COLORREF SetTextColor(HDC dc, COLORREF colour);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF colour);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);

// GDI32: drawing with the selected pen and brush.
BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous);
BOOL LineTo(HDC dc, int x, int y);
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
BOOL Polygon(HDC dc, const POINT* points, int count);

// GDI32: objects.
HPEN CreatePen(int style, int width, COLORREF colour);
HBRUSH CreateSolidBrush(COLORREF colour);
HFONT CreateFontIndirectW(const LOGFONTW* font);
HGDIOBJ GetStockObject(int index);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);

namespace Win32Stub {

// GetSystemMetrics(SM_CXSCREEN / SM_CYSCREEN); 1920 x 1080 until set.
void SetScreenSize(int width, int height);
// GetSysColor's answer for one index; the Windows 10 defaults until set.
void SetSysColor(int index, COLORREF colour);
// Puts the screen size and system colours back to their defaults.
void ResetSystemSettings();
// Pens, brushes and fonts created and not yet deleted (stock objects do not count).
size_t GetLiveGdiObjectCount();

} // namespace Win32Stub
