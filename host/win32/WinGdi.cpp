#include "host/win32/WinGdi.h"

#include "host/win32/GdiDevice.h"
#include "host/win32/GdiObjects.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr int kNumSysColours = 31;

std::atomic<int> g_screen_width{1920};
std::atomic<int> g_screen_height{1080};

// The Windows 10 defaults of the colours the stand-in is asked for; the rest are black.
constexpr COLORREF DefaultSysColour(int index) {
    switch (index) {
    case COLOR_WINDOW:
        return RGB(255, 255, 255);
    case COLOR_BTNFACE:
        return RGB(240, 240, 240);
    case COLOR_3DSHADOW:
        return RGB(160, 160, 160);
    case COLOR_GRAYTEXT:
        return RGB(109, 109, 109);
    case COLOR_3DHIGHLIGHT:
        return RGB(255, 255, 255);
    case 13: // COLOR_HIGHLIGHT
        return RGB(0, 120, 215);
    case 14: // COLOR_HIGHLIGHTTEXT
        return RGB(255, 255, 255);
    case 21: // COLOR_3DDKSHADOW
        return RGB(105, 105, 105);
    case 22: // COLOR_3DLIGHT
        return RGB(227, 227, 227);
    default:
        return RGB(0, 0, 0);
    }
}

struct SysColourTable {
    std::array<std::atomic<COLORREF>, kNumSysColours> values;
    SysColourTable() {
        for (int i = 0; i < kNumSysColours; ++i)
            values[size_t(i)] = DefaultSysColour(i);
    }
};

std::array<std::atomic<COLORREF>, kNumSysColours>& SysColours() {
    static SysColourTable table;
    return table.values;
}

} // namespace

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0)
        return -1;
    const long long product = static_cast<long long>(number) * numerator;
    // Round half away from zero on magnitudes, which cannot overflow: |product| < 2^62.
    const long long magnitude = std::llabs(product);
    const long long divisor = std::llabs(static_cast<long long>(denominator));
    long long quotient = (magnitude + divisor / 2) / divisor;
    if ((product < 0) != (denominator < 0))
        quotient = -quotient;
    if (quotient > 2147483647LL || quotient < -2147483647LL)
        return -1;
    return static_cast<int>(quotient);
}

int GetSystemMetrics(int index) {
    if (index == SM_CXSCREEN)
        return g_screen_width.load();
    if (index == SM_CYSCREEN)
        return g_screen_height.load();
    return 0;
}

COLORREF GetSysColor(int index) {
    if (index < 0 || index >= kNumSysColours)
        return 0;
    return SysColours()[size_t(index)].load();
}

int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format) {
    GdiDevice* device = GdiDevice::FromHdc(dc);
    return device == nullptr ? 0 : device->DrawTextW(text, count, rect, format);
}

BOOL DrawFocusRect(HDC dc, const RECT* rect) {
    GdiDevice* device = GdiDevice::FromHdc(dc);
    return device == nullptr ? FALSE : device->DrawFocusRect(rect);
}

namespace {

// Win32 rectangle arithmetic wraps around in 32 bits; done in unsigned to stay defined in C++.
LONG Wrap(LONG value, long long delta) {
    return static_cast<LONG>(static_cast<uint32_t>(value) + static_cast<uint32_t>(delta));
}

} // namespace

BOOL InflateRect(LPRECT rect, int dx, int dy) {
    if (rect == nullptr)
        return FALSE;
    rect->left = Wrap(rect->left, -static_cast<long long>(dx));
    rect->top = Wrap(rect->top, -static_cast<long long>(dy));
    rect->right = Wrap(rect->right, dx);
    rect->bottom = Wrap(rect->bottom, dy);
    return TRUE;
}

BOOL OffsetRect(LPRECT rect, int dx, int dy) {
    if (rect == nullptr)
        return FALSE;
    rect->left = Wrap(rect->left, dx);
    rect->right = Wrap(rect->right, dx);
    rect->top = Wrap(rect->top, dy);
    rect->bottom = Wrap(rect->bottom, dy);
    return TRUE;
}

BOOL PtInRect(const RECT* rect, POINT point) {
    if (rect == nullptr)
        return FALSE;
    return point.x >= rect->left && point.x < rect->right && point.y >= rect->top && point.y < rect->bottom;
}

int GetDeviceCaps(HDC dc, int index) {
    GdiDevice* device = GdiDevice::FromHdc(dc);
    return device == nullptr ? 0 : device->GetDeviceCaps(index);
}

COLORREF SetTextColor(HDC dc, COLORREF colour) {
    GdiDevice* device = GdiDevice::FromHdc(dc);
    return device == nullptr ? CLR_INVALID : device->SetTextColor(colour);
}

COLORREF GetTextColor(HDC dc) {
    GdiDevice* device = GdiDevice::FromHdc(dc);
    return device == nullptr ? CLR_INVALID : device->GetTextColor();
}

COLORREF SetBkColor(HDC dc, COLORREF colour) {
    GdiDevice* device = GdiDevice::FromHdc(dc);
    return device == nullptr ? CLR_INVALID : device->SetBkColor(colour);
}

COLORREF GetBkColor(HDC dc) {
    GdiDevice* device = GdiDevice::FromHdc(dc);
    return device == nullptr ? CLR_INVALID : device->GetBkColor();
}

int SetBkMode(HDC dc, int mode) {
    GdiDevice* device = GdiDevice::FromHdc(dc);
    return device == nullptr ? 0 : device->SetBkMode(mode);
}

int GetBkMode(HDC dc) {
    GdiDevice* device = GdiDevice::FromHdc(dc);
    return device == nullptr ? 0 : device->GetBkMode();
}

BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous) {
    GdiDevice* device = GdiDevice::FromHdc(dc);
    return device == nullptr ? FALSE : device->MoveToEx(x, y, previous);
}

BOOL LineTo(HDC dc, int x, int y) {
    GdiDevice* device = GdiDevice::FromHdc(dc);
    return device == nullptr ? FALSE : device->LineTo(x, y);
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    GdiDevice* device = GdiDevice::FromHdc(dc);
    return device == nullptr ? FALSE : device->Rectangle(left, top, right, bottom);
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
    GdiDevice* device = GdiDevice::FromHdc(dc);
    return device == nullptr ? FALSE : device->Ellipse(left, top, right, bottom);
}

BOOL Polygon(HDC dc, const POINT* points, int count) {
    GdiDevice* device = GdiDevice::FromHdc(dc);
    return device == nullptr ? FALSE : device->Polygon(points, count);
}

HPEN CreatePen(int style, int width, COLORREF colour) {
    GdiObjectInfo info;
    info.kind = GdiObjectKind::Pen;
    info.style = style;
    info.width = width;
    info.colour = colour;
    return static_cast<HPEN>(GdiObjects::Create(info));
}

HBRUSH CreateSolidBrush(COLORREF colour) {
    GdiObjectInfo info;
    info.kind = GdiObjectKind::Brush;
    info.colour = colour;
    return static_cast<HBRUSH>(GdiObjects::Create(info));
}

HFONT CreateFontIndirectW(const LOGFONTW* font) {
    if (font == nullptr)
        return nullptr;
    GdiObjectInfo info;
    info.kind = GdiObjectKind::Font;
    info.font = *font;
    return static_cast<HFONT>(GdiObjects::Create(info));
}

HGDIOBJ GetStockObject(int index) {
    return GdiObjects::Stock(index);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    GdiDevice* device = GdiDevice::FromHdc(dc);
    return device == nullptr ? nullptr : device->SelectObject(object);
}

BOOL DeleteObject(HGDIOBJ object) {
    return GdiObjects::Delete(object) ? TRUE : FALSE;
}

namespace Win32Stub {

void SetScreenSize(int width, int height) {
    g_screen_width = width;
    g_screen_height = height;
}

void SetSysColor(int index, COLORREF colour) {
    if (index >= 0 && index < kNumSysColours)
        SysColours()[size_t(index)] = colour;
}

void ResetSystemSettings() {
    SetScreenSize(1920, 1080);
    for (int i = 0; i < kNumSysColours; ++i)
        SysColours()[size_t(i)] = DefaultSysColour(i);
}

size_t GetLiveGdiObjectCount() {
    return GdiObjects::LiveCount();
}

} // namespace Win32Stub
